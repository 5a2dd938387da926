#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/PollResult.h"
#include "core/Readings.h"

// What the recorder knows about one poll and what it derives from a sequence of polls. Every sink
// (the CSV files, the raw replies file, a broker) is handed these and nothing else.
namespace kalvo::record {

using kalvo::LinkStatus;

// "ok", "transfer error", "no port": the texts of the broker documents, always English (the CSV
// files and the terminal say them in the recording's language, NightTexts).
std::string_view LinkStatusText(LinkStatus status);

// A moment as the local clock showed it: UTC and the local offset from UTC at that moment.
struct LocalTime {
    std::int64_t utcMs = 0;     // milliseconds since 1970-01-01T00:00:00Z
    int utcOffsetMinutes = 0;   // local time = UTC + offset
};

// 2026-12-07T01:02:03+01:00 (seconds, no fraction).
std::string IsoText(LocalTime time);
// The local date, 2026-12-07, which names the day's files.
std::string DateText(LocalTime time);
// The current time of the system's clock and time zone.
LocalTime LocalNow();

// Recording cannot go on (a file that cannot be written, a damaged raw file); the message names
// the file and the place.
class RecordError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What a finished poll left behind, before any decoding, and when it began: the input of the
// recorder, from the window's poll tick or the console program alike.
struct PollInput : PollResult {
    LocalTime time;
};

// The recorder's values are the numeric fields of the unit's field table.
using kalvo::Unit;
using ValueField = UnitField;
using kalvo::ValueFields;

// "uA", "V", "s", "min"; empty for counts, plain numbers and texts.
std::string_view UnitSymbol(Unit unit);

// An error record as the unit keeps it in its history.
struct ErrorRecordFields {
    int number = 0;                        // 1..8, its place in the history when it was seen
    int stateCode = 0;                     // 0..254
    std::string stateText;                 // UTF-8, from the language file; empty above 15
    std::optional<double> counter;         // 24-bit number
    std::optional<double> volts;           // V with the tenth
    std::optional<double> microamps;       // uA with the tenth
    std::optional<double> minutes;         // time in minutes
    std::array<std::uint8_t, 16> bytes{};  // the record as it came, to compare histories
};

// Where ErrorRecordFields keeps each of ErrorRecordValueFields, in the table's order.
inline constexpr std::array<std::optional<double> ErrorRecordFields::*, ErrorRecordValueFields.size()>
    ErrorRecordValueMembers{&ErrorRecordFields::counter, &ErrorRecordFields::volts, &ErrorRecordFields::microamps,
        &ErrorRecordFields::minutes};

// One poll decoded into numbers. Values are absent when the unit sent no value (the window shows
// "-") and for every poll whose link was not ok: its blocks hold no trustworthy data.
struct DecodedPoll {
    LocalTime time;
    LinkStatus link = LinkStatus::NoPort;
    std::optional<int> stateCode;          // status byte 40; absent for 0xFF
    std::string stateText;                 // UTF-8, from the language file
    std::string statusText;                // the unit's 16-character status text, UTF-8
    std::array<std::optional<double>, ValueCount> values{};
    std::optional<StatusFlagSet> flags;  // absent when the link was not ok
    // The link was ok but the data cannot be the unit's (PlausibilityCheck): kept, raises no event.
    bool implausible = false;
    // The non-empty records of the history, in block order; empty when the link was not ok.
    std::array<std::optional<ErrorRecordFields>, ErrorRecordCount> errorRecords{};
};

enum class EventKind : std::uint8_t {
    StateChange,     // the burner state differs from that of the last good poll
    LinkLost,        // the first poll that was not ok after one that was (or at the start)
    LinkBack,        // the first ok poll after polls that were not
    NewErrorRecord,  // a record in the history that the last good poll did not have
    // The unit as now polled does not continue the one before: its counters went back, or leapt
    // further than it counts in the time between. Another unit on the port, or the unit reset.
    CountersWentBack,
    CountersLeapt,
};
// "state change", "link lost", "link back", "new error record", "the unit's counters went back:
// another unit?", "the unit's counters leapt: another unit?": the texts of the console and the
// broker documents, always English.
std::string_view EventKindText(EventKind kind);

struct RecordEvent {
    LocalTime time;
    EventKind kind = EventKind::StateChange;
    LinkStatus link = LinkStatus::Ok;          // the link status of the poll that raised it
    std::optional<int> fromState, toState;     // StateChange
    std::string fromText, toText;              // StateChange, UTF-8
    std::optional<ErrorRecordFields> record;   // NewErrorRecord
    // NewErrorRecord: the last good poll before, whose history did not have the record yet; after
    // a gap in the polls the record came in at some moment between that poll and this one.
    std::optional<LocalTime> since;
};

// Where polls and events go. The recorder calls OnPoll once per poll, then OnEvent for each event
// that poll raised, in order. A sink that cannot go on throws RecordError; the recorder stops.
class PollSink {
public:
    virtual ~PollSink() = default;
    virtual void OnPoll(const PollInput& raw, const DecodedPoll& poll) = 0;
    virtual void OnEvent(const RecordEvent& event) = 0;
    // Everything handed over so far is in its final place (files flushed, messages sent).
    virtual void Finish() {}
};

}  // namespace kalvo::record
