#include "ui/qt/TextCodec.h"

#include "core/Windows1252.h"

namespace kalvo {

QString AnsiToQString(const std::string& bytes)
{
    return QString::fromStdU16String(Windows1252ToUtf16(bytes));
}

std::string QStringToAnsi(const QString& text)
{
    return Utf16ToWindows1252(text.toStdU16String());
}

}  // namespace kalvo
