#pragma once

#include <vector>

#include "record/PollRecord.h"

namespace kalvo::test {

// Four minutes of a burner that starts, two seconds apart from 2026-12-07T10:00:00+01:00: standby,
// then the flame current rises in operation, the mains voltage wanders by a volt, and poll 65 is
// a transfer error, a gap in every line.
inline std::vector<record::DecodedPoll> StartingBurnerPolls()
{
    constexpr std::int64_t StartUtcMs = 1'796'634'000'000;
    std::vector<record::DecodedPoll> polls(120);
    for (int n = 0; n < 120; ++n) {
        record::DecodedPoll& poll = polls[static_cast<std::size_t>(n)];
        poll.time = {StartUtcMs + n * 2000, 60};
        poll.link = n == 65 ? LinkStatus::TransferError : LinkStatus::Ok;
        if (poll.link == LinkStatus::Ok) {
            poll.stateCode = n < 40 ? 0 : 8;
            poll.values[ValueIndex("flame_current")] = n < 40 ? 0.0 : 5.0 + n / 10.0;
            poll.values[ValueIndex("alarm_current")] = 0.0;
            poll.values[ValueIndex("mains_voltage")] = 228.0 + n % 3;
        }
    }
    return polls;
}

}  // namespace kalvo::test
