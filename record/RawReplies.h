#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "record/DayFile.h"
#include "record/PollRecord.h"

// The raw replies file, replies-YYYY-MM-DD.kraw: the data bytes of the three replies of every
// poll (the bytes the read cycle keeps; the unit's lead and trail bytes are never looked at), so a
// night can be decoded again with another language file or played back by the simulated unit.
//
// Layout: the line "KALVO RAW REPLIES 1\n", then one record per poll:
//   0xA5 | kind | length (varint) | payload (length bytes) | CRC-32 of kind, length and payload (LE)
// Kind 'F' (full): time in ms since the epoch (zigzag varint), UTC offset in minutes (zigzag
//   varint), link status (byte), then per block (status, timing, error history) its length
//   without trailing zeros (varint) and those bytes.
// Kind 'D' (delta, against the poll before it in the same file): time since that poll in ms
//   (zigzag varint), UTC offset, link status, then per block the runs of changed bytes: their
//   count (varint), each as gap after the previous run (varint), length (varint) and the bytes.
// A day's file starts with a full record; so does a file continued after a restart, and one
// follows at least every ten minutes, where reading resumes after damage. A poll of a
// steady burner costs some 20 bytes: well under 1 MB a day at one poll every two seconds.
namespace kalvo::record {

inline constexpr std::string_view RawFileHeader = "KALVO RAW REPLIES 1\n";
inline constexpr std::string_view RawFilePrefix = "replies";
inline constexpr std::string_view RawFileExtension = ".kraw";

class RawRepliesSink : public PollSink {
public:
    RawRepliesSink(const std::filesystem::path& folder, Durability durability);
    void OnPoll(const PollInput& raw, const DecodedPoll& poll) override;
    void OnEvent(const RecordEvent&) override {}
    const DayFiles& Files() const { return files_; }

private:
    DayFiles files_;
    std::optional<PollInput> previous_;  // the last poll written to the current file
    std::int64_t lastFullMs_ = 0;        // the time of the last full record written
};

// The record of a poll, full or as the change from previous.
std::string EncodeRawRecord(const PollInput& poll, const PollInput* previous);

// Told what is wrong where: the file, the byte offset and the poll number.
using DamageCallback = std::function<void(const std::string& what)>;

// Reads one raw replies file and hands each poll to the callback, in the file's order. Damage in
// a record is handed to onDamage, and reading resumes at the next full record (the change records
// in between build on polls the damage took); without onDamage the first damage throws
// RecordError. A file that is not a raw replies file always throws. A last record cut short by
// the end of the file (a power cut while it was written) ends the file; then false is returned.
// An empty file holds no polls. The file is read as a stream: a large file that is not a raw
// replies file is refused after its first line.
bool ReadRawFile(const std::filesystem::path& path, const std::function<void(const PollInput&)>& onPoll,
    const DamageCallback& onDamage = {});
// The same on bytes already in memory; name is what the messages call them.
void ReadRawBytes(std::string_view bytes, const std::string& name, const std::function<void(const PollInput&)>& onPoll,
    const DamageCallback& onDamage = {});

// Every raw replies file of a folder, oldest first (by the time of their first poll). Throws
// RecordError when the folder holds none.
std::vector<std::filesystem::path> RawFilesIn(const std::filesystem::path& folder);

// A part of a recording that could not be read: a damaged stretch of a raw file up to its next
// full record, or the rest of a file cut short before the recording went on in the next.
struct MissingSpan {
    std::string what;               // the file and what is wrong with it
    std::optional<LocalTime> from;  // the last poll read before it; none: no poll of the file was read
    std::optional<LocalTime> to;    // the next poll read after it; none: the recording ends there
};
// "replies-2026-12-07.kraw: damaged at byte 812 (poll 31): its checksum does not match; no polls
// from 2026-12-07T03:12:00+01:00 to 2026-12-08T00:00:01+01:00".
std::string MissingSpanText(const MissingSpan& span);

// The polls of every raw file in the folder, in recording order. Damage costs the polls of its file
// from there to the next full record, or to the file's end; the spans lost are returned. Throws
// RecordError for a folder that cannot be read or holds no raw replies file.
std::vector<MissingSpan> ReadRecording(
    const std::filesystem::path& folder, const std::function<void(const PollInput&)>& onPoll);

}  // namespace kalvo::record
