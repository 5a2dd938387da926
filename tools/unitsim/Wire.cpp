#include "tools/unitsim/Wire.h"

#include <algorithm>

namespace unitsim {
namespace {

bool IsKnownRequest(std::uint8_t code)
{
    return kalvo::ReplyLengthFor(code) != 0;
}

enum class Match { No, SoFar, Complete };

// Whether bytes could be the start of a request. The first five bytes are the same in every
// request; the code byte decides the checksum.
Match MatchRequest(std::span<const std::uint8_t> bytes)
{
    const std::size_t length = std::min(bytes.size(), kalvo::RequestFrame{}.size());
    const std::uint8_t code = bytes.size() > 5 ? bytes[5] : kalvo::StatusRequest;
    if (!IsKnownRequest(code))
        return Match::No;
    const kalvo::RequestFrame expected = kalvo::BuildRequestFrame(code);
    if (!std::equal(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length), expected.begin()))
        return Match::No;
    return length == expected.size() ? Match::Complete : Match::SoFar;
}

}  // namespace

std::vector<std::uint8_t> RequestParser::Feed(std::span<const std::uint8_t> bytes)
{
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    std::vector<std::uint8_t> codes;
    std::size_t start = 0;
    while (start < pending_.size()) {
        const auto candidate = std::span<const std::uint8_t>(pending_).subspan(start);
        const Match match = MatchRequest(candidate);
        if (match == Match::SoFar)
            break;
        if (match == Match::Complete) {
            codes.push_back(candidate[5]);
            start += kalvo::RequestFrame{}.size();
        } else {
            ++start;
        }
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(start));
    return codes;
}

}  // namespace unitsim
