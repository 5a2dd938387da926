#include "tools/soak/Soak.h"

#include <filesystem>
#include <stdexcept>
#include <thread>

#include "core/posix/SerialPosix.h"
#include "core/uGlobal.h"
#include "testing/ProgramState.h"
#include "testing/UnitsimProcess.h"

namespace soak {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int Port = 20;
constexpr auto StartLimit = 10s;
// Real time on a shared machine: a cycle may also wait for the scheduler now and then.
constexpr std::uint32_t SchedulingAllowanceMs = 1000;
// A pulled adapter stays away for this long; short, so that a run sees many comebacks.
constexpr const char* HangUpTimeMs = "500";

// A folder of its own for the settings file and an empty device tree, removed at the end.
class ScratchFolder {
public:
    ScratchFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kalvo-soak-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a scratch folder");
        path_ = pattern;
        std::filesystem::create_directory(path_ / "dev");
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string Settings() const { return (path_ / "Kalvo.ini").string(); }
    std::string DeviceRoot() const { return (path_ / "dev").string(); }

private:
    std::filesystem::path path_;
};

}  // namespace

RunResult RunOnPseudoTerminal(int cycles, const std::string& unitsimProgram, std::uint32_t seed,
                              std::chrono::milliseconds gap, const kalvo::LanguageLines& language)
{
    const ScratchFolder folder;
    kalvo::test::UnitsimProcess unit(unitsimProgram,
                                     {"--settings", folder.Settings(), "--com", std::to_string(Port), "--mode",
                                      "random", "--hangup-time", HangUpTimeMs, "--seed", std::to_string(seed)});
    if (unit.NextLine(StartLimit).empty())
        throw std::runtime_error(unitsimProgram + " announced no terminal");

    kalvo::posix::PosixSerialSystem posix(kalvo::posix::PortMap(folder.DeviceRoot(), folder.Settings()));
    CountingSerialSystem serial(posix);
    SoakWindow window;
    const kalvo::test::ProgramStateGuard state(&serial, &window);
    uGlobal::PortNumber = Port;
    uGlobal::OpenPort();
    if (!uGlobal::PortHandle)
        throw std::runtime_error("cannot open the simulated unit's terminal");

    RunResult result;
    result.limitMs = CycleLimitMs + SchedulingAllowanceMs;
    ReopenWatch reopen;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        // unitsim announces each new terminal once the old one hung up.
        if (!unit.NextLine(0ms).empty()) {
            ++result.hangUps;
            reopen.DeviceCameBack();
        }
        const Clock::time_point start = Clock::now();
        result.cyclesWithData += Poll(language, window) ? 1 : 0;
        const auto elapsed =
            static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
        result.slowestMs = std::max(result.slowestMs, elapsed);
        if (elapsed > result.limitMs)
            result.Violation(cycle, "took " + std::to_string(elapsed) + " ms");
        if (!reopen.PollDone(PortIsLive(), serial.Opens()))
            result.Violation(cycle, "the unit came back but its terminal was not opened within two polls");
        ++result.cycles;
        std::this_thread::sleep_for(gap);  // the polling timer's pause between polls
    }
    result.reopens = serial.Opens() - 1;
    return result;
}

}  // namespace soak
