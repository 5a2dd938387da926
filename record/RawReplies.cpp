#include "record/RawReplies.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "core/LongPaths.h"
#include "core/RegularFile.h"
#include "record/CivilTime.h"

namespace kalvo::record {

namespace {

constexpr std::uint8_t RecordMark = 0xA5;
constexpr char FullKind = 'F';
constexpr char DeltaKind = 'D';
constexpr std::size_t CrcBytes = 4;
// Larger than any record: a full one holds three blocks of at most 256 bytes and a few numbers.
constexpr std::size_t MaxRecordBytes = 1024;
// A whole record with its mark, kind, length and checksum fits in this.
constexpr std::size_t RecordRoom = MaxRecordBytes + 16;
constexpr std::size_t ChunkBytes = 64 * 1024;
// A gap of fewer unchanged bytes than this costs less to repeat than to start a new run.
constexpr std::size_t RunJoinGap = 3;
// A full record at least this often, so damage in the middle of a file costs no more than this
// many milliseconds of polls: reading resumes at the next full record. Some 20 to 30 KB a day.
constexpr std::int64_t FullRecordIntervalMs = 10 * 60 * 1000;

constexpr std::array<std::uint32_t, 256> CrcTable = [] {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}();

std::uint32_t Crc32(std::string_view bytes)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (char c : bytes)
        crc = CrcTable[(crc ^ static_cast<std::uint8_t>(c)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

void PutVarint(std::string& out, std::uint64_t value)
{
    while (value >= 0x80) {
        out.push_back(static_cast<char>((value & 0x7F) | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<char>(value));
}

void PutSigned(std::string& out, std::int64_t value)
{
    PutVarint(out, (static_cast<std::uint64_t>(value) << 1) ^ static_cast<std::uint64_t>(value >> 63));
}

std::size_t UsedLength(const Block& block)
{
    std::size_t length = block.size();
    while (length > 0 && block[length - 1] == 0)
        --length;
    return length;
}

void PutFullBlock(std::string& out, const Block& block)
{
    const std::size_t length = UsedLength(block);
    PutVarint(out, length);
    out.append(reinterpret_cast<const char*>(block.data()), length);
}

void PutChangedRuns(std::string& out, const Block& block, const Block& previous)
{
    struct Run {
        std::size_t first, length;
    };
    std::vector<Run> runs;
    for (std::size_t i = 0; i < block.size(); ++i) {
        if (block[i] == previous[i])
            continue;
        if (!runs.empty() && i - (runs.back().first + runs.back().length) <= RunJoinGap)
            runs.back().length = i + 1 - runs.back().first;
        else
            runs.push_back({i, 1});
    }
    PutVarint(out, runs.size());
    std::size_t end = 0;
    for (const Run& run : runs) {
        PutVarint(out, run.first - end);
        PutVarint(out, run.length);
        out.append(reinterpret_cast<const char*>(block.data() + run.first), run.length);
        end = run.first + run.length;
    }
}

// The first line as damage leaves it: a few bytes changed, none lost or added.
bool FewBytesDiffer(std::string_view head, std::string_view expected)
{
    constexpr std::size_t MostChangedBytes = 3;
    if (head.size() != expected.size())
        return false;
    std::size_t changed = 0;
    for (std::size_t i = 0; i < head.size(); ++i)
        changed += head[i] != expected[i] ? 1 : 0;
    return changed <= MostChangedBytes;
}

// Reads the records of one file as a stream, a window of some records at a time, so a huge file
// that is not a raw file is refused after its first line; every failure names the place.
class RawParser {
public:
    // Without onDamage the first damage throws; with it, each damaged stretch is reported and
    // reading resumes at the next full record.
    RawParser(std::istream& in, const std::string& name, bool allowCutTail, DamageCallback onDamage = {})
        : in_(in),
          name_(name),
          allowCutTail_(allowCutTail),
          onDamage_(std::move(onDamage))
    {
    }

    // Returns false when the last record was cut short.
    bool Run(const std::function<void(const PollInput&)>& onPoll)
    {
        try {
            ReadRecords(onPoll);
        } catch (const CutTail&) {
            // The last record was being written when the power went; the polls before it stand.
            return false;
        }
        return true;
    }

private:
    struct CutTail {};

    // Keeps at least a whole record's room after pos_ in the window, unless the file ends first.
    void Fill()
    {
        if (atEnd_ || buffer_.size() - pos_ >= RecordRoom)
            return;
        buffer_.erase(0, pos_);
        base_ += pos_;
        pos_ = 0;
        while (!atEnd_ && buffer_.size() < RecordRoom) {
            const std::size_t had = buffer_.size();
            buffer_.resize(had + ChunkBytes);
            in_.read(buffer_.data() + had, static_cast<std::streamsize>(ChunkBytes));
            buffer_.resize(had + static_cast<std::size_t>(in_.gcount()));
            atEnd_ = !in_;
        }
        if (in_.bad())
            throw RecordError("Cannot read " + name_);
    }

    void ReadRecords(const std::function<void(const PollInput&)>& onPoll)
    {
        Fill();
        const std::string_view head = std::string_view(buffer_).substr(0, RawFileHeader.size());
        // A file with nothing or part of the first line in it (a full disk or a power cut when it was
        // made) holds no poll: empty, not damaged. A recorder continuing it writes its first line again.
        if (allowCutTail_ && atEnd_ && head.size() < RawFileHeader.size() && RawFileHeader.starts_with(head))
            return;
        if (head != RawFileHeader && !FewBytesDiffer(head, RawFileHeader))
            Fail(0, "not a Kalvo raw replies file (its first line is not \"KALVO RAW REPLIES 1\")");
        // A first line with a changed byte or two is damage, not another kind of file: the records
        // after it, each with its checksum, are read as ever.
        if (head != RawFileHeader && !onDamage_)
            Fail(0, "its first line is damaged");
        pos_ = RawFileHeader.size();
        std::optional<PollInput> previous;
        for (Fill(); pos_ < buffer_.size(); Fill()) {
            ++poll_;
            const std::size_t recordStart = pos_;
            std::optional<PollInput> poll;
            try {
                poll = ReadRecord(previous);
            } catch (const RecordError& error) {
                if (!onDamage_)
                    throw;
                onDamage_(error.what());
                // The records after build on the polls the damage took; a full record does not.
                // The search starts right after the damaged record's first byte, where the window
                // still begins (nothing was read in since), so a full record just after it counts.
                pos_ = recordStart;
                if (!SkipToFullRecord())
                    return;
                poll = ReadRecord(std::nullopt);
            }
            onPoll(*poll);
            previous = poll;
        }
    }

    // The record at pos_, which then moves past it.
    PollInput ReadRecord(const std::optional<PollInput>& previous)
    {
        const std::size_t start = pos_;
        if (Byte(start) != RecordMark)
            Fail(start, "no record starts here");
        const char kind = static_cast<char>(Byte(start));
        const std::uint64_t length = Varint(start);
        if (length > MaxRecordBytes)
            Fail(start, "a record length of " + std::to_string(length) + " bytes is impossible");
        if (length > buffer_.size() - pos_ || buffer_.size() - pos_ - length < CrcBytes)
            CutShort(start);
        const std::string_view checked = std::string_view(buffer_).substr(start + 1, pos_ + length - start - 1);
        const std::size_t payloadEnd = pos_ + static_cast<std::size_t>(length);
        std::uint32_t stored = 0;
        for (std::size_t i = 0; i < CrcBytes; ++i)
            stored |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(buffer_[payloadEnd + i])) << (8 * i);
        if (stored != Crc32(checked))
            Fail(start, "its checksum does not match (the bytes were changed)");
        PollInput poll;
        if (kind == FullKind)
            Full(start, poll);
        else if (kind == DeltaKind && previous)
            Delta(start, *previous, poll);
        else
            Fail(start, kind == DeltaKind ? "a change record without a poll before it" : "unknown record kind");
        if (pos_ != payloadEnd)
            Fail(start, "the record's length does not fit its contents");
        pos_ = payloadEnd + CrcBytes;
        return poll;
    }

    // Moves pos_ to the next whole full record after the damage; false when the file holds none.
    bool SkipToFullRecord()
    {
        const std::string fullStart{static_cast<char>(RecordMark), FullKind};
        resyncing_ = true;
        pollsCounted_ = false;  // the records skipped are not counted
        std::size_t from = pos_ + 1;
        for (;;) {
            pos_ = std::min(from, buffer_.size());
            Fill();
            const std::size_t found = buffer_.find(fullStart, pos_);
            if (found == std::string::npos) {
                if (atEnd_)
                    return false;
                from = buffer_.size() - 1;  // the mark may be the last byte read so far
                continue;
            }
            pos_ = found;
            Fill();
            const std::size_t candidate = pos_;
            try {
                ReadRecord(std::nullopt);
                pos_ = candidate;
                resyncing_ = false;
                return true;
            } catch (const RecordError&) {
                from = candidate + 1;  // mark and kind by chance inside other bytes
            }
        }
    }

    [[noreturn]] void CutShort(std::size_t recordStart) const
    {
        // Only a record that starts within one record's size of the end can have been cut by it;
        // a length that overruns from further back is damage, and so is one found while looking
        // for a record after damage.
        if (allowCutTail_ && !resyncing_ && atEnd_ && buffer_.size() - recordStart < MaxRecordBytes)
            throw CutTail{};
        Fail(recordStart, "the record is cut short");
    }

    [[noreturn]] void Fail(std::size_t at, const std::string& what) const
    {
        const std::string poll = pollsCounted_ ? " (poll " + std::to_string(poll_) + ")" : "";
        throw RecordError(name_ + ": damaged at byte " + std::to_string(base_ + at) + poll + ": " + what);
    }

    std::uint8_t Byte(std::size_t recordStart)
    {
        if (pos_ >= buffer_.size())
            CutShort(recordStart);
        return static_cast<std::uint8_t>(buffer_[pos_++]);
    }

    std::uint64_t Varint(std::size_t recordStart)
    {
        std::uint64_t value = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            const std::uint8_t byte = Byte(recordStart);
            value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
            if (!(byte & 0x80))
                return value;
        }
        Fail(recordStart, "a number runs too long");
    }

    std::int64_t Signed(std::size_t recordStart)
    {
        const std::uint64_t value = Varint(recordStart);
        return static_cast<std::int64_t>(value >> 1) ^ -static_cast<std::int64_t>(value & 1);
    }

    std::size_t Count(std::size_t recordStart, std::size_t limit)
    {
        const std::uint64_t value = Varint(recordStart);
        if (value > limit)
            Fail(recordStart, "a length of " + std::to_string(value) + " does not fit a block");
        return static_cast<std::size_t>(value);
    }

    void Bytes(std::size_t recordStart, std::uint8_t* into, std::size_t count)
    {
        for (std::size_t i = 0; i < count; ++i)
            into[i] = Byte(recordStart);
    }

    void Head(std::size_t start, PollInput& poll)
    {
        const std::int64_t offset = Signed(start);
        if (offset < -24 * 60 || offset > 24 * 60)
            Fail(start, "a UTC offset of " + std::to_string(offset) + " minutes");
        poll.time.utcOffsetMinutes = static_cast<int>(offset);
        const std::uint8_t link = Byte(start);
        if (link > static_cast<std::uint8_t>(LinkStatus::NoPort))
            Fail(start, "unknown link status " + std::to_string(link));
        poll.link = static_cast<LinkStatus>(link);
    }

    void Full(std::size_t start, PollInput& poll)
    {
        poll.time.utcMs = Signed(start);
        Head(start, poll);
        for (Block* block : {&poll.statusBlock, &poll.timingBlock, &poll.errorHistoryBlock})
            Bytes(start, block->data(), Count(start, block->size()));
    }

    void Delta(std::size_t start, const PollInput& previous, PollInput& poll)
    {
        poll = previous;
        poll.time.utcMs = previous.time.utcMs + Signed(start);
        Head(start, poll);
        for (Block* block : {&poll.statusBlock, &poll.timingBlock, &poll.errorHistoryBlock}) {
            const std::size_t runs = Count(start, block->size());
            std::size_t end = 0;
            for (std::size_t r = 0; r < runs; ++r) {
                const std::size_t first = end + Count(start, block->size() - end);
                const std::size_t length = Count(start, block->size() - first);
                Bytes(start, block->data() + first, length);
                end = first + length;
            }
        }
    }

    std::istream& in_;
    const std::string& name_;
    bool allowCutTail_;
    DamageCallback onDamage_;
    bool resyncing_ = false;    // looking for a full record after damage
    bool pollsCounted_ = true;  // until damage was skipped, poll_ is the record's number
    std::string buffer_;      // the window of the file being read
    std::uint64_t base_ = 0;  // where in the file the window starts
    std::size_t pos_ = 0;     // in the window
    bool atEnd_ = false;      // the window reaches the end of the file
    long long poll_ = 0;
};

// An existing file is continued, all of it, when it reads to its end without damage; one cut short
// by a power cut stays as it is, read up to the cut, and the recording goes on in a numbered
// neighbour.
std::optional<std::uint64_t> ReadsCleanly(const std::filesystem::path& path)
{
    try {
        std::ifstream in(path, std::ios::binary);
        const std::string name = PathText(path);
        RawParser(in, name, false).Run([](const PollInput&) {});
        return std::filesystem::file_size(path);
    } catch (const RecordError&) {
        return std::nullopt;
    }
}

}  // namespace

std::string EncodeRawRecord(const PollInput& poll, const PollInput* previous)
{
    std::string payload;
    if (previous) {
        PutSigned(payload, poll.time.utcMs - previous->time.utcMs);
    } else {
        PutSigned(payload, poll.time.utcMs);
    }
    PutSigned(payload, poll.time.utcOffsetMinutes);
    payload.push_back(static_cast<char>(poll.link));
    if (previous) {
        PutChangedRuns(payload, poll.statusBlock, previous->statusBlock);
        PutChangedRuns(payload, poll.timingBlock, previous->timingBlock);
        PutChangedRuns(payload, poll.errorHistoryBlock, previous->errorHistoryBlock);
    } else {
        PutFullBlock(payload, poll.statusBlock);
        PutFullBlock(payload, poll.timingBlock);
        PutFullBlock(payload, poll.errorHistoryBlock);
    }
    std::string checked(1, previous ? DeltaKind : FullKind);
    PutVarint(checked, payload.size());
    checked += payload;
    const std::uint32_t crc = Crc32(checked);
    std::string record(1, static_cast<char>(RecordMark));
    record += checked;
    for (int i = 0; i < 4; ++i)
        record.push_back(static_cast<char>((crc >> (8 * i)) & 0xFF));
    return record;
}

RawRepliesSink::RawRepliesSink(const std::filesystem::path& folder, Durability durability)
    : files_(folder, std::string(RawFilePrefix), std::string(RawFileExtension), std::string(RawFileHeader),
             ReadsCleanly, durability)
{
}

void RawRepliesSink::OnPoll(const PollInput& raw, const DecodedPoll&)
{
    const std::string date = DateText(raw.time);
    // A new day's file, or a file continued after a restart, starts with a full record.
    const bool sameFile = files_.Current() && previous_ && DateText(previous_->time) == date;
    const bool full = !sameFile || std::abs(raw.time.utcMs - lastFullMs_) >= FullRecordIntervalMs;
    files_.Append(raw.time, EncodeRawRecord(raw, full ? nullptr : &*previous_));
    if (full)
        lastFullMs_ = raw.time.utcMs;
    previous_ = raw;
}

void ReadRawBytes(std::string_view bytes, const std::string& name, const std::function<void(const PollInput&)>& onPoll,
    const DamageCallback& onDamage)
{
    std::istringstream in{std::string(bytes)};
    RawParser(in, name, true, onDamage).Run(onPoll);
}

bool ReadRawFile(const std::filesystem::path& path, const std::function<void(const PollInput&)>& onPoll,
    const DamageCallback& onDamage)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw RecordError("Cannot read " + PathText(path));
    return RawParser(in, PathText(path.filename()), true, onDamage).Run(onPoll);
}

namespace {

// Where a raw file stands in the recording: its day and number from the name
// ("replies-2026-12-07-2.kraw": 2026-12-07, 2), then the time of its first poll. The name orders
// files that hold no readable poll too (an empty one, one damaged throughout).
struct FilePlace {
    std::string date;  // empty for a name without one: such a file goes first
    int number = 1;
    std::int64_t firstPollMs = 0;
    auto operator<=>(const FilePlace&) const = default;
};

FilePlace PlaceOf(const std::filesystem::path& path)
{
    FilePlace place;
    const std::string name = PathText(path.filename());
    const std::string stem =
        name.substr(RawFilePrefix.size(), name.size() - RawFilePrefix.size() - RawFileExtension.size());
    int year = 0, month = 0, day = 0, number = 0;
    const int fields = std::sscanf(stem.c_str(), "-%4d-%2d-%2d-%d", &year, &month, &day, &number);
    if (fields >= 3 && stem.size() >= 11) {
        place.date = stem.substr(1, 10);
        place.number = fields == 4 ? number : 1;
    }
    // The first record says when the file starts; reading stops right after it.
    struct FirstPoll { };
    try {
        ReadRawFile(
            path,
            [&](const PollInput& poll) {
                place.firstPollMs = poll.time.utcMs;
                throw FirstPoll{};
            },
            [](const std::string&) {});
    } catch (const FirstPoll&) {
    } catch (const RecordError&) {
    }
    return place;
}

// "2026-12-07T03:12:00+01:00" as the CSV files write it.
std::optional<LocalTime> ParseIsoText(const std::string& text)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, offsetHours = 0, offsetMinutes = 0;
    char sign = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c%2d:%2d", &year, &month, &day, &hour, &minute, &second,
            &sign, &offsetHours, &offsetMinutes)
            != 9
        || (sign != '+' && sign != '-'))
        return std::nullopt;
    const int offset = (sign == '-' ? -1 : 1) * (offsetHours * 60 + offsetMinutes);
    const std::int64_t local = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    return LocalTime{(local - offset * 60LL) * 1000, offset};
}

// The time of the last row of the readings file written beside a raw file
// (replies-2026-12-07.kraw: readings-2026-12-07.csv), when there is one.
std::optional<LocalTime> ReadingsEnd(const std::filesystem::path& rawFile)
{
    constexpr std::size_t TailBytes = 4096;  // far more than a row
    const std::string name = PathText(rawFile.filename());
    const std::filesystem::path readings = rawFile.parent_path()
        / FilePath("readings"
            + name.substr(RawFilePrefix.size(), name.size() - RawFilePrefix.size() - RawFileExtension.size()) + ".csv");
    std::ifstream in(readings, std::ios::binary);
    if (!in || !in.seekg(0, std::ios::end))
        return std::nullopt;
    const std::streamoff size = in.tellg();
    in.seekg(std::max<std::streamoff>(size - static_cast<std::streamoff>(TailBytes), 0));
    std::string tail(TailBytes, '\0');
    in.read(tail.data(), static_cast<std::streamsize>(tail.size()));
    tail.resize(static_cast<std::size_t>(in.gcount()));
    if (tail.size() < 2 || !tail.ends_with("\r\n"))
        return std::nullopt;
    const std::size_t rowStart = tail.rfind('\n', tail.size() - 3);
    return rowStart == std::string::npos ? std::nullopt : ParseIsoText(tail.substr(rowStart + 1));
}

}  // namespace

std::vector<std::filesystem::path> RawFilesIn(const std::filesystem::path& folder)
{
    std::error_code error;
    std::multimap<FilePlace, std::filesystem::path> byPlace;
    for (const std::filesystem::path& file : RegularFilesIn(folder, error)) {
        const std::string name = PathText(file.filename());
        if (name.starts_with(RawFilePrefix) && name.ends_with(RawFileExtension))
            byPlace.emplace(PlaceOf(file), file);
    }
    if (error)
        throw RecordError("Cannot read the folder " + PathText(folder) + ": " + error.message());
    if (byPlace.empty())
        throw RecordError("No raw replies files (" + std::string(RawFilePrefix) + "-*" + std::string(RawFileExtension) +
                          ") in " + PathText(folder));
    std::vector<std::filesystem::path> files;
    for (auto& [place, path] : byPlace)
        files.push_back(path);
    return files;
}

std::vector<MissingSpan> ReadRecording(
    const std::filesystem::path& folder, const std::function<void(const PollInput&)>& onPoll)
{
    // The readings file went on this long after its raw file's last poll: more than a poll or two
    // written to one file and not the other as the power went.
    constexpr std::int64_t ReadingsAheadMs = 10'000;
    std::vector<MissingSpan> missing;
    std::optional<LocalTime> last;  // the last poll read, of any file
    std::size_t awaiting = 0;       // the spans from here on end at the next poll read
    // The last span, when it ends the recording: a power cut ends a recording so, unless the
    // readings file tells that polls went on, and to when.
    bool endIsPowerCut = false;
    std::optional<LocalTime> readingsEnd;
    const auto open = [&](std::string what) { missing.push_back({std::move(what), last, std::nullopt}); };
    for (const auto& path : RawFilesIn(folder)) {
        const std::string name = PathText(path.filename());
        long long polls = 0;
        endIsPowerCut = false;
        readingsEnd.reset();
        bool whole = true;
        try {
            whole = ReadRawFile(
                path,
                [&](const PollInput& poll) {
                    for (; awaiting < missing.size(); ++awaiting)
                        missing[awaiting].to = poll.time;
                    last = poll.time;
                    ++polls;
                    onPoll(poll);
                },
                open);
        } catch (const RecordError& error) {
            open(error.what());
            continue;
        }
        std::error_code error;
        if (polls == 0 && std::filesystem::file_size(path, error) < RawFileHeader.size()) {
            open(name + ": empty (nothing of it reached the disk)");
            continue;
        }
        const std::optional<LocalTime> readings = ReadingsEnd(path);
        if (readings && last && polls > 0 && readings->utcMs - last->utcMs > ReadingsAheadMs)
            readingsEnd = readings;
        if (!whole) {
            open(name + ": cut short after poll " + std::to_string(polls));
            endIsPowerCut = !readingsEnd;
        } else if (readingsEnd) {
            open(name + ": its polls end at poll " + std::to_string(polls) + ", its readings file goes on");
        }
    }
    if (awaiting < missing.size() && endIsPowerCut)
        missing.pop_back();
    else if (awaiting < missing.size() && readingsEnd)
        missing.back().to = readingsEnd;
    return missing;
}

std::string MissingSpanText(const MissingSpan& span)
{
    if (!span.from && span.to)
        return span.what + "; no polls before " + IsoText(*span.to);
    if (!span.from)
        return span.what + "; none of its polls could be read";
    if (!span.to)
        return span.what + "; no polls after " + IsoText(*span.from);
    return span.what + "; no polls from " + IsoText(*span.from) + " to " + IsoText(*span.to);
}

}  // namespace kalvo::record
