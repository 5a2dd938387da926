#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "record/PollRecord.h"
#include "record/mqtt/MqttClient.h"
#include "record/mqtt/MqttPayloads.h"

namespace kalvo::mqtt {

// What the user asked for on the command line.
struct MqttOptions {
    std::string url;           // --mqtt
    std::string user;          // --mqtt-user
    std::string passwordFile;  // --mqtt-password-file; else the environment variable below
    std::string caFile;        // --mqtt-ca
    std::string name;          // --name
    bool haDiscovery = false;  // --ha-discovery
    bool haRetire = false;     // --ha-retire: remove the unit's retained documents instead of recording
    bool quiet = false;        // say only trouble (the recorder's --quiet)
};

// The password never comes from the command line, where every user of the machine can read it.
inline constexpr const char* PasswordVariable = "KALVO_MQTT_PASSWORD";

// Throws std::invalid_argument with a text for the user when the options do not go together or
// the address or name is not one the program takes (an empty name is left for the default); reads
// no file.
void CheckMqttOptions(const MqttOptions& options);

// The client's settings for the options: the URL parsed, the password read from its file (first
// line, read again before each attempt after a refused login) or the environment. Throws std::invalid_argument or std::runtime_error with a text for
// the user.
ClientSettings SettingsFor(const MqttOptions& options);

// Publishes the recorder's polls and events: the state document retained, when it changed and at
// least once a minute of poll time; each event with QoS 1; the discovery documents if asked for.
// Runs on the recorder's thread and never waits for the network (see MqttClient).
class MqttSink : public record::PollSink {
public:
    MqttSink(std::unique_ptr<MqttClient> client, const std::string& name, bool haDiscovery);
    // Ends the client within about a second whatever the network does; a client whose network
    // thread hangs in a name lookup is let go, not destroyed, as the program is ending.
    ~MqttSink() override;

    void OnPoll(const record::PollInput& raw, const record::DecodedPoll& poll) override;
    void OnEvent(const record::RecordEvent& event) override;
    // Gives waiting events a moment to reach the broker.
    void Finish() override;

    MqttClient& Client() { return *client_; }

private:
    std::unique_ptr<MqttClient> client_;
    Topics topics_;
    std::string lastState_;  // the last published state without its time
    std::optional<std::int64_t> lastStateMs_;
    std::uint64_t eventsSent_ = 0;
};

}  // namespace kalvo::mqtt
