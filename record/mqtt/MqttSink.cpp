#include "MqttSink.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <stdexcept>

namespace kalvo::mqtt {

namespace {

// A reader that comes late, or a dashboard that wants to see the recorder alive, gets a fresh
// state at least this often even when nothing changes.
constexpr std::int64_t StateRefreshMs = 60'000;
// The end of the program: events and "offline" get this long, so that the recorder ends within two
// seconds of a stop even when the broker no longer answers.
constexpr auto FinishLimit = std::chrono::milliseconds(500);
constexpr auto StopLimit = std::chrono::milliseconds(300);

std::string ReadPassword(const MqttOptions& options)
{
    if (options.passwordFile.empty()) {
        const char* password = std::getenv(PasswordVariable);
        return password ? password : "";
    }
    std::ifstream file(options.passwordFile, std::ios::binary);
    std::string line;
    if (!file || !std::getline(file, line))
        throw std::runtime_error("cannot read the password file \"" + options.passwordFile + "\"");
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
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

ClientSettings SettingsFor(const MqttOptions& options)
{
    ClientSettings settings;
    settings.broker = ParseBrokerUrl(options.url);
    const Topics topics = TopicsFor(options.name);
    settings.availabilityTopic = topics.availability;
    settings.claimTopic = topics.recorder;
    settings.runId = NewRunId();
    settings.clientId = "kalvo-record-" + options.name;
    if (options.user.empty() && !options.passwordFile.empty())
        throw std::invalid_argument("--mqtt-password-file needs a user name (--mqtt-user)");
    settings.user = options.user;
    if (!options.user.empty())
        settings.password = ReadPassword(options);
    if (!options.caFile.empty() && !settings.broker.tls)
        throw std::invalid_argument("--mqtt-ca needs an mqtts:// broker address");
    settings.caFile = options.caFile;
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
    if (!client_->Stop(StopLimit))
        static_cast<void>(client_.release());
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
    client_->PublishEvent(topics_.event, EventPayload(event, ++eventsSent_));
}

void MqttSink::Finish()
{
    client_->Flush(FinishLimit);
}

}  // namespace kalvo::mqtt
