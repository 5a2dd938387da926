#include "TextCodec.h"

#include <QList>

#include <array>
#include <cstddef>

namespace kalvo {

namespace {

// Qt 6 core carries no Windows-1252 codec, so the table is our own. Only 0x80..0x9F differ from
// Latin-1; the bytes 1252 leaves undefined keep the control character of their own number.
constexpr std::array<char32_t, 32> HighControlRange = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};
constexpr unsigned char HighControlFirst = 0x80;
constexpr unsigned char HighControlLast = 0x9F;
constexpr char Unencodable = '?';

char32_t CodePointOf(unsigned char byte)
{
    if (byte >= HighControlFirst && byte <= HighControlLast)
        return HighControlRange[byte - HighControlFirst];
    return byte;
}

char ByteOf(char32_t codePoint)
{
    const bool sharedWithLatin1 = codePoint < HighControlFirst || (codePoint > HighControlLast && codePoint <= 0xFF);
    if (sharedWithLatin1)
        return static_cast<char>(codePoint);
    for (std::size_t i = 0; i < HighControlRange.size(); ++i) {
        if (HighControlRange[i] == codePoint)
            return static_cast<char>(HighControlFirst + i);
    }
    return Unencodable;
}

}  // namespace

QString AnsiToQString(const std::string& bytes)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (char byte : bytes) {
        // Every code point of the table lies in the Basic Multilingual Plane: one UTF-16 unit each.
        text.append(QChar(static_cast<char16_t>(CodePointOf(static_cast<unsigned char>(byte)))));
    }
    return text;
}

std::string QStringToAnsi(const QString& text)
{
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    // By code point, so a character outside the BMP (a surrogate pair) becomes a single '?'.
    for (char32_t codePoint : text.toUcs4())
        bytes.push_back(ByteOf(codePoint));
    return bytes;
}

}  // namespace kalvo
