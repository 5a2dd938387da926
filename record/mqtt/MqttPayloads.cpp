#include "record/mqtt/MqttPayloads.h"

#include "record/ProgramVersion.h"
#include "record/mqtt/BrokerAddress.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace kalvo::mqtt {

namespace {

using Json = nlohmann::ordered_json;
using record::Unit;

// Units whose values are whole numbers go out as integers.
bool Integral(Unit unit)
{
    return !kalvo::KeepsTenth(unit);
}

Json Number(const std::optional<double>& value, Unit unit)
{
    if (!value)
        return nullptr;
    if (Integral(unit))
        return static_cast<std::int64_t>(*value);
    return *value;
}

// {"value": 12.3, "unit": "uA"}; the unit only where it has a symbol.
Json Measured(const std::optional<double>& value, Unit unit)
{
    Json measured{{"value", Number(value, unit)}};
    const std::string_view symbol = record::UnitSymbol(unit);
    if (!symbol.empty())
        measured["unit"] = symbol;
    return measured;
}

Json State(const std::optional<int>& code, const std::string& text)
{
    return {{"code", code ? Json(*code) : Json(nullptr)}, {"text", text}};
}

// Counts as plain numbers, measured values with their unit.
Json ErrorRecord(const record::ErrorRecordFields& record)
{
    Json document{{"number", record.number}, {"state", State(record.stateCode, record.stateText)}};
    for (std::size_t i = 0; i < ErrorRecordValueFields.size(); ++i) {
        const UnitField& field = ErrorRecordValueFields[i];
        document[std::string(field.key)] = field.unit == Unit::Count
            ? Number(record.*record::ErrorRecordValueMembers[i], field.unit)
            : Measured(record.*record::ErrorRecordValueMembers[i], field.unit);
    }
    return document;
}

bool ValidName(const std::string& name)
{
    return !name.empty() && std::all_of(name.begin(), name.end(), [](unsigned char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    });
}

// One entity of the device.
struct Entity {
    const char* component;  // sensor, binary_sensor
    std::string key;
    std::string title;  // short: Home Assistant puts the device's name before it
    std::string valueTemplate;
    Json extra;  // unit, device class, state class, ...
};

// Every template but the link's starts with this: `d` is the document (empty when the payload is
// no JSON object), `ok` whether its values are the unit's own, which needs a good link and a poll
// the recorder found plausible. A member missing or null, in whatever shape, is not ok.
const std::string TrustedPoll = "{% set d = value_json if value_json is mapping else {} %}"
                                "{% set ok = d.get('link') == 'ok' and d.get('implausible') is false %}";

// `x` := d[part][key], none where either is missing or no object. Calls of get, not subscripts or
// dots: "values" is also a method of the template engine's dictionaries, and a subscript of
// something missing fails the whole template.
std::string MemberOf(std::string_view part, std::string_view key)
{
    return "{% set p = d.get('" + std::string(part) + "') %}{% set x = p.get('" + std::string(key)
        + "') if p is mapping else none %}";
}

// A number of the unit; None (unknown to Home Assistant) unless the poll is trusted.
std::string ValueTemplate(std::string_view key)
{
    return TrustedPoll + MemberOf("values", key)
        + "{% set x = x.get('value') if x is mapping else none %}"
          "{{ x if ok and x is number and x is not boolean else 'None' }}";
}

// A flag of the unit as ON or OFF; None (unknown) unless the poll is trusted, so that neither a
// lost link nor noise ever reads as "no problem" or as a lockout.
std::string FlagTemplate(std::string_view flag)
{
    return TrustedPoll + MemberOf("flags", flag) + "{{ ('ON' if x else 'OFF') if ok and x is boolean else 'None' }}";
}

// The state text within Home Assistant's 255 characters; the code where the language file has no
// text for it; None (unknown) unless the poll is trusted.
const std::string StateTemplate = TrustedPoll + MemberOf("state", "code")
    + "{% set code = x %}{% set text = p.get('text') if p is mapping else none %}"
      "{% if not ok or code is not number %}None"
      "{% elif text is string and text %}{{ text[:255] }}"
      "{% else %}{{ code }}{% endif %}";

// Whether the recorder hears the unit: known whenever the document says anything about the link.
const std::string LinkTemplate = "{% set l = value_json.get('link') if value_json is mapping else none %}"
                                 "{{ ('ON' if l == 'ok' else 'OFF') if l is string else 'None' }}";

std::vector<Entity> Entities()
{
    std::vector<Entity> entities{
        {"sensor", "state", "State", StateTemplate, Json::object()},
        {"binary_sensor", "lockout", "Lockout", FlagTemplate("alarm"), {{"device_class", "problem"}}},
        {"binary_sensor", "flame", "Flame", FlagTemplate("flame"), Json::object()},
        {"binary_sensor", "link", "Unit link", LinkTemplate,
            {{"device_class", "connectivity"}, {"entity_category", "diagnostic"}}},
        // Home Assistant's current class knows no µA: a plain measurement.
        {"sensor", "flame_current", "Flame current", ValueTemplate("flame_current"),
            {{"unit_of_measurement", "µA"}, {"state_class", "measurement"}}},
        {"sensor", "mains_voltage", "Mains voltage", ValueTemplate("mains_voltage"),
            {{"unit_of_measurement", "V"}, {"device_class", "voltage"}, {"state_class", "measurement"}}},
    };
    for (const record::ValueField& field : record::ValueFields) {
        if (field.unit != Unit::Count)
            continue;
        std::string title(field.key);
        std::replace(title.begin(), title.end(), '_', ' ');
        title[0] = static_cast<char>(title[0] - 'a' + 'A');
        Json extra{{"state_class", "total_increasing"}};
        if (field.key == "operating_hours")
            extra.update({{"unit_of_measurement", "h"}, {"device_class", "duration"}});
        entities.push_back({"sensor", std::string(field.key), title, ValueTemplate(field.key), std::move(extra)});
    }
    return entities;
}

// An event of the event topic that Home Assistant offers as a device trigger of the burner.
struct Trigger {
    std::string key;
    std::string type;     // what happened, the trigger's name in Home Assistant
    std::string subtype;  // to whom
    std::string event;    // the "event" of the event document
};

std::vector<Trigger> Triggers()
{
    return {{"lockout", "locked_out", "burner", std::string(record::EventKindText(record::EventKind::NewErrorRecord))},
        {"link_lost", "link_lost", "unit", std::string(record::EventKindText(record::EventKind::LinkLost))}};
}

// The event's kind, matched against each trigger's payload.
const char* const EventKindTemplate = "{{ value_json.get('event') if value_json is mapping else '' }}";

// Home Assistant's entity ids hold at most 255 characters: lower-case letters, digits and single
// "_" between them.
constexpr std::size_t EntityIdLength = 255;

std::string Slug(const std::string& text)
{
    std::string slug;
    for (const unsigned char c : text) {
        const bool plain = std::isalnum(c) != 0;
        if (plain)
            slug += static_cast<char>(std::tolower(c));
        else if (!slug.empty() && slug.back() != '_')
            slug += '_';
    }
    while (!slug.empty() && slug.back() == '_')
        slug.pop_back();
    return slug;
}

// "_3f2a9c1b": FNV-1a of the name.
std::string HashSuffix(const std::string& name)
{
    std::uint32_t hash = 2166136261u;
    for (const unsigned char c : name)
        hash = (hash ^ c) * 16777619u;
    char text[10];
    std::snprintf(text, sizeof text, "_%08x", hash);
    return text;
}

// Lower-case letters and digits with single "-" between them: the one name of all that make a slug
// whose entity ids go without a hash.
bool PlainName(const std::string& name)
{
    std::string dashed = Slug(name);
    std::replace(dashed.begin(), dashed.end(), '_', '-');
    return dashed == name;
}

// "sensor.kalvo_boiler_7_flame_current". Names that Home Assistant would turn into one id
// ("Boiler_7" and "boiler-7", "-" and "_") are told apart by a hash of the name, added to all but
// the plain one; a name too long for the limit is cut, and the hash keeps two long names that begin
// alike apart.
std::string DefaultEntityId(const std::string& component, const std::string& name, const std::string& key)
{
    const std::string start = component + ".kalvo";
    const std::string end = "_" + key;
    std::string middle = "_" + Slug(name);
    const std::size_t room = EntityIdLength - start.size() - end.size();
    if (!PlainName(name) || middle.size() > room) {
        const std::string hash = HashSuffix(name);
        middle.resize(std::min(middle.size(), room - hash.size()));
        while (!middle.empty() && middle.back() == '_')
            middle.pop_back();
        middle += hash;
    }
    return start + middle + end;
}

std::string DiscoveryTopic(const std::string& component, const std::string& name, const std::string& key)
{
    return "homeassistant/" + component + "/kalvo_" + name + "/" + key + "/config";
}

}  // namespace

Topics TopicsFor(const std::string& name)
{
    if (!ValidName(name))
        throw std::invalid_argument(
            "the name \"" + Printable(name) + "\" may hold only letters, digits, \"-\" and \"_\"");
    const std::string root = "kalvo/" + name + "/";
    return {root + "state", root + "event", root + "availability", root + "recorder"};
}

std::string StatePayload(const record::DecodedPoll& poll, bool withTime)
{
    Json document;
    if (withTime)
        document["time"] = record::IsoText(poll.time);
    document["link"] = record::LinkStatusText(poll.link);
    document["implausible"] = poll.implausible;
    document["state"] = State(poll.stateCode, poll.stateText);
    document["status_text"] = poll.statusText;
    Json values = Json::object();
    for (std::size_t i = 0; i < record::ValueFields.size(); ++i) {
        const UnitField& field = record::ValueFields[i];
        // Counters only ever go up; one read from noise would count as a reset and then again up.
        const bool trusted = !poll.implausible || field.unit != Unit::Count;
        values[std::string(field.key)] = Measured(trusted ? poll.values[i] : std::nullopt, field.unit);
    }
    document["values"] = std::move(values);
    if (poll.flags) {
        Json flags = Json::object();
        for (const StatusFlagBit& flag : StatusFlagBits)
            flags[std::string(flag.key)] = (*poll.flags)[flag.flag];
        document["flags"] = std::move(flags);
    } else {
        document["flags"] = nullptr;
    }
    return document.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string EventPayload(const record::RecordEvent& event, std::uint64_t seq, const std::string& runId)
{
    Json document{{"seq", seq}, {"run", runId}, {"time", record::IsoText(event.time)},
        {"event", record::EventKindText(event.kind)}, {"link", record::LinkStatusText(event.link)}};
    if (event.kind == record::EventKind::StateChange) {
        document["from"] = State(event.fromState, event.fromText);
        document["to"] = State(event.toState, event.toText);
    }
    if (event.record)
        document["record"] = ErrorRecord(*event.record);
    return document.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::vector<Message> DiscoveryDocuments(const std::string& name)
{
    const Topics topics = TopicsFor(name);
    const std::string device = "kalvo_" + name;
    // The program's version belongs to the origin: Home Assistant shows a device's sw_version as the
    // burner's firmware.
    const Json deviceInfo{{"identifiers", Json::array({device})}, {"name", "Burner " + name},
        {"manufacturer", "Ombrel"}, {"model", "Ombrel RZ"}};
    const Json origin{{"name", "Kalvo"}, {"sw_version", record::ProgramVersion()}};
    std::vector<Message> documents;
    for (const Entity& entity : Entities()) {
        Json document{{"name", entity.title}, {"unique_id", device + "_" + entity.key},
            {"default_entity_id", DefaultEntityId(entity.component, name, entity.key)}, {"state_topic", topics.state},
            {"value_template", entity.valueTemplate}, {"availability_topic", topics.availability},
            {"device", deviceInfo}, {"origin", origin}};
        document.update(entity.extra);
        documents.push_back({DiscoveryTopic(entity.component, name, entity.key), document.dump()});
    }
    for (const Trigger& trigger : Triggers()) {
        const Json document{{"automation_type", "trigger"}, {"topic", topics.event}, {"type", trigger.type},
            {"subtype", trigger.subtype}, {"payload", trigger.event}, {"value_template", EventKindTemplate},
            {"qos", 1}, {"device", deviceInfo}, {"origin", origin}};
        documents.push_back({DiscoveryTopic("device_automation", name, trigger.key), document.dump()});
    }
    return documents;
}

std::vector<std::string> RetainedTopics(const std::string& name)
{
    const Topics topics = TopicsFor(name);
    std::vector<std::string> retained{topics.state, topics.availability, topics.recorder};
    for (const Message& document : DiscoveryDocuments(name))
        retained.push_back(document.topic);
    return retained;
}

}  // namespace kalvo::mqtt
