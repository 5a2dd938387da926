#pragma once

#include <array>
#include <initializer_list>
#include <string>
#include <string_view>

#include "core/Language.h"
#include "record/PollRecord.h"

namespace kalvo::record {

// The words of the night report and the CSV files.
enum class NightWord {
    Title,
    NoPolls,
    OnlyImplausiblePolls,
    ImplausiblePolls,
    Missing,
    To,
    Totals,
    Polls,
    Good,
    TransferErrors,
    WithoutPort,
    Lockouts,
    LinkLosses,
    BurnerStarts,
    Opened,
    RunningTime,
    FlameOn,
    WhileFlameOn,
    Timeline,
    NoData,
    LinkLost,
    Lockout,
    MarkersHeading,
    LockoutsUpClose,
    Record,
    None,
    Time,
    What,
    And,
    Between,
    More,
    PerDay,
    PerHour,
    Day,
    Hour,
    Starts,
    Running,
    State,
    FuelValve1,
    BurnerState,
    FlameCurrent,
    MainsVoltage,
    CounterReading,
    RecordVolts,
    RecordFlame,
    LinkOk,
    LinkTransferError,
    LinkNoPort,
    ColumnTime,
    ColumnLink,
    ColumnStateCode,
    ColumnState,
    ColumnStatusText,
    ColumnImplausible,
    ColumnEvent,
    ColumnFromStateCode,
    ColumnFromState,
    ColumnToStateCode,
    ColumnToState,
    ColumnRecord,
    ColumnRecordStateCode,
    ColumnRecordState,
    ColumnRecordCounter,
    ColumnRecordVoltage,
    ColumnRecordCurrent,
    ColumnRecordTime,
    EventStateChange,
    EventLinkLost,
    EventLinkBack,
    EventNewErrorRecord,
    EventCountersWentBack,
    EventCountersLeapt,
    // The terminal's lines; %1, %2, %3 stand for the values, in their order.
    PollOne,
    PollMany,
    TransferErrorOne,
    TransferErrorMany,
    LockoutOne,
    LockoutMany,
    ImplausiblePollOne,
    ImplausiblePollMany,
    PollWithoutPortOne,
    PollWithoutPortMany,
    Files,
    StillRecording,
    RecordingInto,
    RecordedInto,
    DecodedInto,
    Count
};

// The word of a link status ("ok", "no port") and of an event kind ("link lost").
NightWord LinkWord(LinkStatus link);
NightWord EventWord(EventKind kind);

// The recorder's own words file, the companion of a language file in one language: the same
// format (Windows-1252, a line a text, the line number the key), line 1 the language's code ("de"),
// line 2 on the words in the order of NightWord. A file from before a word was added just ends
// early: the words it lacks are English.
inline constexpr char RecordWordsFileName[] = "RECORD.LNG";
using RecordWordsLines = std::array<std::string, 1 + static_cast<std::size_t>(NightWord::Count)>;

// The words of the files, the report and the terminal: the language file's own line where it has
// one for the word (its wording, UTF-8, without the trailing colon), otherwise the words file's,
// otherwise the built-in English word.
class NightTexts {
public:
    // words: as loaded from a words file; all empty for English.
    explicit NightTexts(const LanguageLines& language, const RecordWordsLines& words = {});

    const std::string& operator[](NightWord word) const { return words_[static_cast<std::size_t>(word)]; }
    // The words' language, "en" or the words file's first line.
    const std::string& LanguageCode() const { return code_; }
    // The word with %1, %2, ... replaced by the values.
    std::string Filled(NightWord word, std::initializer_list<std::string> values) const;
    // "1 poll", "7 polls": the count with the word of its number.
    std::string Counted(long long count, NightWord one, NightWord many) const;

private:
    std::array<std::string, static_cast<std::size_t>(NightWord::Count)> words_;
    std::string code_;
};

}  // namespace kalvo::record
