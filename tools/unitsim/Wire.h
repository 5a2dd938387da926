#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "tools/unitsim/Bytes.h"

namespace unitsim {

// Reply bytes 0..5 as this unit sends them: 82 82, the reply length, 00 01, the request code.
inline constexpr std::uint8_t ReplyMarker = 0x82;

// The whole reply frame: six leading bytes, the data, and the 16-bit sum of all bytes before it,
// high byte first.
Bytes BuildReply(std::uint8_t requestCode, std::span<const std::uint8_t> data);

// Finds the unit's read requests in the received byte stream. Bytes that cannot start a valid
// request (noise, a wrong checksum, an unknown code) are skipped one at a time, so the parser
// falls back into step with the next good request.
class RequestParser {
public:
    // The request codes of the requests completed by these bytes, in order of arrival.
    std::vector<std::uint8_t> Feed(std::span<const std::uint8_t> bytes);
    void Reset() { pending_.clear(); }

private:
    Bytes pending_;  // a possible request that is not complete yet
};

}  // namespace unitsim
