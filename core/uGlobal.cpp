#include "core/uGlobal.h"

#include <algorithm>
#include <chrono>

#include "core/Protocol.h"

namespace uGlobal {

int PortNumber = NoPort;
std::unique_ptr<kalvo::SerialPort> PortHandle;
bool StopRequested = false;
bool ReplyTimedOut = false;

kalvo::Block StatusBlock{};
kalvo::Block TimingBlock{};
kalvo::Block ErrorHistoryBlock{};

kalvo::SerialSystem* Serial = nullptr;
kalvo::WindowLink* Window = nullptr;

namespace {

constexpr int PortPanel = 0;
constexpr int TransferPanel = 1;

const std::string NoPortText = "No Com-Port";
const std::string PortTextPrefix = "  COM";
const std::string ReadingText = "     Reading data from Ombrel RZ....";
const std::string TransferErrorText = "1    Transfer error. Check COM-Port.";

// A reply wait gives up once more than this has passed since its request went out.
constexpr std::uint32_t ReplyTimeLimitMs = 1000;
// How long one pass of a reply wait blocks before it looks at the window again: short enough to
// keep the window responsive, long enough that a silent unit costs next to no CPU.
constexpr std::uint32_t InputWaitSliceMs = 50;
// One byte on the unit's line: 11 bits (start, 8 data, 2 stop) at 9600 baud.
constexpr std::uint32_t ByteTimeUs = 11 * 1'000'000 / 9600;

using ReceiveBuffer = std::array<std::uint8_t, 256>;

// True while the port went away under the program (adapter unplugged, line hung up) and was closed
// for it, PortNumber still naming it. Each poll then tries to open it again, so plugging the
// adapter back in resumes polling without the user having to open the port dialog.
bool PortLost = false;

// Where the byte count of a reply's read comes from.
enum class ReadCountSource {
    LastWaitSample,             // the sample that ended the wait
    FreshSample,                // the queue sampled again after the wait
    FreshSampleAfterMessages,   // window messages handled once more, then sampled again
};

struct Exchange {
    std::uint8_t requestCode;
    std::size_t replyLength;
    kalvo::Block& block;
    ReadCountSource readCount;
};

// The port operations of the read cycle. Each takes PortHandle afresh, because window messages
// handled during a wait can close or replace the port; with no port they do what failing system
// calls would: nothing is written, nothing is waiting, nothing is read.

void PurgePort()
{
    if (PortHandle)
        PortHandle->Purge();
}

void WriteFrame(const kalvo::RequestFrame& frame)
{
    if (PortHandle)
        PortHandle->Write(frame.data(), frame.size());
}

std::size_t QueuedBytes()
{
    return PortHandle ? PortHandle->BytesWaiting() : 0;
}

// Zeroes the buffer, then takes up to count waiting bytes into it (never more than it holds).
std::size_t ReadInto(ReceiveBuffer& buffer, std::size_t count)
{
    buffer.fill(0);
    if (!PortHandle)
        return 0;
    const std::size_t asked = std::min(count, buffer.size());
    return std::min(PortHandle->Read(buffer.data(), asked), asked);
}

// Blocks briefly instead of sampling the queue again at once, never past the wait's time limit.
// While several bytes of the reply are still missing they cannot arrive sooner than the line
// carries them, so the wait sleeps through all but the last of them instead of waking for each
// byte; it watches the port for the last one, so the complete reply is seen the moment it is
// there. A queue holding more than the reply never shrinks back to its exact length (nothing is
// read during a wait), so only the time limit can end the wait: then, as for a port that is gone
// or closed, the time is let pass without watching the line, which a unit that floods it would
// otherwise wake at every byte.
void AwaitInput(std::size_t expectedLength, std::size_t queued, std::uint32_t msLeft)
{
    const std::uint32_t sliceMs = std::min(InputWaitSliceMs, msLeft + 1);
    const bool portCanDeliver = PortHandle && !PortHandle->DeviceGone();
    if (!portCanDeliver || queued > expectedLength) {
        Serial->Pause(std::chrono::milliseconds(sliceMs));
        return;
    }
    const std::size_t missing = expectedLength - queued;
    const std::uint32_t lineMs = missing > 1 ? static_cast<std::uint32_t>((missing - 1) * ByteTimeUs / 1000) : 0;
    if (lineMs == 0)
        PortHandle->WaitForInput(queued, std::chrono::milliseconds(sliceMs));
    else
        Serial->Pause(std::chrono::milliseconds(std::min(lineMs, sliceMs)));
}

// Closes a port that has reported itself gone. PortNumber stays, so that a later poll can open
// the device again once it is back; a dead handle would otherwise stay until the port dialog.
void ReleaseGonePort()
{
    if (PortHandle && PortHandle->DeviceGone()) {
        PortHandle.reset();
        PortLost = true;
    }
}

void ClearBlocks()
{
    StatusBlock.fill(0);
    TimingBlock.fill(0);
    ErrorHistoryBlock.fill(0);
}

void ShowTransferError()
{
    Window->SetPanelText(TransferPanel, TransferErrorText);
    Window->ClearReadings();
}

std::uint32_t MsSince(std::uint32_t start)
{
    return static_cast<std::uint32_t>(Serial->TickCount() - start);
}

// Waits until the input queue holds exactly expectedLength bytes or more than the time limit has
// passed. Leaves the wait's last queue sample in lastSample. Returns false when StopRequested
// ends the read cycle.
bool ReplyWait(std::size_t expectedLength, std::size_t& lastSample)
{
    const std::uint32_t start = Serial->TickCount();
    for (;;) {
        Window->ProcessPendingMessages();
        if (StopRequested)
            return false;
        lastSample = QueuedBytes();
        const std::uint32_t elapsed = MsSince(start);
        if (lastSample == expectedLength || elapsed > ReplyTimeLimitMs)
            break;
        AwaitInput(expectedLength, lastSample, ReplyTimeLimitMs - elapsed);
    }
    // Judged afresh: the exact length reached only after the limit still counts as late.
    if (MsSince(start) > ReplyTimeLimitMs)
        ReplyTimedOut = true;
    return true;
}

// Copies the data bytes of a reply of length bytes into block; returns how many were copied.
std::size_t CopyReplyData(const ReceiveBuffer& buffer, std::size_t length, kalvo::Block& block)
{
    if (length <= kalvo::ReplyLeadBytes + kalvo::ReplyTrailBytes)
        return 0;
    const auto first = buffer.begin() + kalvo::ReplyLeadBytes;
    const auto last = buffer.begin() + (length - kalvo::ReplyTrailBytes);
    std::copy(first, last, block.begin());
    return static_cast<std::size_t>(last - first);
}

// The poll that the exchange left, as one value.
kalvo::Poll FinishedPoll()
{
    kalvo::Poll poll;
    if (!PortHandle)
        poll.result.link = kalvo::LinkStatus::NoPort;
    else
        poll.result.link = ReplyTimedOut ? kalvo::LinkStatus::TransferError : kalvo::LinkStatus::Ok;
    poll.result.statusBlock = StatusBlock;
    poll.result.timingBlock = TimingBlock;
    poll.result.errorHistoryBlock = ErrorHistoryBlock;
    poll.fields = kalvo::DecodePollFields(StatusBlock, TimingBlock, ErrorHistoryBlock);
    return poll;
}

std::size_t ReadCount(ReadCountSource source, std::size_t lastWaitSample)
{
    switch (source) {
    case ReadCountSource::LastWaitSample:
        return lastWaitSample;
    case ReadCountSource::FreshSampleAfterMessages:
        Window->ProcessPendingMessages();
        [[fallthrough]];
    case ReadCountSource::FreshSample:
        break;
    }
    return QueuedBytes();
}

}  // namespace

std::string DevicePath(int portNumber)
{
    return R"(\\?\COM)" + std::to_string(portNumber);
}

void CheckStoredPort()
{
    if (PortNumber == NoPort)
        return;
    // The port is only tried here; it is released again at once and opened for good by OpenPort.
    if (!Serial->Open(PortNumber).port)
        PortNumber = NoPort;
}

void OpenPort()
{
    try {
        if (PortNumber != NoPort) {
            // A port still held would make the exclusive open of the same port fail.
            PortHandle.reset();
            PortHandle = Serial->Open(PortNumber).port;
            if (PortHandle) {
                PortLost = false;
                PortHandle->Configure();
            }
        }
    } catch (...) {
        ShowPortStatus();
        throw;
    }
    ShowPortStatus();
}

void ClosePort()
{
    // The user takes charge of the port (port dialog, shutdown): a lost port is no longer awaited.
    // It ends like a port still held, released for it by the read cycle.
    if (PortHandle || PortLost) {
        PortHandle.reset();
        PortNumber = NoPort;
    }
    PortLost = false;
    ShowPortStatus();
}

void ShowPortStatus()
{
    Window->SetPanelText(PortPanel,
                         PortNumber == NoPort ? NoPortText : PortTextPrefix + std::to_string(PortNumber));
}

namespace {

// The three exchanges; returns early when there is no port or a stop is asked for.
void ExchangeReplies()
{
    ReplyTimedOut = false;
    ReleaseGonePort();
    if (PortLost) {
        OpenPort();
        if (!PortHandle) {
            // Still unplugged: the poll reads nothing, as when the unit does not answer.
            ClearBlocks();
            ShowTransferError();
            return;
        }
    }
    if (!PortHandle)
        return;
    Window->ProcessPendingMessages();
    if (StopRequested)
        return;
    Window->SetPanelText(TransferPanel, ReadingText);
    Window->RepaintStatusBar();

    PurgePort();
    ReceiveBuffer buffer{};
    ClearBlocks();
    std::size_t copiedBytes = 0;

    const Exchange exchanges[] = {
        {kalvo::StatusRequest, kalvo::StatusReplyLength, StatusBlock, ReadCountSource::LastWaitSample},
        {kalvo::TimingRequest, kalvo::TimingReplyLength, TimingBlock, ReadCountSource::FreshSample},
        {kalvo::ErrorHistoryRequest, kalvo::ErrorHistoryReplyLength, ErrorHistoryBlock,
         ReadCountSource::FreshSampleAfterMessages},
    };
    for (const Exchange& exchange : exchanges) {
        WriteFrame(kalvo::BuildRequestFrame(exchange.requestCode));
        std::size_t lastSample = 0;
        if (!ReplyWait(exchange.replyLength, lastSample))
            return;
        const std::size_t length = ReadInto(buffer, ReadCount(exchange.readCount, lastSample));
        copiedBytes += CopyReplyData(buffer, length, exchange.block);
    }

    // A line lost in the middle of the cycle is a transfer error, whatever arrived before it.
    const bool lineLost = PortHandle && PortHandle->DeviceGone();
    if (copiedBytes == 0 || lineLost)
        ShowTransferError();
    else
        Window->SetPanelText(TransferPanel, "");
    if (ReplyTimedOut)
        Window->ClearReadings();
    // Let go of a device that went away during the cycle at once, so its node is free for the
    // adapter when it is plugged in again.
    ReleaseGonePort();
}

}  // namespace

kalvo::Poll ReadCycle()
{
    ExchangeReplies();
    return FinishedPoll();
}

void ResetProgramState()
{
    PortHandle.reset();
    PortNumber = NoPort;
    PortLost = false;
    StopRequested = false;
    ReplyTimedOut = false;
    StatusBlock.fill(0);
    TimingBlock.fill(0);
    ErrorHistoryBlock.fill(0);
    ReadingTexts = {};
    StatusFlags = {};
    LanguageTable = {};
    Serial = nullptr;
    Window = nullptr;
}

}  // namespace uGlobal
