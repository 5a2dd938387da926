#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>

namespace kalvo {

// The settings file: the executable's path with its extension replaced by ".ini".
std::string SettingsPathFor(const std::string& executablePath);

// Settings files are a few hundred bytes, but one grown by hand-kept port lists or notes still
// works up to this size; a larger one counts as unreadable: it reads as absent and is not written
// over. The bound keeps a runaway file from stalling start-up or filling memory.
inline constexpr std::size_t MaxSettingsFileBytes = 32 * 1024 * 1024;

// Windows-style INI profile access, key by key. Section and key names compare without regard to
// case; CR LF, LF and a lone CR each end a line. Reading never fails: a missing or unreadable
// file (also a FIFO or a device in its place), section or key gives the default.

// A 32-bit integer: decimal, or hexadecimal after "$", "0x" or "0X"; leading blanks and a sign
// allowed; anything else, or a value outside 32 bits, gives the default.
int ReadIniInteger(const std::string& path, const std::string& section, const std::string& key,
                   int defaultValue);
std::optional<std::string> ReadIniString(const std::string& path, const std::string& section,
                                         const std::string& key);
// Every key=value of a section, keys as written in the file.
std::map<std::string, std::string> ReadIniSection(const std::string& path, const std::string& section);

// Writes one key, creating the file and the section when missing and keeping every other line as
// it was. The file is replaced atomically (new file beside it, then rename), so it is never left
// truncated. Throws KalvoError "Unable to write to <path>" when it cannot be written.
void WriteIniInteger(const std::string& path, const std::string& section, const std::string& key,
                     int value);
void WriteIniString(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& value);

}  // namespace kalvo
