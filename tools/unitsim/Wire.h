#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/Protocol.h"
#include "tools/unitsim/Bytes.h"

namespace unitsim {

using kalvo::BuildReply;

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
