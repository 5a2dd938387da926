// What kalvo-record publishes: the state and event documents, the discovery documents, and the
// sink fed by the recorder against a real mosquitto.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <stdexcept>

#include "record/PollDecoding.h"
#include "record/ProgramVersion.h"
#include "record/Recorder.h"
#include "record/mqtt/MqttCommandLine.h"
#include "record/mqtt/MqttSink.h"
#include "testing/LanguageFixtures.h"
#include "testing/TempDir.h"
#include "tests/mqtt/support/MosquittoBroker.h"
#include "tests/mqtt/support/MqttSubscriber.h"
#include "tests/mqtt/support/TemplateRenderer.h"
#include "tests/mqtt/support/WaitUntil.h"
#include "tests/record/UnitData.h"

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
    // Unique per machine: clones with one host name still differ in their machine ids.
    EXPECT_EQ(DefaultName("3f2a9c1b0d8e4f6a9b7c5d3e1f2a4b6c\n", "boiler.room.example", 7), "3f2a9c1b-com7");
    EXPECT_EQ(DefaultName("", "boiler.room.example", 7), "boiler-com7");
    EXPECT_EQ(DefaultName("not an id", "héizung", 12), "h--izung-com12");
}

// "flame" for part "flags" in "... d.get('flags') ... p.get('flame') ..."; empty when not there.
std::string KeyIn(const std::string& tmpl, const std::string& part)
{
    const std::size_t start = tmpl.find("d.get('" + part + "')");
    const std::string opening = "p.get('";
    const std::size_t key = tmpl.find(opening, start);
    if (start == std::string::npos || key == std::string::npos)
        return {};
    const std::size_t from = key + opening.size();
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
        EXPECT_TRUE(document.topic.ends_with("/config"));
        if (document.topic.starts_with("homeassistant/device_automation/kalvo_boiler-7/"))
            continue;
        EXPECT_TRUE(document.topic.starts_with("homeassistant/sensor/kalvo_boiler-7/") ||
                    document.topic.starts_with("homeassistant/binary_sensor/kalvo_boiler-7/"));
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

// Home Assistant's rules for the sensor device classes these documents may use: the units and state
// classes each one allows (its sensor constants, DEVICE_CLASS_UNITS and DEVICE_CLASS_STATE_CLASSES).
struct SensorClassRule {
    std::set<std::string> units;
    std::set<std::string> stateClasses;
};
const std::map<std::string, SensorClassRule> SensorClassRules{
    {"voltage", {{"µV", "mV", "V", "kV", "MV"}, {"measurement"}}},
    {"current", {{"mA", "A"}, {"measurement"}}},
    {"duration", {{"d", "h", "min", "s", "ms"}, {"measurement", "total", "total_increasing"}}},
    {"temperature", {{"°C", "°F", "K"}, {"measurement"}}},
};
const std::set<std::string> StateClasses{"measurement", "total", "total_increasing"};
const std::set<std::string> BinarySensorClasses{"problem", "connectivity", "running", "heat", "power", "safety"};
// Home Assistant's entity ids: domain and object, lower-case letters and digits with single "_"
// between them, at most 255 characters.
const std::regex EntityId("^(sensor|binary_sensor)\\.[a-z0-9]+(_[a-z0-9]+)*$");
constexpr std::size_t EntityIdLength = 255;

std::string ComponentOf(const std::string& topic)
{
    const std::size_t start = topic.find('/') + 1;
    return topic.substr(start, topic.find('/', start) - start);
}

TEST(MqttPayloads, DiscoveryDocumentsFollowHomeAssistantsRules)
{
    std::set<std::string> entityIds;
    // Names that Home Assistant would turn into one slug still get entity ids of their own.
    for (const std::string& name : {std::string("boiler-7"), std::string("Boiler_7"), std::string("boiler_7"),
             std::string("-"), std::string("_"), std::string(300, 'a'), std::string(300, 'a') + "b"}) {
        for (const Message& document : DiscoveryDocuments(name)) {
            SCOPED_TRACE(document.topic.substr(0, 80));
            const Json config = Json::parse(document.payload);
            const std::string component = ComponentOf(document.topic);
            // The device is the burner; the program's version is the origin's, not the burner's firmware.
            EXPECT_EQ(config["device"]["manufacturer"], "Ombrel");
            EXPECT_FALSE(config["device"].contains("sw_version"));
            EXPECT_EQ(config["origin"], Json({{"name", "Kalvo"}, {"sw_version", record::ProgramVersion()}}));
            if (component == "device_automation") {  // its discovery schema's required keys
                EXPECT_EQ(config["automation_type"], "trigger");
                EXPECT_EQ(config["topic"], TopicsFor(name).event);
                for (const char* key : {"type", "subtype", "payload", "value_template"})
                    EXPECT_FALSE(config[key].get<std::string>().empty()) << key;
                continue;
            }
            // Short: Home Assistant puts the device's name, "Burner boiler-7", before it.
            EXPECT_EQ(config["name"].get<std::string>().find(std::string(config["device"]["name"])), std::string::npos);
            EXPECT_FALSE(config.contains("object_id"));
            const std::string entityId = config["default_entity_id"];
            EXPECT_TRUE(std::regex_match(entityId, EntityId)) << entityId;
            EXPECT_LE(entityId.size(), EntityIdLength);
            EXPECT_TRUE(entityId.starts_with(component + "."));
            EXPECT_TRUE(entityIds.insert(entityId).second) << entityId;
            const std::string deviceClass = config.value("device_class", "");
            if (component == "binary_sensor") {
                EXPECT_TRUE(deviceClass.empty() || BinarySensorClasses.contains(deviceClass)) << deviceClass;
                EXPECT_FALSE(config.contains("unit_of_measurement"));
                EXPECT_FALSE(config.contains("state_class"));
                continue;
            }
            ASSERT_EQ(component, "sensor");
            const std::string stateClass = config.value("state_class", "");
            EXPECT_TRUE(stateClass.empty() || StateClasses.contains(stateClass)) << stateClass;
            if (deviceClass.empty())
                continue;
            ASSERT_TRUE(SensorClassRules.contains(deviceClass)) << deviceClass;
            const SensorClassRule& rule = SensorClassRules.at(deviceClass);
            EXPECT_TRUE(rule.units.contains(config.value("unit_of_measurement", ""))) << deviceClass;
            EXPECT_TRUE(stateClass.empty() || rule.stateClasses.contains(stateClass)) << deviceClass;
        }
    }
    EXPECT_TRUE(entityIds.contains("sensor.kalvo_boiler_7_state"));  // the plain name has no hash
    const Json hours = Json::parse(DiscoveryDocuments("boiler-7")[6].payload);
    EXPECT_EQ(hours["name"], "Operating hours");
    EXPECT_EQ(hours["unit_of_measurement"], "h");
    EXPECT_EQ(hours["device_class"], "duration");
}

std::size_t Characters(const std::string& utf8)
{
    return std::count_if(utf8.begin(), utf8.end(), [](unsigned char c) { return (c & 0xC0) != 0x80; });
}

bool IsNumber(const std::string& text)
{
    std::istringstream in(text);
    double number = 0;
    return (in >> number) && in.eof();
}

TEST(MqttPayloads, ValueTemplatesRenderAValueOnlyOfAGoodLinkAndAPlausiblePollWhateverTheShape)
{
    LanguageLines language = test::NumberedLanguage();
    language[17] = std::string(300, 'x');  // the running state's line, beyond the state limit
    UnitState unknownCode = Running();
    unknownCode.state = 99;
    const auto poll = [&](const UnitState& unit, record::LinkStatus link = record::LinkStatus::Ok) {
        return record::DecodePoll(PollOf(unit, 0, link), language);
    };
    record::DecodedPoll noise = poll(LockedOut());  // noise that reads as a lockout, as from a garbage unit
    noise.implausible = true;
    const Json locked = Json::parse(StatePayload(poll(LockedOut())));
    const Json implausible = Json::parse(StatePayload(noise));
    const auto changed = [](Json document, const std::function<void(Json&)>& change) {
        change(document);
        return document.dump();
    };
    const auto eachMemberNull = [](Json& document) {
        for (auto& flag : document["flags"])
            flag = nullptr;
        for (auto& value : document["values"])
            value = nullptr;
    };
    enum { Run, Locked, Unknown, NoPort, TransferError, Noise };
    // The recorder's documents of each kind, then shapes of a damaged or another version's document.
    const std::vector<std::string> payloads{StatePayload(poll(Running())), locked.dump(), StatePayload(poll(unknownCode)),
        StatePayload(poll(Running(), record::LinkStatus::NoPort)),
        StatePayload(poll(Running(), record::LinkStatus::TransferError)), implausible.dump(),
        changed(implausible, [](Json& d) { d["flags"] = nullptr; }), changed(implausible, eachMemberNull),
        changed(implausible, [](Json& d) { d["flags"] = d["values"] = Json::object(); }),
        changed(locked, [](Json& d) { d.erase("implausible"); }),
        changed(locked, [](Json& d) { d["implausible"] = nullptr; }), changed(locked, [](Json& d) { d.erase("link"); }),
        changed(locked, [](Json& d) { d["flags"] = d["values"] = d["state"] = nullptr; }), "not a document"};
    std::vector<Json> configs;
    std::vector<std::string> templates;
    std::vector<bool> binary;
    for (const Message& document : DiscoveryDocuments("boiler-7")) {
        const Json config = Json::parse(document.payload);
        if (config.contains("state_topic")) {  // an entity, not a trigger
            configs.push_back(config);
            templates.push_back(config["value_template"]);
            binary.push_back(ComponentOf(document.topic) == "binary_sensor");
        }
    }
    const auto rendered = test::Rendered(templates, payloads);
    std::map<std::string, std::size_t> byKey;
    for (std::size_t t = 0; t < configs.size(); ++t) {
        const std::string key = std::string(configs[t]["unique_id"]).substr(std::string("kalvo_boiler-7_").size());
        byKey[key] = t;
        const bool numeric = configs[t].contains("unit_of_measurement") || configs[t].contains("state_class");
        for (std::size_t p = 0; p < payloads.size(); ++p) {
            const std::string& text = rendered[t][p];
            SCOPED_TRACE(key + " with payload " + std::to_string(p) + ": " + text);
            if (binary[t])
                EXPECT_TRUE(text == "ON" || text == "OFF" || text == "None");
            else if (numeric)
                EXPECT_TRUE(text == "None" || IsNumber(text));
            else
                EXPECT_TRUE(!text.empty() && Characters(text) <= 255);
            if (p >= NoPort && key != "link") {
                EXPECT_EQ(text, "None") << "only a good link's plausible poll has values";
            }
        }
    }
    const auto at = [&](const char* key, std::size_t p) { return rendered[byKey.at(key)][p]; };
    EXPECT_EQ(at("state", Run), std::string(255, 'x'));
    EXPECT_EQ(at("state", Locked), "L19");
    EXPECT_EQ(at("state", Unknown), "99");
    EXPECT_EQ(at("lockout", Run), "OFF");
    EXPECT_EQ(at("lockout", Locked), "ON");
    EXPECT_EQ(at("flame", Run), "ON");
    EXPECT_EQ(at("mains_voltage", Run), "230.5");
    EXPECT_TRUE(IsNumber(at("operating_hours", Run)));
    // The link is known whenever the document names it, noise or not.
    const std::vector<std::string> link(rendered[byKey.at("link")].begin(), rendered[byKey.at("link")].end());
    EXPECT_EQ(link, (std::vector<std::string>{"ON", "ON", "ON", "OFF", "OFF", "ON", "ON", "ON", "ON", "ON", "ON",
                        "None", "ON", "None"}));
}

TEST(MqttPayloads, DeviceTriggersFireOnALockoutAndOnALostLinkOnly)
{
    std::vector<std::string> events;
    std::vector<record::EventKind> kinds{record::EventKind::StateChange, record::EventKind::LinkLost,
        record::EventKind::LinkBack, record::EventKind::NewErrorRecord};
    for (const record::EventKind kind : kinds) {
        record::RecordEvent event;
        event.time = {Start, 60};
        event.kind = kind;
        events.push_back(EventPayload(event, events.size() + 1, "5f0c2e7a91d34b68"));
    }
    std::map<std::string, std::vector<bool>> fired;
    for (const Message& document : DiscoveryDocuments("boiler-7")) {
        const Json config = Json::parse(document.payload);
        if (config.contains("automation_type")) {
            std::vector<bool>& firedBy = fired[config["type"]];
            const std::vector<std::string> templates{config["value_template"].get<std::string>()};
            const auto rendered = test::Rendered(templates, events);
            for (const std::string& text : rendered[0])
                firedBy.push_back(text == config["payload"]);  // as Home Assistant's MQTT trigger matches
        }
    }
    EXPECT_EQ(fired["locked_out"], (std::vector<bool>{false, false, false, true}));
    EXPECT_EQ(fired["link_lost"], (std::vector<bool>{false, true, false, false}));
}

// The README's dashboard card and automation name entities and a trigger the discovery documents
// announce, with the keys of Home Assistant's device trigger schema.
TEST(MqttPayloads, TheReadmesCardAndAutomationNameWhatDiscoveryAnnounces)
{
    std::ifstream file(KALVO_README);
    const std::string readme{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    std::set<std::string> entityIds;
    std::map<std::string, std::string> triggers;  // discovery id ("node object" of the topic): type/subtype
    for (const Message& document : DiscoveryDocuments("boiler-7")) {
        const Json config = Json::parse(document.payload);
        if (config.contains("default_entity_id")) {
            entityIds.insert(config["default_entity_id"].get<std::string>());
        } else {
            const std::string node = document.topic.substr(document.topic.find('/', std::string("homeassistant/").size()) + 1);
            std::string discoveryId = node.substr(0, node.rfind("/config"));
            std::replace(discoveryId.begin(), discoveryId.end(), '/', ' ');
            triggers[discoveryId] = config["type"].get<std::string>() + "/" + config["subtype"].get<std::string>();
        }
    }
    const std::regex cardEntity("\n  - entity: (\\S+)");
    std::size_t cardEntities = 0;
    for (auto match = std::sregex_iterator(readme.begin(), readme.end(), cardEntity); match != std::sregex_iterator();
         ++match, ++cardEntities)
        EXPECT_TRUE(entityIds.contains((*match)[1])) << (*match)[1];
    EXPECT_EQ(cardEntities, 7u);
    std::smatch trigger;
    ASSERT_TRUE(std::regex_search(readme, trigger,
        std::regex("- trigger: device\n +domain: mqtt\n +device_id: [0-9a-f]{32}\n +discovery_id: (.+)\n"
                   " +type: (\\S+)\n +subtype: (\\S+)\n")));
    EXPECT_EQ(triggers[trigger[1]], trigger[2].str() + "/" + trigger[3].str());
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
    // Each run of the recorder has an id of its own.
    options = {"mqtt://b", "", "", "", "x", false};
    EXPECT_NE(SettingsFor(options).runId, SettingsFor(options).runId);
}

TEST(MqttCommandLine, ReadsThePasswordOnlyFromARegularFileAndOnlyAsMuchAsAPasswordHolds)
{
    const test::TempDir folder;
    MqttOptions options{"mqtt://b", "kalvo", folder.file("password"), "", "x", false};
    test::WriteFileBytes(options.passwordFile, "burner-7-secret\r\nnext line\n");
    EXPECT_EQ(SettingsFor(options).password, "burner-7-secret");
    test::WriteFileBytes(options.passwordFile, std::string(70'000, 'p'));
    EXPECT_THROW(SettingsFor(options), std::runtime_error);
    // A FIFO would wait for a writer for ever, /dev/zero fill the memory.
    ASSERT_EQ(::mkfifo(folder.file("fifo").c_str(), 0600), 0);
    for (const std::string& file : {folder.file("fifo"), std::string("/dev/zero"), folder.path().string()}) {
        options.passwordFile = file;
        try {
            SettingsFor(options);
            ADD_FAILURE() << file;
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(error.what(), "cannot read the password file \"" + file + "\" (not a regular file)");
        }
    }
}

TEST(MqttSink, TakesUpAPasswordRotatedInItsFileAfterTheBrokerRefusedTheOldOne)
{
    test::MosquittoBroker broker({.passwords = true});
    const test::TempDir folder;
    MqttOptions options{broker.Url(), test::MosquittoBroker::User, folder.file("password"), "", "boiler-7", false};
    test::WriteFileBytes(options.passwordFile, std::string(test::MosquittoBroker::Password) + "\n");
    const auto sink = MakeMqttSink(options, 7, nullptr, nullptr);
    ASSERT_TRUE(test::WaitUntil([&] { return sink->Client().Status().connected; }));
    broker.Stop();
    broker.SetPassword("rotated");
    broker.Start();
    ASSERT_TRUE(test::WaitUntil([&] { return broker.Log().find("not authorised") != std::string::npos; }));
    test::WriteFileBytes(options.passwordFile, "rotated\n");
    sink->Client().PublishEvent("kalvo/boiler-7/event", "after the rotation");
    EXPECT_TRUE(sink->Client().Flush(test::Patience));
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
        auto sink = MakeMqttSink(options, 7, nullptr, nullptr);
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
    EXPECT_EQ(change["run"], client_->RunId());
    EXPECT_EQ(client_->RunId().size(), 16u);
    EXPECT_EQ(change["event"], "state change");
    EXPECT_EQ(change["from"], Json({{"code", RunState}, {"text", "L17"}}));
    EXPECT_EQ(change["to"], Json({{"code", LockoutState}, {"text", "L19"}}));
    const Json lockout = Json::parse(events[1]);
    EXPECT_EQ(lockout["seq"], 2);
    EXPECT_EQ(lockout["run"], client_->RunId());
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
