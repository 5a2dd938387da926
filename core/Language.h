#pragma once

#include <array>
#include <string>

namespace kalvo {

// The 139 texts of the language file, addressed by their 1-based line number.
struct LanguageLines {
    static constexpr int Count = 139;
    std::array<std::string, Count> lines;

    const std::string& operator[](int lineNumber) const { return lines[lineNumber - 1]; }
    std::string& operator[](int lineNumber) { return lines[lineNumber - 1]; }
};

// Reads the language file into table. Lines are ended by a carriage return (a line feed right
// after it belongs to the line end), the byte 0x1A ends the content, missing lines stay empty.
// Throws KalvoError with the platform's message when the file cannot be opened or read; the
// lines read before a failing read keep their texts.
void LoadLanguage(const std::string& fileName, LanguageLines& table);

}  // namespace kalvo
