#pragma once

#include <cstdint>

#include "core/FieldTable.h"
#include "core/Readings.h"

namespace kalvo {

// How a poll went on the line. Ok: all three replies came with their exact length in time.
// TransferError: the port was open, but a reply was missing, short, long or late. NoPort: no port
// was open for the poll (none configured, held by another program, or the adapter unplugged).
enum class LinkStatus : std::uint8_t { Ok = 0, TransferError = 1, NoPort = 2 };

// What a finished read cycle left: how the link went and the three blocks as it filled them.
struct PollResult {
    LinkStatus link = LinkStatus::NoPort;
    Block statusBlock{};
    Block timingBlock{};
    Block errorHistoryBlock{};
};

// One poll as the read cycle hands it down to every consumer: how it went, its blocks, and its
// fields decoded once.
struct Poll {
    PollResult result;
    PollFields fields;
};

}  // namespace kalvo
