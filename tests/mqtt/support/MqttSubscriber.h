#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

struct mosquitto;
struct mosquitto_message;

namespace kalvo::test {

struct ReceivedMessage {
    std::string topic;
    std::string payload;
    bool retained = false;
};

// A libmosquitto subscriber for the tests: a persistent session under a fixed client id, so it
// also gets what was published while it or the broker was away, and every message it received.
class MqttSubscriber {
public:
    struct Options {
        std::string clientId = "kalvo-test-subscriber";
        std::string topic = "kalvo/#";
        std::string user, password;
        std::string caFile;  // TLS when not empty
    };

    MqttSubscriber(int port, Options options);
    explicit MqttSubscriber(int port) : MqttSubscriber(port, Options{}) {}
    ~MqttSubscriber();
    MqttSubscriber(const MqttSubscriber&) = delete;
    MqttSubscriber& operator=(const MqttSubscriber&) = delete;

    using Condition = std::function<bool(const std::vector<ReceivedMessage>&)>;
    // Waits until the messages received so far meet the condition or the limit passes.
    bool WaitFor(const Condition& condition, std::chrono::milliseconds limit = std::chrono::seconds(60));
    // Waits until the subscription is in place (the broker acknowledged it).
    bool WaitSubscribed(std::chrono::milliseconds limit = std::chrono::seconds(60));
    // Returns once the broker has taken in everything this subscriber sent it before, its
    // acknowledgements included, so a broker stopped now delivers nothing a second time.
    bool Sync(std::chrono::milliseconds limit = std::chrono::seconds(60));
    std::vector<ReceivedMessage> Messages() const;
    // Payloads received on the topic, in order.
    std::vector<std::string> Payloads(const std::string& topic) const;

private:
    static void OnConnect(mosquitto*, void* self, int rc);
    static void OnSubscribe(mosquitto*, void* self, int, int, const int*);
    static void OnPublish(mosquitto*, void* self, int mid);
    static void OnMessage(mosquitto*, void* self, const mosquitto_message* message);

    Options options_;
    mosquitto* client_ = nullptr;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool subscribed_ = false;
    int syncMid_ = -1;
    bool synced_ = false;
    std::vector<ReceivedMessage> messages_;
};

// The retained document's payload last received on the topic; empty when none came.
std::string LastPayload(const std::vector<ReceivedMessage>& messages, const std::string& topic);

}  // namespace kalvo::test
