#pragma once

#include <string>
#include <string_view>

namespace kalvo::record {

// What each of the console programs prints for --version: "unitsim 1.4.0" and a line break.
std::string VersionLine(std::string_view program);

}  // namespace kalvo::record
