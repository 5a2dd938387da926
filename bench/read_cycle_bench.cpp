// Whole read cycles through the POSIX serial backend against the unitsim program on a
// pseudo-terminal: a proper unit paced like its 9600-baud line, one whose replies carry stray bytes,
// one that floods the line at full speed and a silent one. Wall time against what the line allows,
// and the CPU time this process spends per cycle and as a share of a core while polling (the
// simulated unit runs in its own process and is not counted).
//
// Each scenario runs its cycles twice over, interleaved, against the same simulated unit: with the
// program's wait, which blocks on the port between passes, and with a wait that returns at once,
// the spinning loop that blocking wait replaces. The CPU saving is the ratio of the two.
//
// Usage: read_cycle_bench [--cycles N] [--silent-cycles N]
// (--silent-cycles: for each unit whose waits run to their limit, the long, flooding and silent one)

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "core/Protocol.h"
#include "core/SerialLine.h"
#include "core/uGlobal.h"
#include "testing/ProgramState.h"
#include "testing/RecordingWindow.h"
#include "testing/TempDir.h"
#include "testing/UnitsimProcess.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int ComNumber = 20;
constexpr int ReplyDelayMs = 20;
constexpr double BitsPerByte = 11;  // start bit, 8 data bits, 2 stop bits
constexpr double BaudRate = 9600;
constexpr double ReplyTimeLimitMs = 1000;
constexpr int ExchangesPerCycle = 3;
constexpr int RequestBytes = 8;
constexpr auto UnitStartLimit = 20s;
constexpr double PollIntervalMs = 2000;  // from the end of one poll to the start of the next
constexpr double CoreShareTargetPercent = 0.3;

const std::string TransferErrorText = "1    Transfer error. Check COM-Port.";

// How a cycle with the scenario's unit ends.
enum class Outcome {
    Answered,    // every wait ended on its exact reply length, the blocks filled
    Overlong,    // data copied, but the waits ran to their limit: more bytes came than a reply has
    Unanswered,  // nothing copied, every wait ran to its limit
};

// How the reply waits let their time pass: the program's way (blocking on the port, or pausing
// without one), or not at all, which turns every wait into a spinning loop.
struct WaitMode {
    bool spinning = false;
};

// The opened port, forwarding everything but the waits that the mode skips.
class SwitchableWaitPort final : public kalvo::SerialPort {
public:
    SwitchableWaitPort(std::unique_ptr<kalvo::SerialPort> port, const WaitMode& mode)
        : port_(std::move(port)), mode_(mode)
    {
    }

    void Configure() override { port_->Configure(); }
    void Purge() override { port_->Purge(); }
    std::size_t Write(const std::uint8_t* data, std::size_t count) override { return port_->Write(data, count); }
    std::size_t BytesWaiting() override { return port_->BytesWaiting(); }
    std::size_t Read(std::uint8_t* buffer, std::size_t count) override { return port_->Read(buffer, count); }
    void WaitForInput(std::size_t seen, std::chrono::milliseconds limit) override
    {
        if (!mode_.spinning)
            port_->WaitForInput(seen, limit);
    }
    bool DeviceGone() const override { return port_->DeviceGone(); }

private:
    std::unique_ptr<kalvo::SerialPort> port_;
    const WaitMode& mode_;
};

// The platform's serial system, likewise.
class SwitchableWaitSystem final : public kalvo::SerialSystem {
public:
    SwitchableWaitSystem(std::unique_ptr<kalvo::SerialSystem> system, const WaitMode& mode)
        : system_(std::move(system)), mode_(mode)
    {
    }

    kalvo::OpenOutcome Open(int portNumber) override { return system_->Open(portNumber); }
    std::uint32_t TickCount() override { return system_->TickCount(); }
    void Pause(std::chrono::milliseconds limit) override
    {
        if (!mode_.spinning)
            system_->Pause(limit);
    }

private:
    std::unique_ptr<kalvo::SerialSystem> system_;
    const WaitMode& mode_;
};

double ProcessCpuMs()
{
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Times this process gave up the processor of its own accord: the passes in which the wait blocked.
long VoluntarySwitches()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw;
}

struct CycleSample {
    double wallMs;
    double cpuMs;
    long blocks;
    bool asExpected;  // the outcome the scenario's unit should give
};

bool EndedAs(Outcome outcome, const kalvo::test::RecordingWindow& window)
{
    switch (outcome) {
    case Outcome::Answered:
        return window.panels[1].empty() && !uGlobal::ReplyTimedOut;
    case Outcome::Overlong:
        return window.panels[1].empty() && uGlobal::ReplyTimedOut;
    case Outcome::Unanswered:
        break;
    }
    return window.panels[1] == TransferErrorText && uGlobal::ReplyTimedOut;
}

CycleSample MeasureCycle(const kalvo::test::RecordingWindow& window, Outcome outcome)
{
    const long blocksBefore = VoluntarySwitches();
    const double cpuBefore = ProcessCpuMs();
    const Clock::time_point start = Clock::now();
    uGlobal::ReadCycle();
    const double wallMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    const double cpuMs = ProcessCpuMs() - cpuBefore;
    const long blocks = VoluntarySwitches() - blocksBefore;

    return {wallMs, cpuMs, blocks, EndedAs(outcome, window)};
}

struct Summary {
    std::size_t cycles = 0;
    std::size_t unexpected = 0;
    double medianWallMs = 0, minWallMs = 0, maxWallMs = 0;
    double meanCpuMs = 0, maxCpuMs = 0;
    double meanBlocks = 0;
};

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

Summary Summarise(const std::vector<CycleSample>& samples)
{
    Summary summary;
    summary.cycles = samples.size();
    if (samples.empty())
        return summary;
    std::vector<double> walls;
    double cpu = 0, blocks = 0;
    for (const CycleSample& sample : samples) {
        walls.push_back(sample.wallMs);
        cpu += sample.cpuMs;
        blocks += static_cast<double>(sample.blocks);
        summary.maxCpuMs = std::max(summary.maxCpuMs, sample.cpuMs);
        summary.unexpected += sample.asExpected ? 0 : 1;
    }
    summary.medianWallMs = Median(walls);
    summary.minWallMs = *std::min_element(walls.begin(), walls.end());
    summary.maxWallMs = *std::max_element(walls.begin(), walls.end());
    summary.meanCpuMs = cpu / static_cast<double>(samples.size());
    summary.meanBlocks = blocks / static_cast<double>(samples.size());
    return summary;
}

// Hands the device link this bench's serial system and window, and takes them back (with the
// port) when it goes, also when a scenario fails half-way.
class InstalledLink {
public:
    InstalledLink(kalvo::SerialSystem& serial, kalvo::WindowLink& window) : guard_(&serial, &window) {}

private:
    kalvo::test::ProgramStateGuard guard_;
};

struct Scenario {
    const char* name;
    const char* unitMode;  // unitsim --mode
    bool paced;            // each byte takes its time on the line, else each answer comes in one piece
    Outcome outcome;
    int cycles;            // each way
    double cpuTargetMs;
};

struct ScenarioResult {
    Summary waiting;
    Summary spinning;
};

// Runs the scenario's cycles against a freshly started unit, found the way the program finds it:
// through the "Ports" entry unitsim writes into the settings file.
ScenarioResult RunScenario(const Scenario& scenario)
{
    kalvo::test::TempDir folder;
    const std::string settings = folder.file("Kalvo.ini");
    std::vector<std::string> arguments{"--reply-delay", std::to_string(ReplyDelayMs), "--seed", "1", "--settings",
        settings, "--com", std::to_string(ComNumber), "--mode", scenario.unitMode};
    if (scenario.paced)
        arguments.push_back("--pace");
    kalvo::test::UnitsimProcess unit(UNITSIM_PROGRAM, arguments);
    if (unit.NextLine(UnitStartLimit).empty())
        throw std::runtime_error("unitsim announced no terminal");

    WaitMode mode;
    SwitchableWaitSystem serial(kalvo::MakePlatformSerialSystem(settings), mode);
    kalvo::test::RecordingWindow window;
    const InstalledLink link(serial, window);
    uGlobal::PortNumber = ComNumber;
    uGlobal::OpenPort();
    if (!uGlobal::PortHandle)
        throw std::runtime_error("the unit's port COM" + std::to_string(ComNumber) + " does not open");
    uGlobal::PortHandle = std::make_unique<SwitchableWaitPort>(std::move(uGlobal::PortHandle), mode);

    MeasureCycle(window, scenario.outcome);  // warm-up: first use of the line and the unit
    std::vector<CycleSample> waiting, spinning;
    for (int i = 0; i < 2 * scenario.cycles; ++i) {
        // Interleaved, so both ways see the same load on the machine.
        mode.spinning = i % 2 == 1;
        (mode.spinning ? spinning : waiting).push_back(MeasureCycle(window, scenario.outcome));
    }

    return {Summarise(waiting), Summarise(spinning)};
}

const char* Verdict(bool met)
{
    return met ? "met" : "MISSED";
}

void PrintRow(const char* way, const Summary& summary)
{
    std::printf("  %-9s %4zu %9.1f ms  [%7.1f .. %7.1f] %10.3f ms %9.3f ms %9.0f\n", way, summary.cycles,
                summary.medianWallMs, summary.minWallMs, summary.maxWallMs, summary.meanCpuMs, summary.maxCpuMs,
                summary.meanBlocks);
}

void PrintTable(const Scenario& scenario, const ScenarioResult& result)
{
    std::printf("\n%s (unitsim%s --reply-delay %d --mode %s)\n", scenario.name, scenario.paced ? " --pace" : "",
        ReplyDelayMs, scenario.unitMode);
    std::printf("  %-9s %4s %12s  %18s %13s %12s %9s\n", "wait", "runs", "wall median", "[min .. max]",
                "CPU mean", "CPU max", "blocks");
    PrintRow("blocking", result.waiting);
    PrintRow("spinning", result.spinning);
    for (const Summary* summary : {&result.waiting, &result.spinning})
        if (summary->unexpected)
            std::printf("  WARNING: %zu cycles did not end as this unit should make them end\n", summary->unexpected);
}

// The CPU of a cycle, alone and spread over the time from the start of one poll to the start of the
// next, which is the share of a core the program takes while it polls this unit.
void PrintCpuTargets(const Scenario& scenario, const ScenarioResult& result)
{
    const double ratio = result.spinning.meanCpuMs / std::max(result.waiting.meanCpuMs, 1e-9);
    std::printf("  CPU:   %.3f ms per cycle, target < %.0f ms: %s; spinning / blocking = %.0fx, target >= 100x: %s\n",
        result.waiting.meanCpuMs, scenario.cpuTargetMs, Verdict(result.waiting.meanCpuMs < scenario.cpuTargetMs), ratio,
        Verdict(ratio >= 100));
}

double CoreSharePercent(const Summary& summary)
{
    return 100 * summary.meanCpuMs / (summary.medianWallMs + PollIntervalMs);
}

// What the line itself allows for an answered cycle: every byte of the three requests and the three
// replies at 11 bits at 9600 baud, plus the unit's response delay before each reply.
void PrintAnsweredTargets(const Scenario& scenario, const ScenarioResult& result)
{
    const double byteMs = BitsPerByte / BaudRate * 1e3;
    const int replyBytes = static_cast<int>(kalvo::StatusReplyLength + kalvo::TimingReplyLength +
                                            kalvo::ErrorHistoryReplyLength);
    const int requestBytes = ExchangesPerCycle * RequestBytes;
    const double delaysMs = ExchangesPerCycle * ReplyDelayMs;
    const double lineLimitMs = (requestBytes + replyBytes) * byteMs + delaysMs;
    // The pseudo-terminal hands the requests over at once; only the replies are paced.
    const double ptyFloorMs = replyBytes * byteMs + delaysMs;
    const double wallMs = result.waiting.medianWallMs;

    std::printf("  line limit: (%d request + %d reply) bytes x %.0f bits / %.0f baud + %d x %d ms delay = %.1f ms\n",
                requestBytes, replyBytes, BitsPerByte, BaudRate, ExchangesPerCycle, ReplyDelayMs, lineLimitMs);
    std::printf("  pty floor:  %d reply bytes x %.0f bits / %.0f baud + %d x %d ms delay = %.1f ms "
                "(requests cross a pseudo-terminal at once)\n",
                replyBytes, BitsPerByte, BaudRate, ExchangesPerCycle, ReplyDelayMs, ptyFloorMs);
    std::printf("  wall:  %.1f ms = %+.1f%% of the line limit, %+.1f ms over the pty floor; target within 5%%"
                " of the line limit: %s\n",
                wallMs, (wallMs / lineLimitMs - 1) * 100, wallMs - ptyFloorMs,
                Verdict(wallMs <= lineLimitMs * 1.05));
    PrintCpuTargets(scenario, result);
}

// A cycle whose waits run to their limit is three waits that each end on their first look after
// more than 1000 ms.
void PrintTimedOutTargets(const Scenario& scenario, const ScenarioResult& result)
{
    const double floorMs = ExchangesPerCycle * ReplyTimeLimitMs;
    const double wallMs = result.waiting.medianWallMs;
    std::printf("  floor: %d waits x %.0f ms = %.0f ms; wall %.1f ms, %+.1f ms over it\n", ExchangesPerCycle,
                ReplyTimeLimitMs, floorMs, wallMs, wallMs - floorMs);
    PrintCpuTargets(scenario, result);
}

// One line per unit: the share of a core while polling it, the figure the units are compared by.
void PrintCoreShares(const std::vector<std::pair<Scenario, ScenarioResult>>& results)
{
    std::printf("\nShare of a core while polling (CPU per cycle / (cycle + %.0f ms to the next poll)), "
                "target < %.1f%%\n",
        PollIntervalMs, CoreShareTargetPercent);
    std::printf("  %-8s %14s %12s %10s\n", "unit", "CPU per poll", "poll period", "share");
    for (const auto& [scenario, result] : results) {
        const double share = CoreSharePercent(result.waiting);
        std::printf("  %-8s %11.3f ms %9.0f ms %9.3f%%  %s\n", scenario.unitMode, result.waiting.meanCpuMs,
            result.waiting.medianWallMs + PollIntervalMs, share, Verdict(share < CoreShareTargetPercent));
    }
}

int CountOption(int argc, char** argv, const std::string& name, int fallback)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (argv[i] == name) {
            const int count = std::atoi(argv[i + 1]);
            return count > 0 ? count : fallback;
        }
    }
    return fallback;
}

}  // namespace

int main(int argc, char** argv)
{
    const int answeredCycles = CountOption(argc, argv, "--cycles", 20);
    const int timedOutCycles = CountOption(argc, argv, "--silent-cycles", 3);
    const Scenario scenarios[] = {
        {"Answered cycles", "normal", true, Outcome::Answered, answeredCycles, 2},
        {"Replies with stray bytes", "long", false, Outcome::Overlong, timedOutCycles, 5},
        {"A unit flooding the line", "flood", true, Outcome::Overlong, timedOutCycles, 5},
        {"Unanswered cycles", "silent", false, Outcome::Unanswered, timedOutCycles, 5},
    };

    std::printf("Read cycle through the POSIX backend against unitsim on a pseudo-terminal\n");
    std::printf("wall: per cycle; CPU: this process only; blocks: voluntary context switches per cycle\n");
    try {
        std::vector<std::pair<Scenario, ScenarioResult>> results;
        std::size_t unexpected = 0;
        for (const Scenario& scenario : scenarios) {
            const ScenarioResult result = RunScenario(scenario);
            PrintTable(scenario, result);
            if (scenario.outcome == Outcome::Answered)
                PrintAnsweredTargets(scenario, result);
            else
                PrintTimedOutTargets(scenario, result);
            unexpected += result.waiting.unexpected + result.spinning.unexpected;
            results.emplace_back(scenario, result);
        }
        PrintCoreShares(results);
        return unexpected == 0 ? 0 : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "read_cycle_bench: %s\n", error.what());
        return 1;
    }
}
