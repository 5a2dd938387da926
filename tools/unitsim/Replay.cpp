#include "tools/unitsim/Replay.h"

#include "core/Protocol.h"
#include "record/RawReplies.h"
#include "tools/unitsim/BurnerModel.h"
#include <algorithm>

namespace unitsim {

using kalvo::record::LinkStatus;
using kalvo::record::PollInput;

namespace {

// The median time between consecutive polls: the poller's period, unmoved by the gaps.
std::int64_t PollPeriodMs(const std::vector<PollInput>& polls)
{
    std::vector<std::int64_t> intervals;
    for (std::size_t i = 1; i < polls.size(); ++i)
        intervals.push_back(polls[i].time.utcMs - polls[i - 1].time.utcMs);
    if (intervals.empty())
        return 0;
    std::nth_element(intervals.begin(), intervals.begin() + intervals.size() / 2, intervals.end());
    return intervals[intervals.size() / 2];
}

}  // namespace

ReplaySource::ReplaySource(const std::filesystem::path& folder, int speed) : speed_(speed)
{
    missing_ = kalvo::record::ReadRecording(folder, [&](const PollInput& poll) { polls_.push_back(poll); });
    if (polls_.empty())
        throw kalvo::record::RecordError("The recording in " + kalvo::record::PathText(folder) + " holds no polls");
    pollPeriodMs_ = PollPeriodMs(polls_);
}

ReplaySource::ReplaySource(std::vector<PollInput> polls, int speed)
    : polls_(std::move(polls)),
      speed_(speed),
      pollPeriodMs_(PollPeriodMs(polls_))
{
    finished_ = polls_.empty();
}

void ReplaySource::MoveTo(Time now)
{
    if (!lastRequest_) {
        lastRequest_ = now;
        position_ = polls_.front().time.utcMs;
        return;  // the first request gets the first poll
    }
    const std::int64_t elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(now - *lastRequest_).count();
    lastRequest_ = now;
    const std::int64_t target = position_ + elapsedMs * speed_;
    std::size_t next = index_;
    while (next + 1 < polls_.size() && polls_[next + 1].time.utcMs <= target)
        ++next;
    // Past the last poll by more than half its interval: the recording is over.
    const std::int64_t lastInterval =
        polls_.size() > 1 ? polls_.back().time.utcMs - polls_[polls_.size() - 2].time.utcMs : 0;
    if (next + 1 == polls_.size() && target - polls_.back().time.utcMs > lastInterval / 2) {
        finished_ = true;
        return;
    }
    index_ = next;
    // Inside a gap of more than two periods and well away from both its ends: nothing was
    // recorded then. The playback runs on by the clock until the gap's end.
    const bool inGap =
        next + 1 < polls_.size() && polls_[next + 1].time.utcMs - polls_[next].time.utcMs > 2 * pollPeriodMs_;
    unrecorded_ = inGap && target - polls_[next].time.utcMs > pollPeriodMs_ / 2
        && polls_[next + 1].time.utcMs - target > pollPeriodMs_ / 2;
    if (unrecorded_) {
        position_ = target;
        return;
    }
    // The nearer of the polls just before and just after the target; on a tie the later, so the
    // playback moves on.
    if (next + 1 < polls_.size() && polls_[next + 1].time.utcMs - target <= target - polls_[next].time.utcMs)
        ++index_;
    position_ = polls_[index_].time.utcMs;  // snapped to the poll played, the playback does not drift
}

std::optional<Bytes> ReplaySource::Answer(std::uint8_t requestCode, Time now)
{
    if (finished_)
        return std::nullopt;
    if (requestCode == kalvo::StatusRequest)
        MoveTo(now);
    if (finished_ || unrecorded_ || polls_[index_].link != LinkStatus::Ok)
        return std::nullopt;
    const PollInput& poll = polls_[index_];
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
