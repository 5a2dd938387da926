#include "record/mqtt/MqttCommandLine.h"

#include "core/RegularFile.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <stdexcept>

namespace kalvo::mqtt {

namespace {

constexpr std::size_t HostNameLength = 256;
// Eight hexadecimal digits of the machine id: a clash between two machines of one broker is a
// one in four billion chance, and the name stays short enough to read and type.
constexpr std::size_t MachineIdDigits = 8;
// How long the recorder waits for the broker's first answer before it opens its files: long
// enough for a broker on the LAN, short enough that a broker away at boot delays the first poll
// only a little.
constexpr auto FirstAnswerLimit = std::chrono::seconds(5);
// How long retiring a unit waits for the broker to take the empty documents.
constexpr auto RetireLimit = std::chrono::seconds(30);

std::string HostName()
{
    std::array<char, HostNameLength + 1> name{};
    if (::gethostname(name.data(), HostNameLength) != 0)
        return "kalvo";
    return name.data();
}

// The first line of the file, or nothing when it is not a regular file that can be read.
std::string FirstLineOf(const char* path)
{
    constexpr std::size_t LineLength = 64;
    std::array<char, LineLength + 1> line{};
    const OpenedFile opened = OpenRegularFile(path);
    if (!opened.file || !std::fgets(line.data(), static_cast<int>(line.size()), opened.file.get()))
        return {};
    return line.data();
}

// systemd's (or D-Bus's) id of this installation: 32 hexadecimal digits, made anew for a clone.
std::string MachineId()
{
    for (const char* path : {"/etc/machine-id", "/var/lib/dbus/machine-id"})
        if (std::string id = FirstLineOf(path); !id.empty())
            return id;
    return {};
}

}  // namespace

MqttCommandLine TakeMqttOptions(const std::vector<std::string>& arguments)
{
    MqttCommandLine parsed;
    MqttOptions options;
    bool urlGiven = false;
    std::string givenWithoutUrl;
    for (std::size_t i = 0; i < arguments.size() && parsed.error.empty(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--ha-discovery" || argument == "--ha-retire") {
            (argument == "--ha-discovery" ? options.haDiscovery : options.haRetire) = true;
            givenWithoutUrl = argument;
            continue;
        }
        std::string MqttOptions::*const field = argument == "--mqtt"                 ? &MqttOptions::url
                                                : argument == "--mqtt-user"          ? &MqttOptions::user
                                                : argument == "--mqtt-password-file" ? &MqttOptions::passwordFile
                                                : argument == "--mqtt-ca"            ? &MqttOptions::caFile
                                                : argument == "--name"               ? &MqttOptions::name
                                                                                     : nullptr;
        if (!field) {
            parsed.rest.push_back(argument);
        } else if (i + 1 >= arguments.size()) {
            parsed.error = argument + " wants a value";
        } else if (arguments[i + 1].empty()) {
            parsed.error = argument + " wants a value, not an empty text";
        } else {
            options.*field = arguments[++i];
            if (argument == "--mqtt")
                urlGiven = true;
            else
                givenWithoutUrl = argument;
        }
    }
    if (parsed.error.empty() && !urlGiven && !givenWithoutUrl.empty())
        parsed.error = givenWithoutUrl + " has a use only with --mqtt";
    if (parsed.error.empty() && urlGiven) {
        try {
            CheckMqttOptions(options);
            parsed.options = options;
        } catch (const std::invalid_argument& error) {
            parsed.error = error.what();
        }
    }
    return parsed;
}

std::string MqttUsageText()
{
    return "\n"
           "Publishing to an MQTT broker, beside the files:\n"
           "  --mqtt URL                 mqtt://host[:port] or mqtts://host[:port]\n"
           "  --name NAME                topics kalvo/NAME/... (default: this machine's id and the port,\n"
           "                             3f2a9c1b-com7)\n"
           "  --mqtt-user NAME           log in as this user; the password comes from\n"
           "  --mqtt-password-file FILE  the first line of this file, or else the environment\n"
           "                             variable "
        + std::string(PasswordVariable)
        + "\n"
          "  --mqtt-ca FILE             the CA certificate of an mqtts:// broker (default: the system's)\n"
          "  --ha-discovery             announce the burner to Home Assistant\n"
          "  --ha-retire                record nothing: remove the retained documents of unit --name\n"
          "                             from the broker, so that Home Assistant forgets the burner\n";
}

std::string DefaultName(const std::string& machineId, const std::string& hostName, int portNumber)
{
    const bool idUsable = machineId.size() >= MachineIdDigits
        && std::all_of(
            machineId.begin(), machineId.begin() + MachineIdDigits, [](unsigned char c) { return std::isxdigit(c); });
    std::string name = (idUsable ? machineId.substr(0, MachineIdDigits) : hostName.substr(0, hostName.find('.')))
        + "-com" + std::to_string(portNumber);
    std::replace_if(
        name.begin(), name.end(),
        [](unsigned char c) { return !std::isalnum(c) && c != '-' && c != '_'; }, '-');
    return name;
}

std::unique_ptr<MqttSink> MakeMqttSink(
    MqttOptions options, int portNumber, MqttClient::Reporter report, const std::function<bool()>& stopRequested)
{
    if (options.name.empty())
        options.name = DefaultName(MachineId(), HostName(), portNumber);
    ClientSettings settings = SettingsFor(options);
    settings.firstRefusalEnds = true;
    auto client = std::make_unique<MqttClient>(std::move(settings), std::move(report));
    if (const auto refusal = client->AwaitFirstAnswer(FirstAnswerLimit, stopRequested))
        throw std::runtime_error(*refusal);
    return std::make_unique<MqttSink>(std::move(client), options.name, options.haDiscovery);
}

std::size_t RetireUnit(const MqttOptions& options, MqttClient::Reporter report, const std::function<bool()>& stop)
{
    ClientSettings settings = SettingsFor(options);
    // An id of its own, and no availability or claim: a recorder still running under the name keeps
    // its connection, and nothing is left behind.
    settings.clientId = "kalvo-retire-" + options.name;
    settings.availabilityTopic.clear();
    settings.claimTopic.clear();
    settings.firstRefusalEnds = true;
    MqttClient client(std::move(settings), std::move(report));
    if (const auto refusal = client.AwaitFirstAnswer(FirstAnswerLimit, stop))
        throw std::runtime_error(*refusal);
    const std::vector<std::string> topics = RetainedTopics(options.name);
    for (const std::string& topic : topics)
        client.ClearRetained(topic);
    if (!client.Flush(RetireLimit))
        throw std::runtime_error("MQTT broker " + ParseBrokerUrl(options.url).Url() + " did not take the removal of "
            + "unit " + options.name + "'s documents within " + std::to_string(RetireLimit.count()) + " s");
    return topics.size();
}

}  // namespace kalvo::mqtt
