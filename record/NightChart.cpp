#include "NightChart.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "CivilTime.h"
#include "NightFormat.h"

namespace kalvo::record {

namespace {

constexpr std::int64_t HourMs = 3'600'000;
constexpr std::int64_t DayMs = 24 * HourMs;

// Drawing geometry, in SVG units.
constexpr int Left = 56, PlotWidth = NightChartColumns, Right = 16;
constexpr int BandTop = 24, BandHeight = 36;
constexpr int FlameTop = 96, FlameHeight = 150;
constexpr int VoltsTop = 286, VoltsHeight = 110;
constexpr int AxisTop = 404, SvgHeight = 430;
constexpr int SvgWidth = Left + PlotWidth + Right;

constexpr std::array<const char*, StateSlotCount> SlotColours{
    "#9aa5b1",
    "#8ecae6",
    "#219ebc",
    "#ffb703",
    "#fb8500",
    "#2a9d8f",
    "#90be6d",
    "#d62828",
    "#f4a261",
    "#6d597a",
    "#b56576",
    "#e56b6f",
    "#577590",
    "#43aa8b",
    "#f9c74f",
    "#4d908e",
    "#333333",
    "#e5e5e5",
};

class ChartWriter {
public:
    explicit ChartWriter(const NightStatistics& night) : night_(night) { }

    std::string Svg()
    {
        svg_ << "<svg class=\"chart\" viewBox=\"0 0 " << SvgWidth << ' ' << SvgHeight
             << "\" xmlns=\"http://www.w3.org/2000/svg\" role=\"img\" aria-label=\"Burner states, flame current and "
                "mains voltage over time\">\n";
        svg_ << "<text x=\"" << Left << "\" y=\"" << BandTop - 6 << "\" class=\"label\">Burner state</text>\n";
        StateBand();
        Curve(&NightStatistics::Column::flame, FlameTop, FlameHeight, "Flame current (uA)", "#d62828", true);
        Curve(&NightStatistics::Column::volts, VoltsTop, VoltsHeight, "Mains voltage (V)", "#1d4ed8", false);
        TimeAxis();
        MarkerLines();
        svg_ << "</svg>\n";
        return svg_.str();
    }

private:
    double X(std::int64_t utcMs) const
    {
        return Left + static_cast<double>(utcMs - night_.first.utcMs) * PlotWidth / static_cast<double>(night_.spanMs);
    }

    void StateBand()
    {
        // Each column shows the state it held longest; neighbouring columns of one state join.
        int runStart = 0, runSlot = -1;
        const auto flush = [&](int end) {
            if (runSlot >= 0)
                svg_ << "<rect x=\"" << Left + runStart << "\" y=\"" << BandTop << "\" width=\"" << end - runStart
                     << "\" height=\"" << BandHeight << "\" fill=\"" << StateSlotColour(runSlot) << "\"/>\n";
        };
        for (int column = 0; column < PlotWidth; ++column) {
            const auto& counts = night_.columns[static_cast<std::size_t>(column)].statePolls;
            const auto most = std::max_element(counts.begin(), counts.end());
            const int slot = *most == 0 ? -1 : static_cast<int>(most - counts.begin());
            if (slot != runSlot) {
                flush(column);
                runStart = column;
                runSlot = slot;
            }
        }
        flush(PlotWidth);
    }

    void Curve(ValueRange NightStatistics::Column::*value, int top, int height, const char* title, const char* colour,
        bool fromZero)
    {
        ValueRange all;
        for (const auto& column : night_.columns)
            if (!(column.*value).Empty()) {
                all.Add((column.*value).low);
                all.Add((column.*value).high);
            }
        svg_ << "<text x=\"" << Left << "\" y=\"" << top - 6 << "\" class=\"label\">" << title << "</text>\n";
        svg_ << "<rect x=\"" << Left << "\" y=\"" << top << "\" width=\"" << PlotWidth << "\" height=\"" << height
             << "\" class=\"plot\"/>\n";
        if (all.Empty())
            return;
        const double low = fromZero ? 0 : all.low;
        const double pad = std::max((all.high - low) * 0.1, 1.0);
        const double bottom = fromZero ? 0 : std::floor(low - pad), ceiling = std::ceil(all.high + pad);
        const auto y = [&](double v) { return top + height - (v - bottom) * height / (ceiling - bottom); };
        for (double tick : {bottom, (bottom + ceiling) / 2, ceiling})
            svg_ << "<text x=\"" << Left - 4 << "\" y=\"" << Fixed(y(tick) + 4, 1) << "\" class=\"tick\">"
                 << Fixed(tick, 0) << "</text>\n";
        // The spread within each column, then the mean through them; a gap in the data breaks the line.
        svg_ << "<path stroke=\"" << colour << "\" stroke-opacity=\"0.3\" fill=\"none\" d=\"";
        for (int column = 0; column < PlotWidth; ++column) {
            const ValueRange& c = night_.columns[static_cast<std::size_t>(column)].*value;
            if (!c.Empty())
                svg_ << 'M' << Left + column + 0.5 << ' ' << Fixed(y(c.high) - 0.5, 1) << 'V'
                     << Fixed(y(c.low) + 0.5, 1);
        }
        svg_ << "\"/>\n<path stroke=\"" << colour << "\" stroke-width=\"1.5\" fill=\"none\" d=\"";
        bool drawing = false;
        for (int column = 0; column < PlotWidth; ++column) {
            const ValueRange& c = night_.columns[static_cast<std::size_t>(column)].*value;
            if (c.Empty()) {
                drawing = false;
                continue;
            }
            svg_ << (drawing ? 'L' : 'M') << Left + column + 0.5 << ' ' << Fixed(y(c.Mean()), 1);
            drawing = true;
        }
        svg_ << "\"/>\n";
    }

    void TimeAxis()
    {
        const std::int64_t span = night_.spanMs;
        const std::int64_t step = span <= 36 * HourMs ? HourMs * (span > 16 * HourMs ? 2 : 1)
            : span <= 7 * DayMs                       ? 6 * HourMs
                                                      : DayMs;
        const std::int64_t offsetMs = night_.first.utcOffsetMinutes * 60'000LL;
        const std::int64_t firstLocal = night_.first.utcMs + offsetMs;
        for (std::int64_t local = FloorDiv(firstLocal, step) * step + step; local < firstLocal + span; local += step) {
            const double x = X(local - offsetMs);
            const CivilTime t = ToCivil(FloorDiv(local, 1000));
            char label[24];
            if (step >= DayMs)
                std::snprintf(label, sizeof label, "%02d-%02d", t.month, t.day);
            else
                std::snprintf(label, sizeof label, "%02d:%02d", t.hour, t.minute);
            svg_ << "<line x1=\"" << Fixed(x, 1) << "\" x2=\"" << Fixed(x, 1) << "\" y1=\"" << BandTop << "\" y2=\""
                 << AxisTop << "\" class=\"grid\"/>\n<text x=\"" << Fixed(x, 1) << "\" y=\"" << AxisTop + 16
                 << "\" class=\"time\">" << label << "</text>\n";
        }
    }

    void MarkerLines()
    {
        int number = 0;
        for (const RecordEvent& marker : night_.markers) {
            ++number;
            const bool lockout = marker.kind == EventKind::NewErrorRecord;
            const double x = X(marker.time.utcMs);
            svg_ << "<g class=\"" << (lockout ? "lockout" : "linkloss") << "\"><title>"
                 << EscapeHtml(MarkerText(marker)) << "</title><line x1=\"" << Fixed(x, 1) << "\" x2=\"" << Fixed(x, 1)
                 << "\" y1=\"" << BandTop << "\" y2=\"" << AxisTop << "\"/><text x=\"" << Fixed(x, 1) << "\" y=\""
                 << BandTop + BandHeight + 14 << "\">" << number << "</text></g>\n";
        }
    }

    const NightStatistics& night_;
    std::ostringstream svg_;
};

}  // namespace

const char* StateSlotColour(int slot)
{
    return SlotColours[static_cast<std::size_t>(std::clamp(slot, 0, StateSlotCount - 1))];
}

std::string NightChartSvg(const NightStatistics& night)
{
    return ChartWriter(night).Svg();
}

}  // namespace kalvo::record
