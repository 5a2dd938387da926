#include "core/Protocol.h"

namespace kalvo {

std::vector<std::uint8_t> BuildReply(std::uint8_t requestCode, std::span<const std::uint8_t> data)
{
    const std::size_t length = ReplyLeadBytes + data.size() + ReplyTrailBytes;
    std::vector<std::uint8_t> frame{
        ReplyMarker, ReplyMarker, static_cast<std::uint8_t>(length), 0x00, 0x01, requestCode};
    frame.reserve(length);
    frame.insert(frame.end(), data.begin(), data.end());
    const auto checksum = FrameChecksum(frame);
    frame.insert(frame.end(), checksum.begin(), checksum.end());
    return frame;
}

}  // namespace kalvo
