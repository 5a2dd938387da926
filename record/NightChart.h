#pragma once

#include <string>

#include "record/NightStatistics.h"
#include "record/NightTexts.h"

namespace kalvo::record {

// The timeline is drawn a column per SVG unit of its plot.
inline constexpr int NightChartColumns = 900;

// The colour of a state slot in the band and the legend.
const char* StateSlotColour(int slot);

// The timeline as inline SVG: the burner state band, flame current, mains voltage, the time axis
// and the numbered lockout and link loss markers.
std::string NightChartSvg(const NightStatistics& night, const NightTexts& texts);

}  // namespace kalvo::record
