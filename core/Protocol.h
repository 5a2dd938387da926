#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kalvo {

// The wire protocol of the unit: an 8-byte read request, and replies of fixed length whose
// bytes 6 .. n-3 are data.
using RequestFrame = std::array<std::uint8_t, 8>;

inline constexpr std::uint8_t StatusRequest = 0x80;
inline constexpr std::uint8_t TimingRequest = 0x81;
inline constexpr std::uint8_t ErrorHistoryRequest = 0x82;

inline constexpr std::size_t StatusReplyLength = 59;
inline constexpr std::size_t TimingReplyLength = 46;
inline constexpr std::size_t ErrorHistoryReplyLength = 136;
inline constexpr std::size_t ReplyLeadBytes = 6;
inline constexpr std::size_t ReplyTrailBytes = 2;

constexpr RequestFrame BuildRequestFrame(std::uint8_t requestCode)
{
    RequestFrame frame{0x81, 0x81, 0x08, 0x00, 0x01, requestCode, 0, 0};
    unsigned sum = 0;
    for (std::size_t i = 0; i < 6; ++i)
        sum += frame[i];
    frame[6] = static_cast<std::uint8_t>((sum >> 8) & 0xFF);
    frame[7] = static_cast<std::uint8_t>(sum & 0xFF);
    return frame;
}

}  // namespace kalvo
