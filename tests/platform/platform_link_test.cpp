// Read cycles through the serial backend of the platform the tests run on (kernel32 on Windows,
// termios on Linux) against the simulated unit, unitsim, on a pseudo-terminal. Under Wine the
// pseudo-terminal is a COM port through a link in the Wine prefix's dosdevices folder.
//
// scripts/windows-leg starts one unit per behaviour and passes its COM number in:
//   KALVO_TEST_COM           a unit that answers every request properly, paced like a real line
//   KALVO_TEST_COM_SILENT    one that never answers
//   KALVO_TEST_COM_SHORT     one whose replies break off before their end
//   KALVO_TEST_COM_LONG      one whose replies carry stray bytes after their end
//   KALVO_TEST_COM_LATE      one whose replies finish more than a second after they began
//   KALVO_TEST_COM_FLOOD     one that sends far more than any reply
//   KALVO_TEST_SETTINGS      (Linux) the settings file whose "Ports" section maps those numbers
// A case whose unit is not given skips.
//
// Wine is not Windows in two points, which these cases therefore leave alone under Wine (the
// scripted fake covers both): it grants a second exclusive open of a port, and on a
// pseudo-terminal it reports DTR and RTS control as enabled whatever was set.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "core/Protocol.h"
#include "core/uGlobal.h"
#include "testing/RecordingWindow.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <set>
#endif

namespace {

using kalvo::Block;

const std::string TransferErrorText = "1    Transfer error. Check COM-Port.";
const std::string ReadingText = "     Reading data from Ombrel RZ....";

// No test machine has a serial port this high, and the script maps none there.
constexpr int UnmappedPort = 250;

constexpr std::size_t FrameBytes = kalvo::ReplyLeadBytes + kalvo::ReplyTrailBytes;
constexpr std::size_t StatusDataBytes = kalvo::StatusReplyLength - FrameBytes;
constexpr std::size_t TimingDataBytes = kalvo::TimingReplyLength - FrameBytes;
constexpr std::size_t ErrorHistoryDataBytes = kalvo::ErrorHistoryReplyLength - FrameBytes;
// One read takes at most the 256 bytes of the receive buffer, its last two counting as trailing.
constexpr std::size_t MostDataOfOneRead = 256 - FrameBytes;
constexpr std::size_t ErrorRecordBytes = 16;
constexpr std::uint8_t EmptyErrorRecord = 0xFF;

std::string EnvironmentText(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::optional<int> UnitPort(const char* variable)
{
    const std::string text = EnvironmentText(variable);
    if (text.empty())
        return std::nullopt;
    return std::atoi(text.c_str());
}

bool AllZeroFrom(const Block& block, std::size_t first)
{
    return std::all_of(block.begin() + static_cast<std::ptrdiff_t>(first), block.end(),
                       [](std::uint8_t byte) { return byte == 0; });
}

bool AllZero(const Block& block)
{
    return AllZeroFrom(block, 0);
}

// The unit's 16-character status text (bytes 2..17): letters, blanks and 0x80 padding, never 0.
bool HoldsStatusText(const Block& status)
{
    return std::none_of(status.begin() + 2, status.begin() + 18, [](std::uint8_t byte) { return byte == 0; });
}

unsigned Word(const Block& block, std::size_t first)
{
    return static_cast<unsigned>(block[first] << 8 | block[first + 1]);
}

// The device link's globals wired to the platform's serial system and a recording window.
class PlatformLink : public ::testing::Test {
protected:
    void SetUp() override
    {
        serial_ = kalvo::MakePlatformSerialSystem(EnvironmentText("KALVO_TEST_SETTINGS"));
        uGlobal::ResetProgramState();
        uGlobal::Serial = serial_.get();
        uGlobal::Window = &window_;
    }

    void TearDown() override
    {
        uGlobal::ResetProgramState();
    }

    void OpenPort(int portNumber)
    {
        uGlobal::PortNumber = portNumber;
        uGlobal::OpenPort();
    }

    std::unique_ptr<kalvo::SerialSystem> serial_;
    kalvo::test::RecordingWindow window_;
};

// Declares port, the COM number of the unit named by the variable; without one the case fails,
// since a case that cannot reach its unit has tested nothing.
#define REQUIRE_UNIT(port, variable)                                                               \
    const std::optional<int> port = UnitPort(variable);                                           \
    if (!port) {                                                                                   \
        GTEST_FAIL() << (variable) << " is not set: no simulated unit to talk to "                \
                                      "(run this program through scripts/windows-leg)";            \
    }

TEST_F(PlatformLink, OpensTheUnitsPortByItsNumber)
{
    REQUIRE_UNIT(port, "KALVO_TEST_COM");
    OpenPort(*port);
    EXPECT_NE(uGlobal::PortHandle, nullptr);
    EXPECT_EQ(window_.panels[0], "  COM" + std::to_string(*port));
}

TEST_F(PlatformLink, PortWithNothingBehindItStaysClosed)
{
    OpenPort(UnmappedPort);
    EXPECT_EQ(uGlobal::PortHandle, nullptr);
    EXPECT_EQ(uGlobal::PortNumber, UnmappedPort);
    EXPECT_EQ(window_.panels[0], "  COM250");
}

TEST_F(PlatformLink, PortsAboveNineUseTheSamePathFormAsTheFirstNine)
{
    EXPECT_EQ(uGlobal::DevicePath(3), R"(\\?\COM3)");
    EXPECT_EQ(uGlobal::DevicePath(33), R"(\\?\COM33)");
    EXPECT_EQ(uGlobal::DevicePath(255), R"(\\?\COM255)");
}

#ifdef _WIN32

bool RunningUnderWine()
{
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// Handle values that the system accepts as communications ports. The backend keeps the handle of
// the port it opens to itself; the one that appears here when the port opens is it.
std::set<HANDLE> OpenCommHandles()
{
    constexpr std::uintptr_t HighestHandleValue = 0x4000;
    std::set<HANDLE> handles;
    for (std::uintptr_t value = 4; value <= HighestHandleValue; value += 4) {
        const auto handle = reinterpret_cast<HANDLE>(value);
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (GetCommState(handle, &dcb))
            handles.insert(handle);
    }
    return handles;
}

// The 32-bit word of flag bits (fBinary .. fAbortOnError) that follows BaudRate.
std::uint32_t FlagBits(const DCB& dcb)
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, reinterpret_cast<const char*>(&dcb.BaudRate) + sizeof dcb.BaudRate, sizeof bits);
    return bits;
}

TEST_F(PlatformLink, ConfiguresTheLineAndTimeOutsOfTheUnit)
{
    REQUIRE_UNIT(port, "KALVO_TEST_COM");
    const std::set<HANDLE> before = OpenCommHandles();
    OpenPort(*port);
    ASSERT_NE(uGlobal::PortHandle, nullptr);
    std::set<HANDLE> opened;
    std::ranges::set_difference(OpenCommHandles(), before, std::inserter(opened, opened.end()));
    ASSERT_EQ(opened.size(), 1u);
    const HANDLE handle = *opened.begin();

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(handle, &dcb));
    EXPECT_EQ(dcb.BaudRate, 9600u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);
    constexpr std::uint32_t DtrControlBits = 0x0030;
    constexpr std::uint32_t RtsControlBits = 0x3000;
    const std::uint32_t unreliable = RunningUnderWine() ? DtrControlBits | RtsControlBits : 0;
    EXPECT_EQ(FlagBits(dcb) & ~unreliable, 1u) << "only fBinary may be set";

    COMMTIMEOUTS timeouts{};
    ASSERT_TRUE(GetCommTimeouts(handle, &timeouts));
    EXPECT_EQ(timeouts.ReadIntervalTimeout, 500u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, 500u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 1000u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutMultiplier, 300u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 100u);
}

#endif

TEST_F(PlatformLink, PortThatIsOpenCannotBeOpenedASecondTime)
{
    REQUIRE_UNIT(port, "KALVO_TEST_COM");
#ifdef _WIN32
    if (RunningUnderWine())
        GTEST_SKIP() << "Wine grants a second exclusive open of a serial port";
#endif
    OpenPort(*port);
    ASSERT_NE(uGlobal::PortHandle, nullptr);
    EXPECT_EQ(serial_->Open(*port).port, nullptr);
}

TEST_F(PlatformLink, CycleWithAProperUnitFillsTheThreeBlocks)
{
    REQUIRE_UNIT(port, "KALVO_TEST_COM");
    OpenPort(*port);
    ASSERT_NE(uGlobal::PortHandle, nullptr);

    // Several cycles in a row: each one must find the line as clean as the first did.
    for (int cycle = 0; cycle < 3; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        uGlobal::ReadCycle();

        EXPECT_FALSE(uGlobal::ReplyTimedOut);
        EXPECT_EQ(window_.panels[1], "");
        EXPECT_EQ(window_.clearReadingsCalls, 0);

        EXPECT_TRUE(HoldsStatusText(uGlobal::StatusBlock));
        EXPECT_GT(Word(uGlobal::StatusBlock, 35), 1800u) << "mains voltage in tenths of a volt";
        EXPECT_LT(Word(uGlobal::StatusBlock, 35), 2800u) << "mains voltage in tenths of a volt";
        EXPECT_LE(uGlobal::StatusBlock[40], 15) << "state code";
        // Nothing beyond the data: the reply's two trailing bytes stay out of the block.
        EXPECT_TRUE(AllZeroFrom(uGlobal::StatusBlock, StatusDataBytes));
        EXPECT_TRUE(AllZeroFrom(uGlobal::TimingBlock, TimingDataBytes));
        EXPECT_FALSE(AllZero(uGlobal::TimingBlock));
        EXPECT_TRUE(AllZeroFrom(uGlobal::ErrorHistoryBlock, ErrorHistoryDataBytes));
        for (std::size_t record = 0; record < ErrorHistoryDataBytes; record += ErrorRecordBytes) {
            const std::uint8_t state = uGlobal::ErrorHistoryBlock[record];
            EXPECT_TRUE(state == EmptyErrorRecord || state <= 15) << "record at " << record;
        }
    }
    EXPECT_EQ(std::count(window_.panelHistory.begin(), window_.panelHistory.end(),
                         std::pair<int, std::string>(1, ReadingText)),
              3);
}

// A unit that misbehaves in one way, and what a read cycle against it must leave behind.
struct Misbehaviour {
    const char* name;
    const char* variable;
    std::function<void(const kalvo::test::RecordingWindow&)> check;
};

void PrintTo(const Misbehaviour& misbehaviour, std::ostream* out)
{
    *out << misbehaviour.name;
}

const Misbehaviour Misbehaviours[] = {
    {"Silent", "KALVO_TEST_COM_SILENT",
     [](const kalvo::test::RecordingWindow& window) {
         EXPECT_TRUE(uGlobal::ReplyTimedOut);
         EXPECT_EQ(window.panels[1], TransferErrorText);
         EXPECT_EQ(window.clearReadingsCalls, 2) << "once for no data, once for the time-out";
         EXPECT_TRUE(AllZero(uGlobal::StatusBlock));
         EXPECT_TRUE(AllZero(uGlobal::TimingBlock));
         EXPECT_TRUE(AllZero(uGlobal::ErrorHistoryBlock));
     }},
    {"Short", "KALVO_TEST_COM_SHORT",
     [](const kalvo::test::RecordingWindow& window) {
         EXPECT_TRUE(uGlobal::ReplyTimedOut);
         // A reply cut off at 8 bytes or fewer brings no data; the cycle fails only when all do.
         const bool anyData = window.panels[1].empty();
         EXPECT_TRUE(anyData || window.panels[1] == TransferErrorText) << window.panels[1];
         EXPECT_EQ(window.clearReadingsCalls, anyData ? 1 : 2);
         // The last two bytes that did come count as the reply's trailing bytes.
         EXPECT_TRUE(AllZeroFrom(uGlobal::StatusBlock, StatusDataBytes - 1));
         EXPECT_TRUE(AllZeroFrom(uGlobal::TimingBlock, TimingDataBytes - 1));
         EXPECT_TRUE(AllZeroFrom(uGlobal::ErrorHistoryBlock, ErrorHistoryDataBytes - 1));
     }},
    {"Long", "KALVO_TEST_COM_LONG",
     [](const kalvo::test::RecordingWindow& window) {
         // The queue never holds exactly a reply's length, so every wait runs out; the copy then
         // takes the whole reply, its trailing sum included, up to its last two stray bytes.
         EXPECT_TRUE(uGlobal::ReplyTimedOut);
         EXPECT_EQ(window.panels[1], "");
         EXPECT_EQ(window.clearReadingsCalls, 1);
         EXPECT_TRUE(HoldsStatusText(uGlobal::StatusBlock));
         EXPECT_NE(uGlobal::StatusBlock[StatusDataBytes], 0) << "high byte of the reply's sum";
     }},
    {"Late", "KALVO_TEST_COM_LATE",
     [](const kalvo::test::RecordingWindow& window) {
         // The first part of a reply is taken when its wait runs out; the tail lands in the
         // next exchange.
         EXPECT_TRUE(uGlobal::ReplyTimedOut);
         EXPECT_EQ(window.panels[1], "");
         EXPECT_EQ(window.clearReadingsCalls, 1);
         EXPECT_TRUE(HoldsStatusText(uGlobal::StatusBlock));
         EXPECT_TRUE(AllZeroFrom(uGlobal::StatusBlock, StatusDataBytes - 1));
     }},
    {"Flood", "KALVO_TEST_COM_FLOOD",
     [](const kalvo::test::RecordingWindow& window) {
         EXPECT_TRUE(uGlobal::ReplyTimedOut);
         EXPECT_EQ(window.panels[1], "");
         EXPECT_EQ(window.clearReadingsCalls, 1);
         EXPECT_TRUE(HoldsStatusText(uGlobal::StatusBlock));
         for (const Block* block : {&uGlobal::StatusBlock, &uGlobal::TimingBlock, &uGlobal::ErrorHistoryBlock})
             EXPECT_TRUE(AllZeroFrom(*block, MostDataOfOneRead));
     }},
};

class MisbehavingUnit : public PlatformLink, public ::testing::WithParamInterface<Misbehaviour> {};

TEST_P(MisbehavingUnit, CycleEndsAsTheDeviceLinkPromises)
{
    REQUIRE_UNIT(port, GetParam().variable);
    OpenPort(*port);
    ASSERT_NE(uGlobal::PortHandle, nullptr);

    uGlobal::ReadCycle();

    GetParam().check(window_);
}

INSTANTIATE_TEST_SUITE_P(Units, MisbehavingUnit, ::testing::ValuesIn(Misbehaviours),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
