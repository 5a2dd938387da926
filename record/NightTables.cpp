#include "record/NightTables.h"

#include <sstream>

#include "record/NightChart.h"
#include "record/NightFormat.h"

namespace kalvo::record {

namespace {

const char* MarkerClass(const RecordEvent& marker)
{
    return marker.kind == EventKind::NewErrorRecord ? "lockout" : "linkloss";
}

// When the marker happened: a record that came into the history while polls were missing (a gap
// in the recording, a lost link) is said between the last good poll and the one that found it.
std::string MarkerTime(const RecordEvent& marker, const NightStatistics& night, const NightTexts& texts)
{
    const bool offsets = night.SeveralOffsets();
    const std::string found = DateTimeText(marker.time.utcMs, marker.time.utcOffsetMinutes, offsets);
    if (!marker.since || marker.time.utcMs - marker.since->utcMs <= 2 * night.pollPeriodMs)
        return found;
    return EscapeHtml(texts[NightWord::Between]) + " "
        + DateTimeText(marker.since->utcMs, marker.since->utcOffsetMinutes, offsets) + " "
        + EscapeHtml(texts[NightWord::And]) + " " + found;
}

}  // namespace

std::string SpanParagraph(const NightStatistics& night, const NightTexts& texts)
{
    const bool offsets = night.SeveralOffsets();
    return "<p class=\"span\">" + DateTimeText(night.first.utcMs, night.first.utcOffsetMinutes, offsets) + " "
        + EscapeHtml(texts[NightWord::To]) + " " + DateTimeText(night.EndUtcMs(), night.lastUtcOffsetMinutes, offsets)
        + " (" + DurationText(night.spanMs) + ")</p>\n";
}

std::string TotalsTable(const NightStatistics& night, const NightTexts& texts)
{
    std::ostringstream out;
    const auto row = [&out](const std::string& name, const std::string& value) {
        out << "<tr><th>" << EscapeHtml(name) << "</th><td>" << EscapeHtml(value) << "</td></tr>\n";
    };
    const auto range = [&texts](const ValueRange& values, std::string_view unit) {
        return Fixed(values.low, 1) + " " + texts[NightWord::To] + " " + Fixed(values.high, 1) + " "
            + std::string(unit);
    };
    out << "<h2>" << EscapeHtml(texts[NightWord::Totals]) << "</h2>\n<table class=\"totals\">\n";
    row(texts[NightWord::Polls],
        std::to_string(night.polls) + " (" + std::to_string(night.okPolls) + " " + texts[NightWord::Good] + ", "
            + std::to_string(night.transferErrors) + " " + texts[NightWord::TransferErrors] + ", "
            + std::to_string(night.noPort) + " " + texts[NightWord::WithoutPort] + ")");
    if (night.implausiblePolls > 0)
        row(texts[NightWord::ImplausiblePolls], std::to_string(night.implausiblePolls));
    row(texts[NightWord::Lockouts], std::to_string(night.lockouts));
    row(texts[NightWord::LinkLosses], std::to_string(night.linkLosses));
    row(texts[NightWord::BurnerStarts] + " (" + texts[NightWord::FuelValve1] + " " + texts[NightWord::Opened] + ")",
        std::to_string(night.starts));
    row(texts[NightWord::RunningTime] + " (" + texts[NightWord::FlameOn] + ")", DurationText(night.runningMs));
    if (!night.flameWhileOn.Empty())
        row(texts[NightWord::FlameCurrent] + " " + texts[NightWord::WhileFlameOn],
            range(night.flameWhileOn, MicroampsText));
    if (!night.volts.Empty())
        row(texts[NightWord::MainsVoltage], range(night.volts, "V"));
    out << "</table>\n";
    return out.str();
}

std::string ChartLegend(const NightStatistics& night, const NightTexts& texts)
{
    // The lockout marker joins the state of the same name, so the legend names it once.
    const std::string lockoutMark = night.lockouts ? "<i class=\"mark lockout\"></i>" : "";
    bool lockoutNamed = false;
    std::ostringstream out;
    out << "<p class=\"legend\">";
    for (const auto& [code, text] : night.stateTexts) {
        const std::string label = StateLabel(code, night.stateTexts, texts);
        const bool lockout = label == texts[NightWord::Lockout];
        lockoutNamed = lockoutNamed || lockout;
        out << "<span><i style=\"background:" << StateSlotColour(code < OtherStateSlot ? code : OtherStateSlot)
            << "\"></i>" << (lockout ? lockoutMark : "") << EscapeHtml(label) << "</span> ";
    }
    if (night.okPolls < night.polls)
        out << "<span><i style=\"background:" << StateSlotColour(NoDataSlot) << "\"></i>"
            << EscapeHtml(texts[NightWord::NoData]) << "</span> ";
    if (night.lockouts && !lockoutNamed)
        out << "<span>" << lockoutMark << EscapeHtml(texts[NightWord::Lockout]) << "</span> ";
    if (night.linkLosses)
        out << "<span><i class=\"mark linkloss\"></i>" << EscapeHtml(texts[NightWord::LinkLost]) << "</span>";
    out << "</p>\n";
    return out.str();
}

std::string MarkerTable(const NightStatistics& night, const NightTexts& texts)
{
    const auto& markers = night.markers;
    std::ostringstream out;
    out << "<h2>" << EscapeHtml(texts[NightWord::MarkersHeading]) << "</h2>\n";
    if (markers.empty())
        return out.str() + "<p>" + EscapeHtml(texts[NightWord::None]) + "</p>\n";
    out << "<table>\n<tr><th>#</th><th>" << EscapeHtml(texts[NightWord::Time]) << "</th><th>"
        << EscapeHtml(texts[NightWord::What]) << "</th></tr>\n";
    for (std::size_t i = 0; i < markers.size() && i < MarkerTableLimit; ++i)
        out << "<tr class=\"" << MarkerClass(markers[i]) << "\"><td>" << i + 1 << "</td><td class=\"when\">"
            << MarkerTime(markers[i], night, texts) << "</td><td>" << EscapeHtml(MarkerText(markers[i], texts))
            << "</td></tr>\n";
    out << "</table>\n";
    if (markers.size() > MarkerTableLimit)
        out << "<p>... " << EscapeHtml(texts[NightWord::And]) << ' ' << markers.size() - MarkerTableLimit << ' '
            << EscapeHtml(texts[NightWord::More]) << "</p>\n";
    return out.str();
}

std::string PeriodTable(const NightStatistics& night, const NightTexts& texts)
{
    std::ostringstream out;
    out << "<h2>" << EscapeHtml(texts[night.daily ? NightWord::PerDay : NightWord::PerHour])
        << "</h2>\n<table>\n<tr><th>" << EscapeHtml(texts[night.daily ? NightWord::Day : NightWord::Hour])
        << "</th><th>" << EscapeHtml(texts[NightWord::Starts]) << "</th><th>" << EscapeHtml(texts[NightWord::Running])
        << "</th><th>" << EscapeHtml(texts[NightWord::Polls]) << "</th></tr>\n";
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
