#include "record/mqtt/MqttSink.h"

#include "core/RegularFile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <stdexcept>
#include <vector>

namespace kalvo::mqtt {

namespace {

// A reader that comes late, or a dashboard that wants to see the recorder alive, gets a fresh
// state at least this often even when nothing changes.
constexpr std::int64_t StateRefreshMs = 60'000;
// The end of the program: events and "offline" get this long, so that the recorder ends within two
// seconds of a stop even when the broker no longer answers.
constexpr auto FinishLimit = std::chrono::milliseconds(500);
constexpr auto StopLimit = std::chrono::milliseconds(300);

// An MQTT password holds at most 65535 bytes; the first line of the file is read up to that.
constexpr std::size_t PasswordLength = 65535;

std::string ReadPassword(const MqttOptions& options)
{
    if (options.passwordFile.empty()) {
        const char* password = std::getenv(PasswordVariable);
        return password ? password : "";
    }
    // Only a regular file: a FIFO would hold the recorder before its first poll, /dev/zero eat the
    // memory.
    const OpenedFile opened = OpenRegularFile(options.passwordFile);
    const std::string where = "the password file \"" + Printable(options.passwordFile) + "\"";
    std::error_code error;
    if (!opened.file && std::filesystem::exists(options.passwordFile, error)
        && !std::filesystem::is_regular_file(options.passwordFile, error))
        throw std::runtime_error("cannot read " + where + " (not a regular file)");
    if (!opened.file)
        throw std::runtime_error("cannot read " + where + " (" + std::strerror(opened.error) + ")");
    std::string line(PasswordLength + 2, '\0');
    if (!std::fgets(line.data(), static_cast<int>(line.size()), opened.file.get()))
        throw std::runtime_error(where + " is empty");
    line.resize(std::strlen(line.data()));
    const bool whole = line.ends_with('\n') || std::feof(opened.file.get());
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    if (!whole || line.size() > PasswordLength)
        throw std::runtime_error(where + " holds a line longer than a password can be");
    return line;
}

// 64 random bits in hexadecimal.
std::string NewRunId()
{
    std::random_device random;
    const std::uint64_t bits = (std::uint64_t{random()} << 32) | random();
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(bits));
    return text;
}

}  // namespace

void CheckMqttOptions(const MqttOptions& options)
{
    ParseBrokerUrl(options.url);
    if (!options.name.empty())  // empty: made later from the machine and the port
        TopicsFor(options.name);
    if (options.user.empty() && !options.passwordFile.empty())
        throw std::invalid_argument("--mqtt-password-file needs a user name (--mqtt-user)");
    if (!options.user.empty() && options.passwordFile.empty() && !std::getenv(PasswordVariable))
        throw std::invalid_argument("--mqtt-user needs a password: the first line of --mqtt-password-file FILE, or "
                                    "the environment variable "
            + std::string(PasswordVariable));
    if (!options.caFile.empty() && !ParseBrokerUrl(options.url).tls)
        throw std::invalid_argument("--mqtt-ca needs an mqtts:// broker address");
    if (options.haRetire && options.name.empty())
        throw std::invalid_argument("--ha-retire needs the --name of the unit to retire");
}

ClientSettings SettingsFor(const MqttOptions& options)
{
    CheckMqttOptions(options);
    ClientSettings settings;
    settings.broker = ParseBrokerUrl(options.url);
    const Topics topics = TopicsFor(options.name);
    settings.availabilityTopic = topics.availability;
    settings.claimTopic = topics.recorder;
    settings.runId = NewRunId();
    settings.clientId = "kalvo-record-" + options.name;
    settings.user = options.user;
    if (!options.user.empty())
        settings.password = ReadPassword(options);
    if (!options.passwordFile.empty())
        settings.rereadPassword = [options] { return ReadPassword(options); };
    settings.caFile = options.caFile;
    settings.quiet = options.quiet;
    return settings;
}

MqttSink::MqttSink(std::unique_ptr<MqttClient> client, const std::string& name, bool haDiscovery)
    : client_(std::move(client)), topics_(TopicsFor(name))
{
    if (haDiscovery)
        for (const Message& document : DiscoveryDocuments(name))
            client_->PublishRetained(document.topic, document.payload);
}

MqttSink::~MqttSink()
{
    // A network thread caught in a name lookup cannot be joined in time. Its client is let go, so
    // that the program ends on time, and stays reachable from here: it is not lost memory, only
    // memory the ending program does not take back.
    static auto* const letGo = new std::vector<std::unique_ptr<MqttClient>>;
    if (!client_->Stop(StopLimit))
        letGo->push_back(std::move(client_));
}

void MqttSink::OnPoll(const record::PollInput&, const record::DecodedPoll& poll)
{
    std::string state = StatePayload(poll, false);
    const bool due = !lastStateMs_ || poll.time.utcMs - *lastStateMs_ >= StateRefreshMs;
    if (state == lastState_ && !due)
        return;
    client_->PublishRetained(topics_.state, StatePayload(poll));
    lastState_ = std::move(state);
    lastStateMs_ = poll.time.utcMs;
}

void MqttSink::OnEvent(const record::RecordEvent& event)
{
    client_->PublishEvent(topics_.event, EventPayload(event, ++eventsSent_, client_->RunId()));
}

void MqttSink::Finish()
{
    client_->Flush(FinishLimit);
}

}  // namespace kalvo::mqtt
