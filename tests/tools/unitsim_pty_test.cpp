#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <regex>
#include <string>
#include <vector>

#include "core/Protocol.h"
#include "core/Settings.h"
#include "testing/TempDir.h"
#include "testing/UnitsimProcess.h"
#include "tools/unitsim/BurnerModel.h"
#include "tools/unitsim/Wire.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

constexpr auto Patience = 10s;  // generous: the machine may be busy

int RemainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<long long>(left.count(), 0));
}

using kalvo::test::ReadUntil;

// The unitsim program with both outputs captured; every wait takes the test's patience.
class Unitsim : public kalvo::test::UnitsimProcess {
public:
    explicit Unitsim(const std::vector<std::string>& arguments)
        : UnitsimProcess(UNITSIM_PROGRAM, arguments, /*captureErrors=*/true)
    {
    }

    std::string NextLine() { return UnitsimProcess::NextLine(Patience); }
    const std::string& ErrorOutputWith(const std::string& text) { return UnitsimProcess::ErrorOutputWith(text, Patience); }
    int WaitForExit() { return UnitsimProcess::WaitForExit(Patience); }
};

// The port side of the pseudo-terminal, as Kalvo opens it.
class Port {
public:
    explicit Port(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}
    ~Port()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }

    void Send(const Bytes& bytes) { ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
    void SendRequest(std::uint8_t code)
    {
        const auto frame = kalvo::BuildRequestFrame(code);
        Send(Bytes(frame.begin(), frame.end()));
    }

    // Whatever arrived once at least count bytes are in, or the deadline passed.
    Bytes Receive(std::size_t count)
    {
        std::string got;
        ReadUntil(fd_, got, Clock::now() + Patience, [&](const std::string& s) { return s.size() >= count; });
        return Bytes(got.begin(), got.end());
    }

    // True once the other end has gone away.
    bool HungUp()
    {
        const auto deadline = Clock::now() + Patience;
        for (;;) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, RemainingMs(deadline)) <= 0)
                return false;
            if (p.revents & (POLLHUP | POLLERR))
                return true;
            char byte;
            if (::read(fd_, &byte, 1) <= 0)
                return true;
        }
    }

private:
    int fd_;
};

void ExpectReply(Port& port, std::uint8_t code, std::size_t length)
{
    SCOPED_TRACE(code);
    port.SendRequest(code);
    const Bytes reply = port.Receive(length);
    ASSERT_EQ(reply.size(), length);
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 6),
              (Bytes{0x82, 0x82, static_cast<std::uint8_t>(length), 0x00, 0x01, code}));
}

TEST(UnitsimProgram, HelpAndVersionExitAtOnce)
{
    const struct {
        const char* argument;
        const char* output;  // a regular expression for all of it
    } cases[] = {
        {"--help", "Usage: unitsim [\\s\\S]*--settings FILE[\\s\\S]*--version [\\s\\S]*"},
        {"--version", "unitsim [0-9]+(\\.[0-9]+)+\n"},
    };
    for (const auto& c : cases) {
        Unitsim program({c.argument});
        EXPECT_EQ(program.WaitForExit(), 0) << c.argument;
        EXPECT_TRUE(std::regex_match(program.Output(), std::regex(c.output))) << program.Output();
    }
}

TEST(UnitsimProgram, BadCommandLinesFailWithAMessage)
{
    const struct {
        std::vector<std::string> arguments;
        const char* message;
    } cases[] = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"--mode", "sideways"}, "unknown mode 'sideways'"},
        {{"--mode"}, "--mode needs a value"},
        {{"--settings", "x.ini", "--com", "0"}, "--com needs a whole number from 1 to 255"},
        {{"--settings", "x.ini", "--com=256"}, "--com needs a whole number from 1 to 255"},
        {{"--com", "5"}, "--com only has a use together with --settings"},
        {{"--seed", "-1"}, "--seed needs a whole number"},
        {{"--reply-delay", "20ms"}, "--reply-delay needs a whole number"},
        {{"--pace=yes"}, "--pace takes no value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        Unitsim program(c.arguments);
        EXPECT_EQ(program.WaitForExit(), 2);
        EXPECT_NE(program.ErrorOutput().find(c.message), std::string::npos) << program.ErrorOutput();
        EXPECT_NE(program.ErrorOutput().find("Try 'unitsim --help'"), std::string::npos);
        EXPECT_TRUE(program.Output().empty()) << "no terminal may be announced";
    }
}

TEST(UnitsimProgram, SettingsThatCannotBeWrittenEndTheProgram)
{
    kalvo::test::TempDir folder;
    Unitsim program({"--settings", folder.file("missing/Kalvo.ini")});
    EXPECT_EQ(program.WaitForExit(), 1);
    EXPECT_NE(program.ErrorOutput().find("unitsim: "), std::string::npos);
    EXPECT_NE(program.ErrorOutput().find("Kalvo.ini"), std::string::npos) << program.ErrorOutput();
    EXPECT_TRUE(program.Output().empty()) << "a terminal nobody can find was announced";
}

TEST(UnitsimProgram, AnswersOnThePortItWritesIntoTheSettings)
{
    kalvo::test::TempDir folder;
    const std::string settings = folder.file("Kalvo.ini");
    Unitsim program({"--settings", settings, "--com", "7", "--seed", "1", "--log"});
    const std::string path = program.NextLine();
    ASSERT_FALSE(path.empty()) << program.ErrorOutputWith("unitsim");

    EXPECT_EQ(kalvo::ReadIniString(settings, "Ports", "COM7"), path);
    EXPECT_EQ(kalvo::ReadIniInteger(settings, "Main", "COM", -1), 7);

    Port port(path);
    ASSERT_TRUE(port.IsOpen());
    port.Send({0x00, 0x81, 0x81, 0x13});  // noise before the first request
    ExpectReply(port, kalvo::StatusRequest, kalvo::StatusReplyLength);
    ExpectReply(port, kalvo::TimingRequest, kalvo::TimingReplyLength);
    ExpectReply(port, kalvo::ErrorHistoryRequest, kalvo::ErrorHistoryReplyLength);
    EXPECT_NE(program.ErrorOutputWith("request 0x82").find("request 0x80, reply 59 bytes (normal)"),
              std::string::npos);

    program.Signal(SIGTERM);
    EXPECT_EQ(program.WaitForExit(), 0);
    EXPECT_EQ(kalvo::ReadIniString(settings, "Ports", "COM7"), path) << "the settings were changed at exit";
}

// A held unit's answers are known beforehand: the model of that seed, run that far.
TEST(UnitsimProgram, HeldUnitAlwaysAnswersWhatTheModelHoldsAtThatTime)
{
    constexpr std::uint32_t Seed = 5;
    constexpr std::chrono::milliseconds HoldAt{45'000};
    unitsim::BurnerModel model(Seed);
    model.Advance(HoldAt);
    Unitsim program({"--seed", std::to_string(Seed), "--hold-at", std::to_string(HoldAt.count())});
    const std::string path = program.NextLine();
    ASSERT_FALSE(path.empty());
    Port port(path);
    ASSERT_TRUE(port.IsOpen());
    for (const std::uint8_t code : {kalvo::StatusRequest, kalvo::TimingRequest, kalvo::StatusRequest}) {
        SCOPED_TRACE(code);
        const Bytes expected = unitsim::BuildReply(code, model.DataFor(code));
        port.SendRequest(code);
        EXPECT_EQ(port.Receive(expected.size()), expected);
    }
}

TEST(UnitsimProgram, PortCanBeClosedAndOpenedAgain)
{
    Unitsim program({"--seed", "2"});
    const std::string path = program.NextLine();
    ASSERT_FALSE(path.empty());
    {
        Port first(path);
        ASSERT_TRUE(first.IsOpen());
        ASSERT_EQ(::ioctl(first.Fd(), TIOCEXCL), 0);  // as Kalvo holds its port
        ExpectReply(first, kalvo::StatusRequest, kalvo::StatusReplyLength);
    }
#ifdef TIOCGEXCL
    // A real port leaves exclusive mode with its last close; so must the simulated one, or nobody
    // but root could open it again.
    const auto deadline = Clock::now() + Patience;
    int exclusive = 1;
    while (exclusive && Clock::now() < deadline) {
        Port probe(path);
        if (probe.IsOpen())
            ::ioctl(probe.Fd(), TIOCGEXCL, &exclusive);
        if (exclusive)
            ::poll(nullptr, 0, 5);
    }
    EXPECT_EQ(exclusive, 0);
#endif
    Port second(path);
    ASSERT_TRUE(second.IsOpen());
    ExpectReply(second, kalvo::TimingRequest, kalvo::TimingReplyLength);
}

TEST(UnitsimProgram, PacedRepliesTakeTheLineTime)
{
    Unitsim program({"--pace", "--reply-delay", "20"});
    Port port(program.NextLine());
    ASSERT_TRUE(port.IsOpen());
    const auto start = Clock::now();
    ExpectReply(port, kalvo::ErrorHistoryRequest, kalvo::ErrorHistoryReplyLength);
    // 20 ms response delay, then 136 bytes of 11 bits at 9600 baud. Only the lower bound is
    // checked: a busy machine can only make it later.
    EXPECT_GE(Clock::now() - start, 20ms + 136 * 11 * 1'000'000us / 9600);
}

TEST(UnitsimProgram, HangUpDropsTheLineAndBringsUpANewOne)
{
    kalvo::test::TempDir folder;
    const std::string settings = folder.file("Kalvo.ini");
    Unitsim program({"--settings", settings, "--mode", "hangup", "--hangup-time", "100", "--log"});
    const std::string first = program.NextLine();
    Port port(first);
    ASSERT_TRUE(port.IsOpen());
    port.SendRequest(kalvo::StatusRequest);
    EXPECT_TRUE(port.HungUp());

    const std::string second = program.NextLine();
    ASSERT_FALSE(second.empty()) << program.ErrorOutputWith("hang-up");
    EXPECT_EQ(kalvo::ReadIniString(settings, "Ports", "COM20"), second);
    Port again(second);
    EXPECT_TRUE(again.IsOpen());
}

}  // namespace
