#include "core/posix/SerialPosix.h"

#include "core/posix/DeviceOpeners.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <map>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#ifdef __linux__
#include <linux/serial.h>
#endif

namespace kalvo::posix {

namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// The total write time-out the Windows build sets: 300 ms per byte plus 100 ms.
constexpr milliseconds WriteTimeoutPerByte{300};
constexpr milliseconds WriteTimeoutConstant{100};

int PollTimeout(milliseconds limit)
{
    return static_cast<int>(std::clamp<milliseconds::rep>(limit.count(), 0, INT_MAX));
}

// Errors with which a descriptor tells that its device went away (unplugged adapter, hang-up).
bool IsDeviceGoneError(int error)
{
    return error == EIO || error == ENXIO || error == ENODEV;
}

bool IsHangUp(short revents)
{
    return (revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

bool HungUp(int fd)
{
    pollfd probe{fd, 0, 0};
    return ::poll(&probe, 1, 0) > 0 && IsHangUp(probe.revents);
}

// Closes the descriptor unless it is handed on.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

// True when another program made the terminal exclusive. Only a privileged caller gets this far:
// everyone else is already refused by the open itself.
bool HeldExclusivelyElsewhere([[maybe_unused]] int fd)
{
#ifdef TIOCGEXCL
    int exclusive = 0;
    return ::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
#else
    return false;
#endif
}

}  // namespace

bool HasUart([[maybe_unused]] int fd)
{
#ifdef __linux__
    serial_struct info{};
    if (::ioctl(fd, TIOCGSERIAL, &info) == 0)
        return info.type != PORT_UNKNOWN;
#endif
    return true;
}

PosixSerialPort::PosixSerialPort(int fd) : fd_(fd)
{
    input_.reserve(InputQueueSize);
}

PosixSerialPort::~PosixSerialPort()
{
    // A pseudo-terminal outlives this descriptor when its other end stays open; without this the
    // exclusive mark would stay on it and refuse the next open.
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
}

void PosixSerialPort::Configure()
{
    ApplyLineSettings();
    ClearModemLines();
    Purge();
}

void PosixSerialPort::ApplyLineSettings()
{
    termios line{};
    if (::tcgetattr(fd_, &line) != 0) {
        NoteFailure(errno);
        return;
    }
    ::cfmakeraw(&line);
    line.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    line.c_cflag &= ~(CSIZE | PARENB | PARODD | CRTSCTS | HUPCL);
    line.c_cflag |= CS8 | CSTOPB | CLOCAL | CREAD;
    // With VMIN 1 a non-blocking read of an empty line fails with EAGAIN, so a read of 0 bytes
    // can only mean a hang-up.
    line.c_cc[VMIN] = 1;
    line.c_cc[VTIME] = 0;
    ::cfsetispeed(&line, B9600);
    ::cfsetospeed(&line, B9600);
    if (::tcsetattr(fd_, TCSANOW, &line) != 0)
        NoteFailure(errno);
}

void PosixSerialPort::ClearModemLines()
{
    int lines = TIOCM_DTR | TIOCM_RTS;
    // Pseudo-terminals have no modem lines and say so with ENOTTY or EINVAL.
    if (::ioctl(fd_, TIOCMBIC, &lines) != 0 && errno != ENOTTY && errno != EINVAL)
        NoteFailure(errno);
}

void PosixSerialPort::Purge()
{
    input_.clear();
    if (!gone_ && ::tcflush(fd_, TCIOFLUSH) != 0)
        NoteFailure(errno);
}

std::size_t PosixSerialPort::Write(const std::uint8_t* data, std::size_t count)
{
    const Clock::time_point deadline =
        Clock::now() + WriteTimeoutPerByte * static_cast<milliseconds::rep>(count) + WriteTimeoutConstant;
    std::size_t sent = 0;
    while (sent < count && !gone_) {
        ssize_t written = ::write(fd_, data + sent, count - sent);
        if (written > 0) {
            sent += static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno != EAGAIN) {
            NoteFailure(errno);
            break;
        }
        // The output buffer is full: wait for room, but never past the time-out.
        milliseconds left = std::chrono::ceil<milliseconds>(deadline - Clock::now());
        if (left <= milliseconds::zero())
            break;
        pollfd room{fd_, POLLOUT, 0};
        if (::poll(&room, 1, PollTimeout(left)) > 0 && IsHangUp(room.revents))
            MarkGone();
    }
    return sent;
}

std::size_t PosixSerialPort::BytesWaiting()
{
    if (gone_)
        return 0;
    int inKernel = 0;
    if (::ioctl(fd_, FIONREAD, &inKernel) != 0) {
        NoteFailure(errno);
        return gone_ ? 0 : input_.size();
    }
    return std::min(InputQueueSize, input_.size() + static_cast<std::size_t>(std::max(inKernel, 0)));
}

std::size_t PosixSerialPort::Read(std::uint8_t* buffer, std::size_t count)
{
    PullKernelInput();
    std::size_t taken = std::min(count, input_.size());
    std::copy_n(input_.begin(), taken, buffer);
    input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(taken));
    return taken;
}

void PosixSerialPort::WaitForInput(std::size_t seen, milliseconds limit)
{
    // Whatever is already waiting moves into the queue first, so that the poll below wakes for
    // new input only: a reply still trickling in does not turn the wait into a spin.
    PullKernelInput();
    if (gone_) {
        ::poll(nullptr, 0, PollTimeout(limit));
        return;
    }
    if (input_.size() > seen)
        return;
    // With a full queue nothing more can be taken in; then only a hang-up ends the wait early.
    short events = input_.size() < InputQueueSize ? POLLIN : 0;
    pollfd input{fd_, events, 0};
    if (::poll(&input, 1, PollTimeout(limit)) > 0 && IsHangUp(input.revents))
        MarkGone();
}

void PosixSerialPort::PullKernelInput()
{
    std::uint8_t chunk[512];
    while (!gone_ && input_.size() < InputQueueSize) {
        std::size_t room = std::min(sizeof chunk, InputQueueSize - input_.size());
        ssize_t got = ::read(fd_, chunk, room);
        if (got > 0) {
            input_.insert(input_.end(), chunk, chunk + got);
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got == 0) {
            // A line not yet configured (VMIN 0) also reads 0 bytes when it is merely empty.
            if (HungUp(fd_))
                MarkGone();
        } else if (errno != EAGAIN) {
            NoteFailure(errno);
        }
        break;
    }
}

void PosixSerialPort::NoteFailure(int error)
{
    if (IsDeviceGoneError(error))
        MarkGone();
}

void PosixSerialPort::MarkGone()
{
    gone_ = true;
    input_.clear();
}

PosixSerialSystem::PosixSerialSystem(PortMap ports, UartCheck hasUart)
    : ports_(std::move(ports)), hasUart_(std::move(hasUart))
{
}

namespace {

OpenOutcome OpenExclusive(const PortDevice& device, const UartCheck& hasUart)
{
    Descriptor fd(::open(device.path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) {
        OpenOutcome refused;
        refused.accessDenied = errno == EACCES || errno == EPERM;
        refused.inUse = errno == EBUSY;  // another holder's exclusive mark
        return refused;
    }
    if (!::isatty(fd.get()))
        return {};
    // Exclusive like a Windows port: another holder's lock or exclusive mark refuses the open, and
    // so does another program that merely has it open.
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 || HeldExclusivelyElsewhere(fd.get())
        || OpenedByAnotherProgram(fd.get())) {
        OpenOutcome held;
        held.inUse = true;
        return held;
    }
    if (device.needsUartCheck && !hasUart(fd.get()))
        return {};
    ::ioctl(fd.get(), TIOCEXCL);
    return {std::make_unique<PosixSerialPort>(fd.release())};
}

// The ports as the map gave them when the search started.
class FixedMapSearch final : public PortOpener {
public:
    FixedMapSearch(std::map<int, PortDevice> ports, UartCheck hasUart)
        : ports_(std::move(ports)), hasUart_(std::move(hasUart))
    {
    }

    OpenOutcome Open(int portNumber) override
    {
        const auto device = ports_.find(portNumber);
        return device == ports_.end() ? OpenOutcome{} : OpenExclusive(device->second, hasUart_);
    }

private:
    std::map<int, PortDevice> ports_;
    UartCheck hasUart_;
};

}  // namespace

OpenOutcome PosixSerialSystem::Open(int portNumber)
{
    std::optional<PortDevice> device = ports_.Resolve(portNumber);
    if (!device)
        return {};
    return OpenExclusive(*device, hasUart_);
}

std::unique_ptr<PortOpener> PosixSerialSystem::StartSearch()
{
    return std::make_unique<FixedMapSearch>(ports_.Ports(), hasUart_);
}

std::uint32_t PosixSerialSystem::TickCount()
{
    auto sinceStart = std::chrono::duration_cast<milliseconds>(Clock::now().time_since_epoch());
    return static_cast<std::uint32_t>(sinceStart.count());
}

}  // namespace kalvo::posix

namespace kalvo {

std::unique_ptr<SerialSystem> MakePlatformSerialSystem(const std::string& settingsPath)
{
    return std::make_unique<posix::PosixSerialSystem>(posix::PortMap("/dev", settingsPath));
}

}  // namespace kalvo
