#pragma once

#include <filesystem>

namespace kalvo::posix {

// Whether another program has the device of the open descriptor open, as far as this user may see
// (Linux: the descriptors under /proc). A plain open takes no lock and sets no exclusive mark, yet
// a second reader takes the unit's replies from the one that asked. The program that holds a
// pseudo-terminal's other end plays the device itself, so its own descriptor of the port side does
// not count. Elsewhere, and where /proc cannot be read, nothing is seen.
bool OpenedByAnotherProgram(int fd, const std::filesystem::path& proc = "/proc");

}  // namespace kalvo::posix
