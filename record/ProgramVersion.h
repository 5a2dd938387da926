#pragma once

#include <string>
#include <string_view>

namespace kalvo::record {

// The build's version, "1.4.0": the one source of it for --version and for what the programs publish.
std::string_view ProgramVersion();

// What each of the console programs prints for --version: "unitsim 1.4.0" and a line break.
std::string VersionLine(std::string_view program);

}  // namespace kalvo::record
