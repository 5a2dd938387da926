#include "record/RecordOptions.h"

#include <cctype>
#include <utility>

#include "core/RegularFile.h"

namespace kalvo::record {

namespace {

constexpr int HighestPort = 255;

std::optional<long long> WholeNumber(const std::string& text)
{
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    long long value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

// The report and the decoding each write what --out names: a report into that file, a decoding
// into that folder. Either is one job of its own; run together, one of them would be lost.
std::string CheckJobs(RecordOptions& options)
{
    const bool report = !options.reportFolder.empty(), decode = !options.decodeFolder.empty();
    if (report && decode)
        return "--report and --decode are two jobs: run them one after the other";
    if (decode && options.outFolder.empty())
        return "--decode wants --out DIR2, a new folder for the files it writes";
    if (!report && !options.reportFile.empty())
        return "--output names the report's file: give it with --report DIR";
    if (report && !options.outFolder.empty()) {
        if (!options.reportFile.empty())
            return "--report writes one file: give --out FILE or --output FILE, not both";
        options.reportFile = std::exchange(options.outFolder, {});
    }
    return {};
}

}  // namespace

std::optional<std::chrono::milliseconds> ParseDuration(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    long long secondsPerUnit = 1;
    std::string digits = text;
    switch (std::tolower(static_cast<unsigned char>(text.back()))) {
    case 'd':
        secondsPerUnit = 86400;
        break;
    case 'h':
        secondsPerUnit = 3600;
        break;
    case 'm':
        secondsPerUnit = 60;
        break;
    case 's':
        break;
    default:
        digits.push_back('s');
    }
    digits.pop_back();
    const auto count = WholeNumber(digits);
    if (!count || *count == 0)
        return std::nullopt;
    return std::chrono::milliseconds(*count * secondsPerUnit * 1000);
}

std::optional<int> ParsePortName(const std::string& text)
{
    std::string digits = text;
    if (digits.size() > 3 && std::toupper(static_cast<unsigned char>(digits[0])) == 'C' &&
        std::toupper(static_cast<unsigned char>(digits[1])) == 'O' &&
        std::toupper(static_cast<unsigned char>(digits[2])) == 'M')
        digits.erase(0, 3);
    const auto number = WholeNumber(digits);
    if (!number || *number < 1 || *number > HighestPort)
        return std::nullopt;
    return static_cast<int>(*number);
}

ParsedRecordOptions ParseRecordOptions(const std::vector<std::string>& arguments)
{
    ParsedRecordOptions parsed;
    RecordOptions& options = parsed.options;
    for (std::size_t i = 0; i < arguments.size() && parsed.error.empty(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            options.help = true;
            continue;
        }
        if (argument == "--version") {
            options.version = true;
            continue;
        }
        if (argument == "--quiet" || argument == "-q") {
            options.quiet = true;
            continue;
        }
        const bool takesValue = argument == "--port" || argument == "--duration" || argument == "--out" ||
                                argument == "--settings" || argument == "--language" || argument == "--report" ||
                                argument == "--output" || argument == "--decode";
        if (!takesValue) {
            parsed.error = "unknown option '" + argument + "'";
        } else if (i + 1 >= arguments.size()) {
            parsed.error = argument + " wants a value";
        } else {
            const std::string& value = arguments[++i];
            if (argument == "--port") {
                options.portNumber = ParsePortName(value);
                if (!options.portNumber)
                    parsed.error = "--port wants COM1 .. COM255, not '" + value + "'";
            } else if (argument == "--duration") {
                options.duration = ParseDuration(value);
                if (!options.duration)
                    parsed.error = "--duration wants a time such as 12h, 90m or 30s, not '" + value + "'";
            } else {
                std::string RecordOptions::*const field = argument == "--out"        ? &RecordOptions::outFolder
                                                          : argument == "--settings" ? &RecordOptions::settingsFile
                                                          : argument == "--language" ? &RecordOptions::languageFile
                                                          : argument == "--report"   ? &RecordOptions::reportFolder
                                                          : argument == "--decode"   ? &RecordOptions::decodeFolder
                                                                                     : &RecordOptions::reportFile;
                options.*field = value;
            }
        }
    }
    if (parsed.error.empty())
        parsed.error = CheckJobs(options);
    return parsed;
}

std::filesystem::path RecordFolder(const RecordOptions& options, int portNumber)
{
    return options.outFolder.empty() ? std::filesystem::path("COM" + std::to_string(portNumber))
                                     : FilePath(options.outFolder);
}

std::string RecordUsageText()
{
    return "Usage: kalvo-record [--port COMn] [--out DIR] [--duration TIME] [--quiet]\n"
           "       kalvo-record --report DIR [--output FILE]\n"
           "       kalvo-record --decode DIR --out DIR2 [--language FILE]\n"
           "       kalvo-record --help | --version\n"
           "\n"
           "Records an Ombrel RZ unit unattended, polling it as the Kalvo window does (each poll starts\n"
           "2000 ms after the previous one ends, about 2.3 s apart), into readings-YYYY-MM-DD.csv,\n"
           "events-YYYY-MM-DD.csv and replies-YYYY-MM-DD.kraw.\n"
           "\n"
           "  --port COMn      the port to record (default: the COM port of the settings file)\n"
           "  --out DIR        the folder for the files (default: COMn in the current folder);\n"
           "                   one recorder at a time records into a folder\n"
           "  --duration TIME  stop after this long: 12h, 90m, 30s, 2d; a bare number is seconds\n"
           "                   (default: until stopped)\n"
           "  --quiet          print nothing but errors\n"
           "  --settings FILE  the settings file (default: kalvo.ini beside the program)\n"
           "  --language FILE  the language file (default: MY.LNG beside the program)\n"
           "  --report DIR     make the night report of the recording in DIR instead\n"
           "  --output FILE    where the report goes (default: DIR/night-report.html; --out FILE\n"
           "                   too); a link there is written through to the file it names\n"
           "  --decode DIR     write the CSV files of the recording in DIR anew into --out DIR2,\n"
           "                   a new or empty folder, for example with another --language\n"
           "\n"
           "Ctrl-C (Ctrl-Break on Windows), SIGTERM or SIGHUP (the terminal closed; not under nohup)\n"
           "ends recording after the current poll.\n"
           "\n"
           "Exit status: 0 done; 1 failed (nothing or not all recorded, reported or decoded);\n"
           "2 a command line it cannot use; 3 the report or the decoding was made, but parts of the\n"
           "recording could not be read (each is said on standard error).\n";
}

}  // namespace kalvo::record
