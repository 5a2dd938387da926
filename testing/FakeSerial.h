#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <vector>

#include "core/Protocol.h"
#include "core/SerialLine.h"

namespace kalvo {

using Bytes = std::vector<std::uint8_t>;

// Bytes that arrive at the port a number of milliseconds after the write they answer.
struct ReplyChunk {
    std::uint32_t delayMs = 0;
    Bytes bytes;
};
using ReplyScript = std::vector<ReplyChunk>;

// One call of Write on a fake port, in the order the calls were made.
struct WriteRecord {
    int portNumber = 0;
    std::uint64_t timeMs = 0;  // simulated time of the write
    Bytes bytes;
    std::size_t written = 0;   // what Write returned
};

// What happened to one port number.
struct FakePortRecord {
    bool open = false;
    bool gone = false;
    int opens = 0;
    int closes = 0;
    int configures = 0;
    int purges = 0;     // explicit Purge calls; Configure discards input too but is counted apart
    int samples = 0;    // BytesWaiting calls
    int waits = 0;      // WaitForInput calls
    std::vector<std::size_t> readRequests;  // the count asked for by each Read
    std::deque<std::uint8_t> input;         // delivered, not yet read
    Bytes afterNextSample;                  // lands in input right after the next sample
};

class FakeSerialSystem;

// A port of the fake system. It keeps no state of its own, so the system's records outlive it;
// the system must outlive every port it opened.
class FakeSerialPort : public SerialPort {
public:
    FakeSerialPort(FakeSerialSystem& system, int portNumber);
    ~FakeSerialPort() override;
    FakeSerialPort(const FakeSerialPort&) = delete;
    FakeSerialPort& operator=(const FakeSerialPort&) = delete;

    void Configure() override;
    void Purge() override;
    std::size_t Write(const std::uint8_t* data, std::size_t count) override;
    std::size_t BytesWaiting() override;
    std::size_t Read(std::uint8_t* buffer, std::size_t count) override;
    void WaitForInput(std::size_t seen, std::chrono::milliseconds limit) override;
    bool DeviceGone() const override;

private:
    FakeSerialSystem& system_;
    int portNumber_;
};

// A scripted serial system in simulated time, deterministic to the millisecond. Time passes only
// through WaitForInput, Pause and Advance; the unit on the line answers each write from a script,
// and its bytes reach the port's input queue when their time comes. Any port number opens unless
// refused, and a port that is open cannot be opened a second time (the open is exclusive).
class FakeSerialSystem : public SerialSystem {
public:
    // firstTick: the tick count at simulated time 0, to let tests cross the 32-bit wrap.
    explicit FakeSerialSystem(std::uint32_t firstTick = 0);

    OpenOutcome Open(int portNumber) override;
    std::uint32_t TickCount() override;
    void Pause(std::chrono::milliseconds limit) override;

    // --- Scripting ---
    // Answers the next write that the earlier queued answers have not answered.
    void AnswerNextWrite(ReplyScript script);
    // Answers every request frame with this code once the queued answers are used up.
    void AnswerRequest(std::uint8_t requestCode, ReplyScript script);
    // A unit that answers every write itself once the queued answers are used up; it may look at
    // NowMs(), the time of the write.
    void AnswerWith(std::function<ReplyScript(const Bytes& written)> unit);
    void RefuseOpen(int portNumber);    // as if the port did not exist
    void DenyAccess(int portNumber);    // exists, but the user may not open it
    // The device hangs up: it reports itself gone, delivers nothing more, cannot be reopened, and
    // its WaitForInput returns at once without letting time pass.
    void MarkGone(int portNumber);
    // The device is plugged in again and opens like before. A handle on the gone device stays
    // dead, so it must have been closed first; throws std::logic_error while it is still open.
    void Reconnect(int portNumber);
    void Advance(std::chrono::milliseconds span);
    // The bytes arrive right after the next BytesWaiting on the port has counted the queue, with no
    // time passing: the moment between a sample and the wait that follows it.
    void ArriveAfterNextSample(int portNumber, Bytes bytes);

    // --- Records ---
    std::uint64_t NowMs() const { return nowMs_; }
    const std::vector<int>& OpenAttempts() const { return openAttempts_; }
    const std::vector<WriteRecord>& Writes() const { return writes_; }
    // The record of a port number; an empty one for a number never opened.
    FakePortRecord Port(int portNumber) const;

private:
    friend class FakeSerialPort;

    struct Delivery {
        int portNumber;
        Bytes bytes;
    };

    FakePortRecord& Record(int portNumber) { return ports_[portNumber]; }
    void Close(int portNumber);
    std::size_t Write(int portNumber, const std::uint8_t* data, std::size_t count);
    void WaitForInput(int portNumber, std::size_t seen, std::chrono::milliseconds limit);
    std::size_t Read(int portNumber, std::uint8_t* buffer, std::size_t count);
    ReplyScript AnswerFor(const Bytes& written);
    void AdvanceTo(std::uint64_t timeMs);
    void DeliverDue();

    std::uint32_t firstTick_;
    std::uint64_t nowMs_ = 0;
    std::map<int, FakePortRecord> ports_;
    std::set<int> refused_;
    std::set<int> denied_;
    std::vector<int> openAttempts_;
    std::vector<WriteRecord> writes_;
    std::deque<ReplyScript> queuedAnswers_;
    std::map<std::uint8_t, ReplyScript> standingAnswers_;
    std::function<ReplyScript(const Bytes&)> unit_;
    std::multimap<std::uint64_t, Delivery> deliveries_;  // by due time, in scripted order
};

// A well-formed reply to a request (BuildReply) with the data zero-padded to the reply's data
// length. Throws std::invalid_argument for an unknown code or too much data.
Bytes MakeReply(std::uint8_t requestCode, const Bytes& data);

}  // namespace kalvo
