#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "record/PollRecord.h"

namespace kalvo::record {

// When appended bytes are forced to the disk (fdatasync). EachAppend: at once (an event, which is
// what a night is recorded for). Periodic: at the first append PeriodicSyncMs or more after the
// last sync, by the times the appends carry, and when the file is closed; with a poll every 2.3 s
// a power cut loses at most the last minute, and an SD card is spared a write for every poll. None:
// when the system pleases (a decoding, which can be made again; tests in simulated time).
enum class Durability { EachAppend, Periodic, None };
inline constexpr std::int64_t PeriodicSyncMs = 50'000;

// The data syncs this process has asked for so far, for measurements.
std::uint64_t DataSyncCount();

// A file that only grows. Every Append lands whole or not at all: when the system refuses part
// of it (a full disk), the file is cut back to where it was, so what was written before stays
// intact. Throws RecordError naming the file and the system's reason. A durable file (a recording
// under way) is first checked to be still in its place: written on after it was removed or its
// folder moved away, a recording would go on into nowhere.
class AppendOnlyFile {
public:
    // Creates the file, or opens an existing one for appending.
    AppendOnlyFile(const std::filesystem::path& path, Durability durability);
    // Syncs what is not on the disk yet (Periodic).
    ~AppendOnlyFile();
    AppendOnlyFile(const AppendOnlyFile&) = delete;
    AppendOnlyFile& operator=(const AppendOnlyFile&) = delete;

    // atMs: the time of what is appended (ms since the epoch), which paces Periodic syncs.
    void Append(std::string_view bytes, std::int64_t atMs);
    // Cuts the file back to its first size bytes: a row that a power cut left half written.
    void CutTo(std::uint64_t size);
    std::uint64_t Size() const { return size_; }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
    int fd_ = -1;
    std::uint64_t size_ = 0;
    Durability durability_;
    std::optional<std::int64_t> lastSyncMs_;  // none before the first sync
    bool unsynced_ = false;
};

// Whether an existing file, not empty, may be continued: it holds what this writer wrote. Gives the
// length of its whole part, after which it is continued (a last row that a power cut left half
// written is cut off), or nothing when it may not be continued.
using ContinueCheck = std::function<std::optional<std::uint64_t>(const std::filesystem::path& existing)>;

// One file per local day in a folder, "<prefix>-YYYY-MM-DD<extension>". An existing file of the
// day is continued after its whole part when the check allows it, otherwise the next free numbered name is taken
// ("<prefix>-YYYY-MM-DD-2<extension>", ...): nothing already written is ever overwritten.
class DayFiles {
public:
    DayFiles(std::filesystem::path folder, std::string prefix, std::string extension, std::string header,
             ContinueCheck mayContinue, Durability durability);

    // Appends to the file of the local date of the time, opening it (and writing the header into a
    // new one) first when the date changed. Returns true when a file was opened for it.
    bool Append(LocalTime time, std::string_view bytes);
    // Continues the file of the day when there is one, so that a row a power cut left half written
    // is cut off now, not at the day's next append (which may never come).
    void Resume(LocalTime time);
    // The file in use, or nothing before the first append.
    const AppendOnlyFile* Current() const { return file_ ? &*file_ : nullptr; }

private:
    void Open(const std::string& date, std::int64_t atMs);

    std::filesystem::path folder_;
    std::string prefix_, extension_, header_;
    ContinueCheck mayContinue_;
    Durability durability_;
    std::string date_;
    std::optional<AppendOnlyFile> file_;
};

// Makes the folder (and its parents) when missing and checks that files can be created in it.
// Throws RecordError with the reason otherwise.
void PrepareFolder(const std::filesystem::path& folder);

// The first count bytes of a file (fewer when it is shorter), and the length of the file up to and
// with its last line end (0 when it has none): what tells whether and where a file may be
// continued, without reading all of it. Throw RecordError when the file cannot be read.
std::string ReadFileHead(const std::filesystem::path& path, std::size_t count);
std::uint64_t LengthToLastLineEnd(const std::filesystem::path& path);

// Whether the path still names the open file: a file removed, or moved away with its folder, would
// take every later write where no one finds it.
bool IsStillNamed(int fd, const std::filesystem::path& path);

// The path as UTF-8 text for messages.
std::string PathText(const std::filesystem::path& path);

}  // namespace kalvo::record
