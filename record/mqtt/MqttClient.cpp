#include "record/mqtt/MqttClient.h"

#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <utility>

#include "core/RegularFile.h"

namespace kalvo::mqtt {

namespace {

// Events handed to libmosquitto and not yet acknowledged: enough to keep a loopback or LAN link
// busy, small enough that the bounded queue, not libmosquitto's unbounded one, holds the backlog.
constexpr std::size_t EventWindow = 20;
constexpr int EventQos = 1;
constexpr int RetainedQos = 0;   // sent again after every reconnect, so nothing is lost
constexpr int AvailabilityQos = 1;
// QoS 0: libmosquitto sends such a message at once, in order with the subscription before it and a
// DISCONNECT after it; a QoS 1 one may wait for its turn and overwrite a later claim.
constexpr int ClaimQos = 0;
constexpr int AvailabilityInFlight = 2;  // "online" and "offline"
const std::string Online = "online";
const std::string Offline = "offline";
// A connection that held this long was a good one: the back-off starts again from its minimum and
// troubles are news again. One dropped sooner (another client took the id, a message the broker
// will not take) keeps backing off.
constexpr auto StableConnection = std::chrono::seconds(60);
// How long Stop() waits for the network thread after asking it to end: a mosquitto_loop pass that
// was not woken ends within its time-out.
constexpr int LoopWaitMs = 500;
constexpr auto EndLimit = std::chrono::milliseconds(LoopWaitMs + 100);

void InitialiseLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

// libmosquitto's error in words; some it leaves as "Unknown error.".
std::string ErrorText(int rc)
{
    if (rc == MOSQ_ERR_KEEPALIVE)
        return "no answer from the broker within the keepalive time";
    if (rc == MOSQ_ERR_ERRNO)
        return std::strerror(errno);
    return mosquitto_strerror(rc);
}

// A publish that got this far is queued inside libmosquitto, connected or not.
bool HandedOver(int rc)
{
    return rc == MOSQ_ERR_SUCCESS || rc == MOSQ_ERR_NO_CONN || rc == MOSQ_ERR_CONN_LOST;
}

// A file that is no certificate would fail every TLS handshake; it is refused at the start instead.
void CheckCaFile(const std::string& path)
{
    const std::string where = "the CA file \"" + Printable(path) + "\"";
    const OpenedFile opened = OpenRegularFile(path);
    if (!opened.file)
        throw std::runtime_error("cannot read " + where + " (" + std::strerror(opened.error) + ")");
    X509* certificate = PEM_read_X509(opened.file.get(), nullptr, nullptr, nullptr);
    if (!certificate)
        throw std::runtime_error(where + " holds no PEM certificate");
    X509_free(certificate);
}

}  // namespace

MqttClient::MqttClient(ClientSettings settings, Reporter report)
    : settings_(std::move(settings)),
      report_(std::move(report)),
      protocol_(MQTT_PROTOCOL_V5),
      refusalEnds_(settings_.firstRefusalEnds),
      events_(settings_.eventCapacity)
{
    if (settings_.broker.tls && !settings_.caFile.empty())
        CheckCaFile(settings_.caFile);
    InitialiseLibrary();
    client_ = mosquitto_new(settings_.clientId.c_str(), true, this);
    if (!client_)
        throw std::runtime_error("cannot set up the MQTT client");
    const auto fail = [this](const std::string& why) {
        mosquitto_destroy(client_);
        throw std::runtime_error(why);
    };
    mosquitto_connect_callback_set(client_, OnConnect);
    mosquitto_disconnect_callback_set(client_, OnDisconnect);
    mosquitto_publish_callback_set(client_, OnPublish);
    mosquitto_log_callback_set(client_, OnLog);
    mosquitto_message_callback_set(client_, OnMessage);
    // Room for the event window and the availability documents. A limit, not 0 (none): after a
    // reconnect libmosquitto resends only messages within its limit at once.
    mosquitto_max_inflight_messages_set(client_, EventWindow + AvailabilityInFlight);
    mosquitto_threaded_set(client_, true);
    // MQTT 5: the broker says why it drops a connection (another client took the id) and how large a
    // message it takes, so that such a message is refused here with a reason instead of costing
    // the connection. With a broker that speaks only 3.1.1 the client speaks that (FallBackTo311):
    // the claim topic still tells a taken id, a message too large then costs the connection.
    mosquitto_int_option(client_, MOSQ_OPT_PROTOCOL_VERSION, protocol_);
    if (!settings_.user.empty() &&
        mosquitto_username_pw_set(client_, settings_.user.c_str(), settings_.password.c_str()) != MOSQ_ERR_SUCCESS)
        fail("cannot use the MQTT user name \"" + settings_.user + "\"");
    if (settings_.broker.tls) {
        const char* caFile = settings_.caFile.empty() ? nullptr : settings_.caFile.c_str();
        const char* caPath = caFile ? nullptr : "/etc/ssl/certs";
        if (mosquitto_tls_set(client_, caFile, caPath, nullptr, nullptr, nullptr) != MOSQ_ERR_SUCCESS)
            fail("cannot read the CA file \"" + settings_.caFile + "\"");
    }
    if (!settings_.availabilityTopic.empty()
        && mosquitto_will_set(client_, settings_.availabilityTopic.c_str(), static_cast<int>(Offline.size()),
               Offline.data(), AvailabilityQos, true) != MOSQ_ERR_SUCCESS)
        fail("cannot use the topic \"" + settings_.availabilityTopic + "\"");
    network_ = std::thread([this] {
        NetworkLoop();
        std::lock_guard lock(mutex_);
        networkEnded_ = true;
        changed_.notify_all();  // under the lock: the owner may free the client once it sees the end
    });
}

MqttClient::~MqttClient()
{
    if (!Stop()) {  // the network thread still uses the client: wait for it however long it takes
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return networkEnded_; });
    }
    mosquitto_destroy(client_);
}

void MqttClient::PublishRetained(const std::string& topic, const std::string& payload)
{
    std::lock_guard lock(mutex_);
    retained_[topic] = payload;
    if (connected_ && !stopping_ && !idTaken_)
        SendRetained(topic, payload);
}

void MqttClient::PublishEvent(const std::string& topic, const std::string& payload)
{
    std::lock_guard lock(mutex_);
    events_.Push({topic, payload});
    PumpEvents();
}

void MqttClient::ClearRetained(const std::string& topic)
{
    std::lock_guard lock(mutex_);
    retained_.erase(topic);
    events_.Push({topic, "", true});
    PumpEvents();
}

ClientStatus MqttClient::Status() const
{
    std::lock_guard lock(mutex_);
    return {connected_, refused_, idTaken_, refusal_, events_.Size() + eventsInFlight_.size(), delivered_, events_.Dropped(),
        retryDelay_};
}

std::optional<std::string> MqttClient::AwaitFirstAnswer(
    std::chrono::milliseconds limit, const std::function<bool()>& stop)
{
    constexpr auto StopCheck = std::chrono::milliseconds(100);
    const auto end = std::chrono::steady_clock::now() + limit;
    std::unique_lock lock(mutex_);
    while (!firstAnswered_ && !(stop && stop()) && std::chrono::steady_clock::now() < end)
        changed_.wait_for(
            lock, std::min<std::chrono::steady_clock::duration>(StopCheck, end - std::chrono::steady_clock::now()));
    refusalEnds_ = false;
    return refused_ ? std::optional(refusal_) : std::nullopt;
}

bool MqttClient::Flush(std::chrono::milliseconds limit)
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [this] {
        return refused_ || idTaken_ || (events_.Empty() && eventsInFlight_.empty());
    }) && !refused_ && !idTaken_;
}

bool MqttClient::Stop(std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    {
        std::unique_lock lock(mutex_);
        if (stopping_)
            return networkEnded_;
        if (connected_ && !settings_.availabilityTopic.empty()) {
            changed_.wait_until(
                lock, deadline, [this] { return !connected_ || (events_.Empty() && eventsInFlight_.empty()); });
            mosquitto_publish(client_, &offlineMid_, settings_.availabilityTopic.c_str(),
                              static_cast<int>(Offline.size()), Offline.data(), AvailabilityQos, true);
            changed_.wait_until(lock, deadline, [this] { return !connected_ || offlineSent_; });
        }
        stopping_ = true;
    }
    changed_.notify_all();
    mosquitto_disconnect(client_);  // also wakes a mosquitto_loop waiting on the socket
    {
        // A name lookup cannot be interrupted: a nameserver that never answers would hold the end
        // of the program for the resolver's whole time-out, beyond what a service manager waits.
        std::unique_lock lock(mutex_);
        if (!changed_.wait_until(lock, deadline + EndLimit, [this] { return networkEnded_; })) {
            quiet_ = true;
            network_.detach();
            return false;
        }
    }
    network_.join();
    return true;
}

void MqttClient::NetworkLoop()
{
    const std::string broker = settings_.broker.Url();
    const auto shortest = std::chrono::seconds(settings_.retryMinSeconds);
    auto delay = shortest;
    bool first = true;
    bool refusedBefore = false;
    while (true) {
        {
            std::lock_guard lock(mutex_);
            if (stopping_ || refused_ || idTaken_)
                break;
        }
        if (refusedBefore)
            RereadPassword();
        // The name lookup may block this thread for a while; the TCP connection and the TLS
        // handshake go on inside mosquitto_loop.
        int rc = first ? mosquitto_connect_async(client_, settings_.broker.host.c_str(), settings_.broker.port,
                                                 settings_.keepAliveSeconds)
                       : mosquitto_reconnect_async(client_);
        first = false;
        while (rc == MOSQ_ERR_SUCCESS) {
            if (Stopping() || (IdTaken() && !mosquitto_want_write(client_))) {
                mosquitto_disconnect(client_);
                mosquitto_loop(client_, 100, 1);  // sends the DISCONNECT
                break;
            }
            rc = mosquitto_loop(client_, LoopWaitMs, 1);
        }
        bool wasConnected = false;
        bool wasRefused = false;
        {
            std::lock_guard lock(mutex_);
            if (std::exchange(fellBack_, false) && !stopping_)
                continue;  // at once, in MQTT 3.1.1; the broker has not answered the login yet
            firstAnswered_ = true;
            if (stopping_ || refused_ || idTaken_)
                break;
            wasConnected = connectedSincePause_;
            connectedSincePause_ = false;
            wasRefused = std::exchange(attemptRefused_, false);
            if (std::exchange(heldLong_, false))
                delay = shortest;
            retryDelay_ = delay;
        }
        changed_.notify_all();
        refusedBefore = wasRefused;
        if (!wasConnected && !wasRefused) {  // a loss or a refusal was reported as it came
            const std::string why = ErrorText(rc);
            Report("MQTT: cannot reach broker " + broker + " (" + why + "); trying again");
        }
        if (!Pause(delay))
            break;
        delay = std::min(delay * 2, std::chrono::seconds(settings_.retryMaxSeconds));
    }
    // A refused login leaves the thread waiting for Stop(), which still disconnects.
    changed_.notify_all();
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return stopping_; });
}

bool MqttClient::Stopping() const
{
    std::lock_guard lock(mutex_);
    return stopping_;
}

bool MqttClient::IdTaken() const
{
    std::lock_guard lock(mutex_);
    return idTaken_;
}

bool MqttClient::Pause(std::chrono::seconds delay)
{
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, delay, [this] { return stopping_; });
}

void MqttClient::OnConnect(mosquitto*, void* self, int rc) { static_cast<MqttClient*>(self)->Connected(rc); }
void MqttClient::OnDisconnect(mosquitto*, void* self, int rc) { static_cast<MqttClient*>(self)->Disconnected(rc); }
void MqttClient::OnPublish(mosquitto*, void* self, int mid) { static_cast<MqttClient*>(self)->Acknowledged(mid); }

void MqttClient::OnMessage(mosquitto*, void* self, const mosquitto_message* message)
{
    static_cast<MqttClient*>(self)->ClaimSeen(
        std::string(static_cast<const char*>(message->payload), static_cast<std::size_t>(message->payloadlen)));
}

void MqttClient::ClaimSeen(const std::string& runId)
{
    bool taken = false;
    {
        std::lock_guard lock(mutex_);
        taken = lostBefore_ && runId != settings_.runId && !idTaken_;
    }
    if (!taken)
        return;
    // This connection has just pushed the other client off (the broker need not say why) and
    // claimed the id: the claim goes back to the other one, which keeps publishing when it returns.
    mosquitto_publish(client_, nullptr, settings_.claimTopic.c_str(), static_cast<int>(runId.size()), runId.data(),
        ClaimQos, true);
    GiveUpTakenId();  // the network loop disconnects once that is sent
}

void MqttClient::GiveUpTakenId()
{
    {
        std::lock_guard lock(mutex_);
        if (std::exchange(idTaken_, true))
            return;
    }
    changed_.notify_all();
    Report("MQTT: another client took the id \"" + settings_.clientId + "\" at broker " + settings_.broker.Url()
        + " (two recorders under one --name?); this recorder publishes no more until it is restarted, and its "
          "files go on");
}

bool MqttClient::FallBackTo311(int rc)
{
    if (protocol_ != MQTT_PROTOCOL_V5
        || (rc != MQTT_RC_UNSUPPORTED_PROTOCOL_VERSION && rc != CONNACK_REFUSED_PROTOCOL_VERSION))
        return false;
    protocol_ = MQTT_PROTOCOL_V311;
    mosquitto_int_option(client_, MOSQ_OPT_PROTOCOL_VERSION, protocol_);
    {
        std::lock_guard lock(mutex_);
        fellBack_ = true;
    }
    Report("MQTT: broker " + settings_.broker.Url() + " does not speak MQTT 5; using MQTT 3.1.1", false);
    return true;
}

// The connection's answer codes are MQTT 5 reason codes, or MQTT 3.1.1 return codes after a fall back.
bool MqttClient::LoginRefused(int rc) const
{
    return protocol_ == MQTT_PROTOCOL_V5
        ? rc == MQTT_RC_BAD_USERNAME_OR_PASSWORD || rc == MQTT_RC_NOT_AUTHORIZED
        : rc == CONNACK_REFUSED_BAD_USERNAME_PASSWORD || rc == CONNACK_REFUSED_NOT_AUTHORIZED;
}

std::string MqttClient::ConnackText(int rc) const
{
    return protocol_ == MQTT_PROTOCOL_V5 ? mosquitto_reason_string(rc) : mosquitto_connack_string(rc);
}

void MqttClient::RereadPassword()
{
    if (!settings_.rereadPassword)
        return;
    try {
        settings_.password = settings_.rereadPassword();
    } catch (const std::runtime_error& error) {
        Report(std::string("MQTT: ") + error.what() + "; the last password is tried again");
        return;
    }
    mosquitto_username_pw_set(client_, settings_.user.c_str(), settings_.password.c_str());
}

void MqttClient::OnLog(mosquitto*, void* self, int level, const char* text)
{
    // libmosquitto says why a TLS handshake or a connection failed only here.
    if (level != MOSQ_LOG_ERR)
        return;
    auto* client = static_cast<MqttClient*>(self);
    std::string line = std::string("MQTT: ") + text;
    // "certificate verify failed" alone does not tell an expired certificate from an unknown CA;
    // the handshake's verification result does.
    const auto* tls = static_cast<const SSL*>(mosquitto_ssl_get(client->client_));
    if (tls && line.find("certificate verify failed") != std::string::npos) {
        // Not OpenSSL's "unspecified" error, which is all it knows of a host name that does not match.
        if (const long result = SSL_get_verify_result(tls); result != X509_V_OK && result != X509_V_ERR_UNSPECIFIED)
            line += std::string(" (") + X509_verify_cert_error_string(result) + ")";
    }
    client->Report(line);
}

void MqttClient::Connected(int rc)
{
    const std::string broker = settings_.broker.Url();
    if (rc != 0) {
        if (FallBackTo311(rc))
            return;
        const std::string why = ConnackText(rc);
        if (LoginRefused(rc)) {
            const std::string refusal = "MQTT broker " + broker + " refused the login" +
                                        (settings_.user.empty() ? std::string() : " of user \"" + settings_.user + "\"") +
                                        ": " + why;
            bool ends = false;
            {
                std::lock_guard lock(mutex_);
                ends = refusalEnds_;
                if (ends) {
                    // The very first answer: a wrong password or user, asking again will not help.
                    // Whoever awaits the first answer says it.
                    refused_ = true;
                    refusal_ = refusal;
                } else {
                    // After a successful login (a rotated password, an auth backend that failed for a
                    // while) the files go on and the broker is asked again.
                    attemptRefused_ = true;
                }
            }
            changed_.notify_all();
            if (!ends)
                Report(refusal + "; trying again");
        } else {
            Report("MQTT broker " + broker + " turned the connection down: " + why + "; trying again");
        }
        return;
    }
    std::uint64_t newlyDropped = 0;
    {
        std::lock_guard lock(mutex_);
        connected_ = true;
        connectedSincePause_ = true;
        connectedAt_ = std::chrono::steady_clock::now();
        firstAnswered_ = true;
        refusalEnds_ = false;
        newlyDropped = events_.Dropped() - droppedReported_;
        droppedReported_ = events_.Dropped();
        if (!stopping_) {
            if (!settings_.availabilityTopic.empty())
                mosquitto_publish(client_, nullptr, settings_.availabilityTopic.c_str(),
                    static_cast<int>(Online.size()), Online.data(), AvailabilityQos, true);
            for (const auto& [topic, payload] : retained_)
                SendRetained(topic, payload);
            if (!settings_.claimTopic.empty()) {
                // The broker hands the retained run id to the subscription before it takes ours.
                mosquitto_subscribe(client_, nullptr, settings_.claimTopic.c_str(), ClaimQos);
                mosquitto_publish(client_, nullptr, settings_.claimTopic.c_str(),
                    static_cast<int>(settings_.runId.size()), settings_.runId.data(), ClaimQos, true);
            }
            // Events left unacknowledged by the last connection go again first: libmosquitto
            // resends them after this callback, and their acknowledgements bring the next ones.
            if (eventsInFlight_.empty())
                PumpEvents();
        }
    }
    changed_.notify_all();
    Report("MQTT: connected to " + broker
            + (newlyDropped ? "; the oldest " + std::to_string(newlyDropped) + " events were dropped while it was away"
                            : std::string()),
        false);
}

void MqttClient::Disconnected(int rc)
{
    bool wasConnected = false;
    bool held = false;
    {
        std::lock_guard lock(mutex_);
        wasConnected = connected_;
        connected_ = false;
        lostBefore_ = lostBefore_ || (wasConnected && rc != 0);
        held = wasConnected && std::chrono::steady_clock::now() - connectedAt_ >= StableConnection;
        heldLong_ = held;
    }
    changed_.notify_all();
    if (held) {
        std::lock_guard lock(reportMutex_);
        said_.clear();
    }
    if (rc == 0 || !wasConnected)
        return;
    const std::string broker = settings_.broker.Url();
    if (rc == MQTT_RC_SESSION_TAKEN_OVER)
        GiveUpTakenId();
    else if (rc >= MQTT_RC_UNSPECIFIED)  // the broker's own reason
        Report("MQTT: broker " + broker + " dropped the connection: " + mosquitto_reason_string(rc) + "; trying again");
    else
        Report("MQTT: lost broker " + broker + " (" + ErrorText(rc) + "); trying again");
}

void MqttClient::Acknowledged(int mid)
{
    {
        std::lock_guard lock(mutex_);
        if (mid == offlineMid_) {
            offlineSent_ = true;
        } else if (eventsInFlight_.erase(mid) > 0) {
            ++delivered_;
            PumpEvents();
        }
    }
    changed_.notify_all();
}

void MqttClient::SendRetained(const std::string& topic, const std::string& payload)
{
    ReportUnsent(mosquitto_publish(client_, nullptr, topic.c_str(), static_cast<int>(payload.size()), payload.data(),
                     RetainedQos, true),
        topic, payload.size());
}

void MqttClient::ReportUnsent(int rc, const std::string& topic, std::size_t size)
{
    if (rc != MOSQ_ERR_OVERSIZE_PACKET)
        return;
    char kilobytes[32];
    std::snprintf(kilobytes, sizeof kilobytes, "%.1f KB", static_cast<double>(size) / 1000.0);
    Report("MQTT: the broker refused a " + std::string(kilobytes) + " message on " + topic + " (larger than its "
        + "max_packet_size); it is not sent");
}

void MqttClient::PumpEvents()
{
    // A client that gave its id up sends nothing more, not even on the connection still closing.
    while (connected_ && !stopping_ && !idTaken_ && !events_.Empty() && eventsInFlight_.size() < EventWindow) {
        const Message& event = events_.Front();
        int mid = 0;
        const int rc = mosquitto_publish(client_, &mid, event.topic.c_str(), static_cast<int>(event.payload.size()),
                                         event.payload.data(), EventQos, event.retain);
        if (HandedOver(rc))
            eventsInFlight_.insert(mid);
        ReportUnsent(rc, event.topic, event.payload.size());
        events_.PopFront();  // an event libmosquitto rejects outright would be rejected again
    }
}

void MqttClient::Report(const std::string& line, bool trouble)
{
    if (quiet_ || (settings_.quiet && !trouble))
        return;  // the owner has gone on without the network thread, or wants to hear only of trouble
    {
        std::lock_guard lock(reportMutex_);
        // The same failure on every retry, or two failures taking turns, are said once.
        if (trouble ? !said_.insert(line).second : line == lastReport_)
            return;
        lastReport_ = line;
    }
    if (report_)
        report_(line);
}

}  // namespace kalvo::mqtt
