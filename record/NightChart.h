#pragma once

#include <string>

#include "record/NightStatistics.h"
#include "record/NightTexts.h"

namespace kalvo::record {

// The timeline is drawn a column per SVG unit of its plot: this wide on a screen, and narrower on
// a phone, where the whole span stays in view with its texts readable.
inline constexpr int NightChartColumns = 900;
inline constexpr int NarrowNightChartColumns = 300;

// The colour of a state slot in the band and the legend.
const char* StateSlotColour(int slot);
// The colours of the measured curves, wherever a night report or a trend draws them.
inline constexpr char FlameCurveColour[] = "#d62828";
inline constexpr char VoltsCurveColour[] = "#1d4ed8";

// The span a curve's scale covers: its values with some room, from zero for a current.
struct CurveScale {
    double bottom, ceiling;
    int decimals;  // of its labels
    // The y of a value in a plot whose top edge is at top.
    double Y(double value, double top, double height) const
    {
        return top + height - (value - bottom) * height / (ceiling - bottom);
    }
};
CurveScale ScaleOf(const ValueRange& values, bool fromZero);

// The timeline as inline SVG, a plot unit per column of the statistics: the burner state band,
// flame current, mains voltage, the time axis and the numbered lockout and link loss markers.
std::string NightChartSvg(const NightStatistics& night, const NightTexts& texts);

}  // namespace kalvo::record
