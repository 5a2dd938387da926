#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>

namespace kalvo {

// The 139 texts of the language file, addressed by their 1-based line number.
struct LanguageLines {
    static constexpr int Count = 139;
    std::array<std::string, Count> lines;

    const std::string& operator[](int lineNumber) const { return lines[lineNumber - 1]; }
    std::string& operator[](int lineNumber) { return lines[lineNumber - 1]; }
};

// A language file of 139 long lines fits many times over; a larger file or one that never ends
// (an endless device) is read only this far, and the rest counts as absent.
inline constexpr std::size_t MaxLanguageBytes = 1024 * 1024;

// Reads the language file into table. Lines are ended by a carriage return (a line feed right
// after it belongs to the line end), the byte 0x1A ends the content, missing lines stay empty.
// Only a regular file is read ("File access denied" for a FIFO, a device or a folder), and at
// most MaxLanguageBytes of it. Throws KalvoError with the platform's message when the file cannot
// be opened or read; the lines read before a failing read keep their texts.
void LoadLanguage(const std::string& fileName, LanguageLines& table);

// The same for a file of another number of lines in that format (the recorder's words): one text
// per element of lines, in order.
void LoadLanguageLines(const std::string& fileName, std::span<std::string> lines);

}  // namespace kalvo
