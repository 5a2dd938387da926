#include "core/FieldTable.h"

#include <algorithm>

#include "core/Fields.h"

namespace kalvo {

namespace {

template <typename Byte> std::span<Byte> FieldBytes(std::span<Byte> block, const UnitField& field)
{
    return block.subspan(static_cast<std::size_t>(field.offset), static_cast<std::size_t>(field.width));
}

std::string Characters(std::span<const std::uint8_t> bytes)
{
    std::string text;
    for (const std::uint8_t byte : bytes)
        if (byte != StatusTextPadding)
            text += static_cast<char>(byte);
    return text;
}

}  // namespace

std::string FieldText(std::optional<std::uint32_t> raw, const UnitField& field, const LanguageLines& language)
{
    // The formatters take the bytes or the decoded word; no value is the all-set pattern, -1 as a word.
    const std::uint32_t value = raw.value_or(0xFFFFFFFFu);
    const auto byte = [value](int shift) { return static_cast<std::uint8_t>(value >> shift); };
    const int word = raw ? static_cast<int>(*raw) : -1;
    switch (field.format) {
    case FieldFormat::Characters:
        break;
    case FieldFormat::Triple:
        return FormatTriple(byte(16), byte(8), byte(0));
    case FieldFormat::Word:
        return FormatWord(byte(8), byte(0));
    case FieldFormat::Current:
        return FormatMicroamps(word);
    case FieldFormat::Voltage:
        return FormatVolts(word);
    case FieldFormat::WholeVolts:
        return FormatWholeVolts(word);
    case FieldFormat::State:
        return FormatState(byte(0), language);
    case FieldFormat::Duration:
        return FormatDuration(word, language);
    case FieldFormat::HoursMinutes:
        return FormatHoursMinutes(word, language);
    case FieldFormat::RecordTime:
        return FormatRecordTime(word, language);
    }
    throw std::invalid_argument("the text field " + std::string(field.key) + " has no number");
}

std::string FieldText(std::span<const std::uint8_t> block, const UnitField& field, const LanguageLines& language)
{
    if (field.format == FieldFormat::Characters)
        return CharactersText(block, field);
    return FieldText(RawFieldValue(block, field), field, language);
}

std::string CharactersText(std::span<const std::uint8_t> block, const UnitField& field)
{
    return Characters(FieldBytes(block, field));
}

void PutField(std::span<std::uint8_t> block, const UnitField& field, std::uint32_t value)
{
    const std::uint32_t noValue = field.width >= 4 ? 0xFFFFFFFFu : (1u << (8 * field.width)) - 1;
    value = std::min(value, noValue - 1);
    for (int i = field.width - 1; i >= 0; --i, value >>= 8)
        block[static_cast<std::size_t>(field.offset + i)] = static_cast<std::uint8_t>(value);
}

void PutText(std::span<std::uint8_t> block, const UnitField& field, std::string_view text)
{
    const std::span<std::uint8_t> bytes = FieldBytes(block, field);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : StatusTextPadding;
}

}  // namespace kalvo
