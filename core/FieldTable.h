#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/Language.h"

// The unit's data, described once: where each field lies in its reply block, how it is shown,
// the language line that labels it and the name machines know it by. The window's report, the
// recorder's decoding, its CSV and broker documents and the simulated unit all read this table.
namespace kalvo {

// One raw reply block: the data bytes of a reply from position 0 on, the rest zero.
using Block = std::array<std::uint8_t, 256>;

// The display texts decoded from the status and timing blocks after every poll. The unit gives
// most fields no meaning beyond their place, so they keep the names of their place; ReportFields
// says where each comes from.
struct ReadingTextSet {
    std::string StatusStringText;
    std::string Int24Text1, Int24Text2, Int24Text3;
    std::string CurrentText1, FlameCurrentText, CurrentText3, AlarmCurrentText;
    std::string MainsVoltageText;
    std::string StateText;
    std::string Int16Text1, Int16Text2, Int16Text3, Int16Text4, Int16Text5;
    std::string DurationText1, DurationText2, DurationText3, DurationText4, DurationText5;
    std::string HoursMinutesText;
    std::string DurationText6, DurationText7, DurationText8, DurationText9, DurationText10;
    std::string DurationText11, DurationText12, DurationText13, DurationText14, DurationText15;
    std::string DurationText16;
    std::string TimingInt16Text;
    std::string OnOffText;      // the on/off flag, "1" or "0"; picture page only
    std::string AlarmFlagText;  // the alarm flag, "1" or "0"; picture page only
};

enum class FieldBlock : std::uint8_t {
    Status,       // the reply to 0x80
    Timing,       // the reply to 0x81
    ErrorRecord,  // one record of the reply to 0x82; offsets count from the record's first byte
};

// How a field's bytes become its display text (the formatters of Fields.h; those that need them
// take their unit words from the language).
enum class FieldFormat : std::uint8_t {
    Characters,    // the unit's own text, its padding bytes (StatusTextPadding) dropped
    Triple,        // FormatTriple
    Word,          // FormatWord on the raw pair
    Current,       // FormatMicroamps of the decoded word
    Voltage,       // FormatVolts of the decoded word
    WholeVolts,    // FormatWholeVolts of the decoded word
    State,         // FormatState on the raw byte
    Duration,      // FormatDuration of the decoded word, tenths of a second
    HoursMinutes,  // FormatHoursMinutes of the decoded word, minutes
    RecordTime,    // FormatRecordTime of the decoded word, minutes
};

// What a value is as a number for machines: its unit, and whether it keeps a tenth.
enum class Unit : std::uint8_t {
    Text,       // no number: the status text and the state
    Count,      // an integer counter that only goes up
    Microamps,  // uA, with the tenth
    Volts,      // V, with the tenth
    Seconds,    // s, with the tenth
    Minutes,    // min, an integer
    Number,     // a plain integer the unit reports
};

// Whether the unit sends the value in tenths, so that its number keeps one decimal.
constexpr bool KeepsTenth(Unit unit)
{
    return unit == Unit::Microamps || unit == Unit::Volts || unit == Unit::Seconds;
}

// The byte the unit fills the rest of its status text with; the text never shows it.
inline constexpr std::uint8_t StatusTextPadding = 0x80;

struct UnitField {
    std::string_view key;  // the CSV column's fallback title and the JSON key: "flame_current"
    FieldBlock block = FieldBlock::Status;
    int offset = 0;  // first byte in the block
    int width = 0;   // bytes
    FieldFormat format = FieldFormat::Word;
    int labelLine = 0;  // the language line that labels it
    Unit unit = Unit::Number;
    std::string_view suffix;                      // after the value in the report line: " Volt"
    std::string ReadingTextSet::*text = nullptr;  // its display text; none for error record fields
    std::string_view title;                       // a column title where no language line gives one
};

namespace table {
using enum FieldBlock;
using enum FieldFormat;
using enum Unit;
using T = ReadingTextSet;

constexpr UnitField Shown(std::string_view key, FieldBlock block, int offset, int width, FieldFormat format,
    int labelLine, Unit unit, std::string ReadingTextSet::*text, std::string_view suffix = "")
{
    UnitField field;
    field.key = key;
    field.block = block;
    field.offset = offset;
    field.width = width;
    field.format = format;
    field.labelLine = labelLine;
    field.unit = unit;
    field.suffix = suffix;
    field.text = text;
    return field;
}

constexpr UnitField RecordValue(
    std::string_view key, int offset, int width, FieldFormat format, int labelLine, Unit unit, std::string_view title)
{
    UnitField field = Shown(key, ErrorRecord, offset, width, format, labelLine, unit, nullptr);
    field.title = title;
    return field;
}

// The report's fields in report order: status block, then timing block. Status bytes 0..1 and 39
// and timing bytes 32..33 carry nothing shown; bytes 37..38 are the flags (StatusFlagBits).
inline constexpr std::array<UnitField, 33> ReportFields{
    // key, block, offset, width, format, label line, unit, display text (, report suffix)
    Shown("status_text", Status, 2, 16, Characters, 36, Text, &T::StatusStringText),
    Shown("operating_hours", Status, 18, 3, Triple, 37, Count, &T::Int24Text1),
    Shown("burner_starts", Status, 21, 3, Triple, 38, Count, &T::Int24Text2),
    Shown("lockouts", Status, 24, 3, Triple, 39, Count, &T::Int24Text3),
    Shown("sensor_current_1", Status, 27, 2, Current, 40, Microamps, &T::CurrentText1),
    Shown("flame_current", Status, 29, 2, Current, 41, Microamps, &T::FlameCurrentText),
    Shown("sensor_current_3", Status, 31, 2, Current, 42, Microamps, &T::CurrentText3),
    Shown("alarm_current", Status, 33, 2, Current, 43, Microamps, &T::AlarmCurrentText),
    Shown("mains_voltage", Status, 35, 2, WholeVolts, 44, Volts, &T::MainsVoltageText, " Volt"),
    Shown("state", Status, 40, 1, State, 45, Text, &T::StateText),
    Shown("start_attempts", Status, 41, 2, Word, 46, Count, &T::Int16Text1),
    Shown("flame_failures", Status, 43, 2, Word, 47, Count, &T::Int16Text2),
    Shown("ignition_failures", Status, 45, 2, Word, 48, Count, &T::Int16Text3),
    Shown("lockout_resets", Status, 47, 2, Word, 49, Count, &T::Int16Text4),
    Shown("low_voltage_events", Status, 49, 2, Word, 50, Count, &T::Int16Text5),
    Shown("prepurge_time", Timing, 0, 2, Duration, 51, Seconds, &T::DurationText1),
    Shown("preignition_time", Timing, 2, 2, Duration, 52, Seconds, &T::DurationText2),
    Shown("safety_time", Timing, 4, 2, Duration, 53, Seconds, &T::DurationText3),
    Shown("postignition_time", Timing, 6, 2, Duration, 54, Seconds, &T::DurationText4),
    Shown("valve_delay", Timing, 8, 2, Duration, 55, Seconds, &T::DurationText5),
    Shown("burner_run_time", Timing, 10, 2, HoursMinutes, 56, Minutes, &T::HoursMinutesText),
    Shown("postpurge_time", Timing, 12, 2, Duration, 57, Seconds, &T::DurationText6),
    Shown("preheating_time", Timing, 14, 2, Duration, 58, Seconds, &T::DurationText7),
    Shown("flame_detection_time", Timing, 16, 2, Duration, 59, Seconds, &T::DurationText8),
    Shown("flame_failure_response_time", Timing, 18, 2, Duration, 60, Seconds, &T::DurationText9),
    Shown("restart_delay", Timing, 20, 2, Duration, 61, Seconds, &T::DurationText10),
    Shown("lockout_delay", Timing, 22, 2, Duration, 62, Seconds, &T::DurationText11),
    Shown("remote_reset_delay", Timing, 24, 2, Duration, 63, Seconds, &T::DurationText12),
    Shown("stray_light_check_time", Timing, 26, 2, Duration, 64, Seconds, &T::DurationText13),
    Shown("low_voltage_delay", Timing, 28, 2, Duration, 65, Seconds, &T::DurationText14),
    Shown("last_start_sequence", Timing, 30, 2, Duration, 66, Seconds, &T::DurationText15),
    Shown("last_flame_period", Timing, 34, 2, Duration, 67, Seconds, &T::DurationText16),
    Shown("sequence_counter", Timing, 36, 2, Word, 68, Number, &T::TimingInt16Text),
};

}  // namespace table
using table::ReportFields;

constexpr bool IsNumeric(const UnitField& field)
{
    return field.unit != Unit::Text;
}

// The numeric fields of the report in report order: what the recorder keeps as numbers.
inline constexpr std::size_t ValueCount = [] {
    std::size_t count = 0;
    for (const UnitField& field : ReportFields)
        count += IsNumeric(field) ? 1 : 0;
    return count;
}();
inline constexpr std::array<UnitField, ValueCount> ValueFields = [] {
    std::array<UnitField, ValueCount> values{};
    std::size_t n = 0;
    for (const UnitField& field : ReportFields)
        if (IsNumeric(field))
            values[n++] = field;
    return values;
}();

// The place of a value in ValueFields, found by its key when the program is compiled.
consteval std::size_t ValueIndex(std::string_view key)
{
    for (std::size_t i = 0; i < ValueFields.size(); ++i)
        if (ValueFields[i].key == key)
            return i;
    throw std::invalid_argument("no value field has this key");
}
// A field of the report by its key, found when the program is compiled.
consteval const UnitField& ReportField(std::string_view key)
{
    for (const UnitField& field : ReportFields)
        if (field.key == key)
            return field;
    throw std::invalid_argument("no report field has this key");
}

// State codes 0..15 are named by language lines 12..27; the unit has no other states.
inline constexpr int FirstStateLine = 12;
inline constexpr int StateNameCount = 16;

// The error history: eight records of 16 bytes, newest first. Byte 0 of a record is its state
// code (0xFF: an empty record, nothing else in it counts); the values follow.
inline constexpr int ErrorRecordCount = 8;
inline constexpr int ErrorRecordSize = 16;
inline constexpr int ErrorRecordStateAt = 0;
inline constexpr std::uint8_t EmptyRecordCode = 0xFF;
inline constexpr int ErrorRecordHeadingLine = 30;  // "Error", followed by the record's number

// The values of an error record in memo order.
namespace table {
inline constexpr std::array<UnitField, 4> ErrorRecordValueFields{
    RecordValue("counter", 1, 3, Triple, 31, Count, "record counter"),
    RecordValue("voltage", 4, 2, Voltage, 32, Volts, "record voltage"),
    RecordValue("current", 6, 2, Current, 33, Microamps, "record current"),
    RecordValue("record_time", 8, 2, RecordTime, 34, Minutes, "record time"),
};
}  // namespace table
using table::ErrorRecordValueFields;
consteval std::size_t ErrorRecordValueIndex(std::string_view key)
{
    for (std::size_t i = 0; i < ErrorRecordValueFields.size(); ++i)
        if (ErrorRecordValueFields[i].key == key)
            return i;
    throw std::invalid_argument("no error record field has this key");
}

// The ten status flags from status bytes 37 and 38, in the order of the status check list: flag k
// is item k, captioned by language line FirstStatusFlagLine + k. The unit names flags 8 and 9
// only through the language file's captions.
enum StatusFlag : std::size_t {
    AlarmFlag,
    FlameFlag,
    FuelValve1Flag,
    FuelValve2Flag,
    IgnitionTransformerFlag,
    HeaterFlag,
    FanMotorFlag,
    OnOffFlag,
    StatusFlag8,
    StatusFlag9,
    StatusFlagCount
};
inline constexpr int FirstStatusFlagLine = 2;
inline constexpr int StatusFlagBytesAt = 37;

// Where each flag lies: byte 37 (first) or byte 38 (second) of the status block, and its bit;
// and the name machines know it by.
struct StatusFlagBit {
    StatusFlag flag;
    bool inSecondByte;
    std::uint8_t mask;
    std::string_view key;
};
inline constexpr std::array<StatusFlagBit, StatusFlagCount> StatusFlagBits{{
    {AlarmFlag, false, 0x80, "alarm"},
    {FlameFlag, false, 0x40, "flame"},
    {FuelValve1Flag, false, 0x10, "valve_1"},  // the two valves are not in bit order
    {FuelValve2Flag, false, 0x20, "valve_2"},
    {IgnitionTransformerFlag, false, 0x08, "ignition"},
    {HeaterFlag, false, 0x04, "heater"},
    {FanMotorFlag, false, 0x02, "fan"},
    {OnOffFlag, false, 0x01, "heat_demand"},
    {StatusFlag8, true, 0x80, "remote_reset"},
    {StatusFlag9, true, 0x40, "low_voltage"},
}};

constexpr std::uint8_t StatusFlagMask(StatusFlag flag)
{
    return StatusFlagBits[flag].mask;
}

// The field's bytes as one unsigned big-endian number; nothing when they are all 0xFF. Inline, as
// decoding a month's recording calls it some 20 times a poll.
inline std::optional<std::uint32_t> RawFieldValue(std::span<const std::uint8_t> block, const UnitField& field)
{
    const auto bytes = block.subspan(static_cast<std::size_t>(field.offset), static_cast<std::size_t>(field.width));
    std::uint32_t value = 0;
    bool allSet = true;
    for (const std::uint8_t byte : bytes) {
        value = value << 8 | byte;
        allSet = allSet && byte == 0xFF;
    }
    return allSet ? std::nullopt : std::optional<std::uint32_t>(value);
}

// A value as the unit sent it (RawFieldValue) as a number in its unit (tenths divided out);
// nothing when the unit sent no value, which for a duration includes zero.
inline std::optional<double> FieldNumber(std::optional<std::uint32_t> raw, const UnitField& field)
{
    if (!raw || !IsNumeric(field) || (field.format == FieldFormat::Duration && *raw == 0))
        return std::nullopt;
    return KeepsTenth(field.unit) ? *raw / 10.0 : static_cast<double>(*raw);
}
inline std::optional<double> FieldNumber(std::span<const std::uint8_t> block, const UnitField& field)
{
    return FieldNumber(RawFieldValue(block, field), field);
}
// The display text of a value as the unit sent it (RawFieldValue). Not for a Characters field,
// whose bytes are its value: throws std::invalid_argument.
std::string FieldText(std::optional<std::uint32_t> raw, const UnitField& field, const LanguageLines& language);
// The field's display text.
std::string FieldText(std::span<const std::uint8_t> block, const UnitField& field, const LanguageLines& language);
// The text of a Characters field: its bytes, the padding (StatusTextPadding) dropped.
std::string CharactersText(std::span<const std::uint8_t> block, const UnitField& field);
// Writes value big-endian into the field's bytes, capped below the no-value pattern.
void PutField(std::span<std::uint8_t> block, const UnitField& field, std::uint32_t value);
// Writes text into a Characters field as the unit does: cut to the field's width, the rest
// filled with StatusTextPadding.
void PutText(std::span<std::uint8_t> block, const UnitField& field, std::string_view text);

}  // namespace kalvo
