// The night report of simulated recordings: what it marks and counts, that it stands alone, that
// a long recording is summarised rather than drawn poll by poll, how it draws short recordings and
// missing polls, summer time, a full disk and the language file's words.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <regex>

#include "record/CivilTime.h"
#include "record/NightFormat.h"
#include "record/NightLockoutPanels.h"
#include "record/NightReport.h"
#include "record/NightStatistics.h"
#include "record/NightTimeAxis.h"
#include "testing/TempDir.h"
#include "tools/nightsim/NightSimulation.h"
#ifndef _WIN32
#include "testing/FullDiskPosix.h"
#endif

namespace kalvo::record {
namespace {

using namespace std::chrono;

nightsim::NightPlan Night(hours length)
{
    nightsim::NightPlan plan;
    plan.start = {1'796'583'600'000, 60};  // 2026-12-06T20:00:00+01:00
    plan.length = length;
    plan.lockouts = {hours(2) + minutes(40), hours(6) + minutes(10)};
    plan.linkLosses = {hours(9) + minutes(25)};
    return plan;
}

std::string ReportOf(const nightsim::NightPlan& plan, const test::TempDir& dir)
{
    const RecordLanguage english{LanguageLines{}};
    nightsim::WriteSimulatedRecording(plan, dir.path().string(), english);
    const std::string html = NightReportHtml(SummarizeRecording(dir.path(), english.lines), english.texts);
    for (const char* outside : {"<script", "src=", "href=", "url(", "@import"})
        EXPECT_EQ(html.find(outside), std::string::npos) << "the page refers to something outside: " << outside;
    return html;
}

std::size_t Count(const std::string& text, const std::string& what)
{
    std::size_t count = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

// The page's timeline as drawn for a screen (wide) or a phone (narrow).
std::string ChartOf(const std::string& html, const std::string& kind)
{
    const std::size_t from = html.find("<div class=\"chart " + kind + "\">");
    return from == std::string::npos ? std::string() : html.substr(from, html.find("</div>", from) - from);
}

TEST(NightReportTest, ANightShowsItsLockoutsAndLinkLossWithTheirRecords)
{
    test::TempDir dir;
    const std::string html = ReportOf(Night(hours(12)), dir);
    for (const char* kind : {"wide", "narrow"}) {
        EXPECT_EQ(Count(ChartOf(html, kind), "<g class=\"lockout\">"), 2u) << kind;
        EXPECT_EQ(Count(ChartOf(html, kind), "<g class=\"linkloss\">"), 1u) << kind;
    }
    EXPECT_NE(html.find("<td class=\"when\">2026-12-06 22:40</td><td>Lockout: state 3, Mains voltage: 22"),
        std::string::npos);
    EXPECT_NE(html.find("<td class=\"when\">2026-12-07 05:25</td><td>Link lost: no port</td>"), std::string::npos);
    EXPECT_NE(html.find("2026-12-06 20:00 to 2026-12-07 08:00 (12 h 00 min)"), std::string::npos);
    EXPECT_EQ(Count(html, "<tr><td>2026-12-0"), 12u);  // a row per hour
}

TEST(NightReportTest, ALongRecordingIsSummarisedPerColumnAndPerDay)
{
    test::TempDir night, days;
    const std::size_t nightSize = ReportOf(Night(hours(12)), night).size();
    const std::string html = ReportOf(Night(hours(72)), days);
    // Six times the polls, about the same page: the curves hold a point per column, not per poll.
    EXPECT_LT(html.size(), nightSize * 3 / 2);
    EXPECT_NE(html.find("<h2>Per day</h2>"), std::string::npos);
    EXPECT_EQ(Count(html, "<tr><td>2026-12-"), 4u);  // the 6th to the 9th
}

// A plain simulated burner, without lockouts or link losses.
nightsim::NightPlan Quiet(milliseconds length, milliseconds pollEvery = milliseconds(2'300))
{
    nightsim::NightPlan plan = Night(hours(0));
    plan.length = length;
    plan.lockouts.clear();
    plan.linkLosses.clear();
    plan.pollEvery = pollEvery;
    return plan;
}

// The report of a simulated night straight from the recorder, leaving out the polls skip names.
std::string ReportOf(const nightsim::NightPlan& plan, const RecordLanguage& language = RecordLanguage(LanguageLines{}),
    const std::function<bool(std::int64_t sinceStartMs)>& skip = {})
{
    const NightSummary summary = SummarizePolls(language.lines, [&](const auto& onPoll) {
        nightsim::SimulateNight(plan, [&](const PollInput& poll) {
            if (!skip || !skip(poll.time.utcMs - plan.start.utcMs))
                onPoll(poll);
        });
    });
    return NightReportHtml(summary, language.texts);
}

std::vector<std::smatch> Matches(const std::string& text, const std::string& pattern)
{
    const std::regex expression(pattern);
    return {std::sregex_iterator(text.begin(), text.end(), expression), std::sregex_iterator()};
}

// The pieces of the two curves' lines: one per stretch without missing polls.
std::vector<std::size_t> LinePieces(const std::string& html)
{
    std::vector<std::size_t> pieces;
    for (const auto& path : Matches(html, "stroke-width=\"1.5\" fill=\"none\" d=\"([^\"]*)\""))
        pieces.push_back(Count(path[1], "M"));
    return pieces;
}

// How much of the plot's width the state band covers, and whether its pieces join up.
struct Band {
    int covered = 0, holes = 0;
};
Band BandOf(const std::string& html)
{
    Band band;
    int end = -1;
    for (const auto& rect : Matches(html, "<rect x=\"(\\d+)\" y=\"\\d+\" width=\"(\\d+)\" height=\"36\"")) {
        const int x = std::stoi(rect[1]), width = std::stoi(rect[2]);
        band.holes += end >= 0 && x != end;
        band.covered += width;
        end = x + width;
    }
    return band;
}

// The time axis labels sit inside the picture, in order, each clear of the next, all different.
void ExpectLabelsFit(const std::vector<std::pair<double, std::string>>& labels, double left, double right)
{
    constexpr double FontSize = 13;
    EXPECT_GE(labels.size(), 3u);
    EXPECT_LE(labels.size(), 20u);
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const double half = LabelWidth(labels[i].second, FontSize) / 2;
        EXPECT_GE(labels[i].first - half, left) << labels[i].second;
        EXPECT_LE(labels[i].first + half, right) << labels[i].second;
        if (i == 0)
            continue;
        const double room = labels[i].first - labels[i - 1].first;
        EXPECT_GE(room, half + LabelWidth(labels[i - 1].second, FontSize) / 2 + FontSize / 2)
            << labels[i - 1].second << " and " << labels[i].second;
        EXPECT_NE(labels[i].second, labels[i - 1].second);
    }
}

TEST(NightReportTest, EveryLengthDrawsJoinedLinesAFullStateBandAndFittingTimeLabels)
{
    const struct {
        const char* name;
        nightsim::NightPlan plan;
        std::size_t linePieces;  // the 12-hour night loses its link for a minute
    } cases[] = {
        {"3 minutes", Quiet(minutes(3)), 1},
        {"20 minutes", Quiet(minutes(20)), 1},
        {"12 hours", Night(hours(12)), 2},
        {"30 days", Quiet(hours(24 * 30), seconds(20)), 1},
    };
    // A phone shows the narrow chart at its own width: the whole span, every marker in view.
    const struct {
        const char* kind;
        int plotWidth;
    } charts[] = {{"wide", 900}, {"narrow", 300}};
    for (const auto& c : cases) {
        const std::string page = ReportOf(c.plan);
        for (const auto& chart : charts) {
            SCOPED_TRACE(std::string(c.name) + ", " + chart.kind);
            const std::string html = ChartOf(page, chart.kind);
            EXPECT_EQ(LinePieces(html), (std::vector<std::size_t>{c.linePieces, c.linePieces}));
            EXPECT_GT(Count(html, "L"), 100u) << "consecutive polls are joined";
            const Band band = BandOf(html);
            EXPECT_EQ(band.covered, chart.plotWidth);
            EXPECT_EQ(band.holes, 0);
            std::vector<std::pair<double, std::string>> labels;
            for (const auto& label : Matches(html, "<text x=\"([0-9.]+)\" y=\"\\d+\" class=\"time\">([^<]+)</text>"))
                labels.emplace_back(std::stod(label[1]), label[2]);
            ExpectLabelsFit(labels, 0, chart.plotWidth + 80);
            // Marker lines run through the band and the plots, never through a title above them.
            std::vector<int> titles;
            for (const auto& title : Matches(html, "y=\"(\\d+)\" class=\"label\""))
                titles.push_back(std::stoi(title[1]));
            EXPECT_EQ(titles.size(), 3u);
            for (const auto& segment : Matches(html, "M[0-9.]+ (\\d+)V(\\d+)"))
                for (const int title : titles)
                    EXPECT_FALSE(std::stoi(segment[1]) < title && std::stoi(segment[2]) > title - 13)
                        << segment[0] << " crosses the title at " << title;
        }
    }
}

TEST(NightReportTest, TimeLabelsFitEveryLengthFromAMinuteToAMonth)
{
    for (const milliseconds length : {milliseconds(minutes(1)), milliseconds(minutes(7)), milliseconds(hours(1)),
             milliseconds(hours(36)), milliseconds(hours(24 * 5)), milliseconds(hours(24 * 31))}) {
        SCOPED_TRACE(length.count());
        NightStatistics night;
        night.first = {1'796'583'612'345, 60};
        night.spanMs = length.count();
        std::vector<std::pair<double, std::string>> labels;
        for (const TimeTick& tick : NightTimeTicks(night, 900, 13))
            labels.emplace_back(static_cast<double>(tick.utcMs - night.first.utcMs) * 900 / night.spanMs, tick.label);
        ExpectLabelsFit(labels, -40, 940);
    }
}

TEST(NightReportTest, MissingPollsBreakTheLinesAndTheBandButOneMissedPollDoesNot)
{
    const struct {
        const char* name;
        std::int64_t skipFromMs, skipToMs;
        std::size_t linePieces;
        int bandHoles;
    } cases[] = {
        {"a minute missing", 480'000, 540'000, 2, 1},
        {"one poll missing", 600'000, 602'300, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string html = ChartOf(ReportOf(Quiet(minutes(20)), RecordLanguage(LanguageLines{}),
                                             [&](std::int64_t ms) { return ms >= c.skipFromMs && ms < c.skipToMs; }),
            "wide");
        EXPECT_EQ(LinePieces(html), (std::vector<std::size_t>{c.linePieces, c.linePieces}));
        EXPECT_EQ(BandOf(html).holes, c.bandHoles);
    }
}

TEST(NightReportTest, ASinglePollShowsItsValuesAndEverySpanReadsInFittingUnits)
{
    // One poll: each curve's value is a dot, not a line of no length; and the span says seconds.
    const std::string html = ReportOf(Quiet(seconds(2)));
    EXPECT_EQ(Count(ChartOf(html, "wide"), "<circle"), 2u);
    EXPECT_NE(html.find("(2 s)</p>"), std::string::npos);
    const struct {
        std::int64_t ms;
        const char* text;
    } spans[] = {{31'000, "31 s"}, {60'000, "1 min"}, {20 * 60'000 + 59'000, "20 min"}, {12 * 3'600'000, "12 h 00 min"},
        {47 * 3'600'000 + 60'000, "47 h 01 min"}, {720LL * 3'600'000, "30 d 00 h"}, {749LL * 3'600'000, "31 d 05 h"}};
    for (const auto& span : spans)
        EXPECT_EQ(DurationText(span.ms), span.text);
}

TEST(NightReportTest, EachLockoutIsShownUpCloseWithEveryPollBesideItsRecord)
{
    test::TempDir dir;
    const std::string html = ReportOf(Night(hours(12)), dir);
    const NightSummary summary = SummarizeRecording(dir.path(), LanguageLines{});
    std::vector<std::int64_t> lockouts;
    for (const RecordEvent& marker : summary.Markers())
        if (marker.kind == EventKind::NewErrorRecord)
            lockouts.push_back(marker.time.utcMs);
    ASSERT_EQ(lockouts.size(), 2u);
    const auto panels = Matches(html, "<div class=\"panel\">([\\s\\S]*?)</div>");
    ASSERT_EQ(panels.size(), lockouts.size()) << "a panel per lockout, none for the link loss";
    for (std::size_t i = 0; i < panels.size(); ++i) {
        SCOPED_TRACE(i);
        const std::string panel = panels[i][1];
        const auto polls = std::count_if(summary.Samples().begin(), summary.Samples().end(), [&](const auto& s) {
            return s.utcMs >= lockouts[i] - PanelBeforeMs && s.utcMs <= lockouts[i] + PanelAfterMs;
        });
        EXPECT_GT(polls, 100);
        // Flame current and mains voltage: a point per poll, in one piece.
        for (const auto& path : Matches(panel, "stroke-width=\"1.5\" fill=\"none\" d=\"([^\"]*)\"")) {
            EXPECT_EQ(Count(path[1], "M") + Count(path[1], "L"), static_cast<std::size_t>(polls));
            EXPECT_EQ(Count(path[1], "M"), 1u);
        }
        EXPECT_NE(panel.find("<caption>" + std::to_string(i + 1) + ". The unit's new error record</caption>"),
            std::string::npos);
        EXPECT_NE(panel.find(i == 0 ? "<td>state 3</td>" : "<td>state 5</td>"), std::string::npos);
    }
}

// A summary of made-up polls 2 s apart: 'o' fuel valve BV 1 open, 'c' closed, '-' no port.
NightSummary PollsOf(std::string_view valve)
{
    NightSummary summary;
    std::int64_t ms = 1'796'583'600'000;
    for (char c : valve) {
        DecodedPoll poll;
        poll.time = {ms += 2'000, 60};
        poll.link = c == '-' ? LinkStatus::NoPort : LinkStatus::Ok;
        if (c != '-') {
            poll.stateCode = c == 'o' ? 5 : 0;
            poll.flags = std::array<bool, StatusFlagCount>{};
            (*poll.flags)[FuelValve1Flag] = c == 'o';
        }
        summary.OnPoll(PollInput{}, poll);
    }
    return summary;
}

TEST(NightReportTest, AStartIsFuelValveOneOpeningDuringTheRecording)
{
    const struct {
        std::string_view valve;
        std::int64_t starts;
    } cases[] = {
        {"ooooo", 0},  // the burner ran already when the recording began
        {"ccooo", 1},
        {"oocco", 1},
        {"oo--oo", 0},  // the link was lost while it ran
        {"cc--oo", 1},
        {"coccocco", 3},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ComputeNightStatistics(PollsOf(c.valve), 900).starts, c.starts) << c.valve;
}

// Central European time: summer time from 2026-03-29 01:00 UTC to 2026-10-25 01:00 UTC.
constexpr std::int64_t SpringChange = (DaysFromCivil(2026, 3, 29) * 24 + 1) * 3'600'000;
constexpr std::int64_t AutumnChange = (DaysFromCivil(2026, 10, 25) * 24 + 1) * 3'600'000;
int CentralEuropeOffset(std::int64_t utcMs)
{
    return utcMs >= SpringChange && utcMs < AutumnChange ? 120 : 60;
}

TEST(NightReportTest, SummerTimeHoursKeepTheirOffsetAndEveryLabelIsItsMomentsLocalTime)
{
    const struct {
        const char* name;
        std::int64_t change;
        const char* span;
        std::vector<std::string> hours;
    } cases[] = {
        {"autumn", AutumnChange, "2026-10-25 01:30 +02:00 to 2026-10-25 03:30 +01:00 (3 h 00 min)",
            {"2026-10-25 01:00 +02:00", "2026-10-25 02:00 +02:00", "2026-10-25 02:00 +01:00",
                "2026-10-25 03:00 +01:00"}},
        {"spring", SpringChange, "2026-03-29 00:30 +01:00 to 2026-03-29 04:30 +02:00 (3 h 00 min)",
            {"2026-03-29 00:00 +01:00", "2026-03-29 01:00 +01:00", "2026-03-29 03:00 +02:00",
                "2026-03-29 04:00 +02:00"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NightSummary summary;
        for (std::int64_t ms = c.change - 5'400'000; ms < c.change + 5'400'000; ms += 2'000) {
            DecodedPoll poll;
            poll.time = {ms, CentralEuropeOffset(ms)};
            poll.link = LinkStatus::Ok;
            summary.OnPoll(PollInput{}, poll);
        }
        const std::string html = NightReportHtml(summary, NightTexts(LanguageLines{}));
        EXPECT_NE(html.find(c.span), std::string::npos);
        std::vector<std::string> hours;
        for (const auto& row : Matches(html, "<tr><td>(2026-[^<]*)</td>"))
            hours.push_back(row[1]);
        EXPECT_EQ(hours, c.hours);
        const std::vector<TimeTick> ticks = NightTimeTicks(ComputeNightStatistics(summary, 900), 900, 13);
        EXPECT_GE(ticks.size(), 6u);
        // The first label after the change names the new offset.
        int named = 0;
        for (const TimeTick& tick : ticks) {
            const CivilTime local = ToCivil(LocalSeconds({tick.utcMs, CentralEuropeOffset(tick.utcMs)}));
            char expected[8];
            std::snprintf(expected, sizeof expected, "%02d:%02d", local.hour, local.minute);
            EXPECT_EQ(tick.label.substr(0, 5), expected);
            if (tick.label.size() > 5) {
                EXPECT_EQ(tick.label.substr(5), " " + OffsetText(CentralEuropeOffset(c.change))) << tick.label;
                EXPECT_GE(tick.utcMs, c.change);
                ++named;
            }
        }
        EXPECT_EQ(named, 1);
        // Around the change at minute steps: the autumn's summer time ends at 02:59, and the
        // moment of the change reads 02:00, never a 03:00 that no clock showed.
        NightStatistics night = ComputeNightStatistics(summary, 900);
        night.first = {c.change - 180'000, CentralEuropeOffset(c.change - 180'000)};
        night.spanMs = 360'000;
        std::vector<std::string> labels;
        for (const TimeTick& tick : NightTimeTicks(night, 900, 13))
            labels.push_back(tick.label);
        const std::vector<std::string> autumn{"02:58", "02:59", "02:00 +01:00", "02:01", "02:02"},
            spring{"01:58", "01:59", "03:00 +02:00", "03:01", "03:02"};
        EXPECT_EQ(labels, c.change == AutumnChange ? autumn : spring);
    }
}

#ifndef _WIN32
TEST(NightReportTest, OnAFullDiskThePreviousReportStaysWholeAndTheMessageGivesTheReason)
{
    const std::string previous = "<p>last night's report</p>";
    const auto run = test::RunOnFullDisk(
        [&](const std::string& folder) {
            nightsim::WriteSimulatedRecording(Quiet(minutes(2)), folder, RecordLanguage(LanguageLines{}));
            std::ofstream(folder + "/night-report.html") << previous;
        },
        [&](const std::string& folder) -> std::string {
            const std::filesystem::path report = folder + "/night-report.html";
            std::string faults;
            try {
                WriteNightReport(folder, RecordLanguage(LanguageLines{}), report);
                faults += "no error; ";
            } catch (const RecordError& error) {
                const std::string message = error.what();
                if (message.find(std::strerror(ENOSPC)) == std::string::npos
                    && message.find(std::strerror(EFBIG)) == std::string::npos)
                    faults += "no reason in \"" + message + "\"; ";
            }
            std::ifstream in(report);
            const std::string after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (after != previous)
                faults += "the previous report became \"" + after.substr(0, 40) + "\"; ";
            for (const auto& entry : std::filesystem::directory_iterator(folder))
                if (entry.path().filename().string().rfind("night-report.html", 0) == 0
                    && entry.path().filename() != "night-report.html")
                    faults += "left " + entry.path().filename().string() + "; ";
            return faults;
        });
    EXPECT_EQ(run.failures, "") << (run.onTmpfs ? "on a full tmpfs" : "under a file-size limit");
}
#endif

// A delivered language file with the words the program finds for it.
RecordLanguage LanguageFile(const std::string& name)
{
    const std::filesystem::path resources = KALVO_RESOURCES;
    LanguageLines language;
    LoadLanguage(PathText(resources / name), language);
    return LoadRecordLanguage(resources / name, language, resources / "lang");
}

// What the page shows as text: no style sheet, no tags.
std::string VisibleText(const std::string& html)
{
    const std::string body = html.substr(html.find("</style>"));
    return std::regex_replace(body, std::regex("<[^>]*>"), " ");
}

TEST(NightReportTest, WithTheGermanLanguageFileThePageIsGermanThroughout)
{
    const std::string html = ReportOf(Night(hours(12)), LanguageFile("lang/de/MY.LNG"));
    EXPECT_NE(html.find("<html lang=\"de\">"), std::string::npos);
    const std::string text = VisibleText(html);
    for (const char* english : {"Lockout", "lockout", "Polls", "Totals", "Burner", "Running", "Timeline", "no data",
             "Link", "Mains", "Flame", "Hour", " to ", "state ", "transfer", "port", "good", "uA"})
        EXPECT_EQ(text.find(english), std::string::npos) << english;
    for (const char* german : {"Kalvo-Nachtbericht", "Brennerzustand",
             "Störabschaltung: Sicherheitszeit, Netzspannung: ", "Verbindung verloren: kein Port",
             "Brennerstarts (Brennstoffventil BV 1 geöffnet)", "Flammenstrom (µA)"})
        EXPECT_NE(text.find(german), std::string::npos) << german;
}

TEST(NightReportTest, TheLegendNamesTheLockoutOnce)
{
    const struct {
        const char* name;
        RecordLanguage language;
        const char* lockout;
    } cases[] = {
        {"English", LanguageFile("MY.LNG"), "ockout"},
        {"no language file", RecordLanguage(LanguageLines{}), "ockout"},
        {"German", LanguageFile("lang/de/MY.LNG"), "Störabschaltung"},
    };
    for (const auto& c : cases) {
        const std::string html = ReportOf(Night(hours(12)), c.language);  // the matches point into it
        const auto legend = Matches(html, "<p class=\"legend\">.*</p>");
        ASSERT_EQ(legend.size(), 1u) << c.name;
        EXPECT_EQ(Count(VisibleText("</style>" + legend[0].str()), c.lockout), 1u) << c.name;
    }
}

// Polls the recorder took for noise are counted, never drawn as states, values or starts.
TEST(NightReportTest, ImplausiblePollsAreCountedAndLeftOut)
{
    NightSummary noiseOnly;
    DecodedPoll noise;
    noise.link = LinkStatus::Ok;
    noise.stateCode = 234;
    noise.implausible = true;
    noiseOnly.OnPoll({}, noise);
    EXPECT_NE(NightReportHtml(noiseOnly, NightTexts(LanguageLines{}))
                  .find("no poll that can be the unit's; implausible polls: 1."),
        std::string::npos);

    NightSummary summary;
    DecodedPoll real = noise;
    real.stateCode = 5;
    real.implausible = false;
    summary.OnPoll({}, real);
    noise.time.utcMs = real.time.utcMs + 2000;
    summary.OnPoll({}, noise);
    EXPECT_EQ(summary.Samples().size(), 1u);
    EXPECT_EQ(summary.StateTexts().count(234), 0u);
    EXPECT_NE(NightReportHtml(summary, NightTexts(LanguageLines{}))
                  .find("<tr><th>Implausible polls (left out)</th><td>1</td></tr>"),
        std::string::npos);
}

}  // namespace
}  // namespace kalvo::record
