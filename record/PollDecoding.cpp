#include "record/PollDecoding.h"

#include <algorithm>

#include "core/Fields.h"
#include "core/Windows1252.h"

namespace kalvo::record {

namespace {

constexpr const UnitField& StateField = ReportField("state");
constexpr const UnitField& StatusTextField = ReportField("status_text");

// Never called for 0xFF, the code of no state: the name, or empty for a code without one.
std::string StateText(std::uint8_t code, const LanguageLines& language)
{
    return Utf8FromWindows1252(FormatState(code, language));
}

// The unit pads its text with StatusTextPadding (dropped, as in the window) or NUL, which no text
// file wants.
std::string StatusText(const Block& statusBlock, const LanguageLines& language)
{
    std::string text = FieldText(statusBlock, StatusTextField, language);
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

std::optional<ErrorRecordFields> DecodeErrorRecord(const Block& errorHistoryBlock, int number,
                                                   const LanguageLines& language)
{
    const auto offset = static_cast<std::size_t>((number - 1) * ErrorRecordSize);
    if (errorHistoryBlock[offset + ErrorRecordStateAt] == EmptyRecordCode)
        return std::nullopt;
    ErrorRecordFields record;
    record.number = number;
    std::copy_n(errorHistoryBlock.begin() + static_cast<std::ptrdiff_t>(offset), record.bytes.size(),
                record.bytes.begin());
    record.stateCode = record.bytes[ErrorRecordStateAt];
    record.stateText = StateText(record.bytes[ErrorRecordStateAt], language);
    for (std::size_t i = 0; i < ErrorRecordValueFields.size(); ++i)
        record.*ErrorRecordValueMembers[i] = FieldNumber(record.bytes, ErrorRecordValueFields[i]);
    return record;
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

DecodedPoll PollDecoder::Decode(const PollInput& input)
{
    DecodedPoll poll;
    poll.time = input.time;
    poll.link = input.link;
    if (input.link != LinkStatus::Ok)
        return poll;
    const Block& status = input.statusBlock;
    if (const std::optional<std::uint32_t> code = RawFieldValue(status, StateField)) {
        poll.stateCode = static_cast<int>(*code);
        poll.stateText = StateText(static_cast<std::uint8_t>(*code));
    }
    const std::string_view statusBytes(reinterpret_cast<const char*>(status.data()) + StatusTextField.offset,
        static_cast<std::size_t>(StatusTextField.width));
    if (statusBytes_ != statusBytes) {
        statusBytes_ = statusBytes;
        statusText_ = StatusText(status, language_);
    }
    poll.statusText = statusText_;
    for (std::size_t i = 0; i < ValueFields.size(); ++i) {
        const UnitField& field = ValueFields[i];
        poll.values[i] = FieldNumber(field.block == FieldBlock::Status ? status : input.timingBlock, field);
    }
    DecodedReadings readings;
    DecodeStatusFlags(status[StatusFlagBytesAt], status[StatusFlagBytesAt + 1], readings);
    poll.flags = readings.flags;
    if (history_ != input.errorHistoryBlock) {
        history_ = input.errorHistoryBlock;
        for (int n = 1; n <= ErrorRecordCount; ++n)
            records_[static_cast<std::size_t>(n - 1)] = DecodeErrorRecord(input.errorHistoryBlock, n, language_);
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
