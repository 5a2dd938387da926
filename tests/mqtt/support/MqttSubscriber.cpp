#include "tests/mqtt/support/MqttSubscriber.h"

#include <mosquitto.h>

#include <stdexcept>

namespace kalvo::test {

MqttSubscriber::MqttSubscriber(int port, Options options) : options_(std::move(options))
{
    mosquitto_lib_init();
    client_ = mosquitto_new(options_.clientId.c_str(), false, this);
    if (!client_)
        throw std::runtime_error("cannot make a test subscriber");
    mosquitto_connect_callback_set(client_, OnConnect);
    mosquitto_subscribe_callback_set(client_, OnSubscribe);
    mosquitto_message_callback_set(client_, OnMessage);
    mosquitto_publish_callback_set(client_, OnPublish);
    mosquitto_reconnect_delay_set(client_, 1, 2, false);
    if (!options_.user.empty())
        mosquitto_username_pw_set(client_, options_.user.c_str(), options_.password.c_str());
    if (!options_.caFile.empty() &&
        mosquitto_tls_set(client_, options_.caFile.c_str(), nullptr, nullptr, nullptr, nullptr) != MOSQ_ERR_SUCCESS)
        throw std::runtime_error("cannot read " + options_.caFile);
    mosquitto_connect_async(client_, "127.0.0.1", port, 30);
    if (mosquitto_loop_start(client_) != MOSQ_ERR_SUCCESS)
        throw std::runtime_error("cannot start the test subscriber's thread");
}

MqttSubscriber::~MqttSubscriber()
{
    mosquitto_disconnect(client_);
    mosquitto_loop_stop(client_, false);
    mosquitto_destroy(client_);
}

bool MqttSubscriber::WaitFor(const Condition& condition, std::chrono::milliseconds limit)
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return condition(messages_); });
}

bool MqttSubscriber::WaitSubscribed(std::chrono::milliseconds limit)
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return subscribed_; });
}

bool MqttSubscriber::Sync(std::chrono::milliseconds limit)
{
    std::unique_lock lock(mutex_);
    synced_ = false;
    // The broker handles one client's packets in order: when it acknowledges this publish, it
    // has handled the acknowledgements sent before it.
    mosquitto_publish(client_, &syncMid_, "kalvo-test/sync", 0, nullptr, 1, false);
    return changed_.wait_for(lock, limit, [&] { return synced_; });
}

void MqttSubscriber::OnPublish(mosquitto*, void* self, int mid)
{
    auto* subscriber = static_cast<MqttSubscriber*>(self);
    {
        std::lock_guard lock(subscriber->mutex_);
        subscriber->synced_ = subscriber->synced_ || mid == subscriber->syncMid_;
    }
    subscriber->changed_.notify_all();
}

std::vector<ReceivedMessage> MqttSubscriber::Messages() const
{
    std::lock_guard lock(mutex_);
    return messages_;
}

std::vector<std::string> MqttSubscriber::Payloads(const std::string& topic) const
{
    std::vector<std::string> payloads;
    for (const ReceivedMessage& message : Messages())
        if (message.topic == topic)
            payloads.push_back(message.payload);
    return payloads;
}

void MqttSubscriber::OnConnect(mosquitto* client, void* self, int rc)
{
    const auto* subscriber = static_cast<MqttSubscriber*>(self);
    if (rc == 0)
        mosquitto_subscribe(client, nullptr, subscriber->options_.topic.c_str(), 1);
}

void MqttSubscriber::OnSubscribe(mosquitto*, void* self, int, int, const int*)
{
    auto* subscriber = static_cast<MqttSubscriber*>(self);
    {
        std::lock_guard lock(subscriber->mutex_);
        subscriber->subscribed_ = true;
    }
    subscriber->changed_.notify_all();
}

void MqttSubscriber::OnMessage(mosquitto*, void* self, const mosquitto_message* message)
{
    auto* subscriber = static_cast<MqttSubscriber*>(self);
    {
        std::lock_guard lock(subscriber->mutex_);
        subscriber->messages_.push_back({message->topic,
                                         std::string(static_cast<const char*>(message->payload),
                                                     static_cast<std::size_t>(message->payloadlen)),
                                         message->retain});
    }
    subscriber->changed_.notify_all();
}

std::string LastPayload(const std::vector<ReceivedMessage>& messages, const std::string& topic)
{
    for (auto message = messages.rbegin(); message != messages.rend(); ++message)
        if (message->topic == topic)
            return message->payload;
    return {};
}

}  // namespace kalvo::test
