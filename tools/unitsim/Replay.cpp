#include "tools/unitsim/Replay.h"

#include "core/Protocol.h"
#include "record/RawReplies.h"
#include "tools/unitsim/BurnerModel.h"
#include <iterator>
#include <map>

namespace unitsim {

using kalvo::record::LinkStatus;
using kalvo::record::PollInput;

namespace {

// The number of polls and the intervals between them, gathered without keeping the polls.
class PollTally {
public:
    void Add(const PollInput& poll)
    {
        if (count_++ > 0)
            ++intervals_[poll.time.utcMs - lastMs_];
        lastMs_ = poll.time.utcMs;
    }
    std::size_t Count() const { return count_; }
    // The median interval: the poller's period, unmoved by the gaps.
    std::int64_t PeriodMs() const
    {
        std::size_t before = (count_ - 1) / 2;  // intervals shorter than the median
        for (const auto& [interval, times] : intervals_) {
            if (before < times)
                return interval;
            before -= times;
        }
        return 0;
    }

private:
    std::size_t count_ = 0;
    std::int64_t lastMs_ = 0;
    std::map<std::int64_t, std::size_t> intervals_;  // how often each interval occurred
};

}  // namespace

ReplaySource::ReplaySource(const std::filesystem::path& folder, int speed) : speed_(speed)
{
    // A first reading counts the polls and finds the period; the playback reads them again, a file
    // at a time.
    PollTally tally;
    missing_ = kalvo::record::ReadRecording(folder, [&](const PollInput& poll) { tally.Add(poll); });
    if (tally.Count() == 0)
        throw kalvo::record::RecordError("The recording in " + kalvo::record::PathText(folder) + " holds no polls");
    files_ = kalvo::record::RawFilesIn(folder);
    pollCount_ = tally.Count();
    pollPeriodMs_ = tally.PeriodMs();
}

ReplaySource::ReplaySource(std::vector<PollInput> polls, int speed)
    : window_(std::make_move_iterator(polls.begin()), std::make_move_iterator(polls.end())),
      pollCount_(polls.size()),
      speed_(speed)
{
    PollTally tally;
    for (const PollInput& poll : window_)
        tally.Add(poll);
    pollPeriodMs_ = tally.PeriodMs();
    finished_ = window_.empty();
}

const PollInput* ReplaySource::Poll(std::size_t number)
{
    // The files are read as the recording was read at first: damage skipped (Missing tells it), a
    // file that is not a raw replies file left out.
    while (number >= windowStart_ + window_.size() && nextFile_ < files_.size()) {
        try {
            kalvo::record::ReadRawFile(
                files_[nextFile_], [&](const PollInput& poll) { window_.push_back(poll); }, [](const std::string&) {});
        } catch (const kalvo::record::RecordError&) {
        }
        ++nextFile_;
    }
    return number < windowStart_ + window_.size() ? &window_[number - windowStart_] : nullptr;
}

void ReplaySource::MoveTo(Time now)
{
    if (!lastRequest_) {
        lastRequest_ = now;
        position_ = Poll(0)->time.utcMs;
        return;  // the first request gets the first poll
    }
    const std::int64_t elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(now - *lastRequest_).count();
    lastRequest_ = now;
    const std::int64_t target = position_ + elapsedMs * speed_;
    std::size_t next = index_;
    while (Poll(next + 1) && Poll(next + 1)->time.utcMs <= target)
        ++next;
    const PollInput* const at = Poll(next);
    const PollInput* const after = Poll(next + 1);
    // Past the last poll by more than half its interval: the recording is over.
    const std::int64_t lastInterval = next > 0 ? at->time.utcMs - Poll(next - 1)->time.utcMs : 0;
    if (!after && target - at->time.utcMs > lastInterval / 2) {
        finished_ = true;
        return;
    }
    index_ = next;
    // Inside a gap of more than two periods and well away from both its ends: nothing was
    // recorded then. The playback runs on by the clock until the gap's end.
    const bool inGap = after && after->time.utcMs - at->time.utcMs > 2 * pollPeriodMs_;
    unrecorded_ =
        inGap && target - at->time.utcMs > pollPeriodMs_ / 2 && after->time.utcMs - target > pollPeriodMs_ / 2;
    if (!unrecorded_) {
        // The nearer of the polls just before and just after the target; on a tie the later, so
        // the playback moves on.
        if (after && after->time.utcMs - target <= target - at->time.utcMs)
            ++index_;
        position_ = Poll(index_)->time.utcMs;  // snapped to the poll played, the playback does not drift
    } else {
        position_ = target;
    }
    // The poll before the one played stays: the end of the recording is told by its interval.
    while (windowStart_ + 1 < index_) {
        window_.pop_front();
        ++windowStart_;
    }
}

std::optional<Bytes> ReplaySource::Answer(std::uint8_t requestCode, Time now)
{
    if (finished_)
        return std::nullopt;
    if (requestCode == kalvo::StatusRequest)
        MoveTo(now);
    if (finished_ || unrecorded_ || Poll(index_)->link != LinkStatus::Ok)
        return std::nullopt;
    const PollInput& poll = *Poll(index_);
    const auto data = [](const kalvo::Block& block, std::size_t length) {
        return Bytes(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(length));
    };
    switch (requestCode) {
    case kalvo::StatusRequest:
        return data(poll.statusBlock, kalvo::StatusDataLength);
    case kalvo::TimingRequest:
        return data(poll.timingBlock, kalvo::TimingDataLength);
    case kalvo::ErrorHistoryRequest:
        return data(poll.errorHistoryBlock, kalvo::ErrorHistoryDataLength);
    default:
        return std::nullopt;
    }
}

}  // namespace unitsim
