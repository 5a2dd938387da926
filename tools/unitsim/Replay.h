#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <vector>

#include "record/PollRecord.h"
#include "record/RawReplies.h"
#include "tools/unitsim/Bytes.h"

namespace unitsim {

// A recorded night played back as the unit: each status request (0x80) moves to the recorded poll
// whose time, at the chosen speed, lies nearest to the time since the request before it; the
// timing and error history requests that follow answer from the same poll. Snapping to a recorded
// poll at every request keeps the playback from drifting, so a poller as fast as the recording's
// gets every poll once. Inside a gap of more than two poll periods (a part lost to damage, or a
// pause of the recorder) the unit is silent, as if unplugged.
//
// A recording is streamed, a day's file at a time: a month of polls takes no more memory than a day.
class ReplaySource {
public:
    using Time = std::chrono::nanoseconds;

    // Throws kalvo::record::RecordError for a recording without a poll that can be read; damaged
    // parts are left out (Missing).
    ReplaySource(const std::filesystem::path& folder, int speed);
    explicit ReplaySource(std::vector<kalvo::record::PollInput> polls, int speed);

    // The data that answers a request arriving at now; nothing when the recorded poll had no good
    // link or none was recorded then (the unit stays silent) or the recording has ended.
    std::optional<Bytes> Answer(std::uint8_t requestCode, Time now);
    bool Finished() const { return finished_; }
    std::size_t PollIndex() const { return index_; }
    std::size_t PollCount() const { return pollCount_; }
    // The parts of the recording that could not be read.
    const std::vector<kalvo::record::MissingSpan>& Missing() const { return missing_; }

private:
    void MoveTo(Time now);
    // The poll of that number, read in when needed; nothing past the recording's end. Polls
    // before the one played last are dropped as the playback moves on.
    const kalvo::record::PollInput* Poll(std::size_t number);

    // The polls still to read: the raw files in order, or polls handed over.
    std::vector<std::filesystem::path> files_;
    std::size_t nextFile_ = 0;
    std::deque<kalvo::record::PollInput> window_;  // polls from number windowStart_ on
    std::size_t windowStart_ = 0;
    std::size_t pollCount_ = 0;
    std::vector<kalvo::record::MissingSpan> missing_;
    int speed_;
    std::int64_t pollPeriodMs_ = 0;  // the usual time from one recorded poll to the next
    std::size_t index_ = 0;
    std::optional<Time> lastRequest_;
    std::int64_t position_ = 0;  // the recording's time, in ms since the epoch, of the last status request
    bool unrecorded_ = false;    // no poll was recorded near the time of the last status request
    bool finished_ = false;
};

}  // namespace unitsim
