#include "record/NightChart.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <sstream>

#include "record/NightFormat.h"
#include "record/NightTimeAxis.h"

namespace kalvo::record {

namespace {

// Drawing geometry, in SVG units. The font size is that of every text in the chart; on a narrow
// screen the chart keeps a width at which it stays readable (see the style sheet).
constexpr int Left = 56, Right = 24;
constexpr double FontSize = 13;
// A value with no neighbour to join is drawn as a dot this big.
constexpr double LoneValueRadius = 2.5;
// Marker lines leave the titles above the band and the plots free: a title's text lies this far up.
constexpr int TitleClearance = 20;
// Marker numbers sit in rows above the chart, each row holding numbers that do not touch.
constexpr int MarkerRowHeight = 16, MaxMarkerRows = 4;
constexpr double MarkerNumberGap = 4;

constexpr std::array<const char*, StateSlotCount> SlotColours{
    "#9aa5b1",
    "#8ecae6",
    "#219ebc",
    "#ffb703",
    "#fb8500",
    "#2a9d8f",
    "#90be6d",
    FlameCurveColour,
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

// The vertical places of the chart's parts below the rows of marker numbers.
struct Layout {
    explicit Layout(int markerRows)
        : markerRows(markerRows),
          bandTop(markerRows * MarkerRowHeight + 24),
          flameTop(bandTop + 36 + 30),
          voltsTop(flameTop + 150 + 30),
          axisTop(voltsTop + 110 + 8),
          height(axisTop + 22)
    {
    }
    int markerRows, bandTop, flameTop, voltsTop, axisTop, height;
    static constexpr int BandHeight = 36, FlameHeight = 150, VoltsHeight = 110;
};

// The marker numbers' rows: each number goes into the first row where it keeps clear of the
// numbers before it; -1 where none has room.
std::vector<int> MarkerRows(const std::vector<double>& xs)
{
    std::vector<double> rowEnds(MaxMarkerRows, -1e9);
    std::vector<int> rows;
    for (std::size_t i = 0; i < xs.size(); ++i) {
        const double half = LabelWidth(std::to_string(i + 1), FontSize) / 2;
        int row = 0;
        while (row < MaxMarkerRows && rowEnds[static_cast<std::size_t>(row)] + MarkerNumberGap > xs[i] - half)
            ++row;
        if (row < MaxMarkerRows)
            rowEnds[static_cast<std::size_t>(row)] = xs[i] + half;
        rows.push_back(row < MaxMarkerRows ? row : -1);
    }
    return rows;
}

class ChartWriter {
public:
    ChartWriter(const NightStatistics& night, const NightTexts& texts)
        : night_(night),
          texts_(texts),
          plotWidth_(static_cast<int>(night.columns.size())),
          svgWidth_(Left + plotWidth_ + Right),
          layout_(MarkerLayout())
    {
    }

    std::string Svg()
    {
        svg_ << "<svg class=\"chart\" viewBox=\"0 0 " << svgWidth_ << ' ' << layout_.height << "\" font-size=\""
             << FontSize << "\" xmlns=\"http://www.w3.org/2000/svg\" role=\"img\" aria-label=\""
             << EscapeHtml(texts_[NightWord::BurnerState] + ", " + texts_[NightWord::FlameCurrent] + ", "
                    + texts_[NightWord::MainsVoltage])
             << "\">\n";
        Title(layout_.bandTop, texts_[NightWord::BurnerState]);
        StateBand();
        Curve(&NightStatistics::Column::flame, &NightStatistics::Column::flameGapBefore, layout_.flameTop,
            Layout::FlameHeight, texts_[NightWord::FlameCurrent] + " (" + std::string(MicroampsText) + ")", FlameCurveColour,
            true);
        Curve(&NightStatistics::Column::volts, &NightStatistics::Column::voltsGapBefore, layout_.voltsTop,
            Layout::VoltsHeight, texts_[NightWord::MainsVoltage] + " (V)", VoltsCurveColour, false);
        TimeAxis();
        Markers();
        svg_ << titles_ << "</svg>\n";
        return svg_.str();
    }

private:
    double X(std::int64_t utcMs) const
    {
        return Left + static_cast<double>(utcMs - night_.first.utcMs) * plotWidth_ / static_cast<double>(night_.spanMs);
    }

    Layout MarkerLayout()
    {
        std::vector<double> xs;
        for (const RecordEvent& marker : night_.markers)
            xs.push_back(X(marker.time.utcMs));
        markerRows_ = MarkerRows(xs);
        const int used = markerRows_.empty() ? 0 : *std::max_element(markerRows_.begin(), markerRows_.end()) + 1;
        return Layout(used);
    }

    // The titles are drawn last, over the marker lines.
    void Title(int top, const std::string& text)
    {
        titles_ += "<text x=\"" + std::to_string(Left) + "\" y=\"" + std::to_string(top - 7) + "\" class=\"label\">"
            + EscapeHtml(text) + "</text>\n";
    }

    void StateBand()
    {
        // Each column shows the state it held longest; neighbouring columns of one state join, and
        // columns without any poll stay empty.
        int runStart = 0, runSlot = -1;
        const auto flush = [&](int end) {
            if (runSlot >= 0)
                svg_ << "<rect x=\"" << Left + runStart << "\" y=\"" << layout_.bandTop << "\" width=\""
                     << end - runStart << "\" height=\"" << Layout::BandHeight << "\" fill=\""
                     << StateSlotColour(runSlot) << "\"/>\n";
        };
        for (int column = 0; column < plotWidth_; ++column) {
            const auto& time = night_.columns[static_cast<std::size_t>(column)].stateMs;
            const auto most = std::max_element(time.begin(), time.end());
            const int slot = *most == 0 ? -1 : static_cast<int>(most - time.begin());
            if (slot != runSlot) {
                flush(column);
                runStart = column;
                runSlot = slot;
            }
        }
        flush(plotWidth_);
    }

    void Curve(ValueRange NightStatistics::Column::*value, bool NightStatistics::Column::*gapBefore, int top,
        int height, const std::string& title, const char* colour, bool fromZero)
    {
        ValueRange all;
        for (const auto& column : night_.columns)
            if (!(column.*value).Empty()) {
                all.Add((column.*value).low);
                all.Add((column.*value).high);
            }
        Title(top, title);
        svg_ << "<rect x=\"" << Left << "\" y=\"" << top << "\" width=\"" << plotWidth_ << "\" height=\"" << height
             << "\" class=\"plot\"/>\n";
        if (all.Empty())
            return;
        const CurveScale scale = ScaleOf(all, fromZero);
        const auto [bottom, ceiling, decimals] = scale;
        const auto y = [&](double v) { return scale.Y(v, top, height); };
        for (double tick : {bottom, (bottom + ceiling) / 2, ceiling})
            svg_ << "<text x=\"" << Left - 4 << "\" y=\"" << Fixed(y(tick) + 4, 1) << "\" class=\"tick\">"
                 << Fixed(tick, decimals) << "</text>\n";
        // The spread within each column, then the mean through them; missing polls break the line.
        svg_ << "<path stroke=\"" << colour << "\" stroke-opacity=\"0.3\" fill=\"none\" d=\"";
        for (int column = 0; column < plotWidth_; ++column) {
            const ValueRange& c = night_.columns[static_cast<std::size_t>(column)].*value;
            if (!c.Empty() && c.high > c.low)
                svg_ << 'M' << Left + column + 0.5 << ' ' << Fixed(y(c.high) - 0.5, 1) << 'V'
                     << Fixed(y(c.low) + 0.5, 1);
        }
        svg_ << "\"/>\n<path stroke=\"" << colour << "\" stroke-width=\"1.5\" fill=\"none\" d=\"";
        // Each column's mean and whether a line joins it to the previous one with a value.
        std::vector<std::pair<int, bool>> points;
        for (int column = 0; column < plotWidth_; ++column) {
            const NightStatistics::Column& c = night_.columns[static_cast<std::size_t>(column)];
            if (!(c.*value).Empty())
                points.emplace_back(column, !points.empty() && !(c.*gapBefore));
        }
        std::string lone;
        const auto mean = [&](int column) {
            return y((night_.columns[static_cast<std::size_t>(column)].*value).Mean());
        };
        for (std::size_t i = 0; i < points.size(); ++i) {
            const auto [column, joined] = points[i];
            svg_ << (joined ? 'L' : 'M') << Left + column + 0.5 << ' ' << Fixed(mean(column), 1);
            // A value joined to neither neighbour (a single poll, or one between missing polls)
            // would be an invisible line of no length.
            if (!joined && (i + 1 == points.size() || !points[i + 1].second))
                lone += "<circle cx=\"" + Fixed(Left + column + 0.5, 1) + "\" cy=\"" + Fixed(mean(column), 1)
                    + "\" r=\"" + Fixed(LoneValueRadius, 1) + "\" fill=\"" + colour + "\"/>\n";
        }
        svg_ << "\"/>\n" << lone;
    }

    void TimeAxis()
    {
        for (const TimeTick& tick : NightTimeTicks(night_, plotWidth_, FontSize)) {
            const double x = X(tick.utcMs);
            const double half = LabelWidth(tick.label, FontSize) / 2;
            if (x - half < 0 || x + half > svgWidth_)
                continue;
            svg_ << "<line x1=\"" << Fixed(x, 1) << "\" x2=\"" << Fixed(x, 1) << "\" y1=\"" << layout_.bandTop
                 << "\" y2=\"" << layout_.axisTop << "\" class=\"grid\"/>\n<text x=\"" << Fixed(x, 1) << "\" y=\""
                 << layout_.axisTop + 16 << "\" class=\"time\">" << tick.label << "</text>\n";
        }
    }

    void Markers()
    {
        for (std::size_t i = 0; i < night_.markers.size(); ++i) {
            const RecordEvent& marker = night_.markers[i];
            const bool lockout = marker.kind == EventKind::NewErrorRecord;
            const std::string x = Fixed(X(marker.time.utcMs), 1);
            const int row = markerRows_[i];
            const int lineTop = row < 0 ? layout_.markerRows * MarkerRowHeight : (row + 1) * MarkerRowHeight;
            svg_ << "<g class=\"" << (lockout ? "lockout" : "linkloss") << "\"><title>"
                 << EscapeHtml(MarkerText(marker, texts_)) << "</title><path d=\"";
            // From its number down to the band's title, then through the band and each plot.
            const std::array<std::pair<int, int>, 4> segments{
                {{lineTop, layout_.bandTop - TitleClearance}, {layout_.bandTop, layout_.bandTop + Layout::BandHeight},
                    {layout_.flameTop, layout_.flameTop + Layout::FlameHeight}, {layout_.voltsTop, layout_.axisTop}}};
            for (const auto& [from, to] : segments)
                if (to > from)
                    svg_ << 'M' << x << ' ' << from << 'V' << to;
            svg_ << "\"/>";
            if (row >= 0)
                svg_ << "<text x=\"" << x << "\" y=\"" << row * MarkerRowHeight + 13 << "\">" << i + 1 << "</text>";
            svg_ << "</g>\n";
        }
    }

    const NightStatistics& night_;
    const NightTexts& texts_;
    int plotWidth_, svgWidth_;
    std::vector<int> markerRows_;
    Layout layout_;
    std::ostringstream svg_;
    std::string titles_;
};

}  // namespace

const char* StateSlotColour(int slot)
{
    return SlotColours[static_cast<std::size_t>(std::clamp(slot, 0, StateSlotCount - 1))];
}

CurveScale ScaleOf(const ValueRange& values, bool fromZero)
{
    const double low = fromZero ? 0 : values.low;
    const double pad = std::max((values.high - low) * 0.1, 1.0);
    const double bottom = fromZero ? 0 : std::floor(low - pad), ceiling = std::ceil(values.high + pad);
    // A scale of a few units whose middle is no whole number shows the tenth, so that middle does
    // not read like one of its ends.
    return {bottom, ceiling, ceiling - bottom < 10 && std::fmod(ceiling - bottom, 2) != 0 ? 1 : 0};
}

std::string NightChartSvg(const NightStatistics& night, const NightTexts& texts)
{
    return ChartWriter(night, texts).Svg();
}

}  // namespace kalvo::record
