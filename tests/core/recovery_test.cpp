// Recovery from an unplugged adapter: the gone port is closed but stays selected, and each poll
// tries to open it again until it is back.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/Protocol.h"
#include "core/uGlobal.h"
#include "testing/FakeSerial.h"
#include "testing/ProgramState.h"
#include "testing/RecordingWindow.h"

#ifdef UNITSIM_PROGRAM
#include <filesystem>

#include "core/Settings.h"
#include "core/posix/SerialPosix.h"
#include "testing/TempDir.h"
#include "testing/UnitsimProcess.h"
#endif

namespace {

const std::string TransferErrorText = "1    Transfer error. Check COM-Port.";

bool HoldsData(const kalvo::Block& block)
{
    return std::any_of(block.begin(), block.end(), [](std::uint8_t byte) { return byte != 0; });
}

bool HoldsNothing(const kalvo::Block& block)
{
    return !HoldsData(block);
}

// The port and window globals point at this test's objects, and are let go at the end.
class LinkGlobals : public kalvo::test::ProgramStateGuard {
public:
    LinkGlobals(kalvo::SerialSystem& serial, kalvo::WindowLink& window) : ProgramStateGuard(&serial, &window) {}
};

class FakeRecoveryTest : public ::testing::Test {
protected:
    static constexpr int Port = 3;

    FakeRecoveryTest()
    {
        for (std::uint8_t code : {kalvo::StatusRequest, kalvo::TimingRequest, kalvo::ErrorHistoryRequest}) {
            const kalvo::Bytes data(kalvo::ReplyLengthFor(code) - 8, code);
            serial.AnswerRequest(code, {{50, kalvo::MakeReply(code, data)}});
        }
        uGlobal::PortNumber = Port;
        uGlobal::OpenPort();
    }

    // One poll's read cycle; true when it brought data in.
    bool Poll()
    {
        uGlobal::ReadCycle();
        return window.panels[1].empty() && HoldsData(uGlobal::StatusBlock);
    }

    // The unit's line goes away while the first reply is awaited.
    void UnplugDuringNextPoll()
    {
        window.onProcessPendingMessages = [this, done = false]() mutable {
            if (!done && !serial.Writes().empty()) {
                serial.MarkGone(Port);
                done = true;
            }
        };
    }

    kalvo::FakeSerialSystem serial;
    kalvo::test::RecordingWindow window;
    LinkGlobals globals{serial, window};
};

TEST_F(FakeRecoveryTest, GonePortIsClosedButStaysSelected)
{
    ASSERT_TRUE(Poll());
    UnplugDuringNextPoll();

    EXPECT_FALSE(Poll());
    EXPECT_EQ(window.panels[1], TransferErrorText);
    EXPECT_EQ(uGlobal::PortHandle, nullptr);
    EXPECT_FALSE(serial.Port(Port).open);
    EXPECT_EQ(serial.Port(Port).closes, 1);
    EXPECT_EQ(uGlobal::PortNumber, Port);
    EXPECT_EQ(window.panels[0], "  COM3");
}

TEST_F(FakeRecoveryTest, WhileUnpluggedEveryPollRetriesAndReportsTheTransferErrorAtOnce)
{
    serial.MarkGone(Port);
    for (int poll = 1; poll <= 3; ++poll) {
        SCOPED_TRACE(poll);
        uGlobal::StatusBlock.fill(0xEE);
        const int clearsBefore = window.clearReadingsCalls;
        const std::uint64_t startMs = serial.NowMs();

        EXPECT_FALSE(Poll());
        EXPECT_EQ(window.panels[1], TransferErrorText);
        EXPECT_GT(window.clearReadingsCalls, clearsBefore);
        EXPECT_TRUE(HoldsNothing(uGlobal::StatusBlock));
        EXPECT_EQ(window.panels[0], "  COM3");
        EXPECT_EQ(uGlobal::PortNumber, Port);
        EXPECT_EQ(serial.OpenAttempts().size(), static_cast<std::size_t>(1 + poll));
        EXPECT_EQ(serial.NowMs(), startMs);  // nothing to wait for without a port
    }
    EXPECT_TRUE(serial.Writes().empty());
}

TEST_F(FakeRecoveryTest, PluggingBackInResumesAtTheNextPoll)
{
    ASSERT_TRUE(Poll());
    UnplugDuringNextPoll();
    ASSERT_FALSE(Poll());
    ASSERT_FALSE(Poll());

    serial.Reconnect(Port);
    EXPECT_TRUE(Poll());
    EXPECT_NE(uGlobal::PortHandle, nullptr);
    EXPECT_EQ(serial.Port(Port).configures, 2);  // reopened with the unit's line settings
    EXPECT_TRUE(HoldsData(uGlobal::TimingBlock));
    EXPECT_TRUE(HoldsData(uGlobal::ErrorHistoryBlock));
    EXPECT_EQ(window.panels[0], "  COM3");
}

TEST_F(FakeRecoveryTest, PortDialogEndsTheRetries)
{
    serial.MarkGone(Port);
    ASSERT_FALSE(Poll());

    // The COM-Port command: close, the user picks a port that cannot be opened, open.
    serial.RefuseOpen(5);
    uGlobal::ClosePort();
    uGlobal::PortNumber = 5;
    uGlobal::OpenPort();
    const std::size_t attempts = serial.OpenAttempts().size();
    window.panels[1] = "untouched";

    uGlobal::ReadCycle();
    EXPECT_EQ(serial.OpenAttempts().size(), attempts);
    EXPECT_EQ(window.panels[1], "untouched");
    EXPECT_EQ(window.panels[0], "  COM5");
}

TEST_F(FakeRecoveryTest, LineLostHalfWayThroughTheSecondReplyShowsTheTransferErrorInThatPoll)
{
    ASSERT_TRUE(Poll());
    window.onProcessPendingMessages = [this] {
        if (serial.Writes().size() == 5)  // the second request of this poll is out
            serial.MarkGone(Port);
    };

    EXPECT_FALSE(Poll());
    EXPECT_TRUE(HoldsData(uGlobal::StatusBlock));  // the first reply still came in
    EXPECT_EQ(window.panels[1], TransferErrorText);
    EXPECT_EQ(uGlobal::PortHandle, nullptr);
}

// The port dialog closed with its title-bar button after a lost port was released: the same end
// as with a dead port still held, no port.
TEST_F(FakeRecoveryTest, PortDialogClosedAfterALostPortWasReleasedLeavesNoPort)
{
    serial.MarkGone(Port);
    ASSERT_FALSE(Poll());
    ASSERT_EQ(uGlobal::PortHandle, nullptr);

    uGlobal::ClosePort();
    uGlobal::OpenPort();
    EXPECT_EQ(uGlobal::PortNumber, uGlobal::NoPort);
    EXPECT_EQ(window.panels[0], "No Com-Port");
}

TEST_F(FakeRecoveryTest, PortThatNeverOpenedIsNotRetried)
{
    uGlobal::PortHandle.reset();
    serial.RefuseOpen(7);
    uGlobal::PortNumber = 7;
    uGlobal::OpenPort();
    const std::size_t attempts = serial.OpenAttempts().size();
    window.panels[1] = "untouched";

    uGlobal::ReadCycle();
    EXPECT_EQ(serial.OpenAttempts().size(), attempts);
    EXPECT_EQ(window.panels[1], "untouched");
}

TEST_F(FakeRecoveryTest, QuitDuringAPollOnAGonePortStillLetsItGo)
{
    ASSERT_TRUE(Poll());
    window.onProcessPendingMessages = [this] {
        if (!serial.Writes().empty()) {
            serial.MarkGone(Port);
            uGlobal::StopRequested = true;
        }
    };
    uGlobal::ReadCycle();
    window.onProcessPendingMessages = nullptr;
    uGlobal::StopRequested = false;

    // The cut-short cycle kept the dead handle; the next poll drops it and tries again.
    EXPECT_FALSE(Poll());
    EXPECT_FALSE(serial.Port(Port).open);
    EXPECT_EQ(uGlobal::PortNumber, Port);
    serial.Reconnect(Port);
    EXPECT_TRUE(Poll());
}

#ifdef UNITSIM_PROGRAM

using namespace std::chrono_literals;

// Kalvo's POSIX serial system against the unitsim program, found through the settings file's
// "Ports" entry that unitsim writes for its terminal.
class PtyRecoveryTest : public ::testing::Test {
protected:
    static constexpr int Port = 20;
    static constexpr auto Patience = 20s;  // the machine may be busy

    PtyRecoveryTest()
    {
        std::filesystem::create_directory(folder.path() / "dev");
        serial = std::make_unique<kalvo::posix::PosixSerialSystem>(
            kalvo::posix::PortMap((folder.path() / "dev").string(), settings));
        globals = std::make_unique<LinkGlobals>(*serial, window);
    }

    // Starts the unit and waits until its terminal is there and entered in the settings file.
    std::unique_ptr<kalvo::test::UnitsimProcess> StartUnit()
    {
        auto unit = std::make_unique<kalvo::test::UnitsimProcess>(
            UNITSIM_PROGRAM,
            std::vector<std::string>{"--settings", settings, "--com", std::to_string(Port), "--seed", "11"});
        if (unit->NextLine(Patience).empty())
            ADD_FAILURE() << "unitsim announced no terminal";
        return unit;
    }

    bool Poll()
    {
        uGlobal::ReadCycle();
        return window.panels[1].empty() && HoldsData(uGlobal::StatusBlock);
    }

    kalvo::test::TempDir folder;
    const std::string settings = folder.file("Kalvo.ini");
    std::unique_ptr<kalvo::posix::PosixSerialSystem> serial;
    kalvo::test::RecordingWindow window;
    std::unique_ptr<LinkGlobals> globals;
};

TEST_F(PtyRecoveryTest, UnitStoppedAndStartedAgainIsPolledWithinTwoPolls)
{
    auto unit = StartUnit();
    uGlobal::PortNumber = Port;
    uGlobal::OpenPort();
    ASSERT_NE(uGlobal::PortHandle, nullptr);
    ASSERT_TRUE(Poll());

    // The adapter is pulled: the unit's end of the terminal goes away, and with it the stable link
    // that named it (a freed terminal's path may soon belong to another program's terminal).
    unit.reset();
    kalvo::WriteIniString(settings, "Ports", "COM" + std::to_string(Port), (folder.path() / "gone").string());
    EXPECT_FALSE(Poll());
    EXPECT_EQ(window.panels[1], TransferErrorText);
    EXPECT_EQ(uGlobal::PortHandle, nullptr);
    EXPECT_FALSE(Poll());  // still away
    EXPECT_EQ(uGlobal::PortNumber, Port);
    EXPECT_EQ(window.panels[0], "  COM20");

    unit = StartUnit();  // plugged in again, on a new terminal under the same COM number
    const bool resumed = Poll() || Poll();
    EXPECT_TRUE(resumed);
    EXPECT_TRUE(HoldsData(uGlobal::TimingBlock));
}

#endif  // UNITSIM_PROGRAM

}  // namespace
