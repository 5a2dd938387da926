#include "core/Readings.h"

#include <algorithm>
#include <stdexcept>

#include "core/Fields.h"

namespace kalvo {

namespace {

std::string FlagText(bool flag)
{
    return flag ? "1" : "0";
}

std::string LabelledLine(const LanguageLines& language, int labelLine, const std::string& value)
{
    return language[labelLine] + " " + value;
}

}  // namespace

StatusFlagSet DecodeStatusFlags(std::uint8_t first, std::uint8_t second)
{
    StatusFlagSet flags{};
    for (const StatusFlagBit& bit : StatusFlagBits) {
        const std::uint8_t byte = bit.inSecondByte ? second : first;
        flags[bit.flag] = (byte & bit.mask) != 0;
    }
    return flags;
}

void DecodeStatusFlags(std::uint8_t first, std::uint8_t second, DecodedReadings& readings)
{
    readings.flags = DecodeStatusFlags(first, second);
    readings.texts.AlarmFlagText = FlagText(readings.flags[AlarmFlag]);
    readings.texts.OnOffText = FlagText(readings.flags[OnOffFlag]);
}

ErrorRecordValues DecodeErrorRecordValues(const Block& errorHistoryBlock, int offset)
{
    if (offset < 0 || offset > static_cast<int>(errorHistoryBlock.size()) - ErrorRecordSize)
        throw std::out_of_range("error record offset " + std::to_string(offset) +
                                " lies outside the error history block");
    ErrorRecordValues record;
    std::copy_n(errorHistoryBlock.begin() + offset, ErrorRecordSize, record.bytes.begin());
    for (std::size_t i = 0; i < ErrorRecordValueFields.size(); ++i)
        record.values[i] = RawFieldValue(record.bytes, ErrorRecordValueFields[i]);
    return record;
}

PollFields DecodeReadingFields(const Block& statusBlock, const Block& timingBlock)
{
    PollFields fields;
    for (std::size_t i = 0; i < ReportFields.size(); ++i) {
        const UnitField& field = ReportFields[i];
        const Block& block = field.block == FieldBlock::Status ? statusBlock : timingBlock;
        if (field.format == FieldFormat::Characters)
            fields.statusText = CharactersText(block, field);
        else
            fields.values[i] = RawFieldValue(block, field);
    }
    fields.flags = DecodeStatusFlags(statusBlock[StatusFlagBytesAt], statusBlock[StatusFlagBytesAt + 1]);
    return fields;
}

std::array<ErrorRecordValues, ErrorRecordCount> DecodeErrorRecords(const Block& errorHistoryBlock)
{
    std::array<ErrorRecordValues, ErrorRecordCount> records{};
    for (int n = 0; n < ErrorRecordCount; ++n)
        records[static_cast<std::size_t>(n)] = DecodeErrorRecordValues(errorHistoryBlock, n * ErrorRecordSize);
    return records;
}

PollFields DecodePollFields(const Block& statusBlock, const Block& timingBlock, const Block& errorHistoryBlock)
{
    PollFields fields = DecodeReadingFields(statusBlock, timingBlock);
    fields.errorRecords = DecodeErrorRecords(errorHistoryBlock);
    return fields;
}

DecodedReadings ReadingsOf(const PollFields& fields, const LanguageLines& language)
{
    DecodedReadings readings;
    for (std::size_t i = 0; i < ReportFields.size(); ++i) {
        const UnitField& field = ReportFields[i];
        readings.texts.*field.text = field.format == FieldFormat::Characters
                                         ? fields.statusText
                                         : FieldText(fields.values[i], field, language);
    }
    readings.flags = fields.flags;
    readings.texts.AlarmFlagText = FlagText(fields.flags[AlarmFlag]);
    readings.texts.OnOffText = FlagText(fields.flags[OnOffFlag]);
    return readings;
}

DecodedReadings DecodeReadings(const Block& statusBlock, const Block& timingBlock,
                               const LanguageLines& language)
{
    return ReadingsOf(DecodeReadingFields(statusBlock, timingBlock), language);
}

std::vector<std::string> ReportCandidateLines(const ReadingTextSet& texts, const LanguageLines& language)
{
    std::vector<std::string> lines;
    lines.reserve(ReportFields.size());
    for (const UnitField& field : ReportFields)
        lines.push_back(LabelledLine(language, field.labelLine, texts.*field.text) + std::string(field.suffix));
    return lines;
}

bool ReportLineFilter(const std::string& line)
{
    return line.find('-') == std::string::npos;
}

std::vector<std::string> ReportLines(const ReadingTextSet& texts, const LanguageLines& language)
{
    std::vector<std::string> shown;
    for (std::string& line : ReportCandidateLines(texts, language)) {
        if (ReportLineFilter(line))
            shown.push_back(std::move(line));
    }
    return shown;
}

std::vector<std::string> ErrorRecordLines(const ErrorRecordValues& record, int n, const LanguageLines& language)
{
    std::vector<std::string> lines{language[ErrorRecordHeadingLine] + " " + std::to_string(n)};
    if (record.Empty())
        return lines;

    lines.push_back(FormatState(record.StateCode(), language));
    for (std::size_t i = 0; i < ErrorRecordValueFields.size(); ++i) {
        const UnitField& field = ErrorRecordValueFields[i];
        lines.push_back(LabelledLine(language, field.labelLine, FieldText(record.values[i], field, language)));
    }
    return lines;
}

std::vector<std::string> ErrorRecordLines(const Block& errorHistoryBlock, int offset, int n,
                                          const LanguageLines& language)
{
    return ErrorRecordLines(DecodeErrorRecordValues(errorHistoryBlock, offset), n, language);
}

}  // namespace kalvo
