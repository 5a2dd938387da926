#include "FolderRecorder.h"

#include "CsvFiles.h"
#include "RawReplies.h"

namespace kalvo::record {

FolderRecorder::FolderRecorder(const std::filesystem::path& folder, const LanguageLines& language, bool syncEachPoll)
    : recorder_(language)
{
    PrepareFolder(folder);
    auto readings = std::make_unique<ReadingsCsvSink>(folder, language, syncEachPoll);
    auto events = std::make_unique<EventsCsvSink>(folder, syncEachPoll);
    auto raw = std::make_unique<RawRepliesSink>(folder, syncEachPoll);
    files_ = {&readings->Files(), &events->Files(), &raw->Files()};
    recorder_.AddSink(std::move(readings));
    recorder_.AddSink(std::move(events));
    recorder_.AddSink(std::move(raw));
}

std::uint64_t FolderRecorder::FileBytes() const
{
    std::uint64_t total = 0;
    for (const DayFiles* day : files_)
        total += day->Current() ? day->Current()->Size() : 0;
    return total;
}

}  // namespace kalvo::record
