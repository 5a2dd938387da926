#pragma once

// Realistic input for the benchmarks of what follows a read cycle: the blocks the simulated unit
// hands over poll after poll, and the language file delivered with the program.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/Language.h"
#include "core/Readings.h"
#include "tools/unitsim/BurnerModel.h"

namespace kalvo::bench {

struct PollBlocks {
    Block status{};
    Block timing{};
    Block errorHistory{};
};

// The blocks of count consecutive polls of a simulated unit, one poll interval (plus the cycle
// itself) apart, so they pass through every phase of the burner sequence.
inline std::vector<PollBlocks> SimulatedPolls(std::size_t count, std::uint32_t seed = 1)
{
    constexpr std::chrono::milliseconds PollSpacing{2'400};
    const auto put = [](const unitsim::Bytes& data, Block& block) {
        std::copy_n(data.begin(), std::min(data.size(), block.size()), block.begin());
    };
    unitsim::BurnerModel unit(seed);
    std::vector<PollBlocks> polls(count);
    for (PollBlocks& poll : polls) {
        unit.Advance(PollSpacing);
        put(unit.StatusData(), poll.status);
        put(unit.TimingData(), poll.timing);
        put(unit.ErrorHistoryData(), poll.errorHistory);
    }
    return polls;
}

// Blocks whose every field carries no value, as a unit without its measurements sends them.
inline PollBlocks NoValuePoll()
{
    PollBlocks poll;
    poll.status.fill(0xFF);
    poll.timing.fill(0xFF);
    poll.errorHistory.fill(0xFF);
    return poll;
}

// The language file the program is delivered with.
inline LanguageLines DeliveredLanguage()
{
    LanguageLines language;
    LoadLanguage(KALVO_RESOURCES_DIR "/MY.LNG", language);
    return language;
}

}  // namespace kalvo::bench
