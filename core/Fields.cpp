#include "core/Fields.h"

#include <cstdlib>

#include "core/FieldTable.h"

namespace kalvo {

namespace {

// Language lines that hold the unit words and the state names.
constexpr int ColonTimeUnitLine = 28;
constexpr int SecondsUnitLine = 29;
constexpr int HoursMinutesUnitLine = 35;
constexpr std::uint8_t NoStateCode = 0xFF;
constexpr int TenthsPerMinute = 600;

// Whole units of a value given in tenths, rounded half to even (0.5 -> 0, 1.5 -> 2).
int RoundTenthsHalfEven(int tenths)
{
    const int whole = tenths / 10;
    const int rest = tenths % 10;
    if (rest > 5 || (rest == 5 && whole % 2 != 0))
        return whole + 1;
    return whole;
}

std::string TwoDigits(int value)
{
    std::string text = std::to_string(value);
    if (text.size() < 2)
        text.insert(0, 1, '0');
    return text;
}

// A value and its unit word are always parted by exactly one blank, even when the word is empty.
std::string WithUnit(const std::string& value, const std::string& unitWord)
{
    return value + " " + unitWord;
}

}  // namespace

int DecodeWord(std::uint8_t high, std::uint8_t low)
{
    if (high == 0xFF && low == 0xFF)
        return -1;
    return high * 256 + low;
}

std::string FormatWord(std::uint8_t high, std::uint8_t low)
{
    const int value = DecodeWord(high, low);
    return value < 0 ? NoValueText : std::to_string(value);
}

std::string FormatTriple(std::uint8_t b1, std::uint8_t b2, std::uint8_t b3)
{
    if (b1 == 0xFF && b2 == 0xFF && b3 == 0xFF)
        return NoValueText;
    return std::to_string(b1 * 65536 + b2 * 256 + b3);
}

std::string TenthsText(int tenths)
{
    // Built from integers so that no locale can change the decimal separator.
    const long long magnitude = std::llabs(static_cast<long long>(tenths));
    std::string text = tenths < 0 ? "-" : "";
    text += std::to_string(magnitude / 10);
    if (magnitude % 10 != 0) {
        text += '.';
        text += static_cast<char>('0' + magnitude % 10);
    }
    return text;
}

// Every negative decoded word counts as "no value", not only the sentinel -1, so that no
// negative number can ever show as a reading.

std::string FormatMicroamps(int tenths)
{
    return tenths < 0 ? NoValueText : WithUnit(TenthsText(tenths), "uA");
}

std::string FormatVolts(int tenths)
{
    return tenths < 0 ? NoValueText : WithUnit(TenthsText(tenths), "V");
}

std::string FormatWholeVolts(int tenths)
{
    return tenths < 0 ? NoValueText : std::to_string(RoundTenthsHalfEven(tenths));
}

std::string FormatState(std::uint8_t code, const LanguageLines& language)
{
    if (code == NoStateCode)
        return NoValueText;
    if (code < StateNameCount)
        return language[FirstStateLine + code];
    return {};
}

std::string FormatDuration(int tenthsOfSecond, const LanguageLines& language)
{
    if (tenthsOfSecond <= 0)
        return NoValueText;
    if (tenthsOfSecond <= TenthsPerMinute)
        return WithUnit(TenthsText(tenthsOfSecond), language[SecondsUnitLine]);
    const int minutes = tenthsOfSecond / TenthsPerMinute;
    // Seconds are not carried into the minutes: a rest of 595..599 tenths reads as ":60".
    const int seconds = RoundTenthsHalfEven(tenthsOfSecond % TenthsPerMinute);
    return WithUnit(std::to_string(minutes) + ":" + TwoDigits(seconds), language[ColonTimeUnitLine]);
}

std::string FormatHoursMinutes(int minutes, const LanguageLines& language)
{
    if (minutes < 0)
        return NoValueText;
    return WithUnit(std::to_string(minutes / 60) + ":" + TwoDigits(minutes % 60),
                    language[HoursMinutesUnitLine]);
}

std::string FormatRecordTime(int minutes, const LanguageLines& language)
{
    if (minutes < 0)
        return NoValueText;
    // Unlike FormatHoursMinutes: unpadded minutes and the colon-time unit word of line 28.
    return WithUnit(std::to_string(minutes / 60) + ":" + std::to_string(minutes % 60),
                    language[ColonTimeUnitLine]);
}

}  // namespace kalvo
