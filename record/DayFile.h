#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kalvo::record {

// A file that only grows. Every Append lands whole or not at all: when the system refuses part
// of it (a full disk), the file is cut back to where it was, so what was written before stays
// intact. Throws RecordError naming the file and the system's reason. A file synced at each append
// (a recording under way) is first checked to be still in its place: written on after it was
// removed or its folder moved away, a recording would go on into nowhere.
class AppendOnlyFile {
public:
    // Creates the file, or opens an existing one for appending.
    explicit AppendOnlyFile(const std::filesystem::path& path, bool syncEachAppend);
    ~AppendOnlyFile();
    AppendOnlyFile(const AppendOnlyFile&) = delete;
    AppendOnlyFile& operator=(const AppendOnlyFile&) = delete;

    void Append(std::string_view bytes);
    std::uint64_t Size() const { return size_; }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
    int fd_ = -1;
    std::uint64_t size_ = 0;
    bool sync_;
};

// Whether an existing file, not empty, may be continued: it holds what this writer wrote and ends
// cleanly.
using ContinueCheck = std::function<bool(const std::filesystem::path& existing)>;

// One file per local day in a folder, "<prefix>-YYYY-MM-DD<extension>". An existing file of the
// day is continued when the check allows it, otherwise the next free numbered name is taken
// ("<prefix>-YYYY-MM-DD-2<extension>", ...): nothing already written is ever overwritten.
class DayFiles {
public:
    DayFiles(std::filesystem::path folder, std::string prefix, std::string extension, std::string header,
             ContinueCheck mayContinue, bool syncEachAppend);

    // Appends to the file of the date, opening it (and writing the header into a new one) first
    // when the date changed. Returns true when a file was opened for it.
    bool Append(const std::string& date, std::string_view bytes);
    // The file in use, or nothing before the first append.
    const AppendOnlyFile* Current() const { return file_ ? &*file_ : nullptr; }

private:
    void Open(const std::string& date);

    std::filesystem::path folder_;
    std::string prefix_, extension_, header_;
    ContinueCheck mayContinue_;
    bool sync_;
    std::string date_;
    std::optional<AppendOnlyFile> file_;
};

// Makes the folder (and its parents) when missing and checks that files can be created in it.
// Throws RecordError with the reason otherwise.
void PrepareFolder(const std::filesystem::path& folder);

// The first count bytes of a file (fewer when it is shorter), and its last byte (0 for an empty
// file): what tells whether a file may be continued, without reading all of it. Throw RecordError
// when the file cannot be read.
std::string ReadFileHead(const std::filesystem::path& path, std::size_t count);
char LastByte(const std::filesystem::path& path);

// Whether the path still names the open file: a file removed, or moved away with its folder, would
// take every later write where no one finds it.
bool IsStillNamed(int fd, const std::filesystem::path& path);

// The path as UTF-8 text for messages.
std::string PathText(const std::filesystem::path& path);

}  // namespace kalvo::record
