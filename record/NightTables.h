#pragma once

#include <cstddef>
#include <string>

#include "record/NightStatistics.h"
#include "record/NightTexts.h"

namespace kalvo::record {

// The night report's HTML sections besides the chart.

// The markers the page lists and shows up close; the events files hold the rest.
inline constexpr std::size_t MarkerTableLimit = 100;

// The span of the recording: "2026-12-06 20:00 to 2026-12-07 08:00 (12 h 00 min)".
std::string SpanParagraph(const NightStatistics& night, const NightTexts& texts);
// Polls, lockouts, link losses, starts, running time and the ranges of the measured values.
std::string TotalsTable(const NightStatistics& night, const NightTexts& texts);
// The colours of the states seen and the two markers.
std::string ChartLegend(const NightStatistics& night, const NightTexts& texts);
// Every lockout and link loss with its time and record (the first hundred).
std::string MarkerTable(const NightStatistics& night, const NightTexts& texts);
// Starts, running time and polls per hour, or per day for a long recording.
std::string PeriodTable(const NightStatistics& night, const NightTexts& texts);

}  // namespace kalvo::record
