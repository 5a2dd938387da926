#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

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

inline constexpr std::size_t StatusDataLength = StatusReplyLength - ReplyLeadBytes - ReplyTrailBytes;
inline constexpr std::size_t TimingDataLength = TimingReplyLength - ReplyLeadBytes - ReplyTrailBytes;
inline constexpr std::size_t ErrorHistoryDataLength = ErrorHistoryReplyLength - ReplyLeadBytes - ReplyTrailBytes;

// Requests lead with 81 81, the unit's replies with 82 82; the program reads neither back.
inline constexpr std::uint8_t RequestMarker = 0x81;
inline constexpr std::uint8_t ReplyMarker = 0x82;

// The reply length the unit uses for a request code; 0 for a code it does not know.
constexpr std::size_t ReplyLengthFor(std::uint8_t requestCode)
{
    switch (requestCode) {
    case StatusRequest:
        return StatusReplyLength;
    case TimingRequest:
        return TimingReplyLength;
    case ErrorHistoryRequest:
        return ErrorHistoryReplyLength;
    default:
        return 0;
    }
}

// Both kinds of frame end in the 16-bit sum of all bytes before it, high byte first.
constexpr std::array<std::uint8_t, 2> FrameChecksum(std::span<const std::uint8_t> bytes)
{
    unsigned sum = 0;
    for (const std::uint8_t byte : bytes)
        sum += byte;
    return {static_cast<std::uint8_t>((sum >> 8) & 0xFF), static_cast<std::uint8_t>(sum & 0xFF)};
}

constexpr RequestFrame BuildRequestFrame(std::uint8_t requestCode)
{
    RequestFrame frame{RequestMarker, RequestMarker, 0x08, 0x00, 0x01, requestCode, 0, 0};
    const auto checksum = FrameChecksum(std::span(frame).first(6));
    frame[6] = checksum[0];
    frame[7] = checksum[1];
    return frame;
}

// A reply as the unit sends it: 82 82, the whole frame's length, 00 01, the request code, the
// data as given, and the checksum. Any code and data length are framed; a simulated unit
// decides what it answers.
std::vector<std::uint8_t> BuildReply(std::uint8_t requestCode, std::span<const std::uint8_t> data);

}  // namespace kalvo
