#pragma once

#include <chrono>
#include <optional>
#include <random>
#include <string_view>
#include <vector>

#include "tools/unitsim/Bytes.h"

namespace unitsim {

// How the unit answers a request: properly, or in one of the ways a real line goes wrong.
enum class Behaviour {
    Normal,    // the whole reply after the response delay
    Silent,    // no answer at all
    Short,     // the reply cut off before its end
    Long,      // the reply followed by stray bytes
    LateBytes, // the reply's tail arrives more than a second after its start
    Flood,     // far more bytes than any reply, the unit babbling
    Garbage,   // a reply-sized burst of noise
    HangUp,    // the line goes away, like an adapter pulled out
};

inline constexpr Behaviour AllBehaviours[] = {
    Behaviour::Normal, Behaviour::Silent, Behaviour::Short,   Behaviour::Long,
    Behaviour::LateBytes, Behaviour::Flood, Behaviour::Garbage, Behaviour::HangUp,
};

// The names on the command line: normal silent short long late flood garbage hangup.
std::string_view BehaviourName(Behaviour behaviour);
std::optional<Behaviour> ParseBehaviour(std::string_view name);

// A piece of the unit's answer: bytes it starts to send at a time after the request arrived.
struct Chunk {
    std::chrono::microseconds at;
    Bytes bytes;
};

struct ReplyPlan {
    std::vector<Chunk> chunks;
    bool hangUp = false;  // the line goes away instead of answering
};

// Turns the proper reply to one request into what the unit sends when it behaves so.
ReplyPlan PlanReply(Behaviour behaviour, const Bytes& reply, std::chrono::microseconds responseDelay,
                    std::mt19937& rng);

// Mostly proper answers with every misbehaviour now and then, each for a few requests in a row.
class RandomBehaviour {
public:
    Behaviour ForNextRequest(std::mt19937& rng);

private:
    Behaviour current_ = Behaviour::Normal;
    int requestsLeft_ = 10;  // a proper start, so the first poll shows data
};

}  // namespace unitsim
