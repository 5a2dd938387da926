#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kalvo::record {

// The command line of kalvo-record.
struct RecordOptions {
    std::optional<int> portNumber;      // --port COMn; none: the settings' COM
    std::string portDevice;             // --port /dev/...: a device path instead of a COM number
    std::string outFolder;              // --out DIR; empty: COMn in the current folder (recording)
    std::optional<std::chrono::milliseconds> duration;  // --duration 12h; none: until stopped
    bool quiet = false;                 // --quiet
    std::optional<int> keepDays;        // --keep DAYS: the day files of the last DAYS days stay
    std::optional<long long> keepMegabytes;  // --keep-megabytes N: the day files stay within N MB
    std::string settingsFile;           // --settings FILE; empty: kalvo.ini beside the program
    std::string languageFile;           // --language FILE; empty: MY.LNG beside the program
    std::string reportFolder;           // --report DIR: make the night report instead of recording
    std::string reportFile;             // --output FILE: where the report goes
    std::string decodeFolder;           // --decode DIR: write its CSV files anew into --out
    bool help = false;
    bool version = false;  // --version
};

struct ParsedRecordOptions {
    RecordOptions options;
    std::string error;  // empty when the command line was good
};

ParsedRecordOptions ParseRecordOptions(const std::vector<std::string>& arguments);
// "12h", "90m", "45s", "2d" or plain seconds; nothing for anything else or a zero duration.
std::optional<std::chrono::milliseconds> ParseDuration(const std::string& text);
// "COM7" (any case) or "7"; nothing unless 1..255.
std::optional<int> ParsePortName(const std::string& text);
// A device path given as the port: absolute, and only where ports are device nodes (not Windows).
bool IsDevicePath(const std::string& text);
std::string RecordUsageText();
// Where a recording of the port goes: --out, or a folder named after the port in the current
// folder ("COM7", or the device's file name, "ttyUSB0"), so that recorders of two ports started in
// one place never share a folder.
std::filesystem::path RecordFolder(const RecordOptions& options, int portNumber);
// The port as messages name it: "COM7", or the device path.
std::string PortText(const RecordOptions& options, int portNumber);

}  // namespace kalvo::record
