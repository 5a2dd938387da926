#include "tools/unitsim/PseudoTerminal.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

#ifdef __linux__
#include <sys/inotify.h>
#endif

namespace unitsim {
namespace {

[[noreturn]] void ThrowSystemError(const char* what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

void CloseIfOpen(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

}  // namespace

PseudoTerminal::PseudoTerminal()
{
    try {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0)
            ThrowSystemError("cannot open a pseudo-terminal");
        if (::fcntl(master_, F_SETFD, FD_CLOEXEC) < 0 || ::fcntl(master_, F_SETFL, O_NONBLOCK) < 0 ||
            ::grantpt(master_) < 0 || ::unlockpt(master_) < 0)
            ThrowSystemError("cannot set up the pseudo-terminal");
        const char* name = ::ptsname(master_);
        if (!name)
            ThrowSystemError("cannot name the pseudo-terminal");
        slavePath_ = name;

        keptSlave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios line{};
        if (keptSlave_ < 0 || ::tcgetattr(keptSlave_, &line) < 0)
            ThrowSystemError("cannot open the pseudo-terminal's port side");
        ::cfmakeraw(&line);
        ::cfsetispeed(&line, B9600);
        ::cfsetospeed(&line, B9600);
        if (::tcsetattr(keptSlave_, TCSANOW, &line) < 0)
            ThrowSystemError("cannot put the pseudo-terminal into raw mode");

#ifdef __linux__
        closeWatch_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (closeWatch_ >= 0 &&
            ::inotify_add_watch(closeWatch_, slavePath_.c_str(), IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0)
            CloseIfOpen(closeWatch_);
#endif
    } catch (...) {
        CloseIfOpen(closeWatch_);
        CloseIfOpen(keptSlave_);
        CloseIfOpen(master_);
        throw;
    }
}

PseudoTerminal::~PseudoTerminal()
{
    CloseIfOpen(closeWatch_);
    CloseIfOpen(keptSlave_);
    CloseIfOpen(master_);
}

void PseudoTerminal::SlaveClosed()
{
    char events[4096];
    while (::read(closeWatch_, events, sizeof events) > 0) {
    }
    // A real port leaves exclusive mode at its last close. A pseudo-terminal keeps it for as long
    // as its master is open, which would lock out everyone who opens the port after the first
    // exclusive user has closed it, that user too.
    ::ioctl(keptSlave_, TIOCNXCL);
}

}  // namespace unitsim
