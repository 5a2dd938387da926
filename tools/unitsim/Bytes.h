#pragma once

#include <cstdint>
#include <vector>

namespace unitsim {

using Bytes = std::vector<std::uint8_t>;

}  // namespace unitsim
