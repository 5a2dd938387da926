#include "PollDecoding.h"

#include <algorithm>

#include "Fields.h"
#include "Windows1252.h"

namespace kalvo::record {

namespace {

enum class Encoding {
    Triple,      // 24-bit number
    Tenths,      // a word in tenths; 0xFFFF has no value
    Duration,    // a word in tenths of a second; 0 and 0xFFFF have no value
    Word,        // a plain word; 0xFFFF has no value
};

enum class Source { Status, Timing };

struct FieldSource {
    Source block;
    int offset;
    Encoding encoding;
};

constexpr int StateCodeAt = 40;
constexpr int FlagBytesAt = 37;
constexpr int StatusTextFirst = 2;
constexpr int StatusTextLength = 16;
constexpr std::uint8_t DroppedStatusCharacter = 0x80;
constexpr std::uint8_t EmptyRecord = 0xFF;

// Where each of the value fields comes from, in the order of ValueFields.
constexpr std::array<FieldSource, ValueCount> FieldSources{{
    {Source::Status, 18, Encoding::Triple},   {Source::Status, 21, Encoding::Triple},
    {Source::Status, 24, Encoding::Triple},   {Source::Status, 27, Encoding::Tenths},
    {Source::Status, 29, Encoding::Tenths},   {Source::Status, 31, Encoding::Tenths},
    {Source::Status, 33, Encoding::Tenths},   {Source::Status, 35, Encoding::Tenths},
    {Source::Status, 41, Encoding::Word},     {Source::Status, 43, Encoding::Word},
    {Source::Status, 45, Encoding::Word},     {Source::Status, 47, Encoding::Word},
    {Source::Status, 49, Encoding::Word},     {Source::Timing, 0, Encoding::Duration},
    {Source::Timing, 2, Encoding::Duration},  {Source::Timing, 4, Encoding::Duration},
    {Source::Timing, 6, Encoding::Duration},  {Source::Timing, 8, Encoding::Duration},
    {Source::Timing, 10, Encoding::Word},     {Source::Timing, 12, Encoding::Duration},
    {Source::Timing, 14, Encoding::Duration}, {Source::Timing, 16, Encoding::Duration},
    {Source::Timing, 18, Encoding::Duration}, {Source::Timing, 20, Encoding::Duration},
    {Source::Timing, 22, Encoding::Duration}, {Source::Timing, 24, Encoding::Duration},
    {Source::Timing, 26, Encoding::Duration}, {Source::Timing, 28, Encoding::Duration},
    {Source::Timing, 30, Encoding::Duration}, {Source::Timing, 34, Encoding::Duration},
    {Source::Timing, 36, Encoding::Word},
}};

std::optional<double> DecodeField(const Block& block, int offset, Encoding encoding)
{
    const auto at = static_cast<std::size_t>(offset);
    if (encoding == Encoding::Triple) {
        if (block[at] == 0xFF && block[at + 1] == 0xFF && block[at + 2] == 0xFF)
            return std::nullopt;
        return block[at] * 65536.0 + block[at + 1] * 256.0 + block[at + 2];
    }
    const int word = DecodeWord(block[at], block[at + 1]);
    if (word < 0 || (encoding == Encoding::Duration && word == 0))
        return std::nullopt;
    return encoding == Encoding::Word ? word : word / 10.0;
}

// Never called for 0xFF, the code of no state: the name, or empty for a code without one.
std::string StateText(std::uint8_t code, const LanguageLines& language)
{
    return Utf8FromWindows1252(FormatState(code, language));
}

std::string StatusText(const Block& statusBlock)
{
    std::string text;
    for (int i = StatusTextFirst; i < StatusTextFirst + StatusTextLength; ++i) {
        const std::uint8_t byte = statusBlock[static_cast<std::size_t>(i)];
        // The unit pads with 0x80 (dropped, as in the window) or NUL, which no text file wants.
        if (byte != DroppedStatusCharacter && byte != 0)
            text.push_back(static_cast<char>(byte));
    }
    return Utf8FromWindows1252(text);
}

// Windows-1252 maps into the first 64K code points only, so three bytes at most.
void AppendUtf8(std::string& out, char16_t codePoint)
{
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

}  // namespace

const std::array<ValueField, ValueCount> ValueFields{{
    {"operating_hours", 37, Unit::Count},
    {"burner_starts", 38, Unit::Count},
    {"lockouts", 39, Unit::Count},
    {"sensor_current_1", 40, Unit::Microamps},
    {"flame_current", 41, Unit::Microamps},
    {"sensor_current_3", 42, Unit::Microamps},
    {"alarm_current", 43, Unit::Microamps},
    {"mains_voltage", 44, Unit::Volts},
    {"start_attempts", 46, Unit::Count},
    {"flame_failures", 47, Unit::Count},
    {"ignition_failures", 48, Unit::Count},
    {"lockout_resets", 49, Unit::Count},
    {"low_voltage_events", 50, Unit::Count},
    {"prepurge_time", 51, Unit::Seconds},
    {"preignition_time", 52, Unit::Seconds},
    {"safety_time", 53, Unit::Seconds},
    {"postignition_time", 54, Unit::Seconds},
    {"valve_delay", 55, Unit::Seconds},
    {"burner_run_time", 56, Unit::Minutes},
    {"postpurge_time", 57, Unit::Seconds},
    {"preheating_time", 58, Unit::Seconds},
    {"flame_detection_time", 59, Unit::Seconds},
    {"flame_failure_response_time", 60, Unit::Seconds},
    {"restart_delay", 61, Unit::Seconds},
    {"lockout_delay", 62, Unit::Seconds},
    {"remote_reset_delay", 63, Unit::Seconds},
    {"stray_light_check_time", 64, Unit::Seconds},
    {"low_voltage_delay", 65, Unit::Seconds},
    {"last_start_sequence", 66, Unit::Seconds},
    {"last_flame_period", 67, Unit::Seconds},
    {"sequence_counter", 68, Unit::Number},
}};

const std::array<std::string_view, FlagCount> FlagKeys{
    "alarm", "flame", "valve_1", "valve_2", "ignition", "heater", "fan", "heat_demand", "remote_reset",
    "low_voltage",
};

std::string Utf8FromWindows1252(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char16_t unit : Windows1252ToUtf16(text))
        AppendUtf8(out, unit);
    return out;
}

std::optional<ErrorRecordFields> DecodeErrorRecord(const Block& errorHistoryBlock, int number,
                                                   const LanguageLines& language)
{
    const auto offset = static_cast<std::size_t>((number - 1) * ErrorRecordSize);
    if (errorHistoryBlock[offset] == EmptyRecord)
        return std::nullopt;
    ErrorRecordFields record;
    record.number = number;
    std::copy_n(errorHistoryBlock.begin() + static_cast<std::ptrdiff_t>(offset), record.bytes.size(),
                record.bytes.begin());
    record.stateCode = record.bytes[0];
    record.stateText = StateText(record.bytes[0], language);
    Block fields{};
    std::copy(record.bytes.begin(), record.bytes.end(), fields.begin());
    record.counter = DecodeField(fields, 1, Encoding::Triple);
    record.volts = DecodeField(fields, 4, Encoding::Tenths);
    record.microamps = DecodeField(fields, 6, Encoding::Tenths);
    record.minutes = DecodeField(fields, 8, Encoding::Word);
    return record;
}

DecodedPoll DecodePoll(const PollInput& input, const LanguageLines& language)
{
    DecodedPoll poll;
    poll.time = input.time;
    poll.link = input.link;
    if (input.link != LinkStatus::Ok)
        return poll;
    const Block& status = input.statusBlock;
    if (status[StateCodeAt] != EmptyRecord) {
        poll.stateCode = status[StateCodeAt];
        poll.stateText = StateText(status[StateCodeAt], language);
    }
    poll.statusText = StatusText(status);
    for (std::size_t i = 0; i < FieldSources.size(); ++i) {
        const FieldSource& source = FieldSources[i];
        poll.values[i] = DecodeField(source.block == Source::Status ? status : input.timingBlock, source.offset,
                                     source.encoding);
    }
    DecodedReadings readings;
    DecodeStatusFlags(status[FlagBytesAt], status[FlagBytesAt + 1], readings);
    poll.flags = readings.flags;
    for (int n = 1; n <= ErrorRecordCount; ++n)
        poll.errorRecords[static_cast<std::size_t>(n - 1)] = DecodeErrorRecord(input.errorHistoryBlock, n, language);
    return poll;
}

std::string ColumnTitle(const std::string& label, std::string_view key, Unit unit)
{
    std::string title = Utf8FromWindows1252(label);
    while (!title.empty() && (title.back() == ':' || title.back() == ' '))
        title.pop_back();
    if (title.empty())
        title = key;
    const std::string_view symbol = UnitSymbol(unit);
    if (!symbol.empty())
        title += " (" + std::string(symbol) + ")";
    return title;
}

}  // namespace kalvo::record
