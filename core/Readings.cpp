#include "Readings.h"

#include <stdexcept>
#include <utility>

#include "Fields.h"

namespace kalvo {

namespace {

using TextField = std::string ReadingTextSet::*;


// Status block layout.
constexpr int StatusStringFirst = 2;
constexpr int StatusStringLength = 16;
constexpr std::uint8_t DroppedStatusCharacter = 0x80;
constexpr std::array<std::pair<TextField, int>, 3> TripleFields{{
    {&ReadingTextSet::Int24Text1, 18},
    {&ReadingTextSet::Int24Text2, 21},
    {&ReadingTextSet::Int24Text3, 24},
}};
constexpr std::array<std::pair<TextField, int>, 4> CurrentFields{{
    {&ReadingTextSet::CurrentText1, 27},
    {&ReadingTextSet::FlameCurrentText, 29},
    {&ReadingTextSet::CurrentText3, 31},
    {&ReadingTextSet::AlarmCurrentText, 33},
}};
constexpr int MainsVoltageAt = 35;
constexpr int FlagBytesAt = 37;
constexpr int StateAt = 40;
constexpr std::array<std::pair<TextField, int>, 5> StatusWordFields{{
    {&ReadingTextSet::Int16Text1, 41},
    {&ReadingTextSet::Int16Text2, 43},
    {&ReadingTextSet::Int16Text3, 45},
    {&ReadingTextSet::Int16Text4, 47},
    {&ReadingTextSet::Int16Text5, 49},
}};

// Timing block layout; bytes 32..33 carry nothing shown.
constexpr std::array<std::pair<TextField, int>, 16> DurationFields{{
    {&ReadingTextSet::DurationText1, 0},   {&ReadingTextSet::DurationText2, 2},
    {&ReadingTextSet::DurationText3, 4},   {&ReadingTextSet::DurationText4, 6},
    {&ReadingTextSet::DurationText5, 8},   {&ReadingTextSet::DurationText6, 12},
    {&ReadingTextSet::DurationText7, 14},  {&ReadingTextSet::DurationText8, 16},
    {&ReadingTextSet::DurationText9, 18},  {&ReadingTextSet::DurationText10, 20},
    {&ReadingTextSet::DurationText11, 22}, {&ReadingTextSet::DurationText12, 24},
    {&ReadingTextSet::DurationText13, 26}, {&ReadingTextSet::DurationText14, 28},
    {&ReadingTextSet::DurationText15, 30}, {&ReadingTextSet::DurationText16, 34},
}};
constexpr int HoursMinutesAt = 10;
constexpr int TimingWordAt = 36;

// The report's values in report order; line i carries the label of language line 35 + i.
constexpr std::array<TextField, 33> ReportValues{
    &ReadingTextSet::StatusStringText, &ReadingTextSet::Int24Text1,
    &ReadingTextSet::Int24Text2,       &ReadingTextSet::Int24Text3,
    &ReadingTextSet::CurrentText1,     &ReadingTextSet::FlameCurrentText,
    &ReadingTextSet::CurrentText3,     &ReadingTextSet::AlarmCurrentText,
    &ReadingTextSet::MainsVoltageText, &ReadingTextSet::StateText,
    &ReadingTextSet::Int16Text1,       &ReadingTextSet::Int16Text2,
    &ReadingTextSet::Int16Text3,       &ReadingTextSet::Int16Text4,
    &ReadingTextSet::Int16Text5,       &ReadingTextSet::DurationText1,
    &ReadingTextSet::DurationText2,    &ReadingTextSet::DurationText3,
    &ReadingTextSet::DurationText4,    &ReadingTextSet::DurationText5,
    &ReadingTextSet::HoursMinutesText, &ReadingTextSet::DurationText6,
    &ReadingTextSet::DurationText7,    &ReadingTextSet::DurationText8,
    &ReadingTextSet::DurationText9,    &ReadingTextSet::DurationText10,
    &ReadingTextSet::DurationText11,   &ReadingTextSet::DurationText12,
    &ReadingTextSet::DurationText13,   &ReadingTextSet::DurationText14,
    &ReadingTextSet::DurationText15,   &ReadingTextSet::DurationText16,
    &ReadingTextSet::TimingInt16Text,
};
constexpr int FirstReportLabelLine = 36;
constexpr TextField VoltageValue = &ReadingTextSet::MainsVoltageText;
const std::string VoltageSuffix = " Volt";

// Error record layout and its language lines.
constexpr int RecordHeadingLine = 30;
constexpr int RecordCounterLabelLine = 31;
constexpr int RecordVoltageLabelLine = 32;
constexpr int RecordCurrentLabelLine = 33;
constexpr int RecordTimeLabelLine = 34;
constexpr std::uint8_t EmptyRecordCode = 0xFF;

int WordAt(const Block& block, int at)
{
    return DecodeWord(block[at], block[at + 1]);
}

std::string StatusStringFrom(const Block& statusBlock)
{
    std::string text;
    for (int at = StatusStringFirst; at < StatusStringFirst + StatusStringLength; ++at) {
        if (statusBlock[at] != DroppedStatusCharacter)
            text += static_cast<char>(statusBlock[at]);
    }
    return text;
}

void DecodeStatusBlock(const Block& block, const LanguageLines& language, DecodedReadings& readings)
{
    ReadingTextSet& texts = readings.texts;
    texts.StatusStringText = StatusStringFrom(block);
    for (const auto& [field, at] : TripleFields)
        texts.*field = FormatTriple(block[at], block[at + 1], block[at + 2]);
    for (const auto& [field, at] : CurrentFields)
        texts.*field = FormatMicroamps(WordAt(block, at));
    texts.MainsVoltageText = FormatWholeVolts(WordAt(block, MainsVoltageAt));
    DecodeStatusFlags(block[FlagBytesAt], block[FlagBytesAt + 1], readings);
    texts.StateText = FormatState(block[StateAt], language);
    for (const auto& [field, at] : StatusWordFields)
        texts.*field = FormatWord(block[at], block[at + 1]);
}

void DecodeTimingBlock(const Block& block, const LanguageLines& language, ReadingTextSet& texts)
{
    for (const auto& [field, at] : DurationFields)
        texts.*field = FormatDuration(WordAt(block, at), language);
    texts.HoursMinutesText = FormatHoursMinutes(WordAt(block, HoursMinutesAt), language);
    texts.TimingInt16Text = FormatWord(block[TimingWordAt], block[TimingWordAt + 1]);
}

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
    DecodeStatusBlock(statusBlock, language, readings);
    DecodeTimingBlock(timingBlock, language, readings.texts);
    return readings;
}

std::vector<std::string> ReportCandidateLines(const ReadingTextSet& texts, const LanguageLines& language)
{
    std::vector<std::string> lines;
    lines.reserve(ReportValues.size());
    for (std::size_t i = 0; i < ReportValues.size(); ++i) {
        const TextField value = ReportValues[i];
        const int labelLine = FirstReportLabelLine + static_cast<int>(i);
        std::string line = LabelledLine(language, labelLine, texts.*value);
        if (value == VoltageValue)
            line += VoltageSuffix;
        lines.push_back(std::move(line));
    }
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

    const auto record = errorHistoryBlock.begin() + offset;
    std::vector<std::string> lines{language[RecordHeadingLine] + " " + std::to_string(n)};
    if (record[0] == EmptyRecordCode)
        return lines;

    const auto add = [&](int labelLine, const std::string& value) {
        lines.push_back(LabelledLine(language, labelLine, value));
    };
    lines.push_back(FormatState(record[0], language));
    add(RecordCounterLabelLine, FormatTriple(record[1], record[2], record[3]));
    add(RecordVoltageLabelLine, FormatVolts(DecodeWord(record[4], record[5])));
    add(RecordCurrentLabelLine, FormatMicroamps(DecodeWord(record[6], record[7])));
    add(RecordTimeLabelLine, FormatRecordTime(DecodeWord(record[8], record[9]), language));
    return lines;
}

}  // namespace kalvo
