// soak: runs Kalvo's polling for thousands of cycles against a simulated unit that misbehaves at
// random (silent, short, long, late bytes, floods, garbage, hang-ups and comebacks): first on the
// scripted fake line in simulated time, then over a real pseudo-terminal against the unitsim
// program. Reports the cycles run, the slowest cycle, peak resident memory and leaks, and fails
// when a cycle broke its bound.

#include <exception>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "tools/soak/Soak.h"

#if defined(__SANITIZE_ADDRESS__)
#define KALVO_SOAK_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KALVO_SOAK_LEAK_CHECK 1
#endif
#endif
#ifdef KALVO_SOAK_LEAK_CHECK
#include <sanitizer/lsan_interface.h>
#endif

namespace {

constexpr int ExitBoundBroken = 1;
constexpr int ExitBadCommandLine = 2;

struct Options {
    int fakeCycles = 10'000;
    int ptyCycles = 300;
    std::uint32_t seed = 1;
    std::chrono::milliseconds gap{200};
    std::string unitsim = UNITSIM_PROGRAM;
    std::string language = KALVO_LANGUAGE_FILE;
};

const char* const Usage =
    "Usage: soak [--short] [--fake-cycles N] [--pty-cycles N] [--seed N] [--gap-ms N]\n"
    "            [--unitsim PROGRAM] [--language MY.LNG]\n"
    "  --short          the CI run: 2000 fake-line cycles and 20 pseudo-terminal cycles\n"
    "  --fake-cycles N  cycles on the scripted fake line in simulated time (default 10000)\n"
    "  --pty-cycles N   cycles over a pseudo-terminal against unitsim --mode random (default 300)\n"
    "  --seed N         seed of the simulated unit (default 1)\n"
    "  --gap-ms N       real-time pause between pseudo-terminal polls (default 200)\n"
    "  --unitsim PROGRAM  the simulated unit's program (default: the one built with the soak)\n"
    "  --language FILE  the language file (default: the MY.LNG delivered with Kalvo)\n"
    "Exit status: 0 when every cycle kept its bounds, 1 when one did not, 2 for a bad command line.\n";

std::optional<long long> Number(const std::string& text)
{
    try {
        std::size_t used = 0;
        const long long value = std::stoll(text, &used);
        if (used == text.size() && value >= 0)
            return value;
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

std::optional<Options> ParseOptions(const std::vector<std::string>& arguments)
{
    Options options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& name = arguments[i];
        if (name == "--short") {
            options.fakeCycles = 2'000;
            options.ptyCycles = 20;
            continue;
        }
        if (i + 1 == arguments.size())
            return std::nullopt;
        const std::string& value = arguments[++i];
        const auto number = Number(value);
        if (name == "--unitsim")
            options.unitsim = value;
        else if (name == "--language")
            options.language = value;
        else if (!number || *number > 1'000'000'000)
            return std::nullopt;
        else if (name == "--fake-cycles")
            options.fakeCycles = static_cast<int>(*number);
        else if (name == "--pty-cycles")
            options.ptyCycles = static_cast<int>(*number);
        else if (name == "--seed")
            options.seed = static_cast<std::uint32_t>(*number);
        else if (name == "--gap-ms")
            options.gap = std::chrono::milliseconds(*number);
        else
            return std::nullopt;
    }
    return options;
}

// A figure of /proc/self/status in KiB, such as VmHWM, the peak resident memory so far.
long ProcessStatusKiB(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field + ":", 0) == 0)
            return std::stol(line.substr(field.size() + 1));
    return -1;
}

bool Report(const std::string& name, const soak::RunResult& result)
{
    std::cout << name << ": " << result.cycles << " cycles, " << result.cyclesWithData << " with data, "
              << result.hangUps << " hang-ups, " << result.reopens << " reopens; slowest cycle "
              << result.slowestMs << " ms (limit " << result.limitMs << " ms)\n";
    if (result.brokenBounds > 0)
        std::cout << "  " << result.brokenBounds << " bounds broken; the first of them:\n";
    for (const std::string& violation : result.violations)
        std::cout << "  BOUND BROKEN, " << violation << "\n";
    return result.brokenBounds == 0;
}

// True when no leak was found, or when the build has no leak checker.
bool ReportLeaks()
{
#ifdef KALVO_SOAK_LEAK_CHECK
    const bool leaked = __lsan_do_recoverable_leak_check() != 0;
    std::cout << "leaks: " << (leaked ? "FOUND (see the report above)" : "none") << "\n";
    return !leaked;
#else
    std::cout << "leaks: not checked (build with KALVO_SANITIZE=ON to check)\n";
    return true;
#endif
}

int Run(const Options& options)
{
    kalvo::LanguageLines language;
    kalvo::LoadLanguage(options.language, language);
    const long peakAtStart = ProcessStatusKiB("VmHWM");

    bool kept = Report("fake line", soak::RunOnFakeLine(options.fakeCycles, options.seed, language));
    // The fake line keeps a record of every write (about 100 bytes each), so the peak grows with
    // the number of fake cycles; the pseudo-terminal run that follows has no such records.
    const long peakAfterFakeLine = ProcessStatusKiB("VmHWM");
    if (options.ptyCycles > 0)
        kept = Report("pseudo-terminal",
                      soak::RunOnPseudoTerminal(options.ptyCycles, options.unitsim, options.seed, options.gap,
                                                language)) && kept;

    std::cout << "peak resident memory: " << peakAtStart << " KiB at the start, " << peakAfterFakeLine
              << " KiB after the fake line, " << ProcessStatusKiB("VmHWM") << " KiB at the end\n";
    kept = ReportLeaks() && kept;
    std::cout << (kept ? "soak: every cycle kept its bounds\n" : "soak: FAILED\n");
    return kept ? 0 : ExitBoundBroken;
}

}  // namespace

int main(int argc, char** argv)
{
    const auto options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!options) {
        std::cerr << Usage;
        return ExitBadCommandLine;
    }
    try {
        return Run(*options);
    } catch (const std::exception& error) {
        std::cerr << "soak: " << error.what() << "\n";
        return ExitBoundBroken;
    }
}
