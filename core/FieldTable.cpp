#include "core/FieldTable.h"

#include <algorithm>

#include "core/Fields.h"

namespace kalvo {

namespace {

template <typename Byte> std::span<Byte> FieldBytes(std::span<Byte> block, const UnitField& field)
{
    return block.subspan(static_cast<std::size_t>(field.offset), static_cast<std::size_t>(field.width));
}

// The decoded word of a pair: -1 for no value.
int Word(std::span<const std::uint8_t> bytes)
{
    return DecodeWord(bytes[0], bytes[1]);
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

std::string FieldText(std::span<const std::uint8_t> block, const UnitField& field, const LanguageLines& language)
{
    const auto bytes = FieldBytes(block, field);
    switch (field.format) {
    case FieldFormat::Characters:
        return Characters(bytes);
    case FieldFormat::Triple:
        return FormatTriple(bytes[0], bytes[1], bytes[2]);
    case FieldFormat::Word:
        return FormatWord(bytes[0], bytes[1]);
    case FieldFormat::Current:
        return FormatMicroamps(Word(bytes));
    case FieldFormat::Voltage:
        return FormatVolts(Word(bytes));
    case FieldFormat::WholeVolts:
        return FormatWholeVolts(Word(bytes));
    case FieldFormat::State:
        return FormatState(bytes[0], language);
    case FieldFormat::Duration:
        return FormatDuration(Word(bytes), language);
    case FieldFormat::HoursMinutes:
        return FormatHoursMinutes(Word(bytes), language);
    case FieldFormat::RecordTime:
        break;
    }
    return FormatRecordTime(Word(bytes), language);
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
