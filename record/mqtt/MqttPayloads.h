#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "record/PollRecord.h"
#include "record/mqtt/EventQueue.h"

// What Kalvo publishes: topics and JSON documents. UTF-8 throughout.
namespace kalvo::mqtt {

struct Topics {
    std::string state;         // kalvo/<name>/state, retained
    std::string event;         // kalvo/<name>/event, QoS 1
    std::string availability;  // kalvo/<name>/availability, "online" / "offline", retained
    std::string recorder;      // kalvo/<name>/recorder, the run id of the recorder that publishes, retained
};

// The name becomes part of topics and Home Assistant ids, so it is kept to letters, digits, "-"
// and "_"; anything else throws std::invalid_argument with a text for the user.
Topics TopicsFor(const std::string& name);

// The latest poll: time, link, state code and text, the unit's status text, every value as a
// number with its unit, the ten flags. Without the time it serves to tell whether anything changed.
std::string StatePayload(const record::DecodedPoll& poll, bool withTime = true);

// One event; seq counts the events of this run from 1, so a reader sees a gap when the queue
// had to drop the oldest while the broker was away; the run id tells a restart of the recorder
// (seq from 1 again) from an event that QoS 1 delivered twice.
std::string EventPayload(const record::RecordEvent& event, std::uint64_t seq, const std::string& runId);

// Home Assistant MQTT discovery: the burner as a device with its state, flame current, mains
// voltage, counters, lockout and link, all read from the state topic, and a lockout and a lost link
// as device triggers, from the event topic.
std::vector<Message> DiscoveryDocuments(const std::string& name);

// Every topic where a recorder under the name leaves a retained document: state, availability,
// recorder and the discovery documents. Empty retained documents there retire the unit.
std::vector<std::string> RetainedTopics(const std::string& name);

}  // namespace kalvo::mqtt
