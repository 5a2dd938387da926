#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kalvo::record {

// kalvo-record's configuration file: lines "key = value", blank lines and "#" comment lines. Each
// key stands for one long option (port = /dev/ttyUSB0 for --port /dev/ttyUSB0), so the file is read
// into arguments that go before the command line's: an option given there wins over the file.
//
//   port           --port            folder          --out
//   language       --language        settings        --settings
//   keep           --keep            keep-megabytes  --keep-megabytes
//   broker         --mqtt            name            --name
//   user           --mqtt-user       password-file   --mqtt-password-file
//   broker-ca      --mqtt-ca         ha-discovery    --ha-discovery (yes or no)
//
// The password itself never goes in the file: a key "password" is refused.
struct ConfigArguments {
    std::vector<std::string> arguments;
    std::string error;  // "FILE, line N: ..." when the file cannot be used
};

// The text of a value check: empty when the option takes the value, else why not, naming the option
// ("--port wants ..."). Checks one option alone, without the rest of the command line.
using OptionCheck = std::function<std::string(const std::string& option, const std::string& value)>;

// The file's text as arguments; fileName is what the messages call it.
ConfigArguments ParseRecordConfig(std::string_view text, const std::string& fileName, const OptionCheck& check);
ConfigArguments ReadRecordConfig(const std::filesystem::path& file, const OptionCheck& check);

// Where the service kalvo-record@NAME finds its file (NAME.conf) and keeps its recording (NAME).
struct ServiceFolders {
    std::filesystem::path config;  // /etc/kalvo/record
    std::filesystem::path state;   // /var/lib/kalvo
};

// Replaces --config FILE and --service NAME in the command line by what they stand for, in front of
// the rest. --service NAME: the port NAME when it is a COM port and the folder state/NAME, then the
// file config/NAME.conf when it is there (a service of a COM port needs none); a name that is no COM
// port needs the file, with a port in it.
ConfigArguments ExpandConfigOptions(
    const std::vector<std::string>& arguments, const ServiceFolders& folders, const OptionCheck& check);

}  // namespace kalvo::record
