#include "NightTables.h"

#include <sstream>

#include "NightChart.h"
#include "NightFormat.h"

namespace kalvo::record {

namespace {

constexpr std::size_t MarkerTableLimit = 100;

const char* MarkerClass(const RecordEvent& marker)
{
    return marker.kind == EventKind::NewErrorRecord ? "lockout" : "linkloss";
}

}  // namespace

std::string SpanParagraph(const NightStatistics& night)
{
    const bool offsets = night.SeveralOffsets();
    return "<p class=\"span\">" + DateTimeText(night.first.utcMs, night.first.utcOffsetMinutes, offsets) + " to "
        + DateTimeText(night.EndUtcMs(), night.lastUtcOffsetMinutes, offsets) + " (" + DurationText(night.spanMs)
        + ")</p>\n";
}

std::string TotalsTable(const NightStatistics& night)
{
    std::ostringstream out;
    const auto row = [&out](const std::string& name, const std::string& value) {
        out << "<tr><th>" << name << "</th><td>" << value << "</td></tr>\n";
    };
    out << "<h2>Totals</h2>\n<table class=\"totals\">\n";
    row("Polls",
        std::to_string(night.polls) + " (" + std::to_string(night.okPolls) + " good, "
            + std::to_string(night.transferErrors) + " transfer errors, " + std::to_string(night.noPort)
            + " without port)");
    row("Lockouts (new error records)", std::to_string(night.lockouts));
    row("Link losses", std::to_string(night.linkLosses));
    row("Burner starts (fuel valve BV 1 opened)", std::to_string(night.starts));
    row("Running time (flame on)", DurationText(night.runningMs));
    if (!night.flameWhileOn.Empty())
        row("Flame current while the flame is on",
            Fixed(night.flameWhileOn.low, 1) + " to " + Fixed(night.flameWhileOn.high, 1) + " uA");
    if (!night.volts.Empty())
        row("Mains voltage", Fixed(night.volts.low, 1) + " to " + Fixed(night.volts.high, 1) + " V");
    out << "</table>\n";
    return out.str();
}

std::string ChartLegend(const NightStatistics& night)
{
    std::ostringstream out;
    out << "<p class=\"legend\">";
    for (const auto& [code, text] : night.stateTexts) {
        const int slot = code < OtherStateSlot ? code : OtherStateSlot;
        out << "<span><i style=\"background:" << StateSlotColour(slot) << "\"></i>"
            << EscapeHtml(StateLabel(code, night.stateTexts)) << "</span> ";
    }
    out << "<span><i style=\"background:" << StateSlotColour(NoDataSlot) << "\"></i>no data</span> "
        << "<span><i class=\"mark lockout\"></i>lockout</span> "
        << "<span><i class=\"mark linkloss\"></i>link lost</span></p>\n";
    return out.str();
}

std::string MarkerTable(const NightStatistics& night)
{
    const auto& markers = night.markers;
    if (markers.empty())
        return "<h2>Lockouts and link losses</h2>\n<p>None.</p>\n";
    std::ostringstream out;
    out << "<h2>Lockouts and link losses</h2>\n<table>\n<tr><th>#</th><th>Time</th><th>What</th></tr>\n";
    for (std::size_t i = 0; i < markers.size() && i < MarkerTableLimit; ++i)
        out << "<tr class=\"" << MarkerClass(markers[i]) << "\"><td>" << i + 1 << "</td><td>"
            << DateTimeText(markers[i].time.utcMs, markers[i].time.utcOffsetMinutes, night.SeveralOffsets())
            << "</td><td>" << EscapeHtml(MarkerText(markers[i])) << "</td></tr>\n";
    out << "</table>\n";
    if (markers.size() > MarkerTableLimit)
        out << "<p>... and " << markers.size() - MarkerTableLimit << " more (see the events files).</p>\n";
    return out.str();
}

std::string PeriodTable(const NightStatistics& night)
{
    std::ostringstream out;
    out << "<h2>" << (night.daily ? "Per day" : "Per hour") << "</h2>\n<table>\n<tr><th>"
        << (night.daily ? "Day" : "Hour") << "</th><th>Starts</th><th>Running</th><th>Polls</th></tr>\n";
    for (const NightStatistics::Period& period : night.periods) {
        const std::string start = night.daily ? DateTimeText(period.localStartMs, 0).substr(0, 10)
                                              : DateTimeText(period.localStartMs - period.utcOffsetMinutes * 60'000LL,
                                                  period.utcOffsetMinutes, night.SeveralOffsets());
        out << "<tr><td>" << start << "</td><td>" << period.starts << "</td><td>" << DurationText(period.runningMs)
            << "</td><td>" << period.polls << "</td></tr>\n";
    }
    out << "</table>\n";
    return out.str();
}

}  // namespace kalvo::record
