#pragma once

#include <chrono>
#include <cstdint>
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
// gets every poll once.
class ReplaySource {
public:
    using Time = std::chrono::nanoseconds;

    // Throws kalvo::record::RecordError for a recording without a poll that can be read; damaged
    // parts are left out (Missing).
    ReplaySource(const std::filesystem::path& folder, int speed);
    explicit ReplaySource(std::vector<kalvo::record::PollInput> polls, int speed);

    // The data that answers a request arriving at now; nothing when the recorded poll had no good
    // link (the unit stays silent then) or the recording has ended.
    std::optional<Bytes> Answer(std::uint8_t requestCode, Time now);
    bool Finished() const { return finished_; }
    std::size_t PollIndex() const { return index_; }
    std::size_t PollCount() const { return polls_.size(); }
    // The parts of the recording that could not be read.
    const std::vector<kalvo::record::MissingSpan>& Missing() const { return missing_; }

private:
    void MoveTo(Time now);

    std::vector<kalvo::record::PollInput> polls_;
    std::vector<kalvo::record::MissingSpan> missing_;
    int speed_;
    std::size_t index_ = 0;
    std::optional<Time> lastRequest_;
    bool finished_ = false;
};

}  // namespace unitsim
