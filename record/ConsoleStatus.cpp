#include "record/ConsoleStatus.h"

#include <algorithm>
#include <cstdio>

#include "record/CsvFiles.h"

namespace kalvo::record {

namespace {

std::string StateName(const std::optional<int>& code, const std::string& text, const NightTexts& texts)
{
    if (!code)
        return "-";
    return text.empty() ? texts[NightWord::State] + " " + std::to_string(*code) : text;
}

bool StartsCharacter(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0) != 0x80;  // not a UTF-8 continuation byte
}

std::size_t CharacterCount(const std::string& text)
{
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), StartsCharacter));
}

}  // namespace

std::string SizeText(std::uint64_t bytes)
{
    char text[32];
    if (bytes < 1024)
        std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
    else if (bytes < 1024 * 1024)
        std::snprintf(text, sizeof text, "%llu KB", static_cast<unsigned long long>(bytes / 1024));
    else
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return text;
}

std::string SpanText(std::int64_t ms)
{
    const std::int64_t seconds = std::max<std::int64_t>(ms, 0) / 1000;
    char text[48];
    if (seconds < 60)
        std::snprintf(text, sizeof text, "%lld s", static_cast<long long>(seconds));
    else if (seconds < 3600)
        std::snprintf(text, sizeof text, "%lld min %02lld s", static_cast<long long>(seconds / 60),
            static_cast<long long>(seconds % 60));
    else if (seconds < 86400)
        std::snprintf(text, sizeof text, "%lld h %02lld min", static_cast<long long>(seconds / 3600),
            static_cast<long long>(seconds / 60 % 60));
    else
        std::snprintf(text, sizeof text, "%lld d %lld h", static_cast<long long>(seconds / 86400),
            static_cast<long long>(seconds / 3600 % 24));
    return text;
}

std::string FitToColumns(const std::string& text, std::size_t columns)
{
    if (columns == 0)
        return text;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (StartsCharacter(text[i]) && ++characters == columns)
            return text.substr(0, i);  // the last column stays free: a full line wraps on some terminals
    }
    return text;
}

ConsoleStatus::ConsoleStatus(std::ostream& out, Mode mode, const Recorder& recorder, const NightTexts& texts,
    std::function<std::uint64_t()> fileBytes, std::string folder, std::function<std::size_t()> columns)
    : out_(out),
      mode_(mode),
      recorder_(recorder),
      texts_(texts),
      fileBytes_(std::move(fileBytes)),
      folder_(std::move(folder)),
      columns_(std::move(columns))
{
}

std::string ConsoleStatus::EventLine(const RecordEvent& event, const NightTexts& texts)
{
    std::string line = IsoText(event.time) + " " + texts[EventWord(event.kind)];
    switch (event.kind) {
    case EventKind::StateChange:
        line += ": " + StateName(event.fromState, event.fromText, texts) + " -> "
            + StateName(event.toState, event.toText, texts);
        break;
    case EventKind::LinkLost:
        line += ": " + texts[LinkWord(event.link)];
        break;
    case EventKind::LinkBack:
    case EventKind::CountersWentBack:
    case EventKind::CountersLeapt:
        break;
    case EventKind::NewErrorRecord:
        if (event.record)
            line += ": " + StateName(event.record->stateCode, event.record->stateText, texts) + ", "
                + NumberText(event.record->volts, Unit::Volts) + " V, "
                + NumberText(event.record->microamps, Unit::Microamps) + " uA";
        break;
    }
    return line;
}

std::string ConsoleStatus::StatusLine() const
{
    return state_ + " | " + CountsText(" | ") + " | " + texts_[NightWord::Files] + " " + SizeText(fileBytes_());
}

std::string ConsoleStatus::CountsText(const std::string& separator) const
{
    std::string counts = texts_.Counted(recorder_.Polls(), NightWord::PollOne, NightWord::PollMany) + separator
        + texts_.Counted(recorder_.TransferErrors(), NightWord::TransferErrorOne, NightWord::TransferErrorMany)
        + separator + texts_.Counted(recorder_.LockoutsSeen(), NightWord::LockoutOne, NightWord::LockoutMany);
    return counts + ImplausibleText(separator);
}

// Rare on a sound line, so said only when there are some.
std::string ConsoleStatus::ImplausibleText(const std::string& separator) const
{
    if (recorder_.ImplausiblePolls() == 0)
        return "";
    return separator
        + texts_.Counted(recorder_.ImplausiblePolls(), NightWord::ImplausiblePollOne, NightWord::ImplausiblePollMany);
}

std::string ConsoleStatus::SummaryLine(LocalTime end) const
{
    const std::int64_t span = firstPoll_ ? end.utcMs - firstPoll_->utcMs : 0;
    return texts_.Filled(NightWord::RecordedInto,
               {texts_.Counted(recorder_.Polls(), NightWord::PollOne, NightWord::PollMany), SpanText(span), folder_})
        + ": " + texts_.Counted(recorder_.TransferErrors(), NightWord::TransferErrorOne, NightWord::TransferErrorMany)
        + ", " + texts_.Counted(noPortPolls_, NightWord::PollWithoutPortOne, NightWord::PollWithoutPortMany) + ", "
        + texts_.Counted(recorder_.LockoutsSeen(), NightWord::LockoutOne, NightWord::LockoutMany)
        + ImplausibleText(", ") + ".";
}

void ConsoleStatus::OnPoll(const PollInput&, const DecodedPoll& poll)
{
    // The state of noise is no state of the burner.
    if (poll.link != LinkStatus::Ok)
        state_ = texts_[LinkWord(poll.link)];
    else
        state_ =
            poll.implausible ? texts_[NightWord::ColumnImplausible] : StateName(poll.stateCode, poll.stateText, texts_);
    if (poll.link == LinkStatus::NoPort)
        ++noPortPolls_;
    if (!firstPoll_) {
        firstPoll_ = poll.time;
        lastLineMs_ = poll.time.utcMs;
    }
    lastPoll_ = poll.time;
}

void ConsoleStatus::OnEvent(const RecordEvent& event)
{
    if (mode_ == Mode::Quiet)
        return;
    ClearStatus();
    out_ << EventLine(event, texts_) << '\n';
    out_.flush();
    lastLineMs_ = event.time.utcMs;
}

void ConsoleStatus::Finish()
{
    if (mode_ == Mode::Terminal && shownLength_ > 0)
        out_ << '\n';
    shownLength_ = 0;
    out_.flush();
}

void ConsoleStatus::ShowPoll()
{
    if (mode_ == Mode::Log && lastPoll_ && lastPoll_->utcMs - lastLineMs_ >= AliveLineEveryMs) {
        out_ << IsoText(*lastPoll_) << " " << texts_[NightWord::StillRecording] << " " << StatusLine() << std::endl;
        lastLineMs_ = lastPoll_->utcMs;
    }
    if (mode_ != Mode::Terminal)
        return;
    const std::size_t columns = columns_ ? columns_() : 0;
    const std::string line = FitToColumns(StatusLine(), columns);
    // Blanks over the rest of a longer line before it, but never past the last column but one: on
    // a terminal made narrower since, they would wrap and push the status line down a row at
    // every poll. No escape sequences, which not every Windows console understands.
    const std::size_t length = CharacterCount(line);
    const std::size_t blankTo = columns > 0 ? std::min(shownLength_, columns - 1) : shownLength_;
    out_ << '\r' << line << std::string(blankTo > length ? blankTo - length : 0, ' ');
    shownLength_ = length;
    out_.flush();
}

void ConsoleStatus::ClearStatus()
{
    if (shownLength_ == 0)
        return;
    const std::size_t columns = columns_ ? columns_() : 0;
    out_ << '\r' << std::string(columns > 0 ? std::min(shownLength_, columns - 1) : shownLength_, ' ') << '\r';
    shownLength_ = 0;
}

}  // namespace kalvo::record
