// Writes the night reports the browser test looks at, straight from simulated polls (no files in
// between, so a month takes a second): a technician's 3-minute first try, and 30 days with 55
// lockouts.
//
//   night_report_pages DIR

#include <fstream>
#include <iostream>

#include "record/NightReport.h"
#include "tools/nightsim/NightSimulation.h"

namespace {

using namespace std::chrono;
using namespace kalvo::record;

void WritePage(const nightsim::NightPlan& plan, const std::string& file)
{
    const NightSummary summary =
        SummarizePolls(kalvo::LanguageLines{}, [&](const auto& onPoll) { nightsim::SimulateNight(plan, onPoll); });
    std::ofstream(file, std::ios::binary) << NightReportHtml(summary, NightTexts(kalvo::LanguageLines{}));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "Usage: night_report_pages DIR\n";
        return 2;
    }
    const std::string folder = argv[1];
    nightsim::NightPlan plan;
    plan.start = {1'796'583'600'000, 60};  // 2026-12-06T20:00:00+01:00
    plan.length = minutes(3);
    WritePage(plan, folder + "/3min.html");
    // A technician's 20 minutes ending in a lockout, whose marker lies near the right end.
    plan.length = minutes(20);
    plan.lockouts = {minutes(16)};
    WritePage(plan, folder + "/20min.html");
    plan.lockouts.clear();
    plan.length = hours(24 * 30);
    plan.pollEvery = seconds(20);
    for (hours at{13}; at < plan.length; at += hours(13))
        plan.lockouts.push_back(at);
    WritePage(plan, folder + "/30days.html");
    return 0;
}
