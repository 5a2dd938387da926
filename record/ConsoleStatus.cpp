#include "ConsoleStatus.h"

#include <cstdio>

#include "CsvFiles.h"

namespace kalvo::record {

namespace {

std::string StateName(const std::optional<int>& code, const std::string& text)
{
    if (!code)
        return "-";
    return text.empty() ? "state " + std::to_string(*code) : text;
}

std::string Counted(long long count, const std::string& one, const std::string& many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
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

ConsoleStatus::ConsoleStatus(std::ostream& out, Mode mode, const Recorder& recorder,
                             std::function<std::uint64_t()> fileBytes)
    : out_(out), mode_(mode), recorder_(recorder), fileBytes_(std::move(fileBytes))
{
}

std::string ConsoleStatus::EventLine(const RecordEvent& event)
{
    std::string line = IsoText(event.time) + " " + std::string(EventKindText(event.kind));
    switch (event.kind) {
    case EventKind::StateChange:
        line += ": " + StateName(event.fromState, event.fromText) + " -> " + StateName(event.toState, event.toText);
        break;
    case EventKind::LinkLost:
        line += ": " + std::string(LinkStatusText(event.link));
        break;
    case EventKind::LinkBack:
        break;
    case EventKind::NewErrorRecord:
        if (event.record)
            line += ": " + StateName(event.record->stateCode, event.record->stateText) + ", " +
                    NumberText(event.record->volts, Unit::Volts) + " V, " +
                    NumberText(event.record->microamps, Unit::Microamps) + " uA";
        break;
    }
    return line;
}

std::string ConsoleStatus::StatusLine() const
{
    return state_ + " | " + CountsText(" | ") + " | files " + SizeText(fileBytes_());
}

std::string ConsoleStatus::CountsText(const std::string& separator) const
{
    std::string counts = Counted(recorder_.Polls(), "poll", "polls") + separator
        + Counted(recorder_.TransferErrors(), "transfer error", "transfer errors") + separator
        + Counted(recorder_.LockoutsSeen(), "lockout", "lockouts");
    // Rare on a sound line, so said only when there are some.
    if (recorder_.ImplausiblePolls() > 0)
        counts += separator + Counted(recorder_.ImplausiblePolls(), "implausible poll", "implausible polls");
    return counts;
}

std::string ConsoleStatus::SummaryLine() const
{
    return "Recorded " + CountsText(", ") + ".";
}

void ConsoleStatus::OnPoll(const PollInput&, const DecodedPoll& poll)
{
    state_ = poll.link == LinkStatus::Ok ? StateName(poll.stateCode, poll.stateText) : std::string(LinkStatusText(poll.link));
}

void ConsoleStatus::OnEvent(const RecordEvent& event)
{
    if (mode_ == Mode::Quiet)
        return;
    ClearStatus();
    out_ << EventLine(event) << '\n';
    out_.flush();
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
    if (mode_ != Mode::Terminal)
        return;
    const std::string line = StatusLine();
    // Blanks over the rest of a longer line before it; no escape sequences, which not every
    // Windows console understands.
    out_ << '\r' << line << std::string(shownLength_ > line.size() ? shownLength_ - line.size() : 0, ' ');
    shownLength_ = line.size();
    out_.flush();
}

void ConsoleStatus::ClearStatus()
{
    if (shownLength_ == 0)
        return;
    out_ << '\r' << std::string(shownLength_, ' ') << '\r';
    shownLength_ = 0;
}

}  // namespace kalvo::record
