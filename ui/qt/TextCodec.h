#pragma once

#include <QString>

#include <string>

namespace kalvo {

// Qt strings to and from the program's 8-bit Windows-1252 texts (the rules are in Windows1252.h).
QString AnsiToQString(const std::string& bytes);

// Characters that Windows-1252 cannot hold (typed by the user) become '?'.
std::string QStringToAnsi(const QString& text);

}  // namespace kalvo
