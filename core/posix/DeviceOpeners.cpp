#include "core/posix/DeviceOpeners.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#ifdef __linux__
#include <sys/sysmacros.h>
#endif

namespace kalvo::posix {

#ifdef __linux__

namespace {

// Linux numbers pseudo-terminal port sides with majors 136..143, the multiplexer is 5:2.
constexpr unsigned FirstPtyMajor = 136, LastPtyMajor = 143;
constexpr unsigned MultiplexerMajor = 5, MultiplexerMinor = 2;

std::optional<unsigned> PtyIndex(dev_t device)
{
    const unsigned major = ::major(device);
    if (major < FirstPtyMajor || major > LastPtyMajor)
        return std::nullopt;
    return (major - FirstPtyMajor) * 256 + ::minor(device);
}

// The index of the pseudo-terminal whose other end the descriptor holds, from its fdinfo.
std::optional<unsigned> MultiplexedIndex(const std::filesystem::path& fdinfo)
{
    std::ifstream in(fdinfo);
    for (std::string line; std::getline(in, line);)
        if (line.starts_with("tty-index:"))
            return static_cast<unsigned>(std::strtoul(line.c_str() + line.find(':') + 1, nullptr, 10));
    return std::nullopt;
}

bool IsNumber(const std::string& name)
{
    return !name.empty() && name.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

bool OpenedByAnotherProgram(int fd, const std::filesystem::path& proc)
{
    struct stat device { };
    if (::fstat(fd, &device) != 0 || !S_ISCHR(device.st_mode))
        return false;
    const std::optional<unsigned> ptyIndex = PtyIndex(device.st_rdev);
    const std::string self = std::to_string(::getpid());
    std::error_code error;
    for (const auto& process : std::filesystem::directory_iterator(proc, error)) {
        const std::string pid = process.path().filename().string();
        if (!IsNumber(pid) || pid == self)
            continue;
        bool opens = false, playsTheDevice = false;
        std::error_code unreadable;  // another user's process, or one that ended meanwhile
        for (const auto& entry : std::filesystem::directory_iterator(process.path() / "fd", unreadable)) {
            struct stat opened { };
            if (::stat(entry.path().c_str(), &opened) != 0 || !S_ISCHR(opened.st_mode))
                continue;
            if (opened.st_rdev == device.st_rdev)
                opens = true;
            else if (ptyIndex && ::major(opened.st_rdev) == MultiplexerMajor
                && ::minor(opened.st_rdev) == MultiplexerMinor
                && MultiplexedIndex(process.path() / "fdinfo" / entry.path().filename()) == ptyIndex)
                playsTheDevice = true;
        }
        if (opens && !playsTheDevice)
            return true;
    }
    return false;
}

#else

bool OpenedByAnotherProgram(int, const std::filesystem::path&)
{
    return false;
}

#endif

}  // namespace kalvo::posix
