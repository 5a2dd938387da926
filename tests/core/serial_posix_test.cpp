#include "core/posix/SerialPosix.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <functional>
#include <numeric>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "core/Protocol.h"
#include "testing/Pty.h"
#include "testing/TempDir.h"

namespace kalvo::posix {
namespace {

using namespace std::chrono_literals;
using kalvo::test::Pty;
using kalvo::test::TempDir;
using Bytes = std::vector<std::uint8_t>;

// Generous for a slow shared machine; a passing test never waits this long.
constexpr auto Deadline = 10s;

bool WaitUntil(const std::function<bool()>& condition)
{
    const auto end = std::chrono::steady_clock::now() + Deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

Bytes Sequence(std::size_t count, std::uint8_t first = 0)
{
    Bytes bytes(count);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

Bytes ReadAll(SerialPort& port)
{
    Bytes buffer(PosixSerialPort::InputQueueSize);
    buffer.resize(port.Read(buffer.data(), buffer.size()));
    return buffer;
}

// A temporary /dev whose ttyUSB0 is a pseudo-terminal, so it is COM1 unless ttyS nodes are added.
class PtyPort : public ::testing::Test {
protected:
    PtyPort() { Link("ttyUSB0", pty); }

    void Link(const char* node, const Pty& target)
    {
        std::filesystem::create_symlink(target.SlavePath(), dev.file(node));
    }
    PosixSerialSystem System(UartCheck hasUart = HasUart)
    {
        return PosixSerialSystem(PortMap(dev.path().string(), dev.file("kalvo.ini")), std::move(hasUart));
    }
    std::unique_ptr<SerialPort> OpenConfigured(int number = 1)
    {
        std::unique_ptr<SerialPort> port = system.Open(number).port;
        if (port)
            port->Configure();
        return port;
    }
    // Sends and waits until the port counts all of it.
    void Deliver(SerialPort& port, const Bytes& bytes)
    {
        std::size_t before = port.BytesWaiting();
        pty.Send(bytes);
        ASSERT_TRUE(WaitUntil([&] { return port.BytesWaiting() == before + bytes.size(); }));
    }

    TempDir dev;
    Pty pty;
    PosixSerialSystem system = System();
};

TEST_F(PtyPort, ConfigureSetsTheUnitsLineWhateverItWasBefore)
{
    termios dirty{};
    ASSERT_EQ(tcgetattr(pty.SlaveFd(), &dirty), 0);
    dirty.c_iflag |= IXON | IXOFF | ICRNL;
    dirty.c_oflag |= OPOST;
    dirty.c_lflag |= ICANON | ECHO | ISIG;
    dirty.c_cflag = (dirty.c_cflag & ~(CSTOPB | CLOCAL)) | CRTSCTS | HUPCL;
    cfsetspeed(&dirty, B38400);
    ASSERT_EQ(tcsetattr(pty.SlaveFd(), TCSANOW, &dirty), 0);

    auto port = OpenConfigured();
    ASSERT_TRUE(port);
    termios line{};
    ASSERT_EQ(tcgetattr(pty.SlaveFd(), &line), 0);
    EXPECT_EQ(cfgetispeed(&line), speed_t(B9600));
    EXPECT_EQ(cfgetospeed(&line), speed_t(B9600));
    EXPECT_EQ(line.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(line.c_cflag & (CSTOPB | CLOCAL | CREAD), tcflag_t(CSTOPB | CLOCAL | CREAD));
    EXPECT_EQ(line.c_cflag & (PARENB | CRTSCTS | HUPCL), 0u);
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(line.c_oflag & OPOST, 0u);
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG), 0u);
}

TEST_F(PtyPort, PortIsHeldExclusivelyUntilClosed)
{
    auto first = system.Open(1);
    ASSERT_TRUE(first.port);
    auto second = system.Open(1);
    EXPECT_FALSE(second.port);
    EXPECT_FALSE(second.accessDenied);
#ifdef TIOCGEXCL
    int exclusive = 0;
    ASSERT_EQ(ioctl(pty.SlaveFd(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);
#endif

    first.port.reset();
#ifdef TIOCGEXCL
    // The pseudo-terminal lives on, so the mark must have been taken off explicitly.
    ASSERT_EQ(ioctl(pty.SlaveFd(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
#endif
    EXPECT_TRUE(system.Open(1).port);
}

TEST_F(PtyPort, PortLockedByAnotherProgramIsRefused)
{
    int other = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    OpenOutcome outcome = system.Open(1);
    close(other);
    EXPECT_FALSE(outcome.port);
    EXPECT_FALSE(outcome.accessDenied);
}

#ifdef __linux__
// Another program that merely opened the port (no lock, no exclusive mark, as socat does) would take
// the unit's replies: it is refused as well, and the port opens again once that program is gone.
TEST_F(PtyPort, PortOpenedPlainlyByAnotherProgramIsRefused)
{
    const pid_t other = fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
        const int fd = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
        if (fd < 0 || dup2(fd, STDIN_FILENO) < 0)
            _exit(1);
        closefrom(STDERR_FILENO + 1);  // neither the device's end nor anything else of the test
        execl("/bin/sleep", "sleep", "600", static_cast<char*>(nullptr));
        _exit(1);
    }
    const std::string otherInput = "/proc/" + std::to_string(other) + "/fd/0";
    EXPECT_TRUE(WaitUntil([&] {
        std::error_code error;
        return std::filesystem::read_symlink(otherInput, error) == pty.SlavePath();
    }));
    OpenOutcome outcome = system.Open(1);
    EXPECT_FALSE(outcome.port);
    EXPECT_TRUE(outcome.inUse);
    kill(other, SIGKILL);
    waitpid(other, nullptr, 0);
    EXPECT_TRUE(system.Open(1).port);
}
#endif

TEST_F(PtyPort, UnknownNumbersAndNonTerminalsDoNotOpen)
{
    test::WriteFileBytes(dev.file("plain-file"), "");
    test::WriteFileBytes(dev.file("kalvo.ini"),
                         "[Ports]\r\nCOM7=" + dev.file("plain-file") + "\r\nCOM8=" + dev.file("absent") + "\r\n");
    for (int number : {2, 7, 8, 0, -1}) {
        OpenOutcome outcome = system.Open(number);
        EXPECT_FALSE(outcome.port) << number;
        EXPECT_FALSE(outcome.accessDenied) << number;
    }
}

TEST_F(PtyPort, AccessDeniedIsReported)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not hold back the superuser";
    ASSERT_EQ(chmod(pty.SlavePath().c_str(), 0), 0);
    EXPECT_TRUE(system.Open(1).accessDenied);
}

TEST_F(PtyPort, PhantomUartKeepsItsNumberButDoesNotOpen)
{
    Pty other;
    Link("ttyS0", other);
    int uartChecks = 0;
    system = System([&](int) {
        ++uartChecks;
        return false;
    });
    EXPECT_FALSE(system.Open(1).port);  // ttyS0
    EXPECT_TRUE(system.Open(2).port);   // ttyUSB0 still numbered after it, and not checked
    EXPECT_EQ(uartChecks, 1);
    EXPECT_TRUE(HasUart(pty.SlaveFd()));
}

TEST_F(PtyPort, PlatformSystemFindsAPortNamedInTheSettings)
{
    TempDir home;
    test::WriteFileBytes(home.file("kalvo.ini"), "[Ports]\r\nCOM42=" + pty.SlavePath() + "\r\n");
    auto platform = MakePlatformSerialSystem(home.file("kalvo.ini"));
    EXPECT_TRUE(platform->Open(42).port);
}

// The port dialog probes 255 numbers: the settings and the device tree are read once for all.
TEST_F(PtyPort, APortSearchReadsWhereNumbersLeadOnceForTheWholeSearch)
{
    Pty other;
    test::WriteFileBytes(dev.file("kalvo.ini"), "[Ports]\r\nCOM7=" + other.SlavePath() + "\r\n");
    const std::unique_ptr<PortOpener> search = system.StartSearch();
    test::WriteFileBytes(dev.file("kalvo.ini"), "");

    EXPECT_TRUE(search->Open(7).port);
    EXPECT_TRUE(search->Open(1).port);
    EXPECT_FALSE(search->Open(2).port);
    EXPECT_FALSE(system.Open(7).port);  // outside the search the files count as they are now
}

TEST_F(PtyPort, WriteSendsTheFrame)
{
    auto port = OpenConfigured();
    ASSERT_TRUE(port);
    const RequestFrame frame = BuildRequestFrame(StatusRequest);
    EXPECT_EQ(port->Write(frame.data(), frame.size()), frame.size());
    EXPECT_EQ(pty.Receive(frame.size(), Deadline), Bytes(frame.begin(), frame.end()));
}

TEST_F(PtyPort, WriteGivesUpWhenTheDeviceStopsReading)
{
    auto port = OpenConfigured();
    ASSERT_TRUE(port);
    pty.StopTakingBytes();
    const RequestFrame frame = BuildRequestFrame(TimingRequest);
    EXPECT_LT(port->Write(frame.data(), frame.size()), frame.size());
    EXPECT_FALSE(port->DeviceGone());
}

TEST_F(PtyPort, ReadTakesWaitingBytesInOrderAndNeverBlocks)
{
    auto port = OpenConfigured();
    ASSERT_TRUE(port);
    std::uint8_t buffer[64];
    EXPECT_EQ(port->Read(buffer, sizeof buffer), 0u);

    Deliver(*port, Sequence(10));
    port->WaitForInput(10, 0ms);  // moves the first ten into the port's own queue
    Deliver(*port, Sequence(10, 10));
    ASSERT_EQ(port->Read(buffer, 4), 4u);
    EXPECT_EQ(Bytes(buffer, buffer + 4), Sequence(4));
    EXPECT_EQ(ReadAll(*port), Sequence(16, 4));
    EXPECT_EQ(port->BytesWaiting(), 0u);
}

TEST_F(PtyPort, PurgeDiscardsQueuedAndKernelInput)
{
    auto port = OpenConfigured();
    ASSERT_TRUE(port);
    Deliver(*port, Sequence(10));
    port->WaitForInput(10, 0ms);
    Deliver(*port, Sequence(5));
    port->Purge();
    EXPECT_EQ(port->BytesWaiting(), 0u);

    Deliver(*port, Sequence(3, 7));
    EXPECT_EQ(ReadAll(*port), Sequence(3, 7));
}

TEST_F(PtyPort, InputBeyondTheQueueWaitsAndIsNotLost)
{
    auto port = OpenConfigured();
    ASSERT_TRUE(port);
    Bytes flood(5000);
    for (std::size_t i = 0; i < flood.size(); ++i)
        flood[i] = static_cast<std::uint8_t>(i % 251);
    pty.Send(flood);

    ASSERT_TRUE(WaitUntil([&] {
        port->WaitForInput(port->BytesWaiting(), 10ms);
        return port->BytesWaiting() == PosixSerialPort::InputQueueSize;
    }));
    Bytes received;
    ASSERT_TRUE(WaitUntil([&] {
        Bytes chunk = ReadAll(*port);
        received.insert(received.end(), chunk.begin(), chunk.end());
        port->WaitForInput(port->BytesWaiting(), 10ms);
        return received.size() >= flood.size();
    }));
    EXPECT_EQ(received, flood);
}

// True while the thread sleeps in the kernel; a thread that has ended is not sleeping.
bool ThreadIsSleeping(pid_t thread)
{
    std::string stat = test::ReadFileBytes("/proc/self/task/" + std::to_string(thread) + "/stat");
    std::size_t nameEnd = stat.rfind(')');
    return nameEnd != std::string::npos && stat.compare(nameEnd, 3, ") S") == 0;
}

TEST_F(PtyPort, WaitForInputSleepsPastOldInputAndWakesForNew)
{
    auto port = OpenConfigured();
    ASSERT_TRUE(port);
    Deliver(*port, Sequence(10));

    constexpr auto limit = 60s;
    std::atomic<pid_t> waiterId{0};
    std::atomic<bool> returned{false};
    std::uint32_t waited = 0;
    std::size_t waitingAfterWait = 0;
    std::thread waiter([&] {
        waiterId = gettid();
        std::uint32_t start = system.TickCount();
        port->WaitForInput(10, limit);
        returned = true;
        waited = system.TickCount() - start;
        waitingAfterWait = port->BytesWaiting();
    });
    // The waiter sleeps only once it is blocked in the wait itself.
    bool slept = WaitUntil([&] { return waiterId != 0 && ThreadIsSleeping(waiterId); });
    bool returnedBeforeNewInput = returned;
    pty.Send(Sequence(5, 10));
    waiter.join();

    EXPECT_TRUE(slept);
    EXPECT_FALSE(returnedBeforeNewInput);
    EXPECT_EQ(waitingAfterWait, 15u);
    EXPECT_LT(waited, std::chrono::milliseconds(limit).count());
}

// Input that came in after the caller's sample, before the wait: the wait must not sleep past it.
TEST_F(PtyPort, WaitForInputReturnsAtOnceWhenMoreIsWaitingThanTheCallerSaw)
{
    auto port = OpenConfigured();
    ASSERT_TRUE(port);
    const std::size_t seen = port->BytesWaiting();
    Deliver(*port, Sequence(5));

    constexpr auto limit = 60s;
    const std::uint32_t start = system.TickCount();
    port->WaitForInput(seen, limit);
    EXPECT_LT(system.TickCount() - start, std::chrono::milliseconds(limit).count());
    EXPECT_EQ(port->BytesWaiting(), 5u);
}

TEST_F(PtyPort, WaitForInputRunsItsLimitWhileOnlyOldInputWaits)
{
    auto port = OpenConfigured();
    ASSERT_TRUE(port);
    Deliver(*port, Sequence(10));

    constexpr std::uint32_t limit = 300;
    std::uint32_t start = system.TickCount();
    port->WaitForInput(10, std::chrono::milliseconds(limit));
    // A lower bound only: a slow machine can make the wait longer, never shorter.
    EXPECT_GE(system.TickCount() - start, limit);
    EXPECT_EQ(port->BytesWaiting(), 10u);
}

// Whichever operation first meets the hang-up must notice it.
class HangUp : public PtyPort, public ::testing::WithParamInterface<const char*> {
protected:
    void Touch(SerialPort& port)
    {
        std::string operation = GetParam();
        std::uint8_t buffer[16];
        if (operation == "wait")
            port.WaitForInput(0, 10ms);
        else if (operation == "count")
            port.BytesWaiting();
        else if (operation == "read")
            port.Read(buffer, sizeof buffer);
        else
            port.Write(buffer, 1);
    }
};

TEST_P(HangUp, MarksTheDeviceGoneAndEverythingStaysHarmless)
{
    auto port = OpenConfigured();
    ASSERT_TRUE(port);
    Deliver(*port, Sequence(10));
    pty.HangUp();

    ASSERT_TRUE(WaitUntil([&] {
        Touch(*port);
        return port->DeviceGone();
    }));
    std::uint8_t buffer[16] = {};
    EXPECT_EQ(port->BytesWaiting(), 0u);
    EXPECT_EQ(port->Read(buffer, sizeof buffer), 0u);
    EXPECT_EQ(port->Write(buffer, sizeof buffer), 0u);
    port->WaitForInput(0, 1ms);
    port->Purge();
    port->Configure();
    EXPECT_TRUE(port->DeviceGone());
}

INSTANTIATE_TEST_SUITE_P(SerialPosix, HangUp, ::testing::Values("wait", "count", "read", "write"));

}  // namespace
}  // namespace kalvo::posix
