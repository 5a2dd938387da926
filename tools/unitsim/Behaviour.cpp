#include "tools/unitsim/Behaviour.h"

#include <algorithm>
#include <array>

namespace unitsim {
namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

constexpr std::array<std::string_view, std::size(AllBehaviours)> Names = {
    "normal", "silent", "short", "long", "late", "flood", "garbage", "hangup",
};

// The queue of the reading side holds 256 bytes; a flood overruns it whatever it reads.
constexpr std::size_t FloodMin = 300;
constexpr std::size_t FloodMax = 1024;
constexpr std::size_t StrayBytesMax = 16;
constexpr milliseconds LateMin{1'100};
constexpr milliseconds LateMax{1'600};

static_assert(AllBehaviours[0] == Behaviour::Normal, "the random mix picks misbehaviours after Normal");

// How often each misbehaviour comes up in the random mix, in the order of AllBehaviours after
// Normal.
constexpr std::array<int, std::size(AllBehaviours) - 1> MisbehaviourWeights = {8, 6, 6, 6, 4, 6, 4};

std::size_t RandomSize(std::size_t low, std::size_t high, std::mt19937& rng)
{
    return std::uniform_int_distribution<std::size_t>(low, high)(rng);
}

Bytes RandomBytes(std::size_t count, std::mt19937& rng)
{
    std::uniform_int_distribution<int> byte(0, 255);
    Bytes bytes(count);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(byte(rng));
    return bytes;
}

Bytes Flood(const Bytes& reply, std::mt19937& rng)
{
    const std::size_t size = RandomSize(FloodMin, FloodMax, rng);
    if (reply.empty())
        return RandomBytes(size, rng);
    Bytes bytes;
    bytes.reserve(size);
    while (bytes.size() < size)
        bytes.push_back(reply[bytes.size() % reply.size()]);
    return bytes;
}

}  // namespace

std::string_view BehaviourName(Behaviour behaviour)
{
    return Names[static_cast<std::size_t>(behaviour)];
}

std::optional<Behaviour> ParseBehaviour(std::string_view name)
{
    const auto found = std::find(Names.begin(), Names.end(), name);
    if (found == Names.end())
        return std::nullopt;
    return AllBehaviours[found - Names.begin()];
}

ReplyPlan PlanReply(Behaviour behaviour, const Bytes& reply, microseconds responseDelay, std::mt19937& rng)
{
    ReplyPlan plan;
    switch (behaviour) {
    case Behaviour::Normal: plan.chunks.push_back({responseDelay, reply}); break;
    case Behaviour::Silent: break;
    case Behaviour::Short:
        if (reply.size() > 1) {
            const auto cut = static_cast<std::ptrdiff_t>(RandomSize(1, reply.size() - 1, rng));
            plan.chunks.push_back({responseDelay, Bytes(reply.begin(), reply.begin() + cut)});
        }
        break;
    case Behaviour::Long: {
        Bytes bytes = reply;
        const Bytes stray = RandomBytes(RandomSize(1, StrayBytesMax, rng), rng);
        bytes.insert(bytes.end(), stray.begin(), stray.end());
        plan.chunks.push_back({responseDelay, std::move(bytes)});
        break;
    }
    case Behaviour::LateBytes: {
        if (reply.size() < 2) {
            plan.chunks.push_back({responseDelay, reply});
            break;
        }
        const auto split = static_cast<std::ptrdiff_t>(RandomSize(reply.size() / 2, reply.size() - 1, rng));
        const milliseconds late{std::uniform_int_distribution<long long>(LateMin.count(), LateMax.count())(rng)};
        plan.chunks.push_back({responseDelay, Bytes(reply.begin(), reply.begin() + split)});
        plan.chunks.push_back({responseDelay + late, Bytes(reply.begin() + split, reply.end())});
        break;
    }
    case Behaviour::Flood: plan.chunks.push_back({responseDelay, Flood(reply, rng)}); break;
    case Behaviour::Garbage: plan.chunks.push_back({responseDelay, RandomBytes(reply.size(), rng)}); break;
    case Behaviour::HangUp: plan.hangUp = true; break;
    }
    return plan;
}

Behaviour RandomBehaviour::ForNextRequest(std::mt19937& rng)
{
    // Stretches of proper answers alternate with short bouts of one misbehaviour; a hang-up
    // takes a single request, since the line is gone afterwards.
    if (requestsLeft_ <= 0) {
        if (current_ == Behaviour::Normal) {
            std::discrete_distribution<std::size_t> pick(MisbehaviourWeights.begin(), MisbehaviourWeights.end());
            current_ = AllBehaviours[1 + pick(rng)];
            requestsLeft_ = current_ == Behaviour::HangUp ? 1 : static_cast<int>(RandomSize(1, 6, rng));
        } else {
            current_ = Behaviour::Normal;
            requestsLeft_ = static_cast<int>(RandomSize(6, 30, rng));
        }
    }
    --requestsLeft_;
    return current_;
}

}  // namespace unitsim
