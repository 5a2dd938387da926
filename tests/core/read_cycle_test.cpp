#include <gtest/gtest.h>

#include <ostream>
#include <algorithm>
#include <functional>
#include <memory>
#include <stdexcept>

#include "core/Protocol.h"
#include "core/uGlobal.h"
#include "testing/FakeSerial.h"
#include "testing/RecordingWindow.h"

namespace {

using kalvo::Bytes;
using kalvo::FakeSerialSystem;

const std::string ReadingText = "     Reading data from Ombrel RZ....";
const std::string TransferErrorText = "1    Transfer error. Check COM-Port.";
constexpr int Port = 3;
constexpr std::uint8_t Untouched = 0xEE;  // what the blocks hold before a cycle

// Data bytes that differ per request and position, so misplaced bytes show.
Bytes Pattern(std::size_t count, std::uint8_t seed)
{
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<std::uint8_t>(seed + 7 * i);
    return bytes;
}

Bytes ReplyTo(std::uint8_t code)
{
    return kalvo::MakeReply(code, Pattern(kalvo::ReplyLengthFor(code) - 8, code));
}

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t to)
{
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.begin() + static_cast<std::ptrdiff_t>(to));
}

// The block holds exactly these bytes from position 0 on and zero after them.
void ExpectBlockHolds(const kalvo::Block& block, const Bytes& expected)
{
    ASSERT_LE(expected.size(), block.size());
    EXPECT_EQ(Slice(Bytes(block.begin(), block.end()), 0, expected.size()), expected);
    EXPECT_TRUE(std::all_of(block.begin() + static_cast<std::ptrdiff_t>(expected.size()), block.end(),
                            [](std::uint8_t b) { return b == 0; }));
}

// The data bytes an exact reply to code carries.
Bytes DataOf(std::uint8_t code)
{
    const Bytes reply = ReplyTo(code);
    return Slice(reply, 6, reply.size() - 2);
}

class ReadCycleTest : public ::testing::Test {
protected:
    void SetUp() override { StartWith(std::make_unique<FakeSerialSystem>()); }

    void TearDown() override { uGlobal::ResetProgramState(); }

    // A fresh line with port 3 open, and blocks that show whether a cycle touched them.
    void StartWith(std::unique_ptr<FakeSerialSystem> system)
    {
        uGlobal::ResetProgramState();
        serial = std::move(system);
        uGlobal::Serial = serial.get();
        uGlobal::Window = &window;
        uGlobal::PortNumber = Port;
        uGlobal::OpenPort();
        for (kalvo::Block* block : {&uGlobal::StatusBlock, &uGlobal::TimingBlock, &uGlobal::ErrorHistoryBlock})
            block->fill(Untouched);
        window = kalvo::test::RecordingWindow{};
    }

    void Answer(std::uint8_t code, std::uint32_t delayMs = 100)
    {
        serial->AnswerRequest(code, {{delayMs, ReplyTo(code)}});
    }

    void AnswerAll()
    {
        for (std::uint8_t code : {kalvo::StatusRequest, kalvo::TimingRequest, kalvo::ErrorHistoryRequest})
            Answer(code);
    }

    // Runs action once, in the second pass of the first reply wait.
    void DuringFirstWait(std::function<void()> action)
    {
        window.onProcessPendingMessages = [this, action] {
            if (window.messagePasses == 3)
                action();
        };
    }

    // Runs action in the message pass that follows the last reply wait. The wait's own last pass
    // is the first to see the complete reply (with exact replies); the pass after it the second.
    void AfterLastWait(std::function<void()> action)
    {
        window.onProcessPendingMessages = [this, action, sightings = 0]() mutable {
            if (serial->Writes().size() == 3 &&
                serial->Port(Port).input.size() == kalvo::ErrorHistoryReplyLength && ++sightings == 2)
                action();
        };
    }

    // No reply completed: each of the three waits ran just over its limit.
    void ExpectThreeFullWaits() const
    {
        EXPECT_GT(serial->NowMs(), 3000u);
        EXPECT_LT(serial->NowMs(), 3100u);
    }

    std::vector<std::string> Panel1History() const
    {
        std::vector<std::string> texts;
        for (const auto& [panel, text] : window.panelHistory)
            if (panel == 1)
                texts.push_back(text);
        return texts;
    }

    std::unique_ptr<FakeSerialSystem> serial;
    kalvo::test::RecordingWindow window;
};

TEST_F(ReadCycleTest, ExactRepliesFillTheThreeBlocks)
{
    AnswerAll();
    const kalvo::Poll poll = uGlobal::ReadCycle();

    ExpectBlockHolds(uGlobal::StatusBlock, DataOf(kalvo::StatusRequest));
    ExpectBlockHolds(uGlobal::TimingBlock, DataOf(kalvo::TimingRequest));
    ExpectBlockHolds(uGlobal::ErrorHistoryBlock, DataOf(kalvo::ErrorHistoryRequest));
    // The poll handed down is the blocks as the cycle filled them, and their fields.
    EXPECT_EQ(poll.result.link, kalvo::LinkStatus::Ok);
    EXPECT_EQ(poll.result.statusBlock, uGlobal::StatusBlock);
    EXPECT_EQ(poll.result.errorHistoryBlock, uGlobal::ErrorHistoryBlock);
    EXPECT_EQ(poll.fields.errorRecords[7].bytes[15], uGlobal::ErrorHistoryBlock[127]);
    EXPECT_EQ(Panel1History(), (std::vector<std::string>{ReadingText, ""}));
    ASSERT_EQ(window.repaintedPanels.size(), 1u);
    EXPECT_EQ(window.repaintedPanels[0][1], ReadingText);
    EXPECT_EQ(window.clearReadingsCalls, 0);
    EXPECT_FALSE(uGlobal::ReplyTimedOut);
    EXPECT_EQ(serial->Port(Port).purges, 1);
    EXPECT_EQ(serial->NowMs(), 300u);
}

TEST_F(ReadCycleTest, FramesGoOutOneAfterEachCompletedReply)
{
    // Each reply arrives in two pieces; the next request may only follow the second.
    for (std::uint8_t code : {kalvo::StatusRequest, kalvo::TimingRequest, kalvo::ErrorHistoryRequest}) {
        const Bytes reply = ReplyTo(code);
        serial->AnswerRequest(code, {{40, Slice(reply, 0, 20)}, {90, Slice(reply, 20, reply.size())}});
    }
    uGlobal::ReadCycle();

    const auto& writes = serial->Writes();
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0].bytes, (Bytes{0x81, 0x81, 0x08, 0x00, 0x01, 0x80, 0x01, 0x8B}));
    EXPECT_EQ(writes[1].bytes, (Bytes{0x81, 0x81, 0x08, 0x00, 0x01, 0x81, 0x01, 0x8C}));
    EXPECT_EQ(writes[2].bytes, (Bytes{0x81, 0x81, 0x08, 0x00, 0x01, 0x82, 0x01, 0x8D}));
    // Each request follows the completed reply, at the latest one wait slice (50 ms) later.
    EXPECT_EQ(writes[0].timeMs, 0u);
    EXPECT_GE(writes[1].timeMs - writes[0].timeMs, 90u);
    EXPECT_LE(writes[1].timeMs - writes[0].timeMs, 140u);
    EXPECT_GE(writes[2].timeMs - writes[1].timeMs, 90u);
    EXPECT_LE(writes[2].timeMs - writes[1].timeMs, 140u);
    EXPECT_FALSE(uGlobal::ReplyTimedOut);
}

struct StatusReplyCase {
    const char* name;
    Bytes reply;
    std::uint32_t delayMs;
    std::size_t copiedBytes;  // data bytes that land in the status block
    bool timedOut;
};

void PrintTo(const StatusReplyCase& c, std::ostream* os)
{
    *os << c.name;
}

class StatusReplyShapeTest : public ReadCycleTest, public ::testing::WithParamInterface<StatusReplyCase> {};

TEST_P(StatusReplyShapeTest, CopiesWhatArrivedAndFlagsLateOrWrongLengths)
{
    const StatusReplyCase& c = GetParam();
    AnswerAll();
    serial->AnswerRequest(kalvo::StatusRequest, {{c.delayMs, c.reply}});
    uGlobal::ReadCycle();

    ExpectBlockHolds(uGlobal::StatusBlock, Slice(c.reply, 6, 6 + c.copiedBytes));
    ExpectBlockHolds(uGlobal::TimingBlock, DataOf(kalvo::TimingRequest));
    EXPECT_EQ(uGlobal::ReplyTimedOut, c.timedOut);
    EXPECT_EQ(window.clearReadingsCalls, c.timedOut ? 1 : 0);
    EXPECT_EQ(window.panels[1], "");
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, StatusReplyShapeTest,
    ::testing::Values(StatusReplyCase{"Exact", ReplyTo(kalvo::StatusRequest), 100, 51, false},
                      StatusReplyCase{"OneByteTooMany", Pattern(60, 1), 100, 52, true},
                      StatusReplyCase{"ExactButAfterTheLimit", ReplyTo(kalvo::StatusRequest), 1001, 51, true},
                      StatusReplyCase{"NineBytes", Pattern(9, 2), 100, 1, true},
                      StatusReplyCase{"EightBytes", Pattern(8, 3), 100, 0, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReadCycleTest, NoReplyReportsTransferErrorAfterThreeFullWaits)
{
    EXPECT_EQ(uGlobal::ReadCycle().result.link, kalvo::LinkStatus::TransferError);

    EXPECT_EQ(window.panels[1], TransferErrorText);
    EXPECT_EQ(window.clearReadingsCalls, 2);
    EXPECT_TRUE(uGlobal::ReplyTimedOut);
    ExpectThreeFullWaits();
    EXPECT_EQ(serial->Writes().size(), 3u);
    ExpectBlockHolds(uGlobal::StatusBlock, {});
    ExpectBlockHolds(uGlobal::ErrorHistoryBlock, {});
}

TEST_F(ReadCycleTest, WaitsSurviveTheTickCountWrapping)
{
    StartWith(std::make_unique<FakeSerialSystem>(0xFFFFFF00u));
    Answer(kalvo::StatusRequest);
    uGlobal::ReadCycle();

    ExpectBlockHolds(uGlobal::StatusBlock, DataOf(kalvo::StatusRequest));
    EXPECT_TRUE(uGlobal::ReplyTimedOut);
    EXPECT_GT(serial->NowMs(), 100u + 2000u);
    EXPECT_LT(serial->NowMs(), 100u + 2100u);
}

TEST_F(ReadCycleTest, MissingErrorHistoryLeavesOnlyThatBlockEmpty)
{
    Answer(kalvo::StatusRequest);
    Answer(kalvo::TimingRequest);
    uGlobal::ReadCycle();

    ExpectBlockHolds(uGlobal::StatusBlock, DataOf(kalvo::StatusRequest));
    ExpectBlockHolds(uGlobal::TimingBlock, DataOf(kalvo::TimingRequest));
    ExpectBlockHolds(uGlobal::ErrorHistoryBlock, {});
    EXPECT_EQ(window.panels[1], "");
    EXPECT_EQ(window.clearReadingsCalls, 1);
}

TEST_F(ReadCycleTest, QuitBeforeTheFirstRequestChangesNothing)
{
    window.onProcessPendingMessages = [] { uGlobal::StopRequested = true; };
    uGlobal::ReplyTimedOut = true;
    uGlobal::ReadCycle();

    EXPECT_FALSE(uGlobal::ReplyTimedOut);
    EXPECT_TRUE(window.panelHistory.empty());
    EXPECT_TRUE(serial->Writes().empty());
    EXPECT_EQ(serial->Port(Port).purges, 0);
    EXPECT_EQ(uGlobal::StatusBlock[0], Untouched);
}

TEST_F(ReadCycleTest, QuitDuringTheFirstWaitEndsTheCycleThere)
{
    AnswerAll();
    DuringFirstWait([] { uGlobal::StopRequested = true; });
    uGlobal::ReadCycle();

    EXPECT_EQ(serial->Writes().size(), 1u);
    EXPECT_EQ(window.panels[1], ReadingText);
    EXPECT_EQ(window.clearReadingsCalls, 0);
    ExpectBlockHolds(uGlobal::StatusBlock, {});
    ExpectBlockHolds(uGlobal::ErrorHistoryBlock, {});
}

TEST_F(ReadCycleTest, QuitAfterTheLastWaitStillTakesTheLastReply)
{
    AnswerAll();
    AfterLastWait([] { uGlobal::StopRequested = true; });
    uGlobal::ReadCycle();

    ASSERT_TRUE(uGlobal::StopRequested);
    ExpectBlockHolds(uGlobal::ErrorHistoryBlock, DataOf(kalvo::ErrorHistoryRequest));
    EXPECT_EQ(window.panels[1], "");
}

TEST_F(ReadCycleTest, BytesArrivingAfterTheLastWaitAreReadWithTheLastReply)
{
    AnswerAll();
    const Bytes history = ReplyTo(kalvo::ErrorHistoryRequest);
    const Bytes extra{0xC1, 0xC2, 0xC3, 0xC4};
    serial->AnswerRequest(kalvo::ErrorHistoryRequest, {{100, history}, {150, extra}});
    // The window stays busy after the last wait until the extra bytes have come in.
    AfterLastWait([this] { serial->Advance(std::chrono::milliseconds(60)); });
    uGlobal::ReadCycle();

    EXPECT_FALSE(uGlobal::ReplyTimedOut);
    Bytes received = history;
    received.insert(received.end(), extra.begin(), extra.end());
    ExpectBlockHolds(uGlobal::ErrorHistoryBlock, Slice(received, 6, received.size() - 2));
}

TEST_F(ReadCycleTest, FloodIsReadAtMost256BytesAtATime)
{
    AnswerAll();
    const Bytes flood = Pattern(300, 9);
    serial->AnswerRequest(kalvo::StatusRequest, {{100, flood}});
    uGlobal::ReadCycle();

    const auto requests = serial->Port(Port).readRequests;
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.front(), 256u);
    EXPECT_LE(*std::max_element(requests.begin(), requests.end()), 256u);
    ExpectBlockHolds(uGlobal::StatusBlock, Slice(flood, 6, 254));
    EXPECT_TRUE(uGlobal::ReplyTimedOut);
}

// Once more bytes wait than the reply has, the wait cannot end before its limit: it lets the time
// pass without watching the line, yet still reads what came in until the limit.
TEST_F(ReadCycleTest, StrayBytesAfterALongReplyAreReadAtTheLimitWithoutWatchingTheLine)
{
    AnswerAll();
    const Bytes longReply = Pattern(60, 4);
    const Bytes stray = Pattern(30, 5);
    serial->AnswerRequest(kalvo::StatusRequest, {{100, longReply}, {600, stray}, {990, stray}});
    uGlobal::ReadCycle();

    Bytes received = longReply;
    for (int i = 0; i < 2; ++i)
        received.insert(received.end(), stray.begin(), stray.end());
    ExpectBlockHolds(uGlobal::StatusBlock, Slice(received, 6, received.size() - 2));
    ExpectBlockHolds(uGlobal::TimingBlock, DataOf(kalvo::TimingRequest));
    EXPECT_TRUE(uGlobal::ReplyTimedOut);
    EXPECT_GT(serial->Writes()[1].timeMs, 1000u);
    EXPECT_EQ(serial->Port(Port).waits, 0);
}

TEST_F(ReadCycleTest, LateBytesAreReadWithTheNextReply)
{
    const Bytes status = ReplyTo(kalvo::StatusRequest);
    const Bytes timing = ReplyTo(kalvo::TimingRequest);
    // The last three status bytes come after the wait for them has given up.
    serial->AnswerRequest(kalvo::StatusRequest, {{50, Slice(status, 0, 56)}, {1050, Slice(status, 56, 59)}});
    Answer(kalvo::TimingRequest);
    Answer(kalvo::ErrorHistoryRequest);
    uGlobal::ReadCycle();

    Bytes shifted = Slice(status, 56, 59);
    shifted.insert(shifted.end(), timing.begin(), timing.end());
    ExpectBlockHolds(uGlobal::StatusBlock, Slice(status, 6, 54));
    ExpectBlockHolds(uGlobal::TimingBlock, Slice(shifted, 6, shifted.size() - 2));
    ExpectBlockHolds(uGlobal::ErrorHistoryBlock, DataOf(kalvo::ErrorHistoryRequest));
    EXPECT_TRUE(uGlobal::ReplyTimedOut);
}

TEST_F(ReadCycleTest, PortClosedUnderTheWaitEndsInTransferError)
{
    AnswerAll();
    DuringFirstWait([] { uGlobal::ClosePort(); });
    uGlobal::ReadCycle();

    EXPECT_EQ(serial->Writes().size(), 1u);
    EXPECT_EQ(serial->Port(Port).closes, 1);
    EXPECT_EQ(uGlobal::PortNumber, uGlobal::NoPort);
    EXPECT_EQ(window.panels[0], "No Com-Port");
    EXPECT_EQ(window.panels[1], TransferErrorText);
    EXPECT_EQ(window.clearReadingsCalls, 2);
    ExpectThreeFullWaits();
}

TEST_F(ReadCycleTest, PortReplacedUnderTheWaitTakesTheRestOfTheCycle)
{
    AnswerAll();
    DuringFirstWait([] {
        uGlobal::ClosePort();
        uGlobal::PortNumber = 4;
        uGlobal::OpenPort();
    });
    uGlobal::ReadCycle();

    const auto& writes = serial->Writes();
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0].portNumber, Port);
    EXPECT_EQ(writes[1].portNumber, 4);
    EXPECT_EQ(writes[2].portNumber, 4);
    ExpectBlockHolds(uGlobal::StatusBlock, {});  // its reply was bound for the closed port
    ExpectBlockHolds(uGlobal::TimingBlock, DataOf(kalvo::TimingRequest));
    ExpectBlockHolds(uGlobal::ErrorHistoryBlock, DataOf(kalvo::ErrorHistoryRequest));
    EXPECT_EQ(window.clearReadingsCalls, 1);
}

TEST_F(ReadCycleTest, DeviceGoneUnderTheWaitStillEndsInTime)
{
    AnswerAll();
    DuringFirstWait([this] { serial->MarkGone(Port); });
    uGlobal::ReadCycle();

    EXPECT_EQ(window.panels[1], TransferErrorText);
    EXPECT_EQ(serial->Writes().size(), 3u);
    EXPECT_EQ(serial->Writes()[1].written, 0u);
    ExpectThreeFullWaits();
}

// The last byte of a reply lands between the wait's sample of the queue and its block: the wait
// ends at once instead of sleeping through its slice, which near the limit turned a reply that
// came in time into a late one.
TEST_F(ReadCycleTest, ReplyCompletingRightAfterASampleEndsTheWaitAtOnce)
{
    const Bytes reply = ReplyTo(kalvo::StatusRequest);
    serial->AnswerNextWrite({{990, Slice(reply, 0, reply.size() - 1)}});
    Answer(kalvo::TimingRequest);
    Answer(kalvo::ErrorHistoryRequest);
    std::uint64_t completedMs = 0;
    window.onProcessPendingMessages = [&] {
        if (completedMs == 0 && serial->Port(Port).input.size() == reply.size() - 1) {
            completedMs = serial->NowMs();
            serial->ArriveAfterNextSample(Port, Slice(reply, reply.size() - 1, reply.size()));
        }
    };
    uGlobal::ReadCycle();

    ASSERT_EQ(serial->Writes().size(), 3u);
    EXPECT_EQ(serial->Writes()[1].timeMs, completedMs);
    EXPECT_FALSE(uGlobal::ReplyTimedOut);
    EXPECT_EQ(window.clearReadingsCalls, 0);
    ExpectBlockHolds(uGlobal::StatusBlock, DataOf(kalvo::StatusRequest));
}

TEST_F(ReadCycleTest, NoOpenPortReturnsAtOnce)
{
    uGlobal::PortHandle.reset();
    uGlobal::ReplyTimedOut = true;
    const kalvo::Poll poll = uGlobal::ReadCycle();

    EXPECT_EQ(poll.result.link, kalvo::LinkStatus::NoPort);
    EXPECT_EQ(poll.result.timingBlock[0], Untouched);  // what the blocks held, decoded again
    EXPECT_FALSE(uGlobal::ReplyTimedOut);
    EXPECT_EQ(window.messagePasses, 0);
    EXPECT_TRUE(window.panelHistory.empty());
    EXPECT_TRUE(serial->Writes().empty());
    EXPECT_EQ(uGlobal::TimingBlock[0], Untouched);
}

TEST(MakeReplyTest, BuildsRepliesOfTheExpectedLengthsAndRejectsOthers)
{
    const std::pair<std::uint8_t, std::size_t> lengths[] = {
        {kalvo::StatusRequest, 59}, {kalvo::TimingRequest, 46}, {kalvo::ErrorHistoryRequest, 136}};
    for (const auto& [code, length] : lengths) {
        const Bytes reply = kalvo::MakeReply(code, {0xA1, 0xA2});
        ASSERT_EQ(reply.size(), length);
        EXPECT_EQ(reply[6], 0xA1);
        EXPECT_EQ(reply[7], 0xA2);
        EXPECT_EQ(reply[8], 0x00);
    }
    EXPECT_THROW(kalvo::MakeReply(0x83, {}), std::invalid_argument);
    EXPECT_THROW(kalvo::MakeReply(kalvo::TimingRequest, Bytes(39)), std::invalid_argument);
}

}  // namespace
