#include "core/Readings.h"

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

void DecodeStatusFlags(std::uint8_t first, std::uint8_t second, DecodedReadings& readings)
{
    for (const StatusFlagBit& bit : StatusFlagBits) {
        const std::uint8_t byte = bit.inSecondByte ? second : first;
        readings.flags[bit.flag] = (byte & bit.mask) != 0;
    }
    readings.texts.AlarmFlagText = FlagText(readings.flags[AlarmFlag]);
    readings.texts.OnOffText = FlagText(readings.flags[OnOffFlag]);
}

DecodedReadings DecodeReadings(const Block& statusBlock, const Block& timingBlock,
                               const LanguageLines& language)
{
    DecodedReadings readings;
    for (const UnitField& field : ReportFields)
        readings.texts.*field.text =
            FieldText(field.block == FieldBlock::Status ? statusBlock : timingBlock, field, language);
    DecodeStatusFlags(statusBlock[StatusFlagBytesAt], statusBlock[StatusFlagBytesAt + 1], readings);
    return readings;
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

std::vector<std::string> ErrorRecordLines(const Block& errorHistoryBlock, int offset, int n,
                                          const LanguageLines& language)
{
    if (offset < 0 || offset > static_cast<int>(errorHistoryBlock.size()) - ErrorRecordSize)
        throw std::out_of_range("error record offset " + std::to_string(offset) +
                                " lies outside the error history block");

    const auto record = std::span(errorHistoryBlock).subspan(static_cast<std::size_t>(offset), ErrorRecordSize);
    std::vector<std::string> lines{language[ErrorRecordHeadingLine] + " " + std::to_string(n)};
    if (record[ErrorRecordStateAt] == EmptyRecordCode)
        return lines;

    lines.push_back(FormatState(record[ErrorRecordStateAt], language));
    for (const UnitField& field : ErrorRecordValueFields)
        lines.push_back(LabelledLine(language, field.labelLine, FieldText(record, field, language)));
    return lines;
}

}  // namespace kalvo
