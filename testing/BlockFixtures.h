#pragma once

#include <cstdint>

#include "core/Readings.h"

namespace kalvo::test {

// A reply block with every byte set to the same value: zero for a unit that sent zeros, 0xFF for
// one whose fields carry no value.
inline Block FilledBlock(std::uint8_t byte)
{
    Block block;
    block.fill(byte);
    return block;
}

}  // namespace kalvo::test
