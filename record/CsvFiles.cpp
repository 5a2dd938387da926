#include "record/CsvFiles.h"

#include <cstdio>

#include "record/PollDecoding.h"

namespace kalvo::record {

namespace {

// An existing file is continued when it starts with this header, after its last whole row: a row
// that a power cut left half written is cut off.
ContinueCheck SameHeader(const std::string& header)
{
    return [header](const std::filesystem::path& path) -> std::optional<std::uint64_t> {
        if (ReadFileHead(path, header.size()) != header)
            return std::nullopt;
        return std::max<std::uint64_t>(LengthToLastLineEnd(path), header.size());
    };
}

std::string Text(const std::optional<int>& code)
{
    return code ? std::to_string(*code) : std::string();
}

// The unit's status text with its control characters (a garbage reply) written as \x1B, a
// backslash as \\: a terminal or spreadsheet showing the file is not driven by them.
std::string VisibleText(const std::string& text)
{
    std::string visible;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool c1 = byte == 0xC2 && i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0x80;
        if (byte < 0x20 || byte == 0x7F || c1) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c1 ? static_cast<unsigned char>(text[++i]) : byte);
            visible += escaped;
        } else {
            visible += byte == '\\' ? "\\\\" : std::string(1, text[i]);
        }
    }
    return visible;
}

// The events file's titles before the error record's values, and those in the order of
// ErrorRecordValueFields.
constexpr NightWord EventColumnWords[] = {NightWord::ColumnTime, NightWord::ColumnEvent, NightWord::ColumnLink,
    NightWord::ColumnFromStateCode, NightWord::ColumnFromState, NightWord::ColumnToStateCode, NightWord::ColumnToState,
    NightWord::ColumnRecord, NightWord::ColumnRecordStateCode, NightWord::ColumnRecordState};
constexpr NightWord RecordValueWords[] = {NightWord::ColumnRecordCounter, NightWord::ColumnRecordVoltage,
    NightWord::ColumnRecordCurrent, NightWord::ColumnRecordTime};
static_assert(std::size(RecordValueWords) == ErrorRecordValueFields.size());

}  // namespace

std::string CsvRow(const std::vector<std::string>& fields)
{
    std::string row;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            row += ',';
        const std::string& field = fields[i];
        if (field.find_first_of(",\"\r\n") == std::string::npos) {
            row += field;
            continue;
        }
        row += '"';
        for (char c : field) {
            if (c == '"')
                row += '"';
            row += c;
        }
        row += '"';
    }
    return row + "\r\n";
}

std::string NumberText(const std::optional<double>& value, Unit unit)
{
    if (!value)
        return {};
    char text[32];
    std::snprintf(text, sizeof text, KeepsTenth(unit) ? "%.1f" : "%.0f", *value);
    return text;
}

ReadingsCsvSink::ReadingsCsvSink(
    const std::filesystem::path& folder, const RecordLanguage& language, Durability durability)
    : texts_(language.texts),
      files_(folder, "readings", ".csv", CsvRow(Header(language)), SameHeader(CsvRow(Header(language))), durability)
{
}

std::vector<std::string> ReadingsCsvSink::Header(const RecordLanguage& language)
{
    const NightTexts& texts = language.texts;
    std::vector<std::string> header;
    for (NightWord word : {NightWord::ColumnTime, NightWord::ColumnLink, NightWord::ColumnStateCode,
             NightWord::ColumnState, NightWord::ColumnStatusText})
        header.push_back(texts[word]);
    for (const ValueField& field : ValueFields)
        header.push_back(ColumnTitle(language.lines[field.labelLine], field.key, field.unit));
    for (const StatusFlagBit& flag : StatusFlagBits)
        header.push_back(
            ColumnTitle(language.lines[FirstStatusFlagLine + static_cast<int>(flag.flag)], flag.key, Unit::Count));
    // Last, so the columns before keep their places in files written before it came.
    header.push_back(texts[NightWord::ColumnImplausible]);
    return header;
}

std::vector<std::string> ReadingsCsvSink::Row(const DecodedPoll& poll, const NightTexts& texts)
{
    std::vector<std::string> row{IsoText(poll.time), texts[LinkWord(poll.link)], Text(poll.stateCode), poll.stateText,
        VisibleText(poll.statusText)};
    for (std::size_t i = 0; i < ValueFields.size(); ++i)
        row.push_back(NumberText(poll.values[i], ValueFields[i].unit));
    for (const StatusFlagBit& flag : StatusFlagBits)
        row.push_back(poll.flags ? ((*poll.flags)[flag.flag] ? "1" : "0") : "");
    // Judged only where there was data to judge.
    row.push_back(poll.link == LinkStatus::Ok ? (poll.implausible ? "1" : "0") : "");
    return row;
}

void ReadingsCsvSink::OnPoll(const PollInput&, const DecodedPoll& poll)
{
    files_.Append(poll.time, CsvRow(Row(poll, texts_)));
}

EventsCsvSink::EventsCsvSink(const std::filesystem::path& folder, const RecordLanguage& language, Durability durability)
    : texts_(language.texts),
      files_(folder, "events", ".csv", CsvRow(Header(language)), SameHeader(CsvRow(Header(language))), durability)
{
}

std::vector<std::string> EventsCsvSink::Header(const RecordLanguage& language)
{
    const NightTexts& texts = language.texts;
    std::vector<std::string> header;
    for (NightWord word : EventColumnWords)
        header.push_back(texts[word]);
    for (std::size_t i = 0; i < ErrorRecordValueFields.size(); ++i)
        header.push_back(ColumnTitle("", texts[RecordValueWords[i]], ErrorRecordValueFields[i].unit));
    return header;
}

std::vector<std::string> EventsCsvSink::Row(const RecordEvent& event, const NightTexts& texts)
{
    std::vector<std::string> row{IsoText(event.time), texts[EventWord(event.kind)], texts[LinkWord(event.link)],
        Text(event.fromState), event.fromText, Text(event.toState), event.toText};
    if (event.record) {
        const ErrorRecordFields& record = *event.record;
        row.insert(row.end(), {std::to_string(record.number), std::to_string(record.stateCode), record.stateText});
        for (std::size_t i = 0; i < ErrorRecordValueFields.size(); ++i)
            row.push_back(NumberText(record.*ErrorRecordValueMembers[i], ErrorRecordValueFields[i].unit));
    } else {
        row.resize(std::size(EventColumnWords) + std::size(RecordValueWords));
    }
    return row;
}

void EventsCsvSink::OnEvent(const RecordEvent& event)
{
    files_.Append(event.time, CsvRow(Row(event, texts_)));
}

}  // namespace kalvo::record
