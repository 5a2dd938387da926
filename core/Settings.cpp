#include "core/Settings.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "core/FileReplace.h"
#include "core/KalvoError.h"
#include "core/RegularFile.h"

namespace kalvo {
namespace {

// Blanks trimmed around section names, key names and values, as Windows does: a vertical tab
// counts like a space or a tab.
constexpr std::string_view Blanks = " \t\v";
// A line ends at a carriage return, a line feed, or the two together, as Windows reads them.
constexpr std::string_view LineEndBytes = "\r\n";
constexpr std::string_view NewFileLineEnd = "\r\n";

std::string_view Trim(std::string_view text)
{
    const auto first = text.find_first_not_of(Blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(Blanks) - first + 1);
}

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string AsciiLower(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        c = AsciiLower(c);
    return lower;
}

bool SameName(std::string_view a, std::string_view b)
{
    return AsciiLower(a) == AsciiLower(b);
}

// ---- Parsing -------------------------------------------------------------------------------

// One line of the file with its own line end ("\r\n", "\r", "\n", or none on a last line), so
// that lines the writer does not touch go back out byte for byte.
struct IniLine {
    std::string text;
    std::string end;
};

std::vector<IniLine> SplitLines(std::string_view content)
{
    std::vector<IniLine> lines;
    while (!content.empty()) {
        const auto endStart = content.find_first_of(LineEndBytes);
        if (endStart == std::string_view::npos) {
            lines.push_back({std::string(content), ""});
            break;
        }
        const bool crlf = content.substr(endStart).starts_with("\r\n");
        const std::size_t endLength = crlf ? 2 : 1;
        lines.push_back({std::string(content.substr(0, endStart)), std::string(content.substr(endStart, endLength))});
        content.remove_prefix(endStart + endLength);
    }
    return lines;
}

std::string JoinLines(const std::vector<IniLine>& lines)
{
    std::string content;
    for (const IniLine& line : lines)
        content += line.text + line.end;
    return content;
}

// The line end the file already uses, so added lines match it.
std::string LineEndOf(const std::vector<IniLine>& lines)
{
    for (const IniLine& line : lines)
        if (!line.end.empty())
            return line.end;
    return std::string(NewFileLineEnd);
}

// The name of a "[Section]" header line, or nothing for any other line.
std::optional<std::string_view> SectionNameOf(std::string_view line)
{
    line = Trim(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    line.remove_prefix(1);
    return Trim(line.substr(0, line.find(']')));
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
    std::size_t valueStart;  // where the value begins in the line, past "=" and its blanks
};

// A "key=value" line; comments (";") and lines without "=" carry no key.
// Windows reads a value in one pair of matching quotes as the text between them.
std::string_view Unquoted(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

std::optional<KeyLine> KeyLineOf(std::string_view line)
{
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';')
        return std::nullopt;
    const auto equals = line.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    std::size_t valueStart = equals + 1;
    while (valueStart < line.size() && Blanks.find(line[valueStart]) != std::string_view::npos)
        ++valueStart;
    return KeyLine{Trim(line.substr(0, equals)), Unquoted(Trim(line.substr(equals + 1))), valueStart};
}

// The lines of a section: its header and the lines up to the next header. The first section of
// that name counts, as it does for Windows.
struct SectionRange {
    std::size_t header;
    std::size_t end;
};

std::optional<SectionRange> FindSection(const std::vector<IniLine>& lines, std::string_view section)
{
    for (std::size_t header = 0; header < lines.size(); ++header) {
        const auto name = SectionNameOf(lines[header].text);
        if (!name || !SameName(*name, section))
            continue;
        std::size_t end = header + 1;
        while (end < lines.size() && !SectionNameOf(lines[end].text))
            ++end;
        return SectionRange{header, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> FindKey(const std::vector<IniLine>& lines, SectionRange range,
                                   std::string_view key)
{
    for (std::size_t index = range.header + 1; index < range.end; ++index) {
        const auto entry = KeyLineOf(lines[index].text);
        if (entry && SameName(entry->key, key))
            return index;
    }
    return std::nullopt;
}

// ---- File access ---------------------------------------------------------------------------

// The whole file, or nothing when it cannot be read: it is missing, not a regular file (a FIFO
// would block the program for ever, a device might never end), or larger than
// MaxSettingsFileBytes.
std::optional<std::string> ReadWholeFile(const std::string& path)
{
    const OpenedFile opened = OpenRegularFile(path);
    if (!opened.file)
        return std::nullopt;
    std::string content;
    char buffer[4096];
    std::size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, opened.file.get())) > 0) {
        if (content.size() + count > MaxSettingsFileBytes)
            return std::nullopt;
        content.append(buffer, count);
    }
    if (std::ferror(opened.file.get()))
        return std::nullopt;
    return content;
}

std::vector<IniLine> ReadLines(const std::string& path)
{
    return SplitLines(ReadWholeFile(path).value_or(std::string()));
}

// The file a write has to replace: symbolic links are followed, also to a target that does not
// exist yet, so the links themselves survive and the file is created where they point.
std::string WriteTarget(const std::string& path)
{
    constexpr int MaxLinks = 40;
    std::filesystem::path target = FilePath(path);
    std::error_code error;
    for (int hops = 0; hops < MaxLinks && std::filesystem::is_symlink(target, error); ++hops) {
        const std::filesystem::path next = std::filesystem::read_symlink(target, error);
        if (error)
            return path;
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    return FileNameText(target);
}


// Names and values that would not read back as written, or would break the file's structure.
void CheckWritable(std::string_view section, std::string_view key, std::string_view value)
{
    const auto breaksLines = [](std::string_view text) {
        return text.find_first_of(LineEndBytes) != std::string_view::npos;
    };
    const auto badName = [&](std::string_view name) {
        return name.empty() || Trim(name) != name || breaksLines(name);
    };
    if (badName(section) || section.find(']') != std::string_view::npos)
        throw std::invalid_argument("invalid settings section name");
    if (badName(key) || key.find('=') != std::string_view::npos || key.front() == '['
        || key.front() == ';')
        throw std::invalid_argument("invalid settings key name");
    if (breaksLines(value))
        throw std::invalid_argument("settings value with a line break");
}

// The file's lines with key set to value: in place when the key exists, otherwise as a new
// line at the end of its section, or in a new section at the end of the file.
void SetKey(std::vector<IniLine>& lines, const std::string& section, const std::string& key,
            const std::string& value)
{
    const std::string lineEnd = LineEndOf(lines);
    const auto range = FindSection(lines, section);
    if (!range) {
        if (!lines.empty() && lines.back().end.empty())
            lines.back().end = lineEnd;
        lines.push_back({"[" + section + "]", lineEnd});
        lines.push_back({key + "=" + value, lineEnd});
        return;
    }
    if (const auto index = FindKey(lines, *range, key)) {
        IniLine& line = lines[*index];
        line.text = line.text.substr(0, KeyLineOf(line.text)->valueStart) + value;
        return;
    }
    // After the section's last non-blank line, so blank lines that set sections apart stay put.
    std::size_t insertAt = range->end;
    while (insertAt > range->header + 1 && Trim(lines[insertAt - 1].text).empty())
        --insertAt;
    if (lines[insertAt - 1].end.empty())
        lines[insertAt - 1].end = lineEnd;
    // The new line ends like the line before it: a lone CR before a blank line that ends in LF
    // would read back as one CR LF, and the blank line would be gone.
    const std::string end = lines[insertAt - 1].end;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), {key + "=" + value, end});
}

// ---- Integers ------------------------------------------------------------------------------

constexpr std::string_view IntegerLeadingBlanks = " \t";

// The value of a decimal or hexadecimal digit; anything else is worth more than any base allows.
int DigitValue(char c)
{
    constexpr int NotADigit = 16;
    if (c >= '0' && c <= '9')
        return c - '0';
    const char lower = AsciiLower(c);
    return (lower >= 'a' && lower <= 'f') ? lower - 'a' + 10 : NotADigit;
}

// A 32-bit integer: leading blanks, an optional sign, then decimal digits or hexadecimal ones
// after "$", "0x" or "0X"; nothing may follow the digits. Only a quoted value can still carry
// blanks here (COM=" 5"), since unquoted ones arrive trimmed.
std::optional<int> ParseInteger(std::string_view text)
{
    text.remove_prefix(std::min(text.find_first_not_of(IntegerLeadingBlanks), text.size()));
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.starts_with('$')) {
        base = 16;
        text.remove_prefix(1);
    } else if (text.starts_with("0x") || text.starts_with("0X")) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty())
        return std::nullopt;
    constexpr std::int64_t Limit = std::int64_t{1} << 31;  // magnitude of the most negative value
    std::int64_t magnitude = 0;
    for (const char c : text) {
        const int digit = DigitValue(c);
        if (digit >= base)
            return std::nullopt;
        magnitude = magnitude * base + digit;
        if (magnitude > Limit)
            return std::nullopt;
    }
    if (!negative && magnitude == Limit)
        return std::nullopt;
    return static_cast<int>(negative ? -magnitude : magnitude);
}

}  // namespace

std::string SettingsPathFor(const std::string& executablePath)
{
    // The extension belongs to the file name only, so a dot in a folder name stays.
    return FileNameText(FilePath(executablePath).replace_extension(".ini"));
}

std::optional<std::string> ReadIniString(const std::string& path, const std::string& section,
                                         const std::string& key)
{
    const auto lines = ReadLines(path);
    const auto range = FindSection(lines, section);
    if (!range)
        return std::nullopt;
    const auto index = FindKey(lines, *range, key);
    if (!index)
        return std::nullopt;
    return std::string(KeyLineOf(lines[*index].text)->value);
}

int ReadIniInteger(const std::string& path, const std::string& section, const std::string& key,
                   int defaultValue)
{
    const auto text = ReadIniString(path, section, key);
    return text ? ParseInteger(*text).value_or(defaultValue) : defaultValue;
}

std::map<std::string, std::string> ReadIniSection(const std::string& path, const std::string& section)
{
    std::map<std::string, std::string> entries;
    const auto lines = ReadLines(path);
    const auto range = FindSection(lines, section);
    if (!range)
        return entries;
    std::set<std::string> seen;  // the first of two keys that differ only in case counts
    for (std::size_t index = range->header + 1; index < range->end; ++index) {
        const auto entry = KeyLineOf(lines[index].text);
        if (entry && seen.insert(AsciiLower(entry->key)).second)
            entries.emplace(entry->key, entry->value);
    }
    return entries;
}

void WriteIniString(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& value)
{
    CheckWritable(section, key, value);
    const std::string target = WriteTarget(path);
    std::error_code error;
    const bool exists = std::filesystem::exists(FilePath(target), error);
    const std::optional<std::string> content = exists ? ReadWholeFile(target) : std::string();
    // A file that exists but cannot be read is not replaced: its contents would be lost.
    if (!content)
        throw KalvoError("Unable to write to " + path);
    auto lines = SplitLines(*content);
    SetKey(lines, section, key, value);
    if (!ReplaceFileContent(target, JoinLines(lines)))
        throw KalvoError("Unable to write to " + path);
}

void WriteIniInteger(const std::string& path, const std::string& section, const std::string& key,
                     int value)
{
    WriteIniString(path, section, key, std::to_string(value));
}

}  // namespace kalvo
