#include "record/FolderRecorder.h"

#include "core/LongPaths.h"
#include "record/CsvFiles.h"
#include "record/RawReplies.h"

namespace kalvo::record {

FolderRecorder::FolderRecorder(
    const std::filesystem::path& folder, const RecordLanguage& language, const std::string& holder, bool durable)
    : recorder_(language.lines)
{
    PrepareFolder(folder);
    lock_.emplace(folder, holder);
    GoOnFromLastRun(folder);
    const Durability rows = durable ? Durability::Periodic : Durability::None;
    auto readings = std::make_unique<ReadingsCsvSink>(folder, language, rows);
    auto events = std::make_unique<EventsCsvSink>(folder, language, durable ? Durability::EachAppend : Durability::None);
    auto raw = std::make_unique<RawRepliesSink>(folder, rows);
    files_ = {&readings->Files(), &events->Files(), &raw->Files()};
    recorder_.AddSink(std::move(readings));
    recorder_.AddSink(std::move(events));
    recorder_.AddSink(std::move(raw));
}

void FolderRecorder::GoOnFromLastRun(const std::filesystem::path& folder)
{
    // A recorder started again judges its first poll against the last one recorded in the folder,
    // as the report and a decoding of the folder do, which read the runs as one: a lockout while
    // it was stopped is then new to all of them. The newest raw file is enough to know where the
    // unit stood; it is read before any sink is added, so nothing is written twice.
    try {
        ReadRawFile(
            RawFilesIn(folder).back(), [this](const PollInput& poll) { recorder_.RecordPoll(poll); },
            [](const std::string&) {});
    } catch (const RecordError&) {
        // A new folder, or one whose last raw file is not one: nothing to go on from.
    }
    recorder_.StartCounting();
}

std::uint64_t FolderRecorder::FileBytes() const
{
    std::uint64_t total = 0;
    for (const DayFiles* day : files_)
        total += day->Current() ? day->Current()->Size() : 0;
    return total;
}

namespace {

// A decoding writes a whole set of its own: mixed with the files of another recording, or of an
// earlier decoding, its rows and events would count twice.
void RefuseRecordingIn(const std::filesystem::path& folder)
{
    std::error_code error;
    for (const std::filesystem::path& file : RegularFilesIn(folder, error)) {
        const std::string name = PathText(file.filename());
        for (const char* prefix : {"readings-", "events-", "replies-"})
            if (name.starts_with(prefix))
                throw RecordError("Cannot decode into " + PathText(folder) + ": it holds recorded files already ("
                    + name + "); give a new or empty folder");
    }
    if (error)
        throw RecordError("Cannot read the folder " + PathText(folder) + ": " + error.message());
}

}  // namespace

DecodedRecording DecodeRecording(
    const std::filesystem::path& from, const std::filesystem::path& to, const RecordLanguage& language)
{
    // Into its own folder a decoding would continue the very files it decodes again.
    if (std::filesystem::weakly_canonical(from) == std::filesystem::weakly_canonical(to))
        throw RecordError("Decode " + PathText(from) + " into another folder, not into itself");
    PrepareFolder(to);
    // Two decodings started together would both find the folder empty and write every row twice.
    const FolderLock lock(to, ProcessHolder("decoding " + PathText(from)));
    RefuseRecordingIn(to);
    Recorder recorder(language.lines);
    recorder.AddSink(std::make_unique<ReadingsCsvSink>(to, language, Durability::None));
    recorder.AddSink(std::make_unique<EventsCsvSink>(to, language, Durability::None));
    DecodedRecording decoded;
    decoded.missing = ReadRecording(from, [&recorder](const PollInput& poll) { recorder.RecordPoll(poll); });
    recorder.Finish();
    decoded.polls = recorder.Polls();
    return decoded;
}

}  // namespace kalvo::record
