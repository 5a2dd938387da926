#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>

#include "core/uGlobal.h"
#include "testing/FakeSerial.h"
#include "testing/ProgramState.h"
#include "testing/RecordingWindow.h"

namespace {

using kalvo::FakeSerialSystem;

class PortLinkTest : public ::testing::Test {
protected:
    FakeSerialSystem serial;
    kalvo::test::RecordingWindow window;
    kalvo::test::ProgramStateGuard state{&serial, &window};
};

TEST_F(PortLinkTest, OpenWithoutPortTriesNothing)
{
    uGlobal::OpenPort();

    EXPECT_TRUE(serial.OpenAttempts().empty());
    EXPECT_EQ(uGlobal::PortHandle, nullptr);
    EXPECT_EQ(window.panels[0], "No Com-Port");
}

struct OpenCase {
    int portNumber;
    bool present;
    const char* panelText;
};

void PrintTo(const OpenCase& c, std::ostream* os)
{
    *os << "COM" << c.portNumber;
}

class OpenPortTest : public PortLinkTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(OpenPortTest, TriesTheNumberAsGivenAndNamesItInPanel0)
{
    const OpenCase& c = GetParam();
    if (!c.present)
        serial.RefuseOpen(c.portNumber);
    uGlobal::PortNumber = c.portNumber;
    uGlobal::OpenPort();

    EXPECT_EQ(serial.OpenAttempts(), std::vector<int>{c.portNumber});
    EXPECT_EQ(uGlobal::PortHandle != nullptr, c.present);
    EXPECT_EQ(serial.Port(c.portNumber).configures, c.present ? 1 : 0);
    EXPECT_EQ(uGlobal::PortNumber, c.portNumber);
    EXPECT_EQ(window.panels[0], c.panelText);
}

INSTANTIATE_TEST_SUITE_P(Numbers, OpenPortTest,
                         ::testing::Values(OpenCase{1, true, "  COM1"}, OpenCase{9, true, "  COM9"},
                                           OpenCase{10, true, "  COM10"}, OpenCase{255, true, "  COM255"},
                                           OpenCase{7, false, "  COM7"}, OpenCase{0, false, "  COM0"},
                                           OpenCase{-5, false, "  COM-5"}, OpenCase{256, false, "  COM256"}));

TEST(DevicePathTest, SamePrefixForEveryNumber)
{
    EXPECT_EQ(uGlobal::DevicePath(3), R"(\\?\COM3)");
    EXPECT_EQ(uGlobal::DevicePath(12), R"(\\?\COM12)");
    EXPECT_EQ(uGlobal::DevicePath(255), R"(\\?\COM255)");
    EXPECT_EQ(uGlobal::DevicePath(-2), R"(\\?\COM-2)");
}

TEST_F(PortLinkTest, PortHeldByAnotherProgramStaysSelected)
{
    const auto other = serial.Open(5);
    uGlobal::PortNumber = 5;
    uGlobal::OpenPort();

    EXPECT_EQ(uGlobal::PortHandle, nullptr);
    EXPECT_EQ(uGlobal::PortNumber, 5);
    EXPECT_EQ(window.panels[0], "  COM5");
}

TEST_F(PortLinkTest, CloseWithoutPortKeepsTheNumberAndRefreshesPanel0)
{
    uGlobal::PortNumber = 7;
    uGlobal::ClosePort();

    EXPECT_EQ(uGlobal::PortNumber, 7);
    EXPECT_EQ(serial.Port(7).closes, 0);
    EXPECT_EQ(window.panels[0], "  COM7");
}

TEST_F(PortLinkTest, CloseReleasesThePortOnceAndForgetsTheNumber)
{
    uGlobal::PortNumber = 4;
    uGlobal::OpenPort();
    uGlobal::ClosePort();
    uGlobal::ClosePort();

    EXPECT_EQ(serial.Port(4).closes, 1);
    EXPECT_FALSE(serial.Port(4).open);
    EXPECT_EQ(uGlobal::PortHandle, nullptr);
    EXPECT_EQ(uGlobal::PortNumber, uGlobal::NoPort);
    EXPECT_EQ(window.panels[0], "No Com-Port");

    uGlobal::OpenPort();
    EXPECT_EQ(serial.OpenAttempts().size(), 1u);
}

TEST_F(PortLinkTest, OpenAgainWhilePortIsHeldReleasesItFirst)
{
    uGlobal::PortNumber = 4;
    uGlobal::OpenPort();
    uGlobal::OpenPort();

    EXPECT_NE(uGlobal::PortHandle, nullptr);
    EXPECT_EQ(serial.Port(4).opens, 2);
    EXPECT_EQ(serial.Port(4).closes, 1);
}

// A serial system whose driver fails while opening.
class ThrowingSerialSystem : public kalvo::SerialSystem {
public:
    kalvo::OpenOutcome Open(int) override { throw std::runtime_error("driver fault"); }
    std::uint32_t TickCount() override { return 0; }
};

TEST_F(PortLinkTest, OpenFailingInTheDriverStillShowsThePort)
{
    ThrowingSerialSystem throwing;
    uGlobal::Serial = &throwing;
    uGlobal::PortNumber = 6;

    EXPECT_THROW(uGlobal::OpenPort(), std::runtime_error);
    EXPECT_EQ(window.panels[0], "  COM6");
}

struct CheckCase {
    const char* name;
    int storedPort;
    bool present;
    int portNumberAfter;
    std::size_t openAttempts;
};

void PrintTo(const CheckCase& c, std::ostream* os)
{
    *os << c.name;
}

class CheckStoredPortTest : public PortLinkTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(CheckStoredPortTest, OpensAndReleasesOrForgetsThePort)
{
    const CheckCase& c = GetParam();
    if (!c.present)
        serial.RefuseOpen(c.storedPort);
    uGlobal::PortNumber = c.storedPort;
    uGlobal::CheckStoredPort();

    EXPECT_EQ(uGlobal::PortNumber, c.portNumberAfter);
    EXPECT_EQ(uGlobal::PortHandle, nullptr);
    EXPECT_EQ(serial.OpenAttempts().size(), c.openAttempts);
    EXPECT_FALSE(serial.Port(c.storedPort).open);
    EXPECT_TRUE(window.panelHistory.empty());
}

INSTANTIATE_TEST_SUITE_P(Stored, CheckStoredPortTest,
                         ::testing::Values(CheckCase{"Present", 5, true, 5, 1},
                                           CheckCase{"Absent", 5, false, uGlobal::NoPort, 1},
                                           CheckCase{"None", uGlobal::NoPort, false, uGlobal::NoPort, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
