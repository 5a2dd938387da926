// kalvo-record: records an Ombrel RZ unit unattended, and makes the night report of a recording.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>
#endif

#include "core/KalvoError.h"
#include "core/RegularFile.h"
#include "core/Settings.h"
#include "core/uGlobal.h"
#include "record/ConsoleStatus.h"
#include "record/DayFileRetention.h"
#include "record/FolderRecorder.h"
#include "record/NightReport.h"
#include "record/ProgramVersion.h"
#include "record/RecordConfig.h"
#include "record/RecordOptions.h"
#include "record/RecordSession.h"
#include "record/ServiceStatus.h"
#ifdef KALVO_WITH_MQTT
#include "record/mqtt/MqttCommandLine.h"
#endif

namespace {

using namespace kalvo::record;

constexpr int ExitFailure = 1;
constexpr int ExitBadCommandLine = 2;
constexpr int ExitDataLost = 3;  // the report or decoding was made, but parts of the recording were unreadable
constexpr auto StopCheckSlice = std::chrono::milliseconds(100);

// A device given by its path is opened under a COM number of its own, which no message shows.
constexpr int DevicePortNumber = 1;
// Where the service kalvo-record@NAME finds NAME.conf, and its folder (the unit's StateDirectory).
const ServiceFolders SystemServiceFolders{"/etc/kalvo/record", "/var/lib/kalvo"};
constexpr auto MegabyteBytes = 1'000'000ULL;

volatile std::sig_atomic_t stopRequested = 0;

// Whether the broker is connected, for the service status; nothing without a broker.
using BrokerState = std::function<std::optional<bool>()>;
// Sinks besides the files (the broker, where built in), given the recorder and the port.
using AddSinks = std::function<BrokerState(Recorder&, const RecordOptions&, int portNumber)>;

// One line with a single write: the broker's network thread says its lines on standard error while
// the main thread writes its own, and on one terminal or log two lines must never run together.
void SayLine(std::ostream& out, const std::string& line)
{
    const std::string whole = line + '\n';
    out.write(whole.data(), static_cast<std::streamsize>(whole.size()));
    out.flush();
}

#ifdef _WIN32
BOOL WINAPI OnConsoleControl(DWORD)
{
    // Ctrl-C, Ctrl-Break, closing the console, log-off, shutdown: end after the current poll.
    stopRequested = 1;
    return TRUE;
}

void InstallStopHandlers()
{
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

bool OutputIsTerminal()
{
    return ::_isatty(::_fileno(stdout));
}

std::size_t TerminalColumns()
{
    CONSOLE_SCREEN_BUFFER_INFO screen{};
    if (!::GetConsoleScreenBufferInfo(::GetStdHandle(STD_OUTPUT_HANDLE), &screen))
        return 0;
    return static_cast<std::size_t>(screen.srWindow.Right - screen.srWindow.Left + 1);
}

std::filesystem::path ProgramFolder()
{
    wchar_t path[MAX_PATH * 4];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
    return std::filesystem::path(std::wstring(path, length)).parent_path();
}

void NotifyServiceManager(const std::string&) {}
#else
// systemd's notify socket (NOTIFY_SOCKET); nothing happens when the recorder is no such service.
void NotifyServiceManager(const std::string& assignments)
{
    ::sd_notify(0, assignments.c_str());
}

void OnStopSignal(int)
{
    stopRequested = 1;
}

void InstallStopHandlers()
{
    struct sigaction action{};
    action.sa_handler = OnStopSignal;
    ::sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    // A closed terminal or SSH session ends recording as SIGTERM does; started under nohup, which
    // ignores the hang-up, recording goes on.
    struct sigaction hangUp { };
    if (::sigaction(SIGHUP, nullptr, &hangUp) == 0 && hangUp.sa_handler != SIG_IGN)
        ::sigaction(SIGHUP, &action, nullptr);
}

bool OutputIsTerminal()
{
    return ::isatty(STDOUT_FILENO);
}

std::size_t TerminalColumns()
{
    winsize size{};
    return ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

std::filesystem::path ProgramFolder()
{
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
}
#endif

void PauseUnlessStopped(std::chrono::milliseconds span)
{
    const auto end = std::chrono::steady_clock::now() + span;
    while (!stopRequested && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(StopCheckSlice, end - std::chrono::steady_clock::now()));
}

std::string FileOrBeside(const std::string& given, const char* name)
{
    return given.empty() ? PathText(ProgramFolder() / name) : given;
}

// A missing language file leaves state texts empty and column titles at their keys, a words file
// that cannot be read leaves the recorder's words English; the numbers are what a night's
// recording is for, so it goes on.
RecordLanguage LoadLanguageOrWarn(const std::string& path)
{
    kalvo::LanguageLines language;
    try {
        kalvo::LoadLanguage(path, language);
    } catch (const kalvo::KalvoError& error) {
        std::cerr << "kalvo-record: " << kalvo::ErrorBoxText(error.what()) << " (" << path
                  << "): state texts stay empty\n";
    }
    try {
        return LoadRecordLanguage(kalvo::FilePath(path), language, ProgramFolder() / "lang");
    } catch (const kalvo::KalvoError& error) {
        std::cerr << "kalvo-record: " << error.what() << ": the recorder's words stay English\n";
    }
    return RecordLanguage(language);
}

// A link is written through to the file it names: renaming the new report over the link itself
// would cut the link.
std::filesystem::path ThroughLinks(std::filesystem::path path)
{
    constexpr int MostLinksFollowed = 40;  // as the system does before it gives up on a loop
    std::error_code error;
    for (int hop = 0; hop < MostLinksFollowed && std::filesystem::is_symlink(path, error); ++hop) {
        const std::filesystem::path target = std::filesystem::read_symlink(path, error);
        if (error)
            break;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return path;
}

// Each part of the recording that could not be read, on standard error; the exit status says
// whether any was.
int TellMissing(const std::vector<MissingSpan>& missing)
{
    for (const MissingSpan& span : missing)
        std::cerr << "kalvo-record: missing: " << MissingSpanText(span) << std::endl;
    return missing.empty() ? 0 : ExitDataLost;
}

int MakeReport(const RecordOptions& options, const RecordLanguage& language)
{
    const std::filesystem::path output =
        ThroughLinks(options.reportFile.empty() ? kalvo::FilePath(options.reportFolder) / "night-report.html"
                                                : kalvo::FilePath(options.reportFile));
    const std::vector<MissingSpan> missing = WriteNightReport(kalvo::FilePath(options.reportFolder), language, output);
    if (!options.quiet)
        std::cout << PathText(output) << '\n';
    return TellMissing(missing);
}

int Decode(const RecordOptions& options, const RecordLanguage& language)
{
    const DecodedRecording decoded =
        DecodeRecording(kalvo::FilePath(options.decodeFolder), kalvo::FilePath(options.outFolder), language);
    if (!options.quiet)
        std::cout << language.texts.Filled(NightWord::DecodedInto, {std::to_string(decoded.polls), options.outFolder})
                  << std::endl;
    return TellMissing(decoded.missing);
}

// A port held by another program cannot be recorded: a second recorder would log a lost link at
// every poll. A port not there yet (an adapter not plugged in) is said, and tried at every poll.
void CheckPortAtStart(kalvo::SerialSystem& serial, int port, const std::string& name)
{
    const kalvo::OpenOutcome tried = serial.Open(port);
    if (tried.inUse)
        throw RecordError(name + " is in use by another program");
    if (!tried.port)
        std::cerr << "kalvo-record: " << name
                  << (tried.accessDenied ? " cannot be opened: permission denied" : " does not exist")
                  << "; it is tried again at every poll" << std::endl;
}

std::unique_ptr<kalvo::SerialSystem> MakeSerialSystem(
    [[maybe_unused]] const RecordOptions& options, const std::string& settings)
{
#ifndef _WIN32
    if (!options.portDevice.empty())
        return kalvo::MakeDeviceSerialSystem(settings, DevicePortNumber, options.portDevice);
#endif
    return kalvo::MakePlatformSerialSystem(settings);
}

void AddRetention(FolderRecorder& recording, const std::filesystem::path& folder, const RecordOptions& options)
{
    RetentionLimits limits;
    limits.days = options.keepDays;
    if (options.keepMegabytes)
        limits.bytes = static_cast<std::uint64_t>(*options.keepMegabytes) * MegabyteBytes;
    if (limits.Any())
        recording.AddSink(std::make_unique<RetentionSink>(
            folder, limits, [](const std::string& line) { std::cerr << "kalvo-record: " << line << std::endl; }));
}

// The test of the service watchdog has the poll loop stop after this many polls, as a hang would,
// while the rest of the program (the broker's thread) runs on.
void HangWhenTestAsks(long long polls)
{
    static const char* const hangAfter = std::getenv("KALVO_RECORD_HANG_AFTER_POLLS");
    if (hangAfter && polls >= std::atoll(hangAfter))
        for (;;)
            std::this_thread::sleep_for(std::chrono::hours(1));
}

// The folders a start is about to make; those still empty when it ends (a start refused after the
// folder was made, or stopped before its first poll) are taken away again.
class FoldersLeftEmpty {
public:
    explicit FoldersLeftEmpty(const std::filesystem::path& folder)
    {
        std::error_code error;
        for (std::filesystem::path missing = std::filesystem::absolute(folder, error);
             !missing.empty() && !std::filesystem::exists(missing, error) && missing != missing.parent_path();
             missing = missing.parent_path())
            made_.push_back(missing);
    }
    ~FoldersLeftEmpty()
    {
        std::error_code error;
        for (const std::filesystem::path& made : made_)  // the deepest first; one not empty stays
            if (!std::filesystem::remove(made, error))
                break;
    }
    FoldersLeftEmpty(const FoldersLeftEmpty&) = delete;
    FoldersLeftEmpty& operator=(const FoldersLeftEmpty&) = delete;

private:
    std::vector<std::filesystem::path> made_;
};

int Record(const RecordOptions& options, const RecordLanguage& language, const AddSinks& addSinks)
{
    const std::string settings = FileOrBeside(options.settingsFile, "kalvo.ini");
    const int port = !options.portDevice.empty() ? DevicePortNumber
        : options.portNumber                     ? *options.portNumber
                             : kalvo::ReadIniInteger(settings, "Main", "COM", uGlobal::NoPort);
    if (port < 1) {
        std::cerr << "kalvo-record: no port to record: give --port COMn or a device path, or choose one in Kalvo ("
                  << settings << ")\n";
        return ExitBadCommandLine;
    }
    const std::string portText = PortText(options, port);
    const std::filesystem::path folder = RecordFolder(options, port);
    const std::unique_ptr<kalvo::SerialSystem> serial = MakeSerialSystem(options, settings);
    uGlobal::Serial = serial.get();
    CheckPortAtStart(*serial, port, portText);  // before the folder is made: a refused start leaves nothing
    const FoldersLeftEmpty madeForThisStart(folder);
    FolderRecorder recording(folder, language, ProcessHolder(portText));
    AddRetention(recording, folder, options);

    Recorder& recorder = recording.GetRecorder();
    const auto mode = options.quiet         ? ConsoleStatus::Mode::Quiet
                      : OutputIsTerminal() ? ConsoleStatus::Mode::Terminal
                                           : ConsoleStatus::Mode::Log;
    auto status = std::make_unique<ConsoleStatus>(
        std::cout, mode, recorder, language.texts, [&recording] { return recording.FileBytes(); },
        PathText(std::filesystem::absolute(folder)), TerminalColumns);
    ConsoleStatus& shown = *status;
    const BrokerState broker = addSinks ? addSinks(recorder, options, port) : BrokerState();
    recording.AddSink(std::move(status));

    if (!options.quiet)
        SayLine(std::cout,
            language.texts.Filled(NightWord::RecordingInto, {portText, PathText(std::filesystem::absolute(folder))}));
    RecordSession session(recorder, {LocalNow, PauseUnlessStopped, [] { return stopRequested != 0; }});
    ServiceNotifier notifier(NotifyServiceManager);
    session.afterPoll = [&] {
        shown.ShowPoll();
        HangWhenTestAsks(recorder.Polls());
        notifier.AfterPoll(ServiceStatusLine(
            portText, recorder.Polls(), recorder.LockoutsSeen(), broker ? broker() : std::optional<bool>()));
    };
    try {
        session.Run(port, options.duration);
    } catch (const std::exception& error) {
        shown.Finish();
        uGlobal::ResetProgramState();
        // Only what had started can stop; a refusal at start says its reason alone.
        throw RecordError(std::string(error.what()) + ". Recording stopped.");
    }
    notifier.Stopping();
    uGlobal::ResetProgramState();
    if (!options.quiet)
        std::cout << shown.SummaryLine(LocalNow()) << std::endl;
    return 0;
}

// One option's value checked alone, for the line of the configuration file that gives it.
std::string CheckOption(const std::string& option, const std::string& value)
{
    std::vector<std::string> given{option};
    if (!value.empty())
        given.push_back(value);
#ifdef KALVO_WITH_MQTT
    // The broker's user, password file and CA are checked together once the whole command line is
    // known; its address and name can be checked alone, with a stand-in address for the name.
    std::vector<std::string> broker = given;
    if (option != "--mqtt")
        broker.insert(broker.begin(), {"--mqtt", "mqtt://localhost"});
    const kalvo::mqtt::MqttCommandLine parsed = kalvo::mqtt::TakeMqttOptions(broker);
    if (parsed.rest.empty())
        return option == "--mqtt" || option == "--name" ? parsed.error : std::string();
#endif
    return ParseRecordOptions(given).error;
}

#ifdef KALVO_WITH_MQTT
void SayBrokerLine(const std::string& line)
{
    SayLine(std::cerr, "kalvo-record: " + line);
}

// --ha-retire: the unit's retained documents removed from the broker; nothing is recorded.
int Retire(const kalvo::mqtt::MqttOptions& options)
{
    const std::size_t topics = kalvo::mqtt::RetireUnit(options, SayBrokerLine, [] { return stopRequested != 0; });
    if (!options.quiet)
        SayLine(std::cout, "Removed the retained documents of " + options.name + " (" + std::to_string(topics)
                + " topics) from " + kalvo::mqtt::ParseBrokerUrl(options.url).Url());
    return 0;
}
#endif

int Main(std::vector<std::string> arguments)
{
    const ConfigArguments configured = ExpandConfigOptions(arguments, SystemServiceFolders, CheckOption);
    if (!configured.error.empty()) {
        std::cerr << "kalvo-record: " << configured.error << "\nTry 'kalvo-record --help'." << std::endl;
        return ExitBadCommandLine;
    }
    arguments = configured.arguments;
    AddSinks addSinks;
#ifdef KALVO_WITH_MQTT
    kalvo::mqtt::MqttCommandLine mqtt = kalvo::mqtt::TakeMqttOptions(arguments);
    if (!mqtt.error.empty()) {
        std::cerr << "kalvo-record: " << mqtt.error << "\nTry 'kalvo-record --help'." << std::endl;
        return ExitBadCommandLine;
    }
    arguments = mqtt.rest;
    if (mqtt.options)
        addSinks = [&mqtt](Recorder& recorder, const RecordOptions& options, int port) -> BrokerState {
            const auto stop = [] { return stopRequested != 0; };
            std::unique_ptr<kalvo::mqtt::MqttSink> sink = options.portDevice.empty()
                ? kalvo::mqtt::MakeMqttSink(*mqtt.options, port, SayBrokerLine, stop)
                : kalvo::mqtt::MakeMqttSink(
                    *mqtt.options, PathText(kalvo::FilePath(options.portDevice).filename()), SayBrokerLine, stop);
            kalvo::mqtt::MqttClient& client = sink->Client();
            recorder.AddSink(std::move(sink));
            return [&client] { return std::optional<bool>(client.Status().connected); };
        };
#endif
    const ParsedRecordOptions parsed = ParseRecordOptions(arguments);
    if (!parsed.error.empty()) {
        std::cerr << "kalvo-record: " << parsed.error << "\nTry 'kalvo-record --help'." << std::endl;
        return ExitBadCommandLine;
    }
    const RecordOptions& options = parsed.options;
    if (options.version) {
        std::cout << VersionLine("kalvo-record");
        return 0;
    }
    if (options.help) {
        std::cout << RecordUsageText();
#ifdef KALVO_WITH_MQTT
        std::cout << kalvo::mqtt::MqttUsageText();
#endif
        return 0;
    }
#ifdef KALVO_WITH_MQTT
    if (mqtt.options)
        mqtt.options->quiet = options.quiet;
#endif
    InstallStopHandlers();
    try {
#ifdef KALVO_WITH_MQTT
        if (mqtt.options && mqtt.options->haRetire)
            return Retire(*mqtt.options);
#endif
        const RecordLanguage language = LoadLanguageOrWarn(FileOrBeside(options.languageFile, "MY.LNG"));
        if (!options.reportFolder.empty())
            return MakeReport(options, language);
        return options.decodeFolder.empty() ? Record(options, language, addSinks) : Decode(options, language);
    } catch (const std::exception& error) {
        std::cerr << "kalvo-record: " << error.what() << std::endl;
        return ExitFailure;
    }
}

}  // namespace

#ifdef _WIN32
namespace {

// The lines it prints are UTF-8, in the language of the language file: the console shows them so
// while the recorder runs, and gets its own code page back after.
class Utf8Console {
public:
    Utf8Console() : previous_(::GetConsoleOutputCP()) { ::SetConsoleOutputCP(CP_UTF8); }
    ~Utf8Console()
    {
        if (previous_ != 0)
            ::SetConsoleOutputCP(previous_);
    }
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

private:
    UINT previous_;
};

}  // namespace

// The arguments as the system has them, in UTF-16, so that no letter of a folder's name is lost;
// inside, file names are UTF-8.
int wmain(int argc, wchar_t** argv)
{
    const Utf8Console console;
    std::vector<std::string> arguments;
    for (int index = 1; index < argc; ++index)
        arguments.push_back(kalvo::FileNameText(std::filesystem::path(argv[index])));
    return Main(std::move(arguments));
}
#else
int main(int argc, char** argv)
{
    return Main({argv + 1, argv + argc});
}
#endif
