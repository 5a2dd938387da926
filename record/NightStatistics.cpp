#include "NightStatistics.h"

#include <algorithm>

#include "CivilTime.h"

namespace kalvo::record {

namespace {

constexpr std::uint16_t NoNumber = NightSummary::NoNumber;
constexpr std::int64_t HourMs = 3'600'000;
constexpr std::int64_t DayMs = 24 * HourMs;
constexpr std::int64_t PollMs = 2'000;
// A poll stands for the time until the next one, but not across a gap in the recording.
constexpr std::int64_t LongestPollShareMs = 10'000;
// Recordings longer than this are tabled per day instead of per hour.
constexpr std::int64_t HourlyTableLimitMs = 48 * HourMs;

int StateSlot(const NightSummary::Sample& sample)
{
    if (sample.link != LinkStatus::Ok || sample.state == NightSummary::NoState)
        return NoDataSlot;
    return sample.state < OtherStateSlot ? sample.state : OtherStateSlot;
}

void AddTenths(std::uint16_t tenths, ValueRange& range)
{
    if (tenths != NoNumber)
        range.Add(tenths / 10.0);
}

NightStatistics::Period& PeriodOf(NightStatistics& night, const NightSummary::Sample& s)
{
    const std::int64_t length = night.daily ? DayMs : HourMs;
    const std::int64_t local = s.utcMs + s.utcOffsetMinutes * 60'000LL;
    const std::int64_t start = FloorDiv(local, length) * length;
    if (night.periods.empty() || night.periods.back().localStartMs != start)
        night.periods.push_back({start});
    return night.periods.back();
}

}  // namespace

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

NightStatistics ComputeNightStatistics(const NightSummary& summary, int columnCount)
{
    NightStatistics night;
    night.markers = summary.Markers();
    night.stateTexts = summary.StateTexts();
    for (const RecordEvent& marker : night.markers)
        (marker.kind == EventKind::NewErrorRecord ? night.lockouts : night.linkLosses) += 1;
    const auto& samples = summary.Samples();
    night.polls = static_cast<std::int64_t>(samples.size());
    if (samples.empty())
        return night;
    night.first = {samples.front().utcMs, samples.front().utcOffsetMinutes};
    night.lastUtcOffsetMinutes = samples.back().utcOffsetMinutes;
    night.spanMs = std::max<std::int64_t>(samples.back().utcMs + PollMs - night.first.utcMs, PollMs);
    night.daily = night.spanMs > HourlyTableLimitMs;
    night.columns.resize(static_cast<std::size_t>(columnCount));

    const NightSummary::Sample* previousOk = nullptr;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const NightSummary::Sample& s = samples[i];
        const std::int64_t share = i + 1 < samples.size()
            ? std::clamp<std::int64_t>(samples[i + 1].utcMs - s.utcMs, 0, LongestPollShareMs)
            : PollMs;
        NightStatistics::Column& column = night.columns[static_cast<std::size_t>(night.ColumnOf(s.utcMs))];
        ++column.statePolls[static_cast<std::size_t>(StateSlot(s))];
        NightStatistics::Period& period = PeriodOf(night, s);
        ++period.polls;
        if (s.link == LinkStatus::TransferError)
            ++night.transferErrors;
        if (s.link == LinkStatus::NoPort)
            ++night.noPort;
        if (s.link != LinkStatus::Ok)
            continue;
        ++night.okPolls;
        AddTenths(s.flame, column.flame);
        AddTenths(s.volts, column.volts);
        AddTenths(s.volts, night.volts);
        if (s.flameOn) {
            AddTenths(s.flame, night.flameWhileOn);
            night.runningMs += share;
            period.runningMs += share;
        }
        if (s.valve1Open && (!previousOk || !previousOk->valve1Open)) {
            ++night.starts;
            ++period.starts;
        }
        previousOk = &s;
    }
    return night;
}

}  // namespace kalvo::record
