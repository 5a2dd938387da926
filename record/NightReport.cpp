#include "NightReport.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>

#include "CivilTime.h"
#include "CsvFiles.h"
#include "DayFile.h"
#include "RawReplies.h"
#include "Recorder.h"

namespace kalvo::record {

namespace {

constexpr std::uint8_t NoState = 0xFF;
constexpr std::uint16_t NoNumber = 0xFFFF;
constexpr std::int64_t HourMs = 3'600'000;
constexpr std::int64_t DayMs = 24 * HourMs;
// A poll stands for the time until the next one, but not across a gap in the recording.
constexpr std::int64_t LongestPollShareMs = 10'000;
constexpr std::int64_t PollMs = 2'000;
// Recordings longer than this are tabled per day instead of per hour.
constexpr std::int64_t HourlyTableLimitMs = 48 * HourMs;
constexpr std::size_t MarkerTableLimit = 100;

// Drawing geometry, in SVG units.
constexpr int Left = 56, PlotWidth = 900, Right = 16;
constexpr int BandTop = 24, BandHeight = 36;
constexpr int FlameTop = 96, FlameHeight = 150;
constexpr int VoltsTop = 286, VoltsHeight = 110;
constexpr int AxisTop = 404, SvgHeight = 430;
constexpr int SvgWidth = Left + PlotWidth + Right;

// Colours of state codes 0..15; other codes share one, polls without data are grey.
constexpr std::array<const char*, 16> StateColours{
    "#9aa5b1", "#8ecae6", "#219ebc", "#ffb703", "#fb8500", "#2a9d8f", "#90be6d", "#d62828",
    "#f4a261", "#6d597a", "#b56576", "#e56b6f", "#577590", "#43aa8b", "#f9c74f", "#4d908e",
};
constexpr const char* OtherStateColour = "#333333";
constexpr const char* NoDataColour = "#e5e5e5";
constexpr int NoDataCategory = 16;
constexpr int OtherStateCategory = 17;

std::string Escape(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string Fixed(double value, int decimals)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

CivilTime LocalCivil(std::int64_t utcMs, int offsetMinutes)
{
    return ToCivil(LocalSeconds({utcMs, offsetMinutes}));
}

std::string DateTimeText(std::int64_t utcMs, int offsetMinutes)
{
    const CivilTime t = LocalCivil(utcMs, offsetMinutes);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", t.year, t.month, t.day, t.hour, t.minute);
    return text;
}

std::string DurationText(std::int64_t ms)
{
    const std::int64_t minutes = ms / 60'000;
    char text[40];
    if (minutes >= 60)
        std::snprintf(text, sizeof text, "%lld h %02lld min", static_cast<long long>(minutes / 60),
                      static_cast<long long>(minutes % 60));
    else
        std::snprintf(text, sizeof text, "%lld min", static_cast<long long>(minutes));
    return text;
}

std::string StateLabel(int code, const std::map<int, std::string>& texts)
{
    const auto found = texts.find(code);
    const std::string text = found != texts.end() ? found->second : std::string();
    return text.empty() ? "state " + std::to_string(code) : text;
}

int Category(const NightSummary::Sample& sample)
{
    if (sample.link != LinkStatus::Ok || sample.state == NoState)
        return NoDataCategory;
    return sample.state < StateColours.size() ? sample.state : OtherStateCategory;
}

const char* CategoryColour(int category)
{
    if (category == NoDataCategory)
        return NoDataColour;
    return category == OtherStateCategory ? OtherStateColour : StateColours[static_cast<std::size_t>(category)];
}

// Per-column statistics of a measured value.
struct ColumnRange {
    double low = std::numeric_limits<double>::max();
    double high = std::numeric_limits<double>::lowest();
    double sum = 0;
    long count = 0;
    void Add(double value)
    {
        low = std::min(low, value);
        high = std::max(high, value);
        sum += value;
        ++count;
    }
};

// The recording's time span, mapped onto the plot's columns.
struct TimeScale {
    std::int64_t startMs, spanMs;
    int offsetMinutes;
    double X(std::int64_t utcMs) const { return Left + static_cast<double>(utcMs - startMs) * PlotWidth / spanMs; }
    int Column(std::int64_t utcMs) const
    {
        return std::clamp(static_cast<int>((utcMs - startMs) * PlotWidth / spanMs), 0, PlotWidth - 1);
    }
};

struct Totals {
    std::int64_t okPolls = 0, transferErrors = 0, noPort = 0;
    std::int64_t starts = 0, runningMs = 0;
    ColumnRange flame, volts;
};

struct Period {
    std::int64_t localStartMs;
    std::int64_t starts = 0, runningMs = 0, polls = 0;
};

class ReportBuilder {
public:
    explicit ReportBuilder(const NightSummary& summary) : summary_(summary), samples_(summary.Samples()) {}

    std::string Html()
    {
        if (samples_.empty() && summary_.ImplausiblePolls() > 0)
            return Page("<p>The recording holds no poll that can be the unit's: "
                + std::to_string(summary_.ImplausiblePolls()) + " implausible.</p>");
        if (samples_.empty())
            return Page("<p>The recording holds no polls.</p>");
        const Sample& first = samples_.front();
        scale_ = {first.utcMs, std::max<std::int64_t>(samples_.back().utcMs + PollMs - first.utcMs, PollMs),
                  first.utcOffsetMinutes};
        Gather();
        std::ostringstream body;
        body << "<p class=\"span\">" << DateTimeText(scale_.startMs, scale_.offsetMinutes) << " to "
             << DateTimeText(scale_.startMs + scale_.spanMs, samples_.back().utcOffsetMinutes) << " ("
             << DurationText(scale_.spanMs) << ")</p>\n";
        body << TotalsTable() << Chart() << Legend() << MarkerTable() << PeriodTable();
        return Page(body.str());
    }

private:
    using Sample = NightSummary::Sample;

    void Gather()
    {
        const Sample* previousOk = nullptr;
        for (std::size_t i = 0; i < samples_.size(); ++i) {
            const Sample& s = samples_[i];
            const std::int64_t share =
                i + 1 < samples_.size() ? std::clamp<std::int64_t>(samples_[i + 1].utcMs - s.utcMs, 0, LongestPollShareMs)
                                        : PollMs;
            const int column = scale_.Column(s.utcMs);
            ++bandCounts_[static_cast<std::size_t>(column)][static_cast<std::size_t>(Category(s))];
            Period& period = PeriodOf(s);
            ++period.polls;
            if (s.link == LinkStatus::TransferError)
                ++totals_.transferErrors;
            if (s.link == LinkStatus::NoPort)
                ++totals_.noPort;
            if (s.link != LinkStatus::Ok)
                continue;
            ++totals_.okPolls;
            const auto add = [](std::uint16_t tenths, ColumnRange& range) {
                if (tenths != NoNumber)
                    range.Add(tenths / 10.0);
            };
            add(s.flame, flame_[static_cast<std::size_t>(column)]);
            if (s.flameOn)
                add(s.flame, totals_.flame);
            add(s.volts, volts_[static_cast<std::size_t>(column)]);
            add(s.volts, totals_.volts);
            if (s.flameOn) {
                totals_.runningMs += share;
                period.runningMs += share;
            }
            if (s.valve1Open && (!previousOk || !previousOk->valve1Open)) {
                ++totals_.starts;
                ++period.starts;
            }
            previousOk = &s;
        }
    }

    Period& PeriodOf(const Sample& s)
    {
        const std::int64_t length = scale_.spanMs > HourlyTableLimitMs ? DayMs : HourMs;
        const std::int64_t local = s.utcMs + s.utcOffsetMinutes * 60'000LL;
        const std::int64_t start = FloorDiv(local, length) * length;
        if (periods_.empty() || periods_.back().localStartMs != start)
            periods_.push_back({start});
        return periods_.back();
    }

    std::string TotalsTable() const
    {
        std::ostringstream out;
        const auto row = [&out](const std::string& name, const std::string& value) {
            out << "<tr><th>" << name << "</th><td>" << value << "</td></tr>\n";
        };
        std::int64_t lockouts = 0, linkLosses = 0;
        for (const RecordEvent& marker : summary_.Markers())
            (marker.kind == EventKind::NewErrorRecord ? lockouts : linkLosses) += 1;
        out << "<h2>Totals</h2>\n<table class=\"totals\">\n";
        row("Polls", std::to_string(samples_.size()) + " (" + std::to_string(totals_.okPolls) + " good, " +
                         std::to_string(totals_.transferErrors) + " transfer errors, " + std::to_string(totals_.noPort) +
                         " without port)");
        row("Lockouts (new error records)", std::to_string(lockouts));
        row("Link losses", std::to_string(linkLosses));
        row("Implausible polls (left out)", std::to_string(summary_.ImplausiblePolls()));
        row("Burner starts (fuel valve BV 1 opened)", std::to_string(totals_.starts));
        row("Running time (flame on)", DurationText(totals_.runningMs));
        if (totals_.flame.count)
            row("Flame current while the flame is on", Fixed(totals_.flame.low, 1) + " to " + Fixed(totals_.flame.high, 1) + " uA");
        if (totals_.volts.count)
            row("Mains voltage", Fixed(totals_.volts.low, 1) + " to " + Fixed(totals_.volts.high, 1) + " V");
        out << "</table>\n";
        return out.str();
    }

    std::string Chart() const
    {
        std::ostringstream svg;
        svg << "<h2>Timeline</h2>\n<svg class=\"chart\" viewBox=\"0 0 " << SvgWidth << ' ' << SvgHeight
            << "\" xmlns=\"http://www.w3.org/2000/svg\" role=\"img\" aria-label=\"Burner states, flame current and "
               "mains voltage over time\">\n";
        svg << "<text x=\"" << Left << "\" y=\"" << BandTop - 6 << "\" class=\"label\">Burner state</text>\n";
        StateBand(svg);
        Curve(svg, flame_, FlameTop, FlameHeight, "Flame current (uA)", "#d62828", true);
        Curve(svg, volts_, VoltsTop, VoltsHeight, "Mains voltage (V)", "#1d4ed8", false);
        TimeAxis(svg);
        MarkerLines(svg);
        svg << "</svg>\n";
        return svg.str();
    }

    void StateBand(std::ostringstream& svg) const
    {
        // Each column shows the state it held longest; neighbouring columns of one state join.
        int runStart = 0, runCategory = -1;
        const auto flush = [&](int end) {
            if (runCategory >= 0)
                svg << "<rect x=\"" << Left + runStart << "\" y=\"" << BandTop << "\" width=\"" << end - runStart
                    << "\" height=\"" << BandHeight << "\" fill=\"" << CategoryColour(runCategory) << "\"/>\n";
        };
        for (int column = 0; column < PlotWidth; ++column) {
            const auto& counts = bandCounts_[static_cast<std::size_t>(column)];
            const auto most = std::max_element(counts.begin(), counts.end());
            const int category = *most == 0 ? -1 : static_cast<int>(most - counts.begin());
            if (category != runCategory) {
                flush(column);
                runStart = column;
                runCategory = category;
            }
        }
        flush(PlotWidth);
    }

    void Curve(std::ostringstream& svg, const std::array<ColumnRange, PlotWidth>& columns, int top, int height,
               const char* title, const char* colour, bool fromZero) const
    {
        double low = std::numeric_limits<double>::max(), high = std::numeric_limits<double>::lowest();
        for (const ColumnRange& c : columns)
            if (c.count) {
                low = std::min(low, c.low);
                high = std::max(high, c.high);
            }
        svg << "<text x=\"" << Left << "\" y=\"" << top - 6 << "\" class=\"label\">" << title << "</text>\n";
        svg << "<rect x=\"" << Left << "\" y=\"" << top << "\" width=\"" << PlotWidth << "\" height=\"" << height
            << "\" class=\"plot\"/>\n";
        if (low > high)
            return;  // no value at all
        if (fromZero)
            low = 0;
        const double pad = std::max((high - low) * 0.1, 1.0);
        const double bottom = fromZero ? 0 : std::floor(low - pad), ceiling = std::ceil(high + pad);
        const auto y = [&](double value) { return top + height - (value - bottom) * height / (ceiling - bottom); };
        for (double value : {bottom, (bottom + ceiling) / 2, ceiling})
            svg << "<text x=\"" << Left - 4 << "\" y=\"" << Fixed(y(value) + 4, 1) << "\" class=\"tick\">"
                << Fixed(value, 0) << "</text>\n";
        // The spread within each column, then the mean through them; a gap in the data breaks the line.
        svg << "<path stroke=\"" << colour << "\" stroke-opacity=\"0.3\" fill=\"none\" d=\"";
        for (int column = 0; column < PlotWidth; ++column) {
            const ColumnRange& c = columns[static_cast<std::size_t>(column)];
            if (c.count)
                svg << 'M' << Left + column + 0.5 << ' ' << Fixed(y(c.high) - 0.5, 1) << 'V'
                    << Fixed(y(c.low) + 0.5, 1);
        }
        svg << "\"/>\n<path stroke=\"" << colour << "\" stroke-width=\"1.5\" fill=\"none\" d=\"";
        bool drawing = false;
        for (int column = 0; column < PlotWidth; ++column) {
            const ColumnRange& c = columns[static_cast<std::size_t>(column)];
            if (!c.count) {
                drawing = false;
                continue;
            }
            svg << (drawing ? 'L' : 'M') << Left + column + 0.5 << ' ' << Fixed(y(c.sum / c.count), 1);
            drawing = true;
        }
        svg << "\"/>\n";
    }

    void TimeAxis(std::ostringstream& svg) const
    {
        const std::int64_t step = scale_.spanMs <= 36 * HourMs ? HourMs * (scale_.spanMs > 16 * HourMs ? 2 : 1)
                                  : scale_.spanMs <= 7 * DayMs ? 6 * HourMs
                                                               : DayMs;
        const std::int64_t offsetMs = scale_.offsetMinutes * 60'000LL;
        const std::int64_t firstLocal = scale_.startMs + offsetMs;
        for (std::int64_t local = FloorDiv(firstLocal, step) * step + step; local < firstLocal + scale_.spanMs;
             local += step) {
            const double x = scale_.X(local - offsetMs);
            const CivilTime t = ToCivil(FloorDiv(local, 1000));
            char label[24];
            if (step >= DayMs)
                std::snprintf(label, sizeof label, "%02d-%02d", t.month, t.day);
            else
                std::snprintf(label, sizeof label, "%02d:%02d", t.hour, t.minute);
            svg << "<line x1=\"" << Fixed(x, 1) << "\" x2=\"" << Fixed(x, 1) << "\" y1=\"" << BandTop << "\" y2=\""
                << AxisTop << "\" class=\"grid\"/>\n<text x=\"" << Fixed(x, 1) << "\" y=\"" << AxisTop + 16
                << "\" class=\"time\">" << label << "</text>\n";
        }
    }

    void MarkerLines(std::ostringstream& svg) const
    {
        int number = 0;
        for (const RecordEvent& marker : summary_.Markers()) {
            ++number;
            const bool lockout = marker.kind == EventKind::NewErrorRecord;
            const double x = scale_.X(marker.time.utcMs);
            svg << "<g class=\"" << (lockout ? "lockout" : "linkloss") << "\"><title>" << Escape(MarkerText(marker))
                << "</title><line x1=\"" << Fixed(x, 1) << "\" x2=\"" << Fixed(x, 1) << "\" y1=\"" << BandTop
                << "\" y2=\"" << AxisTop << "\"/><text x=\"" << Fixed(x, 1) << "\" y=\"" << BandTop + BandHeight + 14
                << "\">" << number << "</text></g>\n";
        }
    }

    std::string MarkerText(const RecordEvent& marker) const
    {
        if (marker.kind != EventKind::NewErrorRecord || !marker.record)
            return "Link lost: " + std::string(LinkStatusText(marker.link));
        const ErrorRecordFields& record = *marker.record;
        std::string text = "Lockout: " + (record.stateText.empty() ? "state " + std::to_string(record.stateCode)
                                                                   : record.stateText);
        if (record.volts)
            text += ", " + NumberText(record.volts, Unit::Volts) + " V";
        if (record.microamps)
            text += ", flame " + NumberText(record.microamps, Unit::Microamps) + " uA";
        if (record.counter)
            text += ", counter " + NumberText(record.counter, Unit::Count);
        return text;
    }

    std::string Legend() const
    {
        std::ostringstream out;
        out << "<p class=\"legend\">";
        for (const auto& [code, text] : summary_.StateTexts()) {
            const int category = code < static_cast<int>(StateColours.size()) ? code : OtherStateCategory;
            out << "<span><i style=\"background:" << CategoryColour(category) << "\"></i>"
                << Escape(StateLabel(code, summary_.StateTexts())) << "</span> ";
        }
        out << "<span><i style=\"background:" << NoDataColour << "\"></i>no data</span> "
            << "<span><i class=\"mark lockout\"></i>lockout</span> "
            << "<span><i class=\"mark linkloss\"></i>link lost</span></p>\n";
        return out.str();
    }

    std::string MarkerTable() const
    {
        const auto& markers = summary_.Markers();
        if (markers.empty())
            return "<h2>Lockouts and link losses</h2>\n<p>None.</p>\n";
        std::ostringstream out;
        out << "<h2>Lockouts and link losses</h2>\n<table>\n<tr><th>#</th><th>Time</th><th>What</th></tr>\n";
        for (std::size_t i = 0; i < markers.size() && i < MarkerTableLimit; ++i)
            out << "<tr class=\"" << (markers[i].kind == EventKind::NewErrorRecord ? "lockout" : "linkloss")
                << "\"><td>" << i + 1 << "</td><td>"
                << DateTimeText(markers[i].time.utcMs, markers[i].time.utcOffsetMinutes) << "</td><td>"
                << Escape(MarkerText(markers[i])) << "</td></tr>\n";
        out << "</table>\n";
        if (markers.size() > MarkerTableLimit)
            out << "<p>... and " << markers.size() - MarkerTableLimit << " more (see the events files).</p>\n";
        return out.str();
    }

    std::string PeriodTable() const
    {
        const bool daily = scale_.spanMs > HourlyTableLimitMs;
        std::ostringstream out;
        out << "<h2>" << (daily ? "Per day" : "Per hour") << "</h2>\n<table>\n<tr><th>"
            << (daily ? "Day" : "Hour") << "</th><th>Starts</th><th>Running</th><th>Polls</th></tr>\n";
        for (const Period& period : periods_) {
            const std::string start = DateTimeText(period.localStartMs, 0);
            out << "<tr><td>" << (daily ? start.substr(0, 10) : start) << "</td><td>" << period.starts << "</td><td>"
                << DurationText(period.runningMs) << "</td><td>" << period.polls << "</td></tr>\n";
        }
        out << "</table>\n";
        return out.str();
    }

    static std::string Page(const std::string& body)
    {
        return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
               "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
               "<title>Kalvo night report</title>\n<style>\n"
               "body{font-family:sans-serif;margin:1em auto;max-width:1000px;padding:0 1em;color:#222}\n"
               "h1{font-size:1.5em;margin-bottom:0}h2{font-size:1.15em;margin-top:1.5em}\n"
               ".span{color:#555;margin-top:.2em}\n"
               "table{border-collapse:collapse;font-size:.9em}th,td{padding:.2em .8em;text-align:left;"
               "border-bottom:1px solid #ddd}\n"
               "svg.chart{width:100%;height:auto;font-size:11px}\n"
               ".label{font-weight:bold;fill:#333}.tick{text-anchor:end;fill:#555}.time{text-anchor:middle;fill:#555}\n"
               ".plot{fill:#fafafa;stroke:#ccc}.grid{stroke:#ddd;stroke-dasharray:2 3}\n"
               "g.lockout line{stroke:#b00020;stroke-width:2}g.linkloss line{stroke:#f08c00;stroke-width:2;"
               "stroke-dasharray:5 3}\n"
               "g.lockout text,g.linkloss text{text-anchor:middle;font-weight:bold}g.lockout text{fill:#b00020}"
               "g.linkloss text{fill:#c06c00}\n"
               ".legend span{display:inline-block;margin-right:1em;font-size:.85em}"
               ".legend i{display:inline-block;width:.9em;height:.9em;margin-right:.3em;vertical-align:-1px}\n"
               ".legend i.lockout{background:#b00020}.legend i.linkloss{background:#f08c00}\n"
               "tr.lockout td:first-child{color:#b00020;font-weight:bold}"
               "tr.linkloss td:first-child{color:#c06c00;font-weight:bold}\n"
               "</style>\n</head>\n<body>\n<h1>Kalvo night report</h1>\n" +
               body + "</body>\n</html>\n";
    }

    const NightSummary& summary_;
    const std::vector<Sample>& samples_;
    TimeScale scale_{};
    Totals totals_;
    std::vector<Period> periods_;
    std::array<std::array<long, 18>, PlotWidth> bandCounts_{};
    std::array<ColumnRange, PlotWidth> flame_{};
    std::array<ColumnRange, PlotWidth> volts_{};
};

std::uint16_t Tenths(const std::optional<double>& value)
{
    return value ? static_cast<std::uint16_t>(std::lround(*value * 10)) : NoNumber;
}

constexpr std::size_t FlameValue = ValueIndex("flame_current");
constexpr std::size_t VoltsValue = ValueIndex("mains_voltage");

}  // namespace

void NightSummary::OnPoll(const PollInput&, const DecodedPoll& poll)
{
    if (poll.implausible) {  // noise taken for a reply: no state, no values, no start
        ++implausiblePolls_;
        return;
    }
    Sample sample{poll.time.utcMs, static_cast<std::int16_t>(poll.time.utcOffsetMinutes), poll.link, NoState, NoNumber,
                  NoNumber, false, false};
    if (poll.link == LinkStatus::Ok) {
        if (poll.stateCode) {
            sample.state = static_cast<std::uint8_t>(*poll.stateCode);
            stateTexts_.try_emplace(*poll.stateCode, poll.stateText);
        }
        sample.flame = Tenths(poll.values[FlameValue]);
        sample.volts = Tenths(poll.values[VoltsValue]);
        sample.flameOn = poll.flags && (*poll.flags)[FlameFlag];
        sample.valve1Open = poll.flags && (*poll.flags)[FuelValve1Flag];
    }
    samples_.push_back(sample);
}

void NightSummary::OnEvent(const RecordEvent& event)
{
    if (event.kind == EventKind::NewErrorRecord || event.kind == EventKind::LinkLost)
        markers_.push_back(event);
}

NightSummary SummarizeRecording(const std::filesystem::path& folder, const LanguageLines& language)
{
    auto summary = std::make_unique<NightSummary>();
    NightSummary* const collected = summary.get();
    Recorder recorder(language);
    recorder.AddSink(std::move(summary));
    ReadRecording(folder, [&recorder](const PollInput& poll) { recorder.RecordPoll(poll); });
    return std::move(*collected);
}

std::string NightReportHtml(const NightSummary& summary)
{
    return ReportBuilder(summary).Html();
}

void WriteNightReport(const std::filesystem::path& folder, const LanguageLines& language,
                      const std::filesystem::path& output)
{
    const std::string html = NightReportHtml(SummarizeRecording(folder, language));
    std::ofstream out(output, std::ios::binary | std::ios::trunc);
    out << html;
    out.close();
    if (!out)
        throw RecordError("Cannot write the report to " + PathText(output));
}

}  // namespace kalvo::record
