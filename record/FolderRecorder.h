#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "record/DayFile.h"
#include "record/FolderLock.h"
#include "record/RawReplies.h"
#include "record/RecordLanguage.h"
#include "record/Recorder.h"

namespace kalvo::record {

// Recording into a folder: readings, events and raw replies files, one set per local day. What
// the window's "Record readings..." owns and kalvo-record runs on. Feed it every poll that ran to
// its end, right after the read cycle:
//
//     const Poll poll = uGlobal::ReadCycle();
//     if (recording && !uGlobal::StopRequested)
//         recording->RecordPoll(poll, pollStart);
//
// A RecordError from RecordPoll (a full disk) means the recording has stopped: show the message
// and drop the object. Nothing is kept open between polls that a crash could damage.
class FolderRecorder {
public:
    // Checks that files can be made in the folder (creating it if needed) and holds it for this
    // recorder alone; throws RecordError, naming the holder when another recorder has the folder.
    // holder: who records (RecorderHolder). The language must outlive the recorder. durable: each
    // event reaches the disk at once, the rows of the polls within a minute (Durability; off only
    // where durability does not matter, such as tests in simulated time).
    FolderRecorder(const std::filesystem::path& folder, const RecordLanguage& language, const std::string& holder,
        bool durable = true);

    void RecordPoll(const PollInput& input) { recorder_.RecordPoll(input); }
    void RecordPoll(const Poll& poll, LocalTime time) { recorder_.RecordPoll(poll, time); }
    // Another sink, such as a broker, fed with the same polls and events.
    void AddSink(std::unique_ptr<PollSink> sink) { recorder_.AddSink(std::move(sink)); }
    // The bytes in the three files in use.
    std::uint64_t FileBytes() const;
    Recorder& GetRecorder() { return recorder_; }

private:
    void GoOnFromLastRun(const std::filesystem::path& folder);

    std::optional<FolderLock> lock_;  // released only after the files are closed
    Recorder recorder_;
    std::array<const DayFiles*, 3> files_{};
};

struct DecodedRecording {
    long long polls = 0;
    std::vector<MissingSpan> missing;  // the parts of the recording that could not be read
};

// Writes the readings and events files of the recording in from (its raw replies files) anew into
// the folder to, with the texts of the language: a night decoded again in another language. A damaged raw file costs
// its own polls only. Throws RecordError for a recording without raw files, for a folder that takes no files or holds
// recorded files already (so a decoding is a whole set of its own, never mixed with another), and when both folders are
// the same.
DecodedRecording DecodeRecording(
    const std::filesystem::path& from, const std::filesystem::path& to, const RecordLanguage& language);

}  // namespace kalvo::record
