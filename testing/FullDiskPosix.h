#pragma once

#include <functional>
#include <string>

namespace kalvo::test {

struct FullDiskRun {
    bool onTmpfs = false;   // a real full file system; otherwise a file-size limit of zero
    std::string failures;   // what the body reported, or how the child went wrong; empty when fine
};

// Runs body in a child process, in a folder whose file system is full: a small tmpfs in a mount
// namespace of the child's own where the system lets it mount one (as root, or in a user
// namespace), filled to the last block; otherwise a temporary folder under a file-size limit of
// zero, where every write fails as it would on a full disk. setup runs first, while there is
// room. body returns what went wrong, empty when nothing did; gtest's checks do not reach back
// from the child.
FullDiskRun RunOnFullDisk(const std::function<void(const std::string& folder)>& setup,
                          const std::function<std::string(const std::string& folder)>& body);

}  // namespace kalvo::test
