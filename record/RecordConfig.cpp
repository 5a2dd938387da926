#include "record/RecordConfig.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "core/RegularFile.h"
#include "record/DayFile.h"
#include "record/RecordOptions.h"

namespace kalvo::record {

namespace {

struct ConfigKey {
    std::string_view key;
    std::string_view option;
};

constexpr std::array ConfigKeys{
    ConfigKey{"port", "--port"},
    ConfigKey{"folder", "--out"},
    ConfigKey{"language", "--language"},
    ConfigKey{"settings", "--settings"},
    ConfigKey{"keep", "--keep"},
    ConfigKey{"keep-megabytes", "--keep-megabytes"},
    ConfigKey{"broker", "--mqtt"},
    ConfigKey{"name", "--name"},
    ConfigKey{"user", "--mqtt-user"},
    ConfigKey{"password-file", "--mqtt-password-file"},
    ConfigKey{"broker-ca", "--mqtt-ca"},
    ConfigKey{"ha-discovery", "--ha-discovery"},
};
constexpr std::string_view FlagKey = "ha-discovery";

std::string Trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

std::string KeyList()
{
    std::string list;
    for (const ConfigKey& key : ConfigKeys)
        list += (list.empty() ? "" : ", ") + std::string(key.key);
    return list;
}

// The check's text with the option's name replaced by the key the file used.
std::string InKeyTerms(std::string error, const ConfigKey& key)
{
    if (error.starts_with(key.option))
        error.replace(0, key.option.size(), key.key);
    return error;
}

// The arguments one line stands for, or why it stands for none.
std::string LineArguments(
    const std::string& line, const OptionCheck& check, std::vector<std::string>& arguments, std::string& key)
{
    const auto equals = line.find('=');
    if (equals == std::string::npos)
        return "'" + line + "' is not a line 'key = value'";
    key = Trimmed(std::string_view(line).substr(0, equals));
    const std::string value = Trimmed(std::string_view(line).substr(equals + 1));
    if (key == "password")
        return "the password does not go in this file: give password-file = FILE (a file only the recorder "
               "may read) or the environment variable KALVO_MQTT_PASSWORD";
    const auto known = std::find_if(
        ConfigKeys.begin(), ConfigKeys.end(), [&key](const ConfigKey& entry) { return entry.key == key; });
    if (known == ConfigKeys.end())
        return "unknown key '" + key + "'; the keys are " + KeyList();
    if (value.empty())
        return key + " has no value";
    const std::string option(known->option);
    if (known->key == FlagKey) {
        if (value != "yes" && value != "no")
            return key + " wants yes or no, not '" + value + "'";
        if (value == "yes")
            arguments.push_back(option);
        return InKeyTerms(check(option, {}), *known);
    }
    arguments.insert(arguments.end(), {option, value});
    return InKeyTerms(check(option, value), *known);
}

}  // namespace

ConfigArguments ParseRecordConfig(std::string_view text, const std::string& fileName, const OptionCheck& check)
{
    ConfigArguments parsed;
    std::map<std::string, int> lineOfKey;
    if (text.starts_with("\xEF\xBB\xBF"))  // the byte order mark some editors write
        text.remove_prefix(3);
    std::istringstream lines{std::string(text)};
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        line = Trimmed(line);
        if (line.empty() || line.front() == '#')
            continue;
        std::string key;
        std::string error = LineArguments(line, check, parsed.arguments, key);
        if (error.empty() && lineOfKey.contains(key))
            error = key + " is given twice (first on line " + std::to_string(lineOfKey[key]) + ")";
        if (!error.empty()) {
            parsed.arguments.clear();
            parsed.error = fileName + ", line " + std::to_string(number) + ": " + error;
            return parsed;
        }
        lineOfKey.emplace(key, number);
    }
    return parsed;
}

ConfigArguments ReadRecordConfig(const std::filesystem::path& file, const OptionCheck& check)
{
    std::ifstream in(file, std::ios::binary);
    if (!in || std::filesystem::is_directory(file))
        return {{}, "cannot read the configuration file " + PathText(file) + ": "
                + (in ? std::string("it is a folder") : std::string(std::strerror(errno)))};
    std::ostringstream text;
    text << in.rdbuf();
    return ParseRecordConfig(text.str(), PathText(file), check);
}

namespace {

bool GivesPort(const std::vector<std::string>& arguments)
{
    return std::find(arguments.begin(), arguments.end(), "--port") != arguments.end();
}

// A service name becomes a file name and a folder name: nothing that leads elsewhere.
bool IsServiceName(const std::string& name)
{
    return !name.empty() && name.front() != '.' && std::all_of(name.begin(), name.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '-' || c == '_' || c == '.';
    });
}

ConfigArguments ServiceArguments(const std::string& name, const ServiceFolders& folders, const OptionCheck& check)
{
    if (!IsServiceName(name))
        return {{}, "--service wants a name of letters, digits, '-', '_' and '.', not '" + name + "'"};
    ConfigArguments service;
    const bool comPort = ParsePortName(name).has_value();
    if (comPort)
        service.arguments = {"--port", name};
    service.arguments.insert(service.arguments.end(), {"--out", PathText(folders.state / name)});
    const std::filesystem::path file = folders.config / (name + ".conf");
    std::error_code missing;
    if (!std::filesystem::exists(file, missing)) {
        if (!comPort)
            service.error = name + " is no COM port, and there is no " + PathText(file) + " to name one";
        return service;
    }
    ConfigArguments fromFile = ReadRecordConfig(file, check);
    if (fromFile.error.empty() && !comPort && !GivesPort(fromFile.arguments))
        fromFile.error = PathText(file) + " names no port (port = /dev/ttyUSB0, for example), and " + name
            + " is no COM port";
    service.arguments.insert(service.arguments.end(), fromFile.arguments.begin(), fromFile.arguments.end());
    service.error = fromFile.error;
    return service;
}

}  // namespace

ConfigArguments ExpandConfigOptions(
    const std::vector<std::string>& arguments, const ServiceFolders& folders, const OptionCheck& check)
{
    ConfigArguments expanded;
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument != "--config" && argument != "--service") {
            rest.push_back(argument);
            continue;
        }
        if (i + 1 >= arguments.size())
            return {{}, argument + " wants a value"};
        const std::string& value = arguments[++i];
        ConfigArguments part = argument == "--config" ? ReadRecordConfig(FilePath(value), check)
                                                      : ServiceArguments(value, folders, check);
        if (!part.error.empty())
            return {{}, part.error};
        expanded.arguments.insert(expanded.arguments.end(), part.arguments.begin(), part.arguments.end());
    }
    expanded.arguments.insert(expanded.arguments.end(), rest.begin(), rest.end());
    return expanded;
}

}  // namespace kalvo::record
