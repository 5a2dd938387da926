#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "record/mqtt/MqttSink.h"

namespace kalvo::mqtt {

struct MqttCommandLine {
    std::optional<MqttOptions> options;  // set when --mqtt was given
    std::vector<std::string> rest;       // the arguments that are not about the broker
    std::string error;                   // empty when the broker options were good
};

// Takes the broker options out of kalvo-record's arguments: --mqtt URL, --mqtt-user NAME,
// --mqtt-password-file FILE, --mqtt-ca FILE, --name NAME, --ha-discovery, --ha-retire.
MqttCommandLine TakeMqttOptions(const std::vector<std::string>& arguments);
std::string MqttUsageText();

// The name when --name is not given: the first eight digits of this machine's id and the port,
// "3f2a9c1b-com7", so that two machines never share it, not even clones with one host name. Without
// a machine id: the first part of the host name and the port, with anything a topic or an id cannot
// hold replaced by "-".
std::string DefaultName(const std::string& machineId, const std::string& hostName, int portNumber);

// The sink for kalvo-record. Waits a few seconds (or until stopRequested) for the broker's first
// answer, and throws std::runtime_error with the broker's refusal when that answer refuses the
// login: the files have not been opened yet. From then on it connects in the background and never
// ends the recording; reports (connected, lost, refused) go to report, on the network thread.
// Throws std::invalid_argument or std::runtime_error with a text for the user.
std::unique_ptr<MqttSink> MakeMqttSink(
    MqttOptions options, int portNumber, MqttClient::Reporter report, const std::function<bool()>& stopRequested);

// --ha-retire: empty retained documents on every topic where a recorder under options.name leaves
// one (RetainedTopics), so that Home Assistant removes the device and a dashboard finds no stale
// state. Returns how many topics were cleared. Throws std::runtime_error with a text for the user
// when the broker refuses the login or does not take them in time.
std::size_t RetireUnit(const MqttOptions& options, MqttClient::Reporter report, const std::function<bool()>& stop);

}  // namespace kalvo::mqtt
