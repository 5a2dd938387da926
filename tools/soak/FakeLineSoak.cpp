#include "tools/soak/Soak.h"

#include <optional>
#include <random>

#include "core/Protocol.h"
#include "core/uGlobal.h"
#include "testing/FakeSerial.h"
#include "testing/ProgramState.h"
#include "tools/unitsim/Behaviour.h"
#include "tools/unitsim/BurnerModel.h"
#include "tools/unitsim/TransmitLine.h"
#include "tools/unitsim/Wire.h"

namespace soak {

namespace {

using std::chrono::milliseconds;

constexpr int Port = 1;
constexpr milliseconds PollGap{2000};     // the polling timer: from the end of one poll to the next
constexpr milliseconds HangUpTime{3000};  // how long a pulled adapter stays away, as in unitsim
constexpr std::chrono::microseconds ResponseDelay{20'000};
constexpr std::size_t RequestCodeIndex = 5;
constexpr std::size_t ReceiveBufferSize = 256;
constexpr std::uint8_t RequestCodes[] = {kalvo::StatusRequest, kalvo::TimingRequest, kalvo::ErrorHistoryRequest};

// The unit's answer as the fake delivers it: each piece arrives whole once its last byte has gone
// over the 9600-baud line.
kalvo::ReplyScript ScriptOf(const unitsim::ReplyPlan& plan)
{
    kalvo::ReplyScript script;
    for (const unitsim::Chunk& chunk : plan.chunks) {
        const auto lineTime = unitsim::TransmitLine::CharacterTime9600_8N2 * static_cast<long long>(chunk.bytes.size());
        const auto delay = std::chrono::ceil<milliseconds>(chunk.at + lineTime);
        script.push_back({static_cast<std::uint32_t>(delay.count()), chunk.bytes});
    }
    return script;
}

// The burner model behind the fake line, answering in unitsim's random mix of behaviours. A
// hang-up takes the line away when its request goes out and brings it back some seconds later.
class FakeUnit {
public:
    FakeUnit(kalvo::FakeSerialSystem& line, std::uint32_t seed) : line_(line), model_(seed), rng_(seed) {}

    // The time between two polls passes; true when the line came back in it. A handle still held
    // on the gone device stays dead, so the port opens again only once that handle is closed.
    bool BetweenPolls()
    {
        line_.Advance(PollGap);
        const bool cameBack = backAtMs_ && line_.NowMs() >= *backAtMs_;
        if (cameBack) {
            backAtMs_.reset();
            reconnectPending_ = true;
        }
        if (reconnectPending_ && !line_.Port(Port).open) {
            line_.Reconnect(Port);
            reconnectPending_ = false;
        }
        return cameBack;
    }

    // Sets the answers to the next poll's three requests.
    void PlanNextPoll()
    {
        model_.Advance(milliseconds(line_.NowMs() - modelTimeMs_));
        modelTimeMs_ = line_.NowMs();
        hangUpCode_.reset();
        writesBefore_ = line_.Writes().size();
        for (std::uint8_t code : RequestCodes) {
            const unitsim::Behaviour behaviour = behaviours_.ForNextRequest(rng_);
            const unitsim::ReplyPlan plan =
                unitsim::PlanReply(behaviour, unitsim::BuildReply(code, model_.DataFor(code)), ResponseDelay, rng_);
            line_.AnswerRequest(code, ScriptOf(plan));
            if (plan.hangUp && !hangUpCode_)
                hangUpCode_ = code;
        }
    }

    // At every message pass of the poll: the line goes away once the fatal request is out.
    void OnMessages()
    {
        const auto& writes = line_.Writes();
        if (!hangUpCode_ || writes.size() == writesBefore_ || writes.back().bytes[RequestCodeIndex] != *hangUpCode_)
            return;
        line_.MarkGone(Port);
        backAtMs_ = line_.NowMs() + static_cast<std::uint64_t>(HangUpTime.count());
        hangUpCode_.reset();
        ++hangUps_;
    }

    int HangUps() const { return hangUps_; }

private:
    kalvo::FakeSerialSystem& line_;
    unitsim::BurnerModel model_;
    std::mt19937 rng_;
    unitsim::RandomBehaviour behaviours_;
    std::uint64_t modelTimeMs_ = 0;
    std::optional<std::uint8_t> hangUpCode_;
    std::size_t writesBefore_ = 0;
    std::optional<std::uint64_t> backAtMs_;
    bool reconnectPending_ = false;
    int hangUps_ = 0;
};

}  // namespace

RunResult RunOnFakeLine(int cycles, std::uint32_t seed, const kalvo::LanguageLines& language)
{
    kalvo::FakeSerialSystem line;
    CountingSerialSystem serial(line);
    SoakWindow window;
    FakeUnit unit(line, seed);
    window.onMessages = [&unit] { unit.OnMessages(); };
    const kalvo::test::ProgramStateGuard state(&serial, &window);
    uGlobal::PortNumber = Port;
    uGlobal::OpenPort();

    RunResult result;
    result.limitMs = CycleLimitMs;
    ReopenWatch reopen;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        if (unit.BetweenPolls())
            reopen.DeviceCameBack();
        unit.PlanNextPoll();
        const std::uint64_t start = line.NowMs();
        result.cyclesWithData += Poll(language, window) ? 1 : 0;
        const auto elapsed = static_cast<std::uint32_t>(line.NowMs() - start);
        result.slowestMs = std::max(result.slowestMs, elapsed);
        if (elapsed > result.limitMs)
            result.Violation(cycle, "took " + std::to_string(elapsed) + " ms");
        if (!reopen.PollDone(PortIsLive(), serial.Opens()))
            result.Violation(cycle, "the port came back but was not opened within two polls");
        ++result.cycles;
    }
    for (std::size_t asked : line.Port(Port).readRequests)
        if (asked > ReceiveBufferSize)
            result.Violation(result.cycles, "a read asked for " + std::to_string(asked) + " bytes");
    result.hangUps = unit.HangUps();
    result.reopens = serial.Opens() - 1;
    return result;
}

}  // namespace soak
