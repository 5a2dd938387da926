#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "record/NightStatistics.h"

namespace kalvo::record {

// A labelled moment on the time axis.
struct TimeTick {
    std::int64_t utcMs;
    std::string label;  // "02:00", "02:30:10", "12-07" (a date, for midnight and day steps)
};

// About how wide a label is drawn at the font size (digits, colons and dashes of a sans-serif font).
double LabelWidth(std::string_view label, double fontSize);

// Round local times over the night's span, each in the offset in force at that moment, as close together as their
// labels allow on a plot of plotWidth units: seconds for a minute's recording, days for a month's.
std::vector<TimeTick> NightTimeTicks(const NightStatistics& night, double plotWidth, double fontSize);

}  // namespace kalvo::record
