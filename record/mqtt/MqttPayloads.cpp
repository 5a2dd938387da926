#include "record/mqtt/MqttPayloads.h"

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

constexpr const char* Version = "2.3";

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
    std::string title;
    std::string valueTemplate;
    Json extra;  // unit, device class, state class, ...
};

std::string ValueTemplate(std::string_view key)
{
    // Subscripts, not dots: "values" is also a method of the template engine's dictionaries.
    return "{{ value_json['values']['" + std::string(key) + "']['value'] }}";
}

// A flag of the unit as ON or OFF; None (unknown to Home Assistant) while the link has no flags,
// so that a lost link never reads as "no problem".
std::string FlagTemplate(std::string_view flag)
{
    return "{{ ('ON' if value_json['flags']['" + std::string(flag)
        + "'] else 'OFF') if value_json['flags'] else 'None' }}";
}

// The state text within Home Assistant's 255 characters; the code where the language file has no
// text for it; None (unknown) without a good link.
const char* const StateTemplate = "{% set s = value_json['state'] %}"
                                  "{% if value_json['link'] != 'ok' or s['code'] is none %}None"
                                  "{% elif s['text'] %}{{ s['text'][:255] }}"
                                  "{% else %}{{ s['code'] }}{% endif %}";

std::vector<Entity> Entities()
{
    std::vector<Entity> entities{
        {"sensor", "state", "Burner state", StateTemplate, Json::object()},
        {"binary_sensor", "lockout", "Lockout", FlagTemplate("alarm"), {{"device_class", "problem"}}},
        {"binary_sensor", "flame", "Flame", FlagTemplate("flame"), Json::object()},
        {"binary_sensor", "link", "Unit link", "{{ 'ON' if value_json['link'] == 'ok' else 'OFF' }}",
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

// "sensor.kalvo_boiler_7_flame_current". A name too long for the limit is cut, and a hash of the
// whole name keeps two long names that begin alike apart.
std::string DefaultEntityId(const std::string& component, const std::string& name, const std::string& key)
{
    const std::string start = component + ".kalvo_";
    const std::string end = "_" + key;
    std::string middle = Slug(name);
    if (start.size() + middle.size() + end.size() > EntityIdLength) {
        std::uint32_t hash = 2166136261u;  // FNV-1a
        for (const unsigned char c : name)
            hash = (hash ^ c) * 16777619u;
        char hashText[10];
        std::snprintf(hashText, sizeof hashText, "_%08x", hash);
        middle.resize(EntityIdLength - start.size() - end.size() - std::strlen(hashText));
        while (!middle.empty() && middle.back() == '_')
            middle.pop_back();
        middle += hashText;
    }
    return start + middle + end;
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
    const Json deviceInfo{{"identifiers", Json::array({device})}, {"name", "Burner " + name}, {"model", "Ombrel RZ"},
        {"sw_version", "Kalvo " + std::string(Version)}};
    const Json origin{{"name", "Kalvo"}, {"sw_version", Version}};
    std::vector<Message> documents;
    for (const Entity& entity : Entities()) {
        Json document{{"name", entity.title}, {"unique_id", device + "_" + entity.key},
            {"default_entity_id", DefaultEntityId(entity.component, name, entity.key)}, {"state_topic", topics.state},
            {"value_template", entity.valueTemplate}, {"availability_topic", topics.availability},
            {"device", deviceInfo}, {"origin", origin}};
        document.update(entity.extra);
        documents.push_back({"homeassistant/" + std::string(entity.component) + "/" + device + "/" + entity.key +
                                 "/config",
                             document.dump()});
    }
    return documents;
}

}  // namespace kalvo::mqtt
