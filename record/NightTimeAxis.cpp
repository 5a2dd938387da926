#include "record/NightTimeAxis.h"

#include <array>
#include <cstdio>

#include "record/CivilTime.h"
#include "record/NightFormat.h"

namespace kalvo::record {

namespace {

constexpr std::int64_t SecondMs = 1'000, MinuteMs = 60 * SecondMs, HourMs = 60 * MinuteMs, DayMs = 24 * HourMs;

// The steps between labels, from the shortest; each a whole fraction or multiple of the next unit.
constexpr std::array<std::int64_t, 20> Steps{
    5 * SecondMs,
    10 * SecondMs,
    15 * SecondMs,
    30 * SecondMs,
    MinuteMs,
    2 * MinuteMs,
    5 * MinuteMs,
    10 * MinuteMs,
    15 * MinuteMs,
    30 * MinuteMs,
    HourMs,
    2 * HourMs,
    3 * HourMs,
    6 * HourMs,
    12 * HourMs,
    DayMs,
    2 * DayMs,
    3 * DayMs,
    7 * DayMs,
    14 * DayMs,
};

// Room between two neighbouring labels, in widths of a digit.
constexpr double LabelGap = 2.0;

std::string Label(std::int64_t localMs, std::int64_t step)
{
    const CivilTime t = ToCivil(FloorDiv(localMs, 1000));
    char text[24];
    if (step >= DayMs || (step >= HourMs && t.hour == 0 && t.minute == 0))
        std::snprintf(text, sizeof text, "%02d-%02d", t.month, t.day);
    else if (step < MinuteMs)
        std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    else
        std::snprintf(text, sizeof text, "%02d:%02d", t.hour, t.minute);
    return text;
}

// The widest label a step gives.
std::string_view WidestLabel(std::int64_t step)
{
    return step < MinuteMs ? "00:00:00" : "00:00";
}

}  // namespace

double LabelWidth(std::string_view label, double fontSize)
{
    return static_cast<double>(label.size()) * 0.62 * fontSize;
}

std::vector<TimeTick> NightTimeTicks(const NightStatistics& night, double plotWidth, double fontSize)
{
    std::vector<TimeTick> ticks;
    if (night.spanMs <= 0)
        return ticks;
    const double unitsPerMs = plotWidth / static_cast<double>(night.spanMs);
    const auto room = [&](std::int64_t step) {
        return LabelWidth(WidestLabel(step), fontSize) + LabelGap * 0.62 * fontSize;
    };
    std::int64_t step = Steps.back();
    for (std::int64_t candidate : Steps)
        if (static_cast<double>(candidate) * unitsPerMs >= room(candidate)) {
            step = candidate;
            break;
        }
    const auto apart = [&](const TimeTick& a, const TimeTick& b) {
        return static_cast<double>(b.utcMs - a.utcMs) * unitsPerMs
            >= (LabelWidth(a.label, fontSize) + LabelWidth(b.label, fontSize)) / 2 + LabelGap * 0.62 * fontSize;
    };
    // Each stretch of one local offset has its own round times. Where the clock changed between
    // two polls, the moments after the last poll of the old offset are the new offset's, as the
    // clock changes at a round time: the autumn's 03:00 summer time is labelled 02:00. The first
    // label of a new offset names it, and the labels too close before it give way.
    const std::vector<LocalTime> stretches =
        night.offsetChanges.empty() ? std::vector<LocalTime>{night.first} : night.offsetChanges;
    for (std::size_t i = 0; i < stretches.size(); ++i) {
        const std::int64_t offsetMs = stretches[i].utcOffsetMinutes * MinuteMs;
        const std::int64_t fromUtc = i == 0 ? night.first.utcMs : stretches[i].utcMs - night.pollPeriodMs;
        const bool last = i + 1 == stretches.size();
        const std::int64_t toUtc = last ? night.EndUtcMs() : stretches[i + 1].utcMs - night.pollPeriodMs;
        for (std::int64_t local = FloorDiv(fromUtc + offsetMs, step) * step;; local += step) {
            const std::int64_t utcMs = local - offsetMs;
            if (utcMs > toUtc || (last && utcMs == toUtc))
                break;
            if (utcMs <= fromUtc)
                continue;
            TimeTick tick{utcMs, Label(local, step)};
            const bool namesOffset = i > 0 && (ticks.empty() || ticks.back().utcMs <= fromUtc);
            if (namesOffset) {
                tick.label += " " + OffsetText(stretches[i].utcOffsetMinutes);
                while (!ticks.empty() && !apart(ticks.back(), tick))
                    ticks.pop_back();
            } else if (!ticks.empty() && !apart(ticks.back(), tick)) {
                continue;
            }
            ticks.push_back(tick);
        }
    }
    return ticks;
}

}  // namespace kalvo::record
