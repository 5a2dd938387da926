#include "tools/unitsim/TransmitLine.h"

#include <algorithm>

namespace unitsim {

void TransmitLine::Queue(Time at, const Bytes& bytes)
{
    for (std::uint8_t byte : bytes) {
        freeAt_ = std::max(at, freeAt_) + characterTime_;
        pending_.push_back({freeAt_, byte});
    }
}

Bytes TransmitLine::TakeSent(Time now)
{
    Bytes sent;
    while (!pending_.empty() && pending_.front().sent <= now) {
        sent.push_back(pending_.front().byte);
        pending_.pop_front();
    }
    return sent;
}

std::optional<TransmitLine::Time> TransmitLine::NextSent() const
{
    if (pending_.empty())
        return std::nullopt;
    return pending_.front().sent;
}

void TransmitLine::Clear()
{
    pending_.clear();
    freeAt_ = Time{0};
}

}  // namespace unitsim
