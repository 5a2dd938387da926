#include "record/PollDecoding.h"

#include <algorithm>

#include "core/Fields.h"
#include "core/Windows1252.h"

namespace kalvo::record {

namespace {

// The state's place among the report's fields.
constexpr std::size_t StateIndex = [] {
    std::size_t i = 0;
    while (ReportFields[i].key != "state")
        ++i;
    return i;
}();

// Never called for 0xFF, the code of no state: the name, or empty for a code without one.
std::string StateText(std::uint8_t code, const LanguageLines& language)
{
    return Utf8FromWindows1252(FormatState(code, language));
}

// The unit pads its text with StatusTextPadding (dropped already, as in the window) or NUL, which
// no text file wants.
std::string StatusText(std::string text)
{
    std::erase(text, '\0');
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

std::string Utf8FromWindows1252(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char16_t unit : Windows1252ToUtf16(text))
        AppendUtf8(out, unit);
    return out;
}

DecodedPoll DecodePoll(const PollInput& input, const LanguageLines& language)
{
    return PollDecoder(language).Decode(input);
}

PollDecoder::PollDecoder(const LanguageLines& language) : language_(language) { }

const std::string& PollDecoder::StateText(std::uint8_t code)
{
    std::optional<std::string>& text = stateTexts_[code];
    if (!text)
        text = record::StateText(code, language_);
    return *text;
}

ErrorRecordFields PollDecoder::RecordFields(const ErrorRecordValues& values, int number)
{
    ErrorRecordFields record;
    record.number = number;
    record.bytes = values.bytes;
    record.stateCode = values.StateCode();
    record.stateText = StateText(values.StateCode());
    for (std::size_t i = 0; i < ErrorRecordValueFields.size(); ++i)
        record.*ErrorRecordValueMembers[i] = FieldNumber(values.values[i], ErrorRecordValueFields[i]);
    return record;
}

DecodedPoll PollDecoder::Decode(const PollInput& input)
{
    // Only an ok poll's blocks are decoded, and a run's history only when its bytes changed.
    if (input.link != LinkStatus::Ok)
        return Decode(input, PollFields{});
    PollFields fields = kalvo::DecodeReadingFields(input.statusBlock, input.timingBlock);
    if (historyBlock_ != input.errorHistoryBlock) {
        historyBlock_ = input.errorHistoryBlock;
        historyValues_ = kalvo::DecodeErrorRecords(input.errorHistoryBlock);
    }
    fields.errorRecords = historyValues_;
    return Decode(input, fields);
}

DecodedPoll PollDecoder::Decode(const PollInput& input, const PollFields& fields)
{
    DecodedPoll poll;
    poll.time = input.time;
    poll.link = input.link;
    if (input.link != LinkStatus::Ok)
        return poll;
    if (const std::optional<std::uint32_t> code = fields.values[StateIndex]) {
        poll.stateCode = static_cast<int>(*code);
        poll.stateText = StateText(static_cast<std::uint8_t>(*code));
    }
    if (unitText_ != fields.statusText) {
        unitText_ = fields.statusText;
        statusText_ = StatusText(fields.statusText);
    }
    poll.statusText = statusText_;
    std::size_t value = 0;
    for (std::size_t i = 0; i < ReportFields.size(); ++i) {
        if (IsNumeric(ReportFields[i]))
            poll.values[value++] = FieldNumber(fields.values[i], ReportFields[i]);
    }
    poll.flags = fields.flags;
    if (history_ != fields.errorRecords) {
        history_ = fields.errorRecords;
        for (std::size_t n = 0; n < records_.size(); ++n) {
            const ErrorRecordValues& values = fields.errorRecords[n];
            records_[n] = values.Empty() ? std::nullopt
                                         : std::optional(RecordFields(values, static_cast<int>(n) + 1));
        }
    }
    poll.errorRecords = records_;
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
