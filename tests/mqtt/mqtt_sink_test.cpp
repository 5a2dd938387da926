// What kalvo-record publishes: the state and event documents, the discovery documents, and the
// sink fed by the recorder against a real mosquitto.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <set>
#include <stdexcept>

#include "LanguageFixtures.h"
#include "MosquittoBroker.h"
#include "MqttCommandLine.h"
#include "MqttSink.h"
#include "MqttSubscriber.h"
#include "PollDecoding.h"
#include "Recorder.h"
#include "UnitData.h"
#include "WaitUntil.h"

namespace kalvo::mqtt {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;
using test::UnitState;

constexpr std::uint8_t RunState = 5, LockoutState = 7;
constexpr std::uint8_t AlarmBit = 0x80, FlameBit = 0x40;
constexpr std::int64_t Start = 1'796'601'600'000;  // 2026-12-07T00:00:00Z
const std::vector<std::uint8_t> OldRecord = test::ErrorRecordBytes(3, 4200, 2290, 15, 300);
const std::vector<std::uint8_t> NewLockout = test::ErrorRecordBytes(LockoutState, 4321, 2305, 123, 125);

Block BlockOf(const Bytes& data)
{
    Block block{};
    std::copy(data.begin(), data.end(), block.begin());
    return block;
}

record::PollInput PollOf(const UnitState& unit, std::int64_t secondsIn, record::LinkStatus link = record::LinkStatus::Ok)
{
    return {{link, BlockOf(test::StatusDataOf(unit)), BlockOf(test::TimingDataOf(unit)),
                BlockOf(test::HistoryDataOf(unit))},
        {Start + secondsIn * 1000, 60}};
}

UnitState Running()
{
    return {RunState, FlameBit, 123, 2305, {OldRecord}};
}

UnitState LockedOut()
{
    return {LockoutState, AlarmBit, 0, 2305, {NewLockout, OldRecord}};
}

TEST(MqttPayloads, StateHoldsEveryValueAsANumberWithItsUnitAndTheFlags)
{
    const LanguageLines language = test::NumberedLanguage();
    const Json state = Json::parse(StatePayload(record::DecodePoll(PollOf(Running(), 0), language)));
    EXPECT_EQ(state["time"], "2026-12-07T01:00:00+01:00");
    EXPECT_EQ(state["link"], "ok");
    EXPECT_EQ(state["state"], Json({{"code", 5}, {"text", "L17"}}));
    EXPECT_EQ(state["status_text"], "RUNNING");
    EXPECT_EQ(state["values"]["flame_current"], Json({{"value", 12.3}, {"unit", "uA"}}));
    EXPECT_EQ(state["values"]["mains_voltage"], Json({{"value", 230.5}, {"unit", "V"}}));
    EXPECT_EQ(state["values"]["prepurge_time"], Json({{"value", 12.0}, {"unit", "s"}}));
    EXPECT_TRUE(state["values"]["burner_starts"]["value"].is_number_integer());
    EXPECT_TRUE(state["values"]["safety_time"]["value"].is_null());  // a zero duration has no value
    EXPECT_EQ(state["values"].size(), record::ValueFields.size());
    EXPECT_EQ(state["flags"].size(), 10u);
    EXPECT_EQ(state["flags"]["flame"], true);
    EXPECT_EQ(state["flags"]["alarm"], false);

    const Json lost =
        Json::parse(StatePayload(record::DecodePoll(PollOf(Running(), 0, record::LinkStatus::NoPort), language)));
    EXPECT_EQ(lost["link"], "no port");
    EXPECT_TRUE(lost["flags"].is_null());
    EXPECT_TRUE(lost["values"]["flame_current"]["value"].is_null());
    EXPECT_FALSE(Json::parse(StatePayload(record::DecodePoll(PollOf(Running(), 0), language), false)).contains("time"));

    // Counters of a poll that cannot be the unit's are unknown, not a fall that would read as a reset.
    record::DecodedPoll noise = record::DecodePoll(PollOf(Running(), 0), language);
    noise.implausible = true;
    const Json implausible = Json::parse(StatePayload(noise));
    EXPECT_EQ(implausible["implausible"], true);
    EXPECT_TRUE(implausible["values"]["burner_starts"]["value"].is_null());
    EXPECT_EQ(implausible["values"]["flame_current"]["value"], 12.3);
    EXPECT_EQ(state["implausible"], false);
}

TEST(MqttPayloads, TopicsAndIdsTakeOnlyPlainNames)
{
    EXPECT_EQ(TopicsFor("boiler-7").state, "kalvo/boiler-7/state");
    EXPECT_EQ(TopicsFor("Hall_2").availability, "kalvo/Hall_2/availability");
    for (const char* name : {"", "a/b", "a+", "#", "boiler 7", "kessel-ü"})
        EXPECT_THROW(TopicsFor(name), std::invalid_argument) << name;
    EXPECT_EQ(DefaultName("boiler.room.example", 7), "boiler-com7");
    EXPECT_EQ(DefaultName("héizung", 12), "h--izung-com12");
}

// "flame" for part "flags" in "... value_json['flags']['flame'] ..."; empty when not there.
std::string KeyIn(const std::string& tmpl, const std::string& part)
{
    const std::string opening = "['" + part + "']['";
    const std::size_t start = tmpl.find(opening);
    if (start == std::string::npos)
        return {};
    const std::size_t from = start + opening.size();
    return tmpl.substr(from, tmpl.find('\'', from) - from);
}

TEST(MqttPayloads, DiscoveryDocumentsReadFieldsTheStateHas)
{
    const LanguageLines language = test::NumberedLanguage();
    const Json state = Json::parse(StatePayload(record::DecodePoll(PollOf(Running(), 0), language)));
    std::set<std::string> ids;
    int keysRead = 0;
    const std::vector<Message> documents = DiscoveryDocuments("boiler-7");
    for (const Message& document : documents) {
        SCOPED_TRACE(document.topic);
        EXPECT_TRUE(document.topic.starts_with("homeassistant/sensor/kalvo_boiler-7/") ||
                    document.topic.starts_with("homeassistant/binary_sensor/kalvo_boiler-7/"));
        EXPECT_TRUE(document.topic.ends_with("/config"));
        const Json config = Json::parse(document.payload);
        EXPECT_EQ(config["state_topic"], "kalvo/boiler-7/state");
        EXPECT_EQ(config["availability_topic"], "kalvo/boiler-7/availability");
        EXPECT_EQ(config["device"]["identifiers"][0], "kalvo_boiler-7");
        EXPECT_TRUE(ids.insert(config["unique_id"].get<std::string>()).second);
        const std::string tmpl = config["value_template"];
        for (const char* part : {"values", "flags"}) {
            const std::string key = KeyIn(tmpl, part);
            EXPECT_TRUE(key.empty() || state[part].contains(key)) << key;
            keysRead += !key.empty();
        }
    }
    EXPECT_EQ(keysRead, 12);  // flame current, mains voltage, eight counters; alarm and flame flags
    // State, lockout, flame, link, flame current, mains voltage and the counters.
    for (const char* key : {"state", "lockout", "flame_current", "mains_voltage", "burner_starts", "lockouts"})
        EXPECT_TRUE(ids.contains(std::string("kalvo_boiler-7_") + key)) << key;
}

TEST(MqttCommandLine, TakesTheBrokerOptionsAndLeavesTheRest)
{
    const MqttCommandLine parsed =
        TakeMqttOptions({"--port", "COM7", "--mqtt", "mqtts://b:8884", "--name", "boiler-7", "--mqtt-user", "kalvo",
                         "--mqtt-password-file", "/run/pw", "--mqtt-ca", "/etc/ca.crt", "--ha-discovery", "--quiet"});
    ASSERT_TRUE(parsed.error.empty()) << parsed.error;
    ASSERT_TRUE(parsed.options);
    EXPECT_EQ(parsed.rest, (std::vector<std::string>{"--port", "COM7", "--quiet"}));
    EXPECT_EQ(parsed.options->url, "mqtts://b:8884");
    EXPECT_EQ(parsed.options->name, "boiler-7");
    EXPECT_EQ(parsed.options->user, "kalvo");
    EXPECT_EQ(parsed.options->passwordFile, "/run/pw");
    EXPECT_EQ(parsed.options->caFile, "/etc/ca.crt");
    EXPECT_TRUE(parsed.options->haDiscovery);

    EXPECT_FALSE(TakeMqttOptions({"--port", "COM7"}).options);
    EXPECT_EQ(TakeMqttOptions({"--name", "x"}).error, "--name has a use only with --mqtt");
    EXPECT_EQ(TakeMqttOptions({"--mqtt"}).error, "--mqtt wants a value");

    MqttOptions options{"mqtt://b", "", "/run/pw", "", "x", false};
    EXPECT_THROW(SettingsFor(options), std::invalid_argument);  // a password without a user
    options = {"mqtt://b", "", "", "/etc/ca.crt", "x", false};
    EXPECT_THROW(SettingsFor(options), std::invalid_argument);  // a CA for a plain connection
    options = {"mqtt://b", "kalvo", "/nonexistent/pw", "", "x", false};
    EXPECT_THROW(SettingsFor(options), std::runtime_error);
}

// The recorder with the broker sink, fed polls in simulated time.
class RecorderWithBroker : public ::testing::Test {
protected:
    RecorderWithBroker() : recorder_(language_)
    {
        MqttOptions options;
        options.url = broker_.Url();
        options.name = "boiler-7";
        options.haDiscovery = true;
        auto sink = MakeMqttSink(options, 7, nullptr);
        client_ = &sink->Client();
        recorder_.AddSink(std::move(sink));
    }

    LanguageLines language_ = test::NumberedLanguage();
    test::MosquittoBroker broker_;
    test::MqttSubscriber subscriber_{broker_.Port(), {"kalvo-test-subscriber", "#", "", "", ""}};
    record::Recorder recorder_;
    MqttClient* client_ = nullptr;
};

std::vector<std::string> Times(const std::vector<std::string>& payloads)
{
    std::vector<std::string> times;
    for (const std::string& payload : payloads)
        times.push_back(Json::parse(payload)["time"]);
    return times;
}

TEST_F(RecorderWithBroker, PublishesTheStateOnChangeAndEveryMinuteAndTheEventsOfANewLockout)
{
    ASSERT_TRUE(subscriber_.WaitSubscribed());
    ASSERT_TRUE(test::WaitUntil([this] { return client_->Status().connected; }));
    recorder_.RecordPoll(PollOf(Running(), 0));
    recorder_.RecordPoll(PollOf(Running(), 2));   // nothing changed
    recorder_.RecordPoll(PollOf(Running(), 60));  // a minute after the last one
    recorder_.RecordPoll(PollOf(LockedOut(), 62));
    ASSERT_TRUE(client_->Flush(test::Patience));
    // The events follow the state of their poll.
    ASSERT_TRUE(subscriber_.WaitFor([](const auto& messages) {
        return std::count_if(messages.begin(), messages.end(),
                             [](const auto& m) { return m.topic == "kalvo/boiler-7/event"; }) >= 2;
    }));
    EXPECT_EQ(Times(subscriber_.Payloads("kalvo/boiler-7/state")),
              (std::vector<std::string>{"2026-12-07T01:00:00+01:00", "2026-12-07T01:01:00+01:00",
                                        "2026-12-07T01:01:02+01:00"}));
    const Json locked = Json::parse(test::LastPayload(subscriber_.Messages(), "kalvo/boiler-7/state"));
    EXPECT_EQ(locked["state"]["code"], LockoutState);
    EXPECT_EQ(locked["flags"]["alarm"], true);

    const std::vector<std::string> events = subscriber_.Payloads("kalvo/boiler-7/event");
    ASSERT_EQ(events.size(), 2u);
    const Json change = Json::parse(events[0]);
    EXPECT_EQ(change["seq"], 1);
    EXPECT_EQ(change["event"], "state change");
    EXPECT_EQ(change["from"], Json({{"code", RunState}, {"text", "L17"}}));
    EXPECT_EQ(change["to"], Json({{"code", LockoutState}, {"text", "L19"}}));
    const Json lockout = Json::parse(events[1]);
    EXPECT_EQ(lockout["seq"], 2);
    EXPECT_EQ(lockout["event"], "new error record");
    EXPECT_EQ(lockout["time"], "2026-12-07T01:01:02+01:00");
    EXPECT_EQ(lockout["record"], Json::parse(R"({"number": 1, "state": {"code": 7, "text": "L19"},
        "counter": 4321, "voltage": {"value": 230.5, "unit": "V"}, "current": {"value": 12.3, "unit": "uA"},
        "record_time": {"value": 125, "unit": "min"}})"));

    EXPECT_EQ(test::LastPayload(subscriber_.Messages(), "kalvo/boiler-7/availability"), "online");
    EXPECT_TRUE(subscriber_.WaitFor([](const auto& messages) {
        return !test::LastPayload(messages, "homeassistant/sensor/kalvo_boiler-7/flame_current/config").empty();
    }));
}

TEST_F(RecorderWithBroker, EventsRaisedWhileTheBrokerIsAwayArriveWhenItIsBack)
{
    ASSERT_TRUE(subscriber_.WaitSubscribed());
    recorder_.RecordPoll(PollOf(Running(), 0));
    ASSERT_TRUE(subscriber_.WaitFor(
        [](const auto& messages) { return !test::LastPayload(messages, "kalvo/boiler-7/state").empty(); }));
    ASSERT_TRUE(subscriber_.Sync());
    broker_.Stop();
    recorder_.RecordPoll(PollOf(LockedOut(), 2));
    recorder_.RecordPoll(PollOf(LockedOut(), 4, record::LinkStatus::TransferError));
    EXPECT_EQ(client_->Status().waiting, 3u);
    broker_.Start();
    ASSERT_TRUE(client_->Flush(test::Patience));
    ASSERT_TRUE(subscriber_.WaitFor([](const auto& messages) {
        return std::count_if(messages.begin(), messages.end(),
                             [](const auto& m) { return m.topic == "kalvo/boiler-7/event"; }) >= 3;
    }));
    std::vector<std::string> kinds;
    for (const std::string& event : subscriber_.Payloads("kalvo/boiler-7/event"))
        kinds.push_back(Json::parse(event)["event"]);
    EXPECT_EQ(kinds, (std::vector<std::string>{"state change", "new error record", "link lost"}));
    EXPECT_TRUE(subscriber_.WaitFor([](const auto& messages) {
        return Json::parse(test::LastPayload(messages, "kalvo/boiler-7/state"))["link"] == "transfer error";
    }));
}

}  // namespace
}  // namespace kalvo::mqtt
