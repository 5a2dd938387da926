#pragma once

#include <chrono>
#include <cstdint>

#include "core/Protocol.h"
#include "testing/FakeSerial.h"
#include "tools/unitsim/BurnerModel.h"
#include "tools/unitsim/Wire.h"

namespace kalvo::test {

// Scripts the line so that the unit answers every request like unitsim --seed SEED --hold-at
// HOLD_MS: the same bytes at every poll, as the model of that seed holds them at that time.
inline void AnswerAsHeldUnit(FakeSerialSystem& serial, std::uint32_t seed, std::chrono::milliseconds holdAt)
{
    unitsim::BurnerModel model(seed);
    model.Advance(holdAt);
    for (const std::uint8_t code : {StatusRequest, TimingRequest, ErrorHistoryRequest})
        serial.AnswerRequest(code, {{0, unitsim::BuildReply(code, model.DataFor(code))}});
}

}  // namespace kalvo::test
