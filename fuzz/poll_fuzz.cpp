// One whole poll from the wire: the unit answers the three requests with any bytes, in any
// chunks, at any times, and may hang up in the middle. The poll reads no more than its buffer
// holds, ends within three reply waits, and what the report and the error records show from the
// blocks keeps to their rules.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/Protocol.h"
#include "core/Readings.h"
#include "core/uGlobal.h"
#include "fuzz/FuzzSupport.h"
#include "testing/FakeSerial.h"
#include "testing/LanguageFixtures.h"
#include "testing/ProgramState.h"
#include "testing/RecordingWindow.h"

namespace {

using kalvo::fuzz::Require;

constexpr int Port = 1;
constexpr std::size_t ReceiveBufferSize = 256;
// A reply wait ends at its first look at the queue after 1000 ms, at most one 10 ms input slice
// late; three of them bound a cycle.
constexpr std::uint64_t CycleLimitMs = 3 * (1000 + 10);

constexpr int MaxChunksPerReply = 4;
constexpr std::uint32_t MaxChunkDelayMs = 1500;
constexpr std::size_t MaxChunkLength = 600;  // more than the receive buffer holds
constexpr int MaxGonePass = 400;             // a cycle makes about 300 message passes at most

kalvo::ReplyScript ScriptFrom(FuzzedDataProvider& provider)
{
    kalvo::ReplyScript script(provider.ConsumeIntegralInRange(0, MaxChunksPerReply));
    for (kalvo::ReplyChunk& chunk : script) {
        chunk.delayMs = provider.ConsumeIntegralInRange<std::uint32_t>(0, MaxChunkDelayMs);
        chunk.bytes = provider.ConsumeBytes<std::uint8_t>(provider.ConsumeIntegralInRange<std::size_t>(0, MaxChunkLength));
    }
    return script;
}

void CheckReportAndRecords(const kalvo::Poll& poll, const kalvo::LanguageLines& language)
{
    for (const std::string& line : kalvo::ReportLines(uGlobal::ReadingTexts, language))
        Require(kalvo::ReportLineFilter(line), "every report line passes the report filter");
    for (int n = 1; n <= kalvo::ErrorRecordCount; ++n) {
        const int offset = kalvo::ErrorRecordSize * (n - 1);
        const auto lines =
            kalvo::ErrorRecordLines(poll.fields.errorRecords[static_cast<std::size_t>(n - 1)], n, language);
        const bool empty = uGlobal::ErrorHistoryBlock[static_cast<std::size_t>(offset)] == 0xFF;
        Require(lines.size() == (empty ? 1u : 6u), "an empty record shows its heading alone, others six lines");
    }
}

// A reply read whole fills at most the buffer less the lead and trail bytes; the rest stays zero.
bool TailBeyondOneBufferIsZero(const kalvo::Block& block)
{
    const std::size_t mostData = ReceiveBufferSize - kalvo::ReplyLeadBytes - kalvo::ReplyTrailBytes;
    return std::all_of(block.begin() + static_cast<std::ptrdiff_t>(mostData), block.end(),
                       [](std::uint8_t byte) { return byte == 0; });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const kalvo::LanguageLines& language = kalvo::test::NumberedLanguageTable();
    FuzzedDataProvider provider(data, size);

    auto serial = std::make_unique<kalvo::FakeSerialSystem>();
    kalvo::test::RecordingWindow window;
    const kalvo::test::ProgramStateGuard state(serial.get(), &window);
    uGlobal::PortNumber = Port;
    uGlobal::OpenPort();

    for (int reply = 0; reply < 3; ++reply)
        serial->AnswerNextWrite(ScriptFrom(provider));
    const int gonePass = provider.ConsumeBool() ? provider.ConsumeIntegralInRange(1, MaxGonePass) : 0;
    window.onProcessPendingMessages = [&] {
        if (window.messagePasses == gonePass)
            serial->MarkGone(Port);
    };

    const kalvo::Poll poll = uGlobal::ReadCycle();
    uGlobal::DecodeReadings(poll);

    Require(serial->NowMs() <= CycleLimitMs, "a cycle ends within three reply waits");
    for (std::size_t asked : serial->Port(Port).readRequests)
        Require(asked <= ReceiveBufferSize, "no read asks for more than the receive buffer holds");
    for (const kalvo::Block* block : {&uGlobal::StatusBlock, &uGlobal::TimingBlock, &uGlobal::ErrorHistoryBlock})
        Require(TailBeyondOneBufferIsZero(*block), "no block receives more than one buffer of data");
    CheckReportAndRecords(poll, language);
    return 0;
}
