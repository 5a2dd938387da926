#include "record/NightStatistics.h"

#include <algorithm>

#include "record/CivilTime.h"

namespace kalvo::record {

namespace {

using Sample = NightSummary::Sample;

constexpr std::uint16_t NoNumber = NightSummary::NoNumber;
constexpr std::int64_t HourMs = 3'600'000;
constexpr std::int64_t DayMs = 24 * HourMs;
// The poll period of a recording too short to tell its own.
constexpr std::int64_t DefaultPollMs = 2'000;
// Recordings longer than this are tabled per day instead of per hour.
constexpr std::int64_t HourlyTableLimitMs = 48 * HourMs;

// The median time between consecutive polls: the recorder's pace, whatever pauses it had.
std::int64_t PollPeriod(const std::vector<Sample>& samples)
{
    if (samples.size() < 2)
        return DefaultPollMs;
    std::vector<std::int64_t> intervals;
    intervals.reserve(samples.size() - 1);
    for (std::size_t i = 1; i < samples.size(); ++i)
        intervals.push_back(samples[i].utcMs - samples[i - 1].utcMs);
    const auto middle = intervals.begin() + static_cast<std::ptrdiff_t>(intervals.size() / 2);
    std::nth_element(intervals.begin(), middle, intervals.end());
    return std::max<std::int64_t>(*middle, 1);
}

// One measured value along the timeline: a line joins a poll's value to the previous one unless
// polls are missing between them, or a poll between them had no value.
class CurveCollector {
public:
    CurveCollector(std::uint16_t Sample::*tenths, ValueRange NightStatistics::Column::*range,
        bool NightStatistics::Column::*gapBefore)
        : tenths_(tenths),
          range_(range),
          gapBefore_(gapBefore)
    {
    }

    void Add(const Sample& s, NightStatistics::Column& column, std::int64_t gapMs)
    {
        const std::uint16_t tenths = s.link == LinkStatus::Ok ? s.*tenths_ : NoNumber;
        if (tenths == NoNumber) {
            pendingGap_ = true;
            return;
        }
        if (seen_ && s.utcMs - lastMs_ > gapMs)
            pendingGap_ = true;
        column.*gapBefore_ = column.*gapBefore_ || (seen_ && pendingGap_);
        (column.*range_).Add(tenths / 10.0);
        seen_ = true;
        pendingGap_ = false;
        lastMs_ = s.utcMs;
    }

private:
    std::uint16_t Sample::*tenths_;
    ValueRange NightStatistics::Column::*range_;
    bool NightStatistics::Column::*gapBefore_;
    bool seen_ = false, pendingGap_ = false;
    std::int64_t lastMs_ = 0;
};

// A poll's state holds from the poll for its share of time, spread over the columns it covers.
void AddStateTime(NightStatistics& night, std::int64_t fromMs, std::int64_t lengthMs, int slot)
{
    const std::int64_t toMs = fromMs + lengthMs;
    const auto count = static_cast<int>(night.columns.size());
    for (int column = night.ColumnOf(fromMs); column < count && night.ColumnStartMs(column) < toMs; ++column)
        night.columns[static_cast<std::size_t>(column)].stateMs[static_cast<std::size_t>(slot)] +=
            std::max<std::int64_t>(
                std::min(toMs, night.ColumnStartMs(column + 1)) - std::max(fromMs, night.ColumnStartMs(column)), 0);
}

NightStatistics::Period& PeriodOf(NightStatistics& night, const Sample& s)
{
    const std::int64_t length = night.daily ? DayMs : HourMs;
    const std::int64_t local = s.utcMs + s.utcOffsetMinutes * 60'000LL;
    const std::int64_t start = FloorDiv(local, length) * length;
    // A day is one period whatever the clock did in it; an hour is one of a single offset.
    const bool samePeriod = !night.periods.empty() && night.periods.back().localStartMs == start
        && (night.daily || night.periods.back().utcOffsetMinutes == s.utcOffsetMinutes);
    if (!samePeriod)
        night.periods.push_back({start, s.utcOffsetMinutes});
    return night.periods.back();
}

}  // namespace

int StateSlot(const NightSummary::Sample& sample)
{
    return StateSlot(sample.link, sample.state == NightSummary::NoState ? std::nullopt : std::optional<int>(sample.state));
}

int StateSlot(LinkStatus link, std::optional<int> state)
{
    if (link != LinkStatus::Ok || !state)
        return NoDataSlot;
    return *state < OtherStateSlot ? *state : OtherStateSlot;
}

void ValueRange::Add(double value)
{
    low = std::min(low, value);
    high = std::max(high, value);
    sum += value;
    ++count;
}

int NightStatistics::ColumnOf(std::int64_t utcMs) const
{
    const auto count = static_cast<std::int64_t>(columns.size());
    return static_cast<int>(std::clamp<std::int64_t>((utcMs - first.utcMs) * count / spanMs, 0, count - 1));
}

std::int64_t NightStatistics::ColumnStartMs(int column) const
{
    return first.utcMs + column * spanMs / static_cast<std::int64_t>(columns.size());
}

NightStatistics ComputeNightStatistics(const NightSummary& summary, int columnCount)
{
    NightStatistics night;
    night.markers = summary.Markers();
    night.stateTexts = summary.StateTexts();
    for (const RecordEvent& marker : night.markers) {
        night.lockouts += marker.kind == EventKind::NewErrorRecord ? 1 : 0;
        night.linkLosses += marker.kind == EventKind::LinkLost ? 1 : 0;
    }
    const auto& samples = summary.Samples();
    night.polls = static_cast<std::int64_t>(samples.size());
    night.implausiblePolls = summary.ImplausiblePolls();
    if (samples.empty())
        return night;
    night.pollPeriodMs = PollPeriod(samples);
    const std::int64_t gapMs = 2 * night.pollPeriodMs;
    night.first = {samples.front().utcMs, samples.front().utcOffsetMinutes};
    night.lastUtcOffsetMinutes = samples.back().utcOffsetMinutes;
    night.spanMs = samples.back().utcMs + night.pollPeriodMs - night.first.utcMs;
    night.daily = night.spanMs > HourlyTableLimitMs;
    night.columns.resize(static_cast<std::size_t>(columnCount));

    CurveCollector flame(&Sample::flame, &NightStatistics::Column::flame, &NightStatistics::Column::flameGapBefore);
    CurveCollector volts(&Sample::volts, &NightStatistics::Column::volts, &NightStatistics::Column::voltsGapBefore);
    const Sample* previousOk = nullptr;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const Sample& s = samples[i];
        if (night.offsetChanges.empty() || night.offsetChanges.back().utcOffsetMinutes != s.utcOffsetMinutes)
            night.offsetChanges.push_back({s.utcMs, s.utcOffsetMinutes});
        // A poll stands for the time until the next one, but not across missing polls.
        const std::int64_t toNext = i + 1 < samples.size() ? samples[i + 1].utcMs - s.utcMs : night.pollPeriodMs;
        const std::int64_t share = toNext > gapMs ? night.pollPeriodMs : std::max<std::int64_t>(toNext, 0);
        NightStatistics::Column& column = night.columns[static_cast<std::size_t>(night.ColumnOf(s.utcMs))];
        AddStateTime(night, s.utcMs, share, StateSlot(s));
        flame.Add(s, column, gapMs);
        volts.Add(s, column, gapMs);
        NightStatistics::Period& period = PeriodOf(night, s);
        ++period.polls;
        if (s.link == LinkStatus::TransferError)
            ++night.transferErrors;
        if (s.link == LinkStatus::NoPort)
            ++night.noPort;
        if (s.link != LinkStatus::Ok)
            continue;
        ++night.okPolls;
        if (s.volts != NoNumber)
            night.volts.Add(s.volts / 10.0);
        if (s.flameOn) {
            if (s.flame != NoNumber)
                night.flameWhileOn.Add(s.flame / 10.0);
            night.runningMs += share;
            period.runningMs += share;
        }
        // A start is the valve opening while recorded: one open at the first poll opened before.
        if (s.valve1Open && previousOk && !previousOk->valve1Open) {
            ++night.starts;
            ++period.starts;
        }
        previousOk = &s;
    }
    return night;
}

}  // namespace kalvo::record
