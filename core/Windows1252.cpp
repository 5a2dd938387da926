#include "core/Windows1252.h"

#include <array>
#include <cstddef>

namespace kalvo {

namespace {

// Only 0x80..0x9F differ from Latin-1; the bytes 1252 leaves undefined keep the control character
// of their own number.
constexpr std::array<char16_t, 32> HighControlRange = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};
constexpr unsigned char HighControlFirst = 0x80;
constexpr unsigned char HighControlLast = 0x9F;
constexpr char Unencodable = '?';

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

char ByteOf(char16_t unit)
{
    const bool sharedWithLatin1 = unit < HighControlFirst || (unit > HighControlLast && unit <= 0xFF);
    if (sharedWithLatin1)
        return static_cast<char>(unit);
    for (std::size_t i = 0; i < HighControlRange.size(); ++i) {
        if (HighControlRange[i] == unit)
            return static_cast<char>(HighControlFirst + i);
    }
    return Unencodable;
}

}  // namespace

std::u16string Windows1252ToUtf16(std::string_view bytes)
{
    std::u16string text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        const bool high = code >= HighControlFirst && code <= HighControlLast;
        text.push_back(high ? HighControlRange[code - HighControlFirst] : char16_t{code});
    }
    return text;
}

std::string Utf16ToWindows1252(std::u16string_view text)
{
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool pair = IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]);
        bytes.push_back(pair ? Unencodable : ByteOf(text[i]));
        if (pair)
            ++i;
    }
    return bytes;
}

}  // namespace kalvo
