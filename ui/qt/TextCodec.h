#pragma once

#include <QString>

#include <string>

namespace kalvo {

// The program's texts are 8-bit strings in Windows-1252. The five bytes that code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the control characters of the same number,
// so every byte survives the trip into a widget and back out unchanged.
QString AnsiToQString(const std::string& bytes);

// Characters that Windows-1252 cannot hold (typed by the user) become '?'.
std::string QStringToAnsi(const QString& text);

}  // namespace kalvo
