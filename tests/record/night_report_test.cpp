// The night report of simulated recordings: what it marks and counts, that it stands alone, and
// that a long recording is summarised rather than drawn poll by poll.

#include <gtest/gtest.h>

#include "NightReport.h"
#include "NightSimulation.h"
#include "TempDir.h"

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
    nightsim::WriteSimulatedRecording(plan, dir.path().string(), LanguageLines{});
    const std::string html = NightReportHtml(SummarizeRecording(dir.path(), LanguageLines{}));
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

TEST(NightReportTest, ANightShowsItsLockoutsAndLinkLossWithTheirRecords)
{
    test::TempDir dir;
    const std::string html = ReportOf(Night(hours(12)), dir);
    EXPECT_EQ(Count(html, "<g class=\"lockout\">"), 2u);
    EXPECT_EQ(Count(html, "<g class=\"linkloss\">"), 1u);
    EXPECT_NE(html.find("<td>2026-12-06 22:40</td><td>Lockout: state 3, 22"), std::string::npos);
    EXPECT_NE(html.find("<td>2026-12-07 05:25</td><td>Link lost: no port</td>"), std::string::npos);
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

// Polls the recorder took for noise are counted, never drawn as states, values or starts.
TEST(NightReportTest, ImplausiblePollsAreCountedAndLeftOut)
{
    NightSummary noiseOnly;
    DecodedPoll noise;
    noise.link = LinkStatus::Ok;
    noise.stateCode = 234;
    noise.implausible = true;
    noiseOnly.OnPoll({}, noise);
    EXPECT_NE(NightReportHtml(noiseOnly).find("no poll that can be the unit's: 1 implausible"), std::string::npos);

    NightSummary summary;
    DecodedPoll real = noise;
    real.stateCode = 5;
    real.implausible = false;
    summary.OnPoll({}, real);
    noise.time.utcMs = real.time.utcMs + 2000;
    summary.OnPoll({}, noise);
    EXPECT_EQ(summary.Samples().size(), 1u);
    EXPECT_EQ(summary.StateTexts().count(234), 0u);
    EXPECT_NE(
        NightReportHtml(summary).find("<tr><th>Implausible polls (left out)</th><td>1</td></tr>"), std::string::npos);
}

}  // namespace
}  // namespace kalvo::record
