#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>

#include "tools/unitsim/Bytes.h"

namespace unitsim {

// The unit's sending side of the serial line. Bytes go out in the order they were queued, each
// taking one character time, so a reply queued while an earlier one is still going out follows
// it. Times are offsets on the caller's clock, real or simulated.
class TransmitLine {
public:
    using Time = std::chrono::nanoseconds;

    // 9600 baud with 8 data bits, no parity and 2 stop bits: 11 bits per byte.
    static constexpr Time CharacterTime9600_8N2{11'000'000'000LL / 9600};

    // A character time of zero sends every byte the moment it is queued.
    explicit TransmitLine(Time characterTime) : characterTime_(characterTime) {}

    // Bytes the unit starts to send at the given time, or as soon as the line is free.
    void Queue(Time at, const Bytes& bytes);
    // The bytes completely sent by now, removed from the line.
    Bytes TakeSent(Time now);
    // When the next byte will have been sent; nothing while the line is idle.
    std::optional<Time> NextSent() const;
    // Drops everything not yet sent, as a hang-up does.
    void Clear();

private:
    struct Pending {
        Time sent;
        std::uint8_t byte;
    };

    Time characterTime_;
    Time freeAt_{0};
    std::deque<Pending> pending_;
};

}  // namespace unitsim
