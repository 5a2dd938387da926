#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "record/PollRecord.h"

namespace kalvo::record {

// How much of a recording stays in its folder.
struct RetentionLimits {
    std::optional<int> days;             // the files of the last days, today counted as one
    std::optional<std::uint64_t> bytes;  // and within this many bytes, the oldest days going first

    bool Any() const { return days || bytes; }
};

// The date of a day file the recorder writes, "2026-12-07" from "readings-2026-12-07.csv",
// "events-2026-12-07-2.csv" or "replies-2026-12-07.kraw"; nothing for any other name, so a file
// the recorder did not write is never taken for one.
std::optional<std::string> RecordedFileDate(const std::string& fileName);

struct RetentionOutcome {
    std::vector<std::filesystem::path> removed;
    std::vector<std::string> problems;  // files that could not be removed, with the reason
};

// Removes the recorder's own day files of the folder (regular files only, RecordedFileDate) that
// are beyond the limits: the days before the last limits.days days up to today, then the oldest
// days while all of them hold more than limits.bytes. Today's files always stay, as do days after
// today (a clock that was set back).
RetentionOutcome RemoveExpiredDayFiles(
    const std::filesystem::path& folder, const std::string& today, const RetentionLimits& limits);

// Applies the limits at the first poll and whenever the local date changes; says what it removed
// or could not remove through report.
class RetentionSink : public PollSink {
public:
    using Report = std::function<void(const std::string& line)>;

    RetentionSink(std::filesystem::path folder, RetentionLimits limits, Report report);
    void OnPoll(const PollInput& raw, const DecodedPoll& poll) override;
    void OnEvent(const RecordEvent&) override {}

private:
    std::filesystem::path folder_;
    RetentionLimits limits_;
    Report report_;
    std::string date_;  // the date the limits were last applied on
};

}  // namespace kalvo::record
