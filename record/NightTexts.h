#pragma once

#include <array>
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
    Count
};

// The word of a link status ("ok", "no port") and of an event kind ("link lost").
NightWord LinkWord(LinkStatus link);
NightWord EventWord(EventKind kind);

// The report's words in the language of the loaded language file: its own line where it has one
// for the word (its wording, UTF-8, without the trailing colon), otherwise the translation
// table's word in the language the file is written in (English for a language the table lacks).
class NightTexts {
public:
    explicit NightTexts(const LanguageLines& language);

    const std::string& operator[](NightWord word) const { return words_[static_cast<std::size_t>(word)]; }
    // The page's language, "en" or "de".
    std::string_view LanguageCode() const { return code_; }

private:
    std::array<std::string, static_cast<std::size_t>(NightWord::Count)> words_;
    std::string_view code_;
};

}  // namespace kalvo::record
