#include "tools/unitsim/Replay.h"

#include "core/Protocol.h"
#include "record/RawReplies.h"
#include "tools/unitsim/BurnerModel.h"

namespace unitsim {

using kalvo::record::LinkStatus;
using kalvo::record::PollInput;

ReplaySource::ReplaySource(const std::filesystem::path& folder, int speed) : speed_(speed)
{
    missing_ = kalvo::record::ReadRecording(folder, [&](const PollInput& poll) { polls_.push_back(poll); });
    if (polls_.empty())
        throw kalvo::record::RecordError("The recording in " + kalvo::record::PathText(folder) + " holds no polls");
}

ReplaySource::ReplaySource(std::vector<PollInput> polls, int speed) : polls_(std::move(polls)), speed_(speed)
{
    finished_ = polls_.empty();
}

void ReplaySource::MoveTo(Time now)
{
    if (!lastRequest_) {
        lastRequest_ = now;
        return;  // the first request gets the first poll
    }
    const std::int64_t elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(now - *lastRequest_).count();
    lastRequest_ = now;
    const std::int64_t target = polls_[index_].time.utcMs + elapsedMs * speed_;
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
    // The nearer of the polls just before and just after the target.
    if (next + 1 < polls_.size() && polls_[next + 1].time.utcMs - target < target - polls_[next].time.utcMs)
        ++next;
    index_ = next;
}

std::optional<Bytes> ReplaySource::Answer(std::uint8_t requestCode, Time now)
{
    if (finished_)
        return std::nullopt;
    if (requestCode == kalvo::StatusRequest)
        MoveTo(now);
    if (finished_ || polls_[index_].link != LinkStatus::Ok)
        return std::nullopt;
    const PollInput& poll = polls_[index_];
    const auto data = [](const kalvo::Block& block, std::size_t length) {
        return Bytes(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(length));
    };
    switch (requestCode) {
    case kalvo::StatusRequest:
        return data(poll.statusBlock, StatusDataLength);
    case kalvo::TimingRequest:
        return data(poll.timingBlock, TimingDataLength);
    case kalvo::ErrorHistoryRequest:
        return data(poll.errorHistoryBlock, ErrorHistoryDataLength);
    default:
        return std::nullopt;
    }
}

}  // namespace unitsim
