#include "testing/Pty.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace kalvo::test {

namespace {

using Clock = std::chrono::steady_clock;

// Sending never takes this long unless the program under test stopped reading altogether.
constexpr std::chrono::seconds SendLimit{10};

void Fail(const std::string& what)
{
    throw std::runtime_error(what + ": errno " + std::to_string(errno));
}

int RemainingMillis(Clock::time_point deadline)
{
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

Pty::Pty()
{
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0)
        Fail("posix_openpt");
    ::fcntl(master_, F_SETFD, FD_CLOEXEC);
    ::fcntl(master_, F_SETFL, O_NONBLOCK);
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
        Fail("grantpt/unlockpt");
    const char* name = ::ptsname(master_);
    if (!name)
        Fail("ptsname");
    slavePath_ = name;
    slave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave_ < 0)
        Fail("open " + slavePath_);
    // A fresh slave echoes and edits lines; a serial device does neither.
    termios raw{};
    ::tcgetattr(slave_, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave_, TCSANOW, &raw);
}

Pty::~Pty()
{
    if (slave_ >= 0)
        ::close(slave_);
    HangUp();
}

void Pty::Send(const std::vector<std::uint8_t>& bytes)
{
    const Clock::time_point deadline = Clock::now() + SendLimit;
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t written = ::write(master_, bytes.data() + sent, bytes.size() - sent);
        if (written > 0) {
            sent += static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno != EAGAIN && errno != EINTR)
            Fail("write to " + slavePath_);
        if (Clock::now() >= deadline)
            throw std::runtime_error("the port took no more input from " + slavePath_);
        pollfd room{master_, POLLOUT, 0};
        ::poll(&room, 1, RemainingMillis(deadline));
    }
}

void Pty::Send(std::size_t count, std::uint8_t value)
{
    Send(std::vector<std::uint8_t>(count, value));
}

std::vector<std::uint8_t> Pty::Receive(std::size_t count, std::chrono::milliseconds limit)
{
    const Clock::time_point deadline = Clock::now() + limit;
    std::vector<std::uint8_t> received;
    std::uint8_t chunk[256];
    while (received.size() < count) {
        ssize_t got = ::read(master_, chunk, std::min(sizeof chunk, count - received.size()));
        if (got > 0) {
            received.insert(received.end(), chunk, chunk + got);
            continue;
        }
        if (got < 0 && errno != EAGAIN && errno != EINTR)
            break;
        if (Clock::now() >= deadline)
            break;
        pollfd input{master_, POLLIN, 0};
        ::poll(&input, 1, RemainingMillis(deadline));
    }
    return received;
}

void Pty::StopTakingBytes()
{
    if (::tcflow(slave_, TCOOFF) != 0)
        Fail("suspend output of " + slavePath_);
}

void Pty::HangUp()
{
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

}  // namespace kalvo::test
