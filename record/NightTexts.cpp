#include "record/NightTexts.h"

#include "record/PollDecoding.h"

namespace kalvo::record {

namespace {

// One row per word, in the order of NightWord (the order of a words file's lines): the language
// file's line that holds it (0: none), then the word in English, built in for every language
// without a words file and for every word a words file lacks.
struct EnglishWord {
    NightWord word;
    int line;
    const char* english;
};

constexpr EnglishWord EnglishWords[] = {
    {NightWord::Title, 0, "Kalvo night report"},
    {NightWord::NoPolls, 0, "The recording holds no polls."},
    {NightWord::OnlyImplausiblePolls, 0, "The recording holds no poll that can be the unit's; implausible polls:"},
    {NightWord::ImplausiblePolls, 0, "Implausible polls (left out)"},
    {NightWord::Missing, 0, "Missing"},
    {NightWord::To, 0, "to"},
    {NightWord::Totals, 0, "Totals"},
    {NightWord::Polls, 0, "Polls"},
    {NightWord::Good, 0, "good"},
    {NightWord::TransferErrors, 0, "transfer errors"},
    {NightWord::WithoutPort, 0, "without port"},
    {NightWord::Lockouts, 0, "Lockouts (new error records)"},
    {NightWord::LinkLosses, 0, "Link losses"},
    {NightWord::BurnerStarts, 0, "Burner starts"},
    {NightWord::Opened, 0, "opened"},
    {NightWord::RunningTime, 0, "Running time"},
    {NightWord::FlameOn, 0, "flame on"},
    {NightWord::WhileFlameOn, 0, "while the flame is on"},
    {NightWord::Timeline, 0, "Timeline"},
    {NightWord::NoData, 0, "no data"},
    {NightWord::LinkLost, 0, "Link lost"},
    {NightWord::Lockout, 19, "Lockout"},
    {NightWord::MarkersHeading, 0, "Lockouts and link losses"},
    {NightWord::LockoutsUpClose, 0, "Each lockout up close: 3 minutes before to 1 minute after, every poll"},
    {NightWord::Record, 0, "The unit's new error record"},
    {NightWord::None, 0, "None."},
    {NightWord::Time, 0, "Time"},
    {NightWord::What, 0, "What"},
    {NightWord::And, 0, "and"},
    {NightWord::Between, 0, "between"},
    {NightWord::More, 0, "more (see the events files)"},
    {NightWord::PerDay, 0, "Per day"},
    {NightWord::PerHour, 0, "Per hour"},
    {NightWord::Day, 0, "Day"},
    {NightWord::Hour, 0, "Hour"},
    {NightWord::Starts, 0, "Starts"},
    {NightWord::Running, 0, "Running"},
    {NightWord::State, 0, "state"},
    {NightWord::FuelValve1, 4, "Fuel valve BV 1"},
    {NightWord::BurnerState, 45, "Burner state"},
    {NightWord::FlameCurrent, 41, "Flame current"},
    {NightWord::MainsVoltage, 44, "Mains voltage"},
    {NightWord::CounterReading, 31, "Counter reading"},
    {NightWord::RecordVolts, 32, "Mains voltage"},
    {NightWord::RecordFlame, 33, "Flame current"},
    {NightWord::LinkOk, 0, "ok"},
    {NightWord::LinkTransferError, 0, "transfer error"},
    {NightWord::LinkNoPort, 0, "no port"},
    // The CSV files' own words; the language file's lines are labels of the window's report.
    {NightWord::ColumnTime, 0, "time"},
    {NightWord::ColumnLink, 0, "link"},
    {NightWord::ColumnStateCode, 0, "state code"},
    {NightWord::ColumnState, 0, "state"},
    {NightWord::ColumnStatusText, 0, "status text"},
    {NightWord::ColumnImplausible, 0, "implausible"},
    {NightWord::ColumnEvent, 0, "event"},
    {NightWord::ColumnFromStateCode, 0, "from state code"},
    {NightWord::ColumnFromState, 0, "from state"},
    {NightWord::ColumnToStateCode, 0, "to state code"},
    {NightWord::ColumnToState, 0, "to state"},
    {NightWord::ColumnRecord, 0, "record"},
    {NightWord::ColumnRecordStateCode, 0, "record state code"},
    {NightWord::ColumnRecordState, 0, "record state"},
    {NightWord::ColumnRecordCounter, 0, "record counter"},
    {NightWord::ColumnRecordVoltage, 0, "record voltage"},
    {NightWord::ColumnRecordCurrent, 0, "record current"},
    {NightWord::ColumnRecordTime, 0, "record time"},
    {NightWord::EventStateChange, 0, "state change"},
    {NightWord::EventLinkLost, 0, "link lost"},
    {NightWord::EventLinkBack, 0, "link back"},
    {NightWord::EventNewErrorRecord, 0, "new error record"},
    {NightWord::EventCountersWentBack, 0, "the unit's counters went back: another unit?"},
    {NightWord::EventCountersLeapt, 0, "the unit's counters leapt: another unit?"},
    {NightWord::PollOne, 0, "poll"},
    {NightWord::PollMany, 0, "polls"},
    {NightWord::TransferErrorOne, 0, "transfer error"},
    {NightWord::TransferErrorMany, 0, "transfer errors"},
    {NightWord::LockoutOne, 0, "lockout"},
    {NightWord::LockoutMany, 0, "lockouts"},
    {NightWord::ImplausiblePollOne, 0, "implausible poll"},
    {NightWord::ImplausiblePollMany, 0, "implausible polls"},
    {NightWord::PollWithoutPortOne, 0, "poll without a port"},
    {NightWord::PollWithoutPortMany, 0, "polls without a port"},
    {NightWord::Files, 0, "files"},
    {NightWord::StillRecording, 0, "still recording:"},
    {NightWord::RecordingInto, 0, "Recording %1 into %2; Ctrl-C ends it."},
    {NightWord::RecordedInto, 0, "Recorded %1 in %2 into %3"},
    {NightWord::DecodedInto, 0, "Decoded %1 polls into %2"},
};
static_assert(std::size(EnglishWords) == static_cast<std::size_t>(NightWord::Count));

constexpr bool InWordOrder()
{
    for (std::size_t k = 0; k < std::size(EnglishWords); ++k)
        if (static_cast<std::size_t>(EnglishWords[k].word) != k)
            return false;
    return true;
}
static_assert(InWordOrder(), "a words file's lines follow NightWord");

constexpr char EnglishCode[] = "en";

// A language line as the report shows it: UTF-8, without the colon and blanks at its end.
std::string LineWord(const LanguageLines& language, int line)
{
    std::string word = Utf8FromWindows1252(language[line]);
    while (!word.empty() && (word.back() == ':' || word.back() == ' '))
        word.pop_back();
    return word;
}

}  // namespace

NightWord LinkWord(LinkStatus link)
{
    switch (link) {
    case LinkStatus::Ok:
        return NightWord::LinkOk;
    case LinkStatus::TransferError:
        return NightWord::LinkTransferError;
    case LinkStatus::NoPort:
        break;
    }
    return NightWord::LinkNoPort;
}

NightWord EventWord(EventKind kind)
{
    switch (kind) {
    case EventKind::StateChange:
        return NightWord::EventStateChange;
    case EventKind::LinkLost:
        return NightWord::EventLinkLost;
    case EventKind::LinkBack:
        return NightWord::EventLinkBack;
    case EventKind::CountersWentBack:
        return NightWord::EventCountersWentBack;
    case EventKind::CountersLeapt:
        return NightWord::EventCountersLeapt;
    case EventKind::NewErrorRecord:
        break;
    }
    return NightWord::EventNewErrorRecord;
}

NightTexts::NightTexts(const LanguageLines& language, const RecordWordsLines& words)
    : code_(words[0].empty() ? EnglishCode : Utf8FromWindows1252(words[0]))
{
    for (std::size_t k = 0; k < std::size(EnglishWords); ++k) {
        const EnglishWord& row = EnglishWords[k];
        std::string& word = words_[k];
        word = row.line ? LineWord(language, row.line) : std::string();
        if (word.empty())
            word = Utf8FromWindows1252(words[k + 1]);
        if (word.empty())
            word = row.english;
    }
}

std::string NightTexts::Filled(NightWord word, std::initializer_list<std::string> values) const
{
    const std::string& pattern = (*this)[word];
    std::string text;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const std::size_t value =
            i + 1 < pattern.size() ? static_cast<std::size_t>(pattern[i + 1] - '1') : values.size();
        if (pattern[i] == '%' && value < values.size()) {
            text += values.begin()[value];
            ++i;
        } else {
            text += pattern[i];
        }
    }
    return text;
}

std::string NightTexts::Counted(long long count, NightWord one, NightWord many) const
{
    return std::to_string(count) + " " + (*this)[count == 1 ? one : many];
}

}  // namespace kalvo::record
