#include "MqttPayloads.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <stdexcept>

namespace kalvo::mqtt {

namespace {

using Json = nlohmann::ordered_json;
using record::Unit;

// Units whose values are whole numbers go out as integers.
bool Integral(Unit unit)
{
    return unit == Unit::Count || unit == Unit::Number || unit == Unit::Minutes;
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

std::vector<Entity> Entities()
{
    std::vector<Entity> entities{
        {"sensor", "state", "Burner state", "{{ value_json['state']['text'] }}", Json::object()},
        {"binary_sensor", "lockout", "Lockout",
         "{{ 'ON' if value_json['flags'] and value_json['flags']['alarm'] else 'OFF' }}",
         {{"device_class", "problem"}}},
        {"binary_sensor", "flame", "Flame",
         "{{ 'ON' if value_json['flags'] and value_json['flags']['flame'] else 'OFF' }}", Json::object()},
        {"binary_sensor", "link", "Unit link", "{{ 'ON' if value_json['link'] == 'ok' else 'OFF' }}",
         {{"device_class", "connectivity"}, {"entity_category", "diagnostic"}}},
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
        entities.push_back({"sensor", std::string(field.key), title, ValueTemplate(field.key),
                            {{"state_class", "total_increasing"}}});
    }
    return entities;
}

}  // namespace

Topics TopicsFor(const std::string& name)
{
    if (!ValidName(name))
        throw std::invalid_argument("the name \"" + name + "\" may hold only letters, digits, \"-\" and \"_\"");
    const std::string root = "kalvo/" + name + "/";
    return {root + "state", root + "event", root + "availability"};
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

std::string EventPayload(const record::RecordEvent& event, std::uint64_t seq)
{
    Json document{{"seq", seq},
                  {"time", record::IsoText(event.time)},
                  {"event", record::EventKindText(event.kind)},
                  {"link", record::LinkStatusText(event.link)}};
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
    const Json deviceInfo{{"identifiers", Json::array({device})},
                          {"name", "Burner " + name},
                          {"model", "Ombrel RZ"},
                          {"sw_version", "Kalvo 2.3"}};
    std::vector<Message> documents;
    for (const Entity& entity : Entities()) {
        Json document{{"name", entity.title},
                      {"unique_id", device + "_" + entity.key},
                      {"object_id", device + "_" + entity.key},
                      {"state_topic", topics.state},
                      {"value_template", entity.valueTemplate},
                      {"availability_topic", topics.availability},
                      {"device", deviceInfo}};
        document.update(entity.extra);
        documents.push_back({"homeassistant/" + std::string(entity.component) + "/" + device + "/" + entity.key +
                                 "/config",
                             document.dump()});
    }
    return documents;
}

}  // namespace kalvo::mqtt
