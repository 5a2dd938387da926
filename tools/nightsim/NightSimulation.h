#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "record/PollRecord.h"
#include "record/RecordLanguage.h"

namespace nightsim {

// A burner's night as a recorder would have polled it: heat demand comes and goes, each start runs
// through prepurge, ignition and safety time into operation, and at the planned moments the burner
// locks out (a new error record) or the adapter is pulled for a minute. For the report's pictures
// and benchmarks; the same plan and seed give the same polls.
struct NightPlan {
    kalvo::record::LocalTime start;
    std::chrono::milliseconds length{std::chrono::hours(12)};
    std::vector<std::chrono::milliseconds> lockouts;   // since the start
    std::vector<std::chrono::milliseconds> linkLosses; // since the start, one minute each
    std::uint32_t seed = 1;
    std::chrono::milliseconds pollEvery{2'300};  // the poll interval plus the read cycle
};

// Hands every poll to the callback.
void SimulateNight(const NightPlan& plan, const std::function<void(const kalvo::record::PollInput&)>& onPoll);

// Writes the recording of the plan into folder, as kalvo-record would: readings, events and raw
// replies files, with the texts of the language. Returns the number of polls.
long long WriteSimulatedRecording(
    const NightPlan& plan, const std::string& folder, const kalvo::record::RecordLanguage& language);

// The command line: DIR [DAYS | LENGTH], or --help, or --version. An option is never taken for a folder.
struct CommandLine {
    std::string folder;
    std::optional<std::chrono::milliseconds> length;  // a bare number counts days
    bool help = false;
    bool version = false;
    std::string error;  // empty when the command line was good
};
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);
inline constexpr const char* UsageText = "Usage: nightsim DIR [DAYS | LENGTH such as 3m, 20m or 36h]\n";

}  // namespace nightsim
