// The libmosquitto client against a real mosquitto on loopback: retained documents, events in
// order across a broker restart, the bounded queue, TLS and a refused login.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "record/mqtt/BrokerAddress.h"
#include "record/mqtt/EventQueue.h"
#include "record/mqtt/MqttClient.h"
#include "tests/mqtt/support/MosquittoBroker.h"
#include "tests/mqtt/support/MqttSubscriber.h"
#include "tests/mqtt/support/WaitUntil.h"

namespace kalvo::mqtt {
namespace {

using namespace std::chrono_literals;
using test::MosquittoBroker;
using test::MqttSubscriber;
using test::ReceivedMessage;

using test::WaitUntil;
constexpr auto Limit = test::Patience;

struct Reports {
    std::mutex mutex;
    std::vector<std::string> lines;
    MqttClient::Reporter Reporter()
    {
        return [this](const std::string& line) {
            std::lock_guard lock(mutex);
            lines.push_back(line);
        };
    }
    bool Contain(const std::string& text) { return Count(text) > 0; }
    std::size_t Count(const std::string& text)
    {
        std::lock_guard lock(mutex);
        return std::count_if(
            lines.begin(), lines.end(), [&](const std::string& line) { return line.find(text) != std::string::npos; });
    }
};

ClientSettings SettingsFor(const MosquittoBroker& broker)
{
    ClientSettings settings;
    settings.broker = ParseBrokerUrl(broker.Url());
    settings.clientId = "kalvo-record-test";
    settings.availabilityTopic = "kalvo/test/availability";
    settings.claimTopic = "kalvo/test/recorder";
    settings.runId = "run-1";
    settings.retryMaxSeconds = 2;
    return settings;
}

TEST(BrokerAddress, ReadsBothSchemesWithTheirDefaultPorts)
{
    struct Case {
        std::string url, host;
        int port;
        bool tls;
    };
    for (const Case& c : {Case{"mqtt://broker.local", "broker.local", 1883, false},
                          Case{"mqtts://broker.local", "broker.local", 8883, true},
                          Case{"mqtt://10.0.0.5:1884/", "10.0.0.5", 1884, false},
                          Case{"mqtts://[::1]:8884", "::1", 8884, true}}) {
        const BrokerAddress address = ParseBrokerUrl(c.url);
        EXPECT_EQ(address.host, c.host) << c.url;
        EXPECT_EQ(address.port, c.port) << c.url;
        EXPECT_EQ(address.tls, c.tls) << c.url;
    }
    EXPECT_EQ(ParseBrokerUrl("mqtts://[::1]:8884").Url(), "mqtts://[::1]:8884");
}

TEST(BrokerAddress, RejectsWhatIsNoBrokerAddress)
{
    for (const char* url : {"broker.local", "http://broker", "mqtt://", "mqtt://:1883", "mqtt://h:0", "mqtt://h:65536",
                            "mqtt://h:x", "mqtt://user@h", "mqtt://h/kalvo", "mqtt://[::1"})
        EXPECT_THROW(ParseBrokerUrl(url), std::invalid_argument) << url;
}

TEST(EventQueue, DropsAndCountsTheOldestWhenFull)
{
    EventQueue queue(3);
    for (int i = 1; i <= 5; ++i)
        queue.Push({"t", std::to_string(i)});
    EXPECT_EQ(queue.Size(), 3u);
    EXPECT_EQ(queue.Dropped(), 2u);
    EXPECT_EQ(queue.Front().payload, "3");
}

TEST(MqttClient, PublishesRetainedDocumentsAvailabilityAndEventsInOrder)
{
    MosquittoBroker broker;
    MqttSubscriber subscriber(broker.Port());
    ASSERT_TRUE(subscriber.WaitSubscribed());
    {
        MqttClient client(SettingsFor(broker), nullptr);
        client.PublishRetained("kalvo/test/state", "first");  // before the connection: kept
        for (int i = 1; i <= 100; ++i)
            client.PublishEvent("kalvo/test/event", std::to_string(i));
        ASSERT_TRUE(client.Flush(Limit));
        client.PublishRetained("kalvo/test/state", "second");
        EXPECT_EQ(client.Status().delivered, 100u);
        ASSERT_TRUE(subscriber.WaitFor([](const auto& messages) {
            return test::LastPayload(messages, "kalvo/test/state") == "second";
        }));
    }  // a clean end says "offline"
    ASSERT_TRUE(subscriber.WaitFor([](const auto& messages) {
        return test::LastPayload(messages, "kalvo/test/availability") == "offline";
    }));
    std::vector<std::string> expected;
    for (int i = 1; i <= 100; ++i)
        expected.push_back(std::to_string(i));
    EXPECT_EQ(subscriber.Payloads("kalvo/test/event"), expected);
    EXPECT_EQ(subscriber.Payloads("kalvo/test/availability"), (std::vector<std::string>{"online", "offline"}));

    // A reader that comes later finds the retained documents.
    MqttSubscriber::Options lateReader;
    lateReader.clientId = "late-reader";
    MqttSubscriber late(broker.Port(), lateReader);
    ASSERT_TRUE(late.WaitFor([](const auto& messages) {
        return test::LastPayload(messages, "kalvo/test/state") == "second" &&
               test::LastPayload(messages, "kalvo/test/availability") == "offline";
    }));
    for (const ReceivedMessage& message : late.Messages())
        EXPECT_TRUE(message.retained) << message.topic;
}

TEST(MqttClient, KeepsEventsWhileTheBrokerIsAwayDroppingTheOldestBeyondTheBound)
{
    MosquittoBroker broker;
    MqttSubscriber subscriber(broker.Port());
    ASSERT_TRUE(subscriber.WaitSubscribed());
    ClientSettings settings = SettingsFor(broker);
    settings.eventCapacity = 5;
    Reports reports;
    MqttClient client(settings, reports.Reporter());
    client.PublishEvent("kalvo/test/event", "before");
    ASSERT_TRUE(client.Flush(Limit));
    ASSERT_TRUE(subscriber.WaitFor(
        [](const auto& messages) { return test::LastPayload(messages, "kalvo/test/event") == "before"; }));
    ASSERT_TRUE(subscriber.Sync());  // so the restarted broker has nothing to deliver again

    broker.Stop();
    ASSERT_TRUE(WaitUntil([&] { return !client.Status().connected; }));
    for (int i = 1; i <= 8; ++i)
        client.PublishEvent("kalvo/test/event", std::to_string(i));
    EXPECT_EQ(client.Status().waiting, 5u);
    EXPECT_EQ(client.Status().dropped, 3u);
    broker.Start();

    ASSERT_TRUE(client.Flush(Limit));
    const std::vector<std::string> expected{"before", "4", "5", "6", "7", "8"};
    ASSERT_TRUE(subscriber.WaitFor([](const auto& messages) {
        return std::count_if(messages.begin(), messages.end(),
                              [](const ReceivedMessage& m) { return m.topic == "kalvo/test/event"; }) >= 6;
    }));
    EXPECT_EQ(subscriber.Payloads("kalvo/test/event"), expected);
    EXPECT_TRUE(reports.Contain("the oldest 3 events were dropped while it was away"));
}

TEST(MqttClient, EventsOnTheWayWhenTheBrokerDiesGoAgainBeforeTheLaterOnes)
{
    MosquittoBroker broker({.saveEachChange = true});
    MqttSubscriber subscriber(broker.Port());
    ASSERT_TRUE(subscriber.WaitSubscribed());
    MqttClient client(SettingsFor(broker), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return client.Status().connected; }));
    ASSERT_TRUE(subscriber.Sync());

    std::vector<std::string> expected;
    const auto send = [&](int count) {
        for (int i = 0; i < count; ++i) {
            expected.push_back(std::to_string(expected.size() + 1));
            client.PublishEvent("kalvo/test/event", expected.back());
        }
    };
    broker.Freeze();
    send(10);  // written to the connection, never acknowledged
    broker.Kill();
    ASSERT_TRUE(WaitUntil([&] { return !client.Status().connected; }));
    send(10);  // these wait in the queue
    broker.Start();
    ASSERT_TRUE(client.Flush(Limit));
    ASSERT_TRUE(subscriber.WaitFor([](const auto& messages) {
        return std::count_if(messages.begin(), messages.end(),
                             [](const ReceivedMessage& m) { return m.topic == "kalvo/test/event"; }) >= 20;
    }));
    EXPECT_EQ(subscriber.Payloads("kalvo/test/event"), expected);
}

TEST(MqttClient, StartsBeforeTheBrokerAndConnectsWhenItComes)
{
    MosquittoBroker broker;
    broker.Stop();
    Reports reports;
    MqttClient client(SettingsFor(broker), reports.Reporter());
    client.PublishEvent("kalvo/test/event", "early");
    EXPECT_FALSE(client.Status().connected);
    ASSERT_TRUE(WaitUntil([&] { return reports.Contain("cannot reach broker " + broker.Url()); }));
    broker.Start();
    MqttSubscriber subscriber(broker.Port());
    ASSERT_TRUE(subscriber.WaitSubscribed());
    ASSERT_TRUE(client.Flush(Limit));
    EXPECT_EQ(client.Status().delivered, 1u);
    // Every failed attempt is the same news: said once, not at each retry.
    std::lock_guard lock(reports.mutex);
    ASSERT_EQ(reports.lines.size(), 2u);
    EXPECT_EQ(reports.lines[1], "MQTT: connected to " + broker.Url());
}

TEST(MqttClient, TalksTlsWithTheGivenCaAndRefusesAServerItCannotVerify)
{
    MosquittoBroker broker({.tls = true});
    MqttSubscriber::Options overTls;
    overTls.caFile = broker.CaFile();
    MqttSubscriber subscriber(broker.Port(), overTls);
    ASSERT_TRUE(subscriber.WaitSubscribed());
    ClientSettings settings = SettingsFor(broker);
    settings.caFile = broker.CaFile();
    {
        MqttClient client(settings, nullptr);
        client.PublishEvent("kalvo/test/event", "over TLS");
        ASSERT_TRUE(client.Flush(Limit));
    }
    EXPECT_TRUE(subscriber.WaitFor(
        [](const auto& messages) { return test::LastPayload(messages, "kalvo/test/event") == "over TLS"; }));

    settings.caFile.clear();  // the system's certificate store does not know the test CA
    Reports reports;
    MqttClient stranger(settings, reports.Reporter());
    ASSERT_TRUE(WaitUntil([&] { return reports.Contain("certificate verify failed"); }));
    // OpenSSL's reason for an unknown CA, which is not the one of an expired certificate.
    EXPECT_TRUE(reports.Contain("certificate verify failed (self-signed certificate in certificate chain)"))
        << reports.lines.front();
    EXPECT_FALSE(stranger.Status().connected);

    // A host name the certificate does not name: OpenSSL's "unspecified" error adds nothing.
    settings.caFile = broker.CaFile();
    settings.broker.host = "localhost";
    Reports elsewhere;
    MqttClient misnamed(settings, elsewhere.Reporter());
    ASSERT_TRUE(WaitUntil([&] { return elsewhere.Contain("certificate verify failed"); }));
    EXPECT_FALSE(elsewhere.Contain("unspecified"));

    // A CA file that cannot be read or holds no certificate is refused at once, not at every connect.
    settings.caFile = broker.Folder().file("missing.crt");
    EXPECT_THROW(MqttClient(settings, nullptr), std::runtime_error);
    settings.caFile = broker.Folder().file("server.ext");
    try {
        MqttClient(settings, nullptr);
        ADD_FAILURE() << "a CA file without a certificate was taken";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(error.what(), "the CA file \"" + settings.caFile + "\" holds no PEM certificate");
    }
}

// Two recorders under one name: the one pushed off says so once and backs off for good, the other
// keeps the id and publishes on. (mosquitto 2.0 closes the connection without a reason: the claim
// topic tells.)
TEST(MqttClient, OfTwoClientsUnderOneIdThePushedOffOneBacksOffForGood)
{
    MosquittoBroker broker;
    MqttSubscriber subscriber(broker.Port());
    ASSERT_TRUE(subscriber.WaitSubscribed());
    ClientSettings settings = SettingsFor(broker);
    settings.clientId = "kalvo-record-dup";
    Reports firstReports, secondReports;
    MqttClient first(settings, firstReports.Reporter());
    ASSERT_TRUE(WaitUntil([&] { return first.Status().connected; }));
    settings.runId = "run-2";
    MqttClient second(settings, secondReports.Reporter());
    ASSERT_TRUE(WaitUntil([&] { return first.Status().idTaken; }));
    EXPECT_TRUE(WaitUntil([&] {
        return firstReports.Count("another client took the id \"kalvo-record-dup\" at broker " + broker.Url()
                   + " (two recorders under one --name?); this recorder publishes no more until it is restarted")
            == 1;
    }));
    first.PublishEvent("kalvo/test/event", "from the first");
    EXPECT_FALSE(first.Flush(0ms));
    second.PublishEvent("kalvo/test/event", "from the second");
    ASSERT_TRUE(second.Flush(Limit));
    ASSERT_TRUE(subscriber.WaitFor([](const auto& messages) {
        return test::LastPayload(messages, "kalvo/test/event") == "from the second"
            && test::LastPayload(messages, "kalvo/test/recorder") == "run-2";
    }));
    EXPECT_FALSE(second.Status().idTaken);
    EXPECT_EQ(secondReports.Count("took the id"), 0u);
    EXPECT_EQ(subscriber.Payloads("kalvo/test/event"), std::vector<std::string>{"from the second"});
}

TEST(MqttClient, SpeaksMqtt311WithABrokerThatRefusesMqtt5AndSaysSoOnce)
{
    MosquittoBroker broker({.passwords = true, .only311 = true});
    MqttSubscriber subscriber(broker.Port(), {"kalvo-test-subscriber", "kalvo/#", MosquittoBroker::User,
                                                 MosquittoBroker::Password, ""});
    ASSERT_TRUE(subscriber.WaitSubscribed());
    ClientSettings settings = SettingsFor(broker);
    settings.user = MosquittoBroker::User;
    settings.password = MosquittoBroker::Password;
    settings.firstRefusalEnds = true;
    Reports reports;
    {
        MqttClient client(settings, reports.Reporter());
        ASSERT_FALSE(client.AwaitFirstAnswer(Limit, nullptr));
        client.PublishRetained("kalvo/test/state", "state");
        client.PublishEvent("kalvo/test/event", "event");
        ASSERT_TRUE(client.Flush(Limit));
    }
    ASSERT_TRUE(subscriber.WaitFor([](const auto& messages) {
        return test::LastPayload(messages, "kalvo/test/state") == "state"
            && test::LastPayload(messages, "kalvo/test/availability") == "offline";
    }));
    EXPECT_EQ(subscriber.Payloads("kalvo/test/event"), std::vector<std::string>{"event"});
    EXPECT_EQ(reports.lines, (std::vector<std::string>{"MQTT: broker " + broker.Url()
                                     + " does not speak MQTT 5; using MQTT 3.1.1",
                                 "MQTT: connected to " + broker.Url()}));
    // A wrong password is refused at the first answer in 3.1.1 too.
    settings.password = "wrong";
    MqttClient refused(settings, nullptr);
    const auto refusal = refused.AwaitFirstAnswer(Limit, nullptr);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->find("MQTT broker " + broker.Url() + " refused the login of user \"kalvo\""), 0u) << *refusal;
}

TEST(MqttClient, SaysWhenTheBrokerTakesNoMessageThatLargeAndKeepsTheConnection)
{
    MosquittoBroker broker({.maxPacketSize = 1024});
    MqttSubscriber subscriber(broker.Port());
    ASSERT_TRUE(subscriber.WaitSubscribed());
    Reports reports;
    MqttClient client(SettingsFor(broker), reports.Reporter());
    ASSERT_TRUE(WaitUntil([&] { return client.Status().connected; }));
    client.PublishRetained("kalvo/test/state", std::string(1600, 'x'));
    client.PublishEvent("kalvo/test/event", "small");
    ASSERT_TRUE(client.Flush(Limit));
    EXPECT_TRUE(subscriber.WaitFor(
        [](const auto& messages) { return test::LastPayload(messages, "kalvo/test/event") == "small"; }));
    EXPECT_TRUE(reports.Contain("the broker refused a 1.6 KB message on kalvo/test/state"));
    EXPECT_EQ(reports.Count("connected to"), 1u) << "the connection was dropped";
    EXPECT_EQ(reports.Count("lost"), 0u);
}

// How often the broker's log holds the text so far.
std::size_t CountIn(const std::string& log, const std::string& text)
{
    std::size_t count = 0;
    for (std::size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
        ++count;
    return count;
}

TEST(MqttClient, TellsAnExpiredCertificateAndSaysEachTroubleOnceThoughTheyTakeTurns)
{
    MosquittoBroker broker({.tls = true, .expiredCertificate = true});
    ClientSettings settings = SettingsFor(broker);
    settings.caFile = broker.CaFile();
    Reports reports;
    MqttClient client(settings, reports.Reporter());
    ASSERT_TRUE(WaitUntil([&] { return reports.Contain("certificate verify failed (certificate has expired)"); }));
    // Each attempt fails with the same lines in turn; they are said once.
    ASSERT_TRUE(WaitUntil([&] { return CountIn(broker.Log(), "New connection from") >= 3; }));
    std::lock_guard lock(reports.mutex);
    const std::set<std::string> distinct(reports.lines.begin(), reports.lines.end());
    EXPECT_EQ(distinct.size(), reports.lines.size());
}

TEST(MqttClient, SaysAKeepaliveLossInWords)
{
    MosquittoBroker broker;
    ClientSettings settings = SettingsFor(broker);
    settings.keepAliveSeconds = 5;  // libmosquitto's shortest
    Reports reports;
    MqttClient client(settings, reports.Reporter());
    ASSERT_TRUE(WaitUntil([&] { return client.Status().connected; }));
    broker.Freeze();
    ASSERT_TRUE(WaitUntil([&] { return reports.Contain("lost broker"); }));
    EXPECT_TRUE(reports.Contain("(no answer from the broker within the keepalive time)"));
    EXPECT_FALSE(reports.Contain("Unknown error"));
}

// How often the broker has turned a login down so far.
std::size_t RefusalsIn(const std::string& log)
{
    std::size_t count = 0;
    for (std::size_t at = log.find("not authorised"); at != std::string::npos; at = log.find("not authorised", at + 1))
        ++count;
    return count;
}

TEST(MqttClient, ARefusalAtTheFirstAnswerEndsItAfterALoginItIsSaidOnceAndTriedAgain)
{
    MosquittoBroker broker({.passwords = true});
    ClientSettings settings = SettingsFor(broker);
    settings.user = MosquittoBroker::User;
    settings.password = "wrong";
    settings.firstRefusalEnds = true;
    Reports refusedReports;
    MqttClient refused(settings, refusedReports.Reporter());
    const auto refusal = refused.AwaitFirstAnswer(Limit, nullptr);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(*refusal, "MQTT broker " + broker.Url() + " refused the login of user \"kalvo\": Not authorized");
    EXPECT_TRUE(refused.Status().refused);
    EXPECT_TRUE(refusedReports.lines.empty()) << "the one who awaited the answer says it";

    settings.password = MosquittoBroker::Password;
    Reports reports;
    MqttClient client(settings, reports.Reporter());
    ASSERT_FALSE(client.AwaitFirstAnswer(Limit, nullptr));
    ASSERT_TRUE(client.Status().connected);

    // The password is rotated on the broker: the recorder's login is refused again and again.
    broker.Stop();
    broker.SetPassword("rotated");
    const std::size_t refusalsBefore = RefusalsIn(broker.Log());
    broker.Start();
    ASSERT_TRUE(WaitUntil([&] { return RefusalsIn(broker.Log()) >= refusalsBefore + 3; })) << broker.Log();
    client.PublishEvent("kalvo/test/event", "kept");
    EXPECT_FALSE(client.Status().refused);
    EXPECT_EQ(reports.Count("refused the login of user \"kalvo\""), 1u);
    EXPECT_TRUE(reports.Contain("Not authorized; trying again"));

    broker.Stop();
    broker.SetPassword(MosquittoBroker::Password);
    broker.Start();
    EXPECT_TRUE(client.Flush(Limit));
    EXPECT_EQ(client.Status().delivered, 1u);
}

}  // namespace
}  // namespace kalvo::mqtt
