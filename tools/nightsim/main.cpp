// nightsim: writes the recording of a simulated burner night, as kalvo-record would have made it,
// for the night report's pictures and the benchmarks.
//
//   nightsim DIR [DAYS | LENGTH]
//   nightsim --help | --version
//
// Without DAYS: one night from 20:00 to 08:00 (UTC+1) with two lockouts and one link loss. With
// DAYS, or a LENGTH such as 3m, 20m or 36h: that long from the same start, a lockout every 13 hours.

#include <iostream>
#include <string>
#include <vector>

#include "record/ProgramVersion.h"
#include "tools/nightsim/NightSimulation.h"

int main(int argc, char** argv)
{
    using namespace std::chrono;
    const nightsim::CommandLine line = nightsim::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (line.help || line.version) {
        std::cout << (line.help ? std::string(nightsim::UsageText) : kalvo::record::VersionLine("nightsim"));
        return 0;
    }
    if (!line.error.empty()) {
        std::cerr << "nightsim: " << line.error << '\n' << nightsim::UsageText;
        return 2;
    }
    nightsim::NightPlan plan;
    plan.start = {1'796'583'600'000, 60};  // 2026-12-06T20:00:00+01:00
    if (line.length) {
        plan.length = *line.length;
        for (hours at{13}; at < plan.length; at += hours(13))
            plan.lockouts.push_back(at);
    } else {
        plan.lockouts = {hours(2) + minutes(40), hours(6) + minutes(10)};
        plan.linkLosses = {hours(9) + minutes(25)};
    }
    try {
        kalvo::LanguageLines language;
        kalvo::LoadLanguage(KALVO_LANGUAGE_FILE, language);
        std::cout << nightsim::WriteSimulatedRecording(plan, line.folder, kalvo::record::RecordLanguage(language))
                  << " polls\n";
    } catch (const std::exception& error) {
        std::cerr << "nightsim: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
