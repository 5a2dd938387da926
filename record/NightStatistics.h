#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "record/NightReport.h"

namespace kalvo::record {

// Lowest, highest and mean of a measured value.
struct ValueRange {
    double low = std::numeric_limits<double>::max();
    double high = std::numeric_limits<double>::lowest();
    double sum = 0;
    long count = 0;

    void Add(double value);
    bool Empty() const { return count == 0; }
    double Mean() const { return sum / static_cast<double>(count); }
};

// Where a poll's state goes in the timeline: codes 0..15 each their own, every other code one
// slot, and polls without data (no link, no state) one.
inline constexpr int StateSlotCount = 18;
inline constexpr int OtherStateSlot = 16;
inline constexpr int NoDataSlot = 17;
int StateSlot(const NightSummary::Sample& sample);
// The same for a poll's link and state code (absent: no state).
int StateSlot(LinkStatus link, std::optional<int> state);

// Everything the night report shows, worked out once from a recording's summary; the page only
// renders it.
struct NightStatistics {
    // A stretch of the timeline: how long each state slot lasted in it, and the measured values.
    struct Column {
        std::array<std::int64_t, StateSlotCount> stateMs{};
        ValueRange flame, volts;
        // Polls are missing between the previous column's values and this one's.
        bool flameGapBefore = false, voltsGapBefore = false;
    };
    // An hour (or a day) of local time; the hour repeated when summer time ends is two periods,
    // told apart by their offset.
    struct Period {
        std::int64_t localStartMs = 0;  // local wall clock, as milliseconds since 1970
        int utcOffsetMinutes = 0;       // of the period's first poll
        std::int64_t starts = 0, runningMs = 0, polls = 0;
    };

    // The span from the first poll to the end of the last one.
    LocalTime first;
    int lastUtcOffsetMinutes = 0;
    // The first poll, and each poll whose local offset differs from the one before (summer time).
    std::vector<LocalTime> offsetChanges;
    std::int64_t spanMs = 0;
    // The usual time from one poll to the next; polls are missing where more than two pass.
    std::int64_t pollPeriodMs = 0;

    std::int64_t polls = 0, okPolls = 0, transferErrors = 0, noPort = 0;
    std::int64_t implausiblePolls = 0;  // noise taken for replies, left out of everything else
    std::int64_t lockouts = 0, linkLosses = 0;
    std::int64_t starts = 0;     // fuel valve BV 1 opened
    std::int64_t runningMs = 0;  // flame on
    ValueRange flameWhileOn, volts;

    bool daily = false;  // periods are days rather than hours
    std::vector<Period> periods;

    // The timeline cut into equal columns, from first over spanMs.
    std::vector<Column> columns;
    // Lockouts (new error records), link losses and changed units, in order.
    std::vector<RecordEvent> markers;
    // The language's text of each state code seen.
    std::map<int, std::string> stateTexts;

    std::int64_t EndUtcMs() const { return first.utcMs + spanMs; }
    // The clock changed during the recording: local times need their offset to be told apart.
    bool SeveralOffsets() const { return offsetChanges.size() > 1; }
    // The column a moment falls in, and the moment its column starts.
    int ColumnOf(std::int64_t utcMs) const;
    std::int64_t ColumnStartMs(int column) const;
};

// The statistics of the summarised recording, its timeline cut into columnCount columns.
NightStatistics ComputeNightStatistics(const NightSummary& summary, int columnCount);

}  // namespace kalvo::record
