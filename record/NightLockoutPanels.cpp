#include "record/NightLockoutPanels.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <sstream>

#include "record/CivilTime.h"
#include "record/CsvFiles.h"
#include "record/NightChart.h"
#include "record/NightFormat.h"
#include "record/NightTables.h"

namespace kalvo::record {

namespace {

using Sample = NightSummary::Sample;

// Geometry in SVG units: four minutes over 360 units, a band and two plots.
constexpr int Left = 44, PlotWidth = 360, Right = 30, Width = Left + PlotWidth + Right;
constexpr int BandTop = 20, BandHeight = 16, FlameTop = BandTop + BandHeight + 22, FlameHeight = 80,
              VoltsTop = FlameTop + FlameHeight + 22, VoltsHeight = 60, AxisTop = VoltsTop + VoltsHeight,
              Height = AxisTop + 18;
constexpr double FontSize = 11;

class PanelWriter {
public:
    PanelWriter(std::vector<Sample>::const_iterator from, std::vector<Sample>::const_iterator to, LocalTime at,
        std::int64_t gapMs)
        : from_(from),
          to_(to),
          at_(at),
          atMs_(at.utcMs),
          gapMs_(gapMs)
    {
    }

    std::string Svg(const NightTexts& texts)
    {
        svg_ << "<svg class=\"panel\" viewBox=\"0 0 " << Width << ' ' << Height << "\" font-size=\"" << FontSize
             << "\" xmlns=\"http://www.w3.org/2000/svg\">\n";
        Title(BandTop, texts[NightWord::BurnerState]);
        Band();
        Curve(&Sample::flame, FlameTop, FlameHeight,
            texts[NightWord::FlameCurrent] + " (" + std::string(MicroampsText) + ")", FlameCurveColour, true);
        Curve(&Sample::volts, VoltsTop, VoltsHeight, texts[NightWord::MainsVoltage] + " (V)", VoltsCurveColour, false);
        Axis();
        svg_ << "<path class=\"moment\" d=\"M" << Fixed(X(atMs_), 1) << ' ' << BandTop << 'V' << AxisTop << "\"/>\n"
             << titles_ << "</svg>\n";
        return svg_.str();
    }

private:
    double X(std::int64_t utcMs) const
    {
        return Left + static_cast<double>(utcMs - (atMs_ - PanelBeforeMs)) * PlotWidth / (PanelBeforeMs + PanelAfterMs);
    }

    void Title(int top, const std::string& text)
    {
        titles_ += "<text x=\"" + std::to_string(Left) + "\" y=\"" + std::to_string(top - 5) + "\" class=\"label\">"
            + EscapeHtml(text) + "</text>\n";
    }

    // The time each poll stands for: until the next one, but not across missing polls.
    std::int64_t EndOf(std::vector<Sample>::const_iterator s) const
    {
        const std::int64_t next = s + 1 != to_ ? (s + 1)->utcMs : s->utcMs + gapMs_ / 2;
        return std::min(next - s->utcMs > gapMs_ ? s->utcMs + gapMs_ / 2 : next, atMs_ + PanelAfterMs);
    }

    void Band()
    {
        svg_ << "<rect x=\"" << Left << "\" y=\"" << BandTop << "\" width=\"" << PlotWidth << "\" height=\""
             << BandHeight << "\" class=\"plot\"/>\n";
        // Polls of one state in a row make one piece.
        for (auto s = from_; s != to_;) {
            auto end = s;
            while (end + 1 != to_ && StateSlot(*(end + 1)) == StateSlot(*s) && EndOf(end) == (end + 1)->utcMs)
                ++end;
            svg_ << "<rect x=\"" << Fixed(X(s->utcMs), 1) << "\" y=\"" << BandTop << "\" width=\""
                 << Fixed(std::max(X(EndOf(end)) - X(s->utcMs), 0.0), 1) << "\" height=\"" << BandHeight << "\" fill=\""
                 << StateSlotColour(StateSlot(*s)) << "\"/>\n";
            s = end + 1;
        }
    }

    // A point per poll; missing polls and polls without a value break the line.
    void Curve(
        std::uint16_t Sample::*tenths, int top, int height, const std::string& title, const char* colour, bool fromZero)
    {
        Title(top, title);
        svg_ << "<rect x=\"" << Left << "\" y=\"" << top << "\" width=\"" << PlotWidth << "\" height=\"" << height
             << "\" class=\"plot\"/>\n";
        const auto value = [&](const Sample& s) {
            return s.link == LinkStatus::Ok && s.*tenths != NightSummary::NoNumber;
        };
        ValueRange all;
        for (auto s = from_; s != to_; ++s)
            if (value(*s))
                all.Add((*s).*tenths / 10.0);
        if (all.Empty())
            return;
        const CurveScale scale = ScaleOf(all, fromZero);
        const auto [bottom, ceiling, decimals] = scale;
        const auto y = [&](double v) { return scale.Y(v, top, height); };
        for (double tick : {bottom, ceiling})
            svg_ << "<text x=\"" << Left - 3 << "\" y=\"" << Fixed(y(tick) + 4, 1) << "\" class=\"tick\">"
                 << Fixed(tick, decimals) << "</text>\n";
        svg_ << "<path stroke=\"" << colour << "\" stroke-width=\"1.5\" fill=\"none\" d=\"";
        std::optional<std::int64_t> lastMs;
        for (auto s = from_; s != to_; ++s) {
            if (!value(*s)) {
                lastMs.reset();
                continue;
            }
            svg_ << (lastMs && s->utcMs - *lastMs <= gapMs_ ? 'L' : 'M') << Fixed(X(s->utcMs), 1) << ' '
                 << Fixed(y((*s).*tenths / 10.0), 1);
            lastMs = s->utcMs;
        }
        svg_ << "\"/>\n";
    }

    // A label a minute: the lockout's own time, the others the minutes from it.
    void Axis()
    {
        for (int minute = -3; minute <= 1; ++minute) {
            const std::int64_t ms = atMs_ + minute * 60'000LL;
            const std::string label =
                minute == 0 ? ClockText() : (minute > 0 ? "+" : "") + std::to_string(minute) + " min";
            svg_ << "<text x=\"" << Fixed(X(ms), 1) << "\" y=\"" << AxisTop + 13 << "\" class=\"time\">" << label
                 << "</text>\n";
        }
    }

    // "22:40:02", the local time of the lockout.
    std::string ClockText() const
    {
        const CivilTime t = ToCivil(LocalSeconds(at_));
        char text[16];
        std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute, t.second);
        return text;
    }

    std::vector<Sample>::const_iterator from_, to_;
    LocalTime at_;
    std::int64_t atMs_, gapMs_;
    std::ostringstream svg_;
    std::string titles_;
};

// The record as the unit stored it, as a small table.
std::string RecordTable(std::size_t number, const RecordEvent& marker, const NightTexts& texts, bool withOffset)
{
    const ErrorRecordFields& record = *marker.record;
    std::ostringstream out;
    const auto row = [&out](const std::string& name, const std::string& value) {
        out << "<tr><th>" << EscapeHtml(name) << "</th><td>" << EscapeHtml(value) << "</td></tr>\n";
    };
    out << "<table class=\"record\">\n<caption>" << number << ". " << EscapeHtml(texts[NightWord::Record])
        << "</caption>\n";
    row(texts[NightWord::Time], DateTimeText(marker.time.utcMs, marker.time.utcOffsetMinutes, withOffset));
    row(texts[NightWord::Lockout], RecordStateText(record, texts));
    if (record.volts)
        row(texts[NightWord::RecordVolts], NumberText(record.volts, Unit::Volts) + " V");
    if (record.microamps)
        row(texts[NightWord::RecordFlame],
            NumberText(record.microamps, Unit::Microamps) + " " + std::string(MicroampsText));
    if (record.counter)
        row(texts[NightWord::CounterReading], NumberText(record.counter, Unit::Count));
    out << "</table>\n";
    return out.str();
}

}  // namespace

std::string LockoutPanels(const NightSummary& summary, const NightStatistics& night, const NightTexts& texts)
{
    const auto& samples = summary.Samples();
    std::string panels;
    for (std::size_t i = 0; i < night.markers.size() && i < MarkerTableLimit; ++i) {
        const RecordEvent& marker = night.markers[i];
        if (marker.kind != EventKind::NewErrorRecord || !marker.record)
            continue;
        const std::int64_t at = marker.time.utcMs;
        const auto byTime = [](const Sample& s, std::int64_t ms) { return s.utcMs < ms; };
        const auto from = std::lower_bound(samples.begin(), samples.end(), at - PanelBeforeMs, byTime);
        const auto to = std::lower_bound(from, samples.end(), at + PanelAfterMs + 1, byTime);
        panels += "<div class=\"panel\">\n" + PanelWriter(from, to, marker.time, 2 * night.pollPeriodMs).Svg(texts)
            + RecordTable(i + 1, marker, texts, night.SeveralOffsets()) + "</div>\n";
    }
    return panels.empty() ? panels : "<h2>" + EscapeHtml(texts[NightWord::LockoutsUpClose]) + "</h2>\n" + panels;
}

}  // namespace kalvo::record
