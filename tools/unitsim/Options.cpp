#include "tools/unitsim/Options.h"

#include <charconv>
#include <functional>
#include <map>

namespace unitsim {
namespace {

// A whole decimal number within [low, high], or nothing.
std::optional<long long> ParseNumber(const std::string& text, long long low, long long high)
{
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < low || value > high)
        return std::nullopt;
    return value;
}

using ValueHandler = std::function<std::string(Options&, const std::string&)>;  // returns an error

// A handler for an option that takes a whole number from low to high.
ValueHandler NumberOption(const std::string& option, long long low, long long high,
                          std::function<void(Options&, long long)> store)
{
    return [=](Options& options, const std::string& text) {
        const auto number = ParseNumber(text, low, high);
        if (!number)
            return option + " needs a whole number from " + std::to_string(low) + " to " + std::to_string(high);
        store(options, *number);
        return std::string();
    };
}

const std::map<std::string, ValueHandler>& ValueOptions()
{
    using std::chrono::milliseconds;
    static const std::map<std::string, ValueHandler> handlers = {
        {"--settings",
         [](Options& o, const std::string& v) {
             o.settingsPath = v;
             return v.empty() ? std::string("--settings needs a file name") : std::string();
         }},
        {"--com", NumberOption("--com", 1, 255, [](Options& o, long long n) { o.comNumber = static_cast<int>(n); })},
        {"--reply-delay",
         NumberOption("--reply-delay", 0, 1'000, [](Options& o, long long n) { o.replyDelay = milliseconds(n); })},
        {"--hangup-time",
         NumberOption("--hangup-time", 0, 60'000, [](Options& o, long long n) { o.hangUpTime = milliseconds(n); })},
        {"--hold-at",
         NumberOption("--hold-at", 0, 86'400'000, [](Options& o, long long n) { o.holdAt = milliseconds(n); })},
        {"--seed", NumberOption("--seed", 0, UINT32_MAX,
                                [](Options& o, long long n) { o.seed = static_cast<std::uint32_t>(n); })},
        {"--replay",
         [](Options& o, const std::string& v) {
             o.replayFolder = v;
             return v.empty() ? std::string("--replay needs a folder") : std::string();
         }},
        {"--speed", NumberOption("--speed", 1, 10'000, [](Options& o, long long n) { o.speed = static_cast<int>(n); })},
        {"--mode",
         [](Options& o, const std::string& v) {
             if (v == "random") {
                 o.behaviour.reset();
                 return std::string();
             }
             o.behaviour = ParseBehaviour(v);
             return o.behaviour ? std::string()
                                : "unknown mode '" + v +
                                      "' (normal, silent, short, long, late, flood, garbage, hangup, random)";
         }},
    };
    return handlers;
}

const std::map<std::string, bool Options::*>& SwitchOptions()
{
    static const std::map<std::string, bool Options::*> switches = {
        {"--pace", &Options::pace},
        {"--log", &Options::log},
        {"--help", &Options::help},
        {"-h", &Options::help},
        {"--version", &Options::version},
    };
    return switches;
}

}  // namespace

ParsedOptions ParseOptions(const std::vector<std::string>& arguments)
{
    ParsedOptions parsed;
    bool comGiven = false;
    for (std::size_t i = 0; i < arguments.size() && parsed.error.empty(); ++i) {
        std::string name = arguments[i];
        std::optional<std::string> value;
        if (const auto equals = name.find('='); name.starts_with("--") && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        if (const auto flag = SwitchOptions().find(name); flag != SwitchOptions().end()) {
            if (value)
                parsed.error = name + " takes no value";
            else
                parsed.options.*(flag->second) = true;
        } else if (const auto handler = ValueOptions().find(name); handler != ValueOptions().end()) {
            if (!value && i + 1 < arguments.size())
                value = arguments[++i];
            parsed.error = value ? handler->second(parsed.options, *value) : name + " needs a value";
            comGiven = comGiven || name == "--com";
        } else {
            parsed.error = "unknown option '" + arguments[i] + "'";
        }
    }
    if (parsed.error.empty() && comGiven && parsed.options.settingsPath.empty() && !parsed.options.help)
        parsed.error = "--com only has a use together with --settings";
    return parsed;
}

std::string UsageText()
{
    return "Usage: unitsim [OPTION]...\n"
           "Plays an Ombrel RZ burner control unit on a pseudo-terminal and prints the\n"
           "terminal's path. Runs until interrupted (SIGINT or SIGTERM).\n"
           "\n"
           "  --settings FILE     write COM<n>=<terminal> into section [Ports] of the settings\n"
           "                      FILE and make COM<n> the port Kalvo opens at start\n"
           "  --com N             the COM number for --settings, 1 to 255 (default 20)\n"
           "  --pace              send at the pace of a 9600-baud line with 2 stop bits, after\n"
           "                      the unit's response delay\n"
           "  --reply-delay MS    the unit's response delay with --pace, 0 to 1000 (default 20)\n"
           "  --mode MODE         how the unit answers: normal, silent, short, long, late,\n"
           "                      flood, garbage, hangup, or random to switch among them now\n"
           "                      and then (default normal)\n"
           "  --hangup-time MS    how long the line stays away after a hang-up before a new\n"
           "                      terminal appears, 0 to 60000 (default 3000)\n"
           "  --seed N            run the simulated burner from seed N (default: a fresh seed)\n"
           "  --hold-at MS        run the burner MS milliseconds from the seed, then hold it\n"
           "                      there: every answer stays the same\n"
           "  --replay DIR        play back the polls that kalvo-record saved in DIR\n"
           "                      (replies-*.kraw) instead of the simulated burner; ends\n"
           "                      after the last poll of the recording\n"
           "  --speed N           play the recording N times faster than it was recorded,\n"
           "                      1 to 10000 (default 1)\n"
           "  --log               print each request and the length of its answer to stderr\n"
           "  -h, --help          print this help and exit\n"
           "  --version           print the version and exit\n"
           "\n"
           "Exit status: 0 after an interrupt, --help or --version, 1 when the terminal or the settings\n"
           "file fails, 2 for a bad command line.\n";
}

}  // namespace unitsim
