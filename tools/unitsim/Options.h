#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/unitsim/Behaviour.h"

namespace unitsim {

struct Options {
    std::string settingsPath;  // empty: leave the settings alone
    int comNumber = 20;
    bool pace = false;
    std::chrono::milliseconds replyDelay{20};
    std::optional<Behaviour> behaviour = Behaviour::Normal;  // none: a random mix
    std::chrono::milliseconds hangUpTime{3'000};
    std::optional<std::uint32_t> seed;  // none: a fresh one each run
    // Set: the burner runs this far from the seed and then stays there, so every answer is the
    // same and can be computed beforehand from the seed alone.
    std::optional<std::chrono::milliseconds> holdAt;
    std::string replayFolder;  // empty: the burner model answers
    int speed = 1;             // how many times faster than recorded a replay runs
    bool log = false;
    bool help = false;
    bool version = false;
};

struct ParsedOptions {
    Options options;
    std::string error;  // empty when the command line was good
};

ParsedOptions ParseOptions(const std::vector<std::string>& arguments);
std::string UsageText();

}  // namespace unitsim
