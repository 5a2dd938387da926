#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <unordered_set>

#include "record/mqtt/BrokerAddress.h"
#include "record/mqtt/EventQueue.h"

struct mosquitto;
struct mosquitto_message;

namespace kalvo::mqtt {

struct ClientSettings {
    BrokerAddress broker;
    std::string clientId;
    std::string user;      // empty: no login
    std::string password;
    std::string caFile;    // mqtts:// only; empty: the system's certificate store
    // "online" while connected, "offline" as last will and at the end; empty: none (a client that
    // only clears documents)
    std::string availabilityTopic;
    // Where the client leaves its run id, retained, at each connect; another run id found there
    // after a lost connection means that another client took the client id meanwhile. Empty: none.
    std::string claimTopic;
    std::string runId;  // tells this run of the program from others and from its restarts
    int keepAliveSeconds = 30;
    unsigned retryMinSeconds = 1;  // reconnect back-off doubles from here up to the maximum
    unsigned retryMaxSeconds = 60;
    std::size_t eventCapacity = 10000;
    // A refusal of the login at the first answer of the broker ends the client (see
    // AwaitFirstAnswer); otherwise, and after that, a refusal is reported and tried again.
    bool firstRefusalEnds = false;
    // Where set, gives the password anew before each attempt after a refused login, so that a
    // password rotated on the broker and in its file is taken up; throws std::runtime_error with a
    // text for the user when it cannot (the last password is then tried again).
    std::function<std::string()> rereadPassword;
    bool quiet = false;  // says only trouble, not that it connected
};

struct ClientStatus {
    bool connected = false;
    bool refused = false;         // the broker turned the login down at its first answer; no more attempts
    bool idTaken = false;         // another client took the client id; no more attempts
    std::string refusal;          // why, for the user
    std::size_t waiting = 0;      // events not yet acknowledged by the broker
    std::uint64_t delivered = 0;  // events the broker acknowledged
    std::uint64_t dropped = 0;    // events lost because the queue was full
    std::chrono::seconds retryDelay{0};  // the pause before the next attempt, when one fails
};

// A libmosquitto client for one recorder.
//
// Threads: the client's own network thread connects, reconnects with back-off and does all socket
// work (mosquitto_loop). The caller's thread only hands documents over: the public methods lock a
// mutex held for a few microseconds and call mosquitto_publish, which for a client marked threaded
// just queues the packet and wakes the network thread, so a poll never waits for the network.
// (libmosquitto's mosquitto_loop_start thread gives up for good after a TLS or name lookup
// failure; a recorder left alone overnight must not.)
//
// Retained documents (state, discovery) are kept per topic and sent again after every reconnect;
// only the latest one of a topic matters. Events go through a bounded queue and are sent with QoS 1,
// at most a small window at a time; libmosquitto keeps an unacknowledged one across a lost
// connection and sends it again after the reconnect, so every event leaves exactly once.
class MqttClient {
public:
    // Called on the network thread with a line for the user: connected, lost, refused, TLS errors.
    using Reporter = std::function<void(const std::string&)>;

    // Throws std::runtime_error when the client cannot be set up (a CA file that cannot be read).
    // Connecting starts at once, in the background.
    MqttClient(ClientSettings settings, Reporter report);
    // Stop(), with the default limit; then waits for the network thread however long it takes.
    ~MqttClient();
    MqttClient(const MqttClient&) = delete;
    MqttClient& operator=(const MqttClient&) = delete;

    // The document stays the topic's retained one; sent now when connected, else at the next connect.
    void PublishRetained(const std::string& topic, const std::string& payload);
    // Queued and sent with QoS 1, in order, when the broker is there.
    void PublishEvent(const std::string& topic, const std::string& payload);
    // Removes the topic's retained document from the broker: an empty retained payload, queued and
    // acknowledged like an event.
    void ClearRetained(const std::string& topic);

    ClientStatus Status() const;
    const std::string& RunId() const { return settings_.runId; }
    // Waits until no event is waiting, the broker refused us or the limit passed; true when none waits.
    bool Flush(std::chrono::milliseconds limit);
    // Waits until the first connection attempt has ended, the limit passed or stop() says so. With
    // firstRefusalEnds, returns the broker's refusal when that first attempt was refused (the client
    // then tries no more); from the return on, every refusal is reported and tried again.
    std::optional<std::string> AwaitFirstAnswer(std::chrono::milliseconds limit, const std::function<bool()>& stop);
    // Gives waiting events and "offline" up to the limit to go out, and disconnects. False when the
    // network thread did not end soon after (a name lookup that hangs): it is left to end on its
    // own, still using the client, which must then outlive it (an owner at the end of the program
    // lets it go rather than destroy it).
    bool Stop(std::chrono::milliseconds limit = std::chrono::seconds(5));

private:
    static void OnConnect(mosquitto*, void* self, int rc);
    static void OnDisconnect(mosquitto*, void* self, int rc);
    static void OnPublish(mosquitto*, void* self, int mid);
    static void OnLog(mosquitto*, void* self, int level, const char* text);
    static void OnMessage(mosquitto*, void* self, const mosquitto_message* message);

    void NetworkLoop();
    // Waits on the network thread until the delay passed or Stop() began; false when stopping.
    bool Pause(std::chrono::seconds delay);
    bool Stopping() const;
    bool IdTaken() const;
    void Connected(int rc);
    void Disconnected(int rc);
    void Acknowledged(int mid);
    void ClaimSeen(const std::string& runId);
    // Another client took the id: this one backs off for good rather than take it back.
    void GiveUpTakenId();
    // The broker refused MQTT 5: true when the next attempt is to speak MQTT 3.1.1 instead.
    bool FallBackTo311(int rc);
    bool LoginRefused(int rc) const;
    std::string ConnackText(int rc) const;
    void RereadPassword();
    void SendRetained(const std::string& topic, const std::string& payload);
    void PumpEvents();  // mutex held
    // Said when libmosquitto refuses to send a message at all.
    void ReportUnsent(int rc, const std::string& topic, std::size_t size);
    // A line about trouble is said once until a connection holds again; a connected line unless
    // it was the last one said.
    void Report(const std::string& line, bool trouble = true);

    ClientSettings settings_;
    Reporter report_;
    mosquitto* client_ = nullptr;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool connected_ = false;
    bool refused_ = false;
    std::string refusal_;
    bool idTaken_ = false;
    bool fellBack_ = false;  // the current attempt was refused for MQTT 5: the next one goes at once
    int protocol_;           // MQTT_PROTOCOL_V5, or V311 after a broker refused 5; network thread only
    bool stopping_ = false;  // no more publishing; the network thread is to end
    bool networkEnded_ = false;
    std::atomic<bool> quiet_ = false;  // no more reports: the network thread was left running
    bool connectedSincePause_ = false;
    bool firstAnswered_ = false;   // the first connection attempt has ended, one way or the other
    bool refusalEnds_ = false;     // a refusal now would end the client
    bool attemptRefused_ = false;  // the current attempt ended in a refusal, which was reported
    int offlineMid_ = -1;
    bool offlineSent_ = false;
    std::map<std::string, std::string> retained_;
    EventQueue events_;
    std::unordered_set<int> eventsInFlight_;  // message ids handed to libmosquitto, not yet acknowledged
    std::uint64_t delivered_ = 0;
    std::uint64_t droppedReported_ = 0;

    std::thread network_;

    std::chrono::steady_clock::time_point connectedAt_;
    bool heldLong_ = false;    // the last connection held long enough to count as a good one
    bool lostBefore_ = false;  // a connection of this run was lost
    std::chrono::seconds retryDelay_{0};

    std::mutex reportMutex_;  // apart from mutex_: libmosquitto may log while a publish holds that
    std::set<std::string> said_;  // trouble said since a connection last held
    std::string lastReport_;
};

}  // namespace kalvo::mqtt
