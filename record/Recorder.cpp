#include "record/Recorder.h"

#include <utility>

#include "core/uGlobal.h"
#include "record/PollDecoding.h"

namespace kalvo::record {

namespace {

// A run of polls this long that follow each other but not the baseline becomes the new baseline:
// the unit's history was cleared or another unit was plugged in, or the baseline itself was noise.
constexpr int PollsToTrustANewBaseline = 5;

RecordEvent EventAt(const DecodedPoll& poll, EventKind kind)
{
    RecordEvent event;
    event.time = poll.time;
    event.kind = kind;
    event.link = poll.link;
    return event;
}

}  // namespace

Recorder::Recorder(const LanguageLines& language) : language_(language), plausibility_(language) { }

void Recorder::AddSink(std::unique_ptr<PollSink> sink)
{
    sinks_.push_back(std::move(sink));
}

std::optional<int> Recorder::Judge(DecodedPoll& poll)
{
    if (poll.link != LinkStatus::Ok)
        return std::nullopt;
    if (!lastGood_) {
        poll.implausible = !plausibility_.NamedState(poll.stateCode);
        return std::nullopt;
    }
    std::optional<int> fresh = plausibility_.Follows(*lastGood_, poll);
    // Noise can pass for a poll (a counter or the run time a little up); the unit's next poll then
    // follows the one before the noise, which is the measure again.
    if (!fresh && goodBefore_ && (fresh = plausibility_.Follows(*goodBefore_, poll)))
        lastGood_ = std::exchange(goodBefore_, std::nullopt);
    if (fresh) {
        newBaseline_.reset();
        return fresh;
    }
    // Polls that follow each other but not the baseline: after a few, they are the unit as it is now.
    if (newBaseline_ && plausibility_.Follows(newBaseline_->poll, poll))
        ++newBaseline_->polls;
    else if (plausibility_.NamedState(poll.stateCode))
        newBaseline_ = NewBaseline{poll, 1};
    else
        newBaseline_.reset();
    poll.implausible = !newBaseline_ || newBaseline_->polls < PollsToTrustANewBaseline;
    if (!poll.implausible) {
        newBaseline_.reset();
        lastGood_.reset();  // a new start: the poll sets the baseline and raises nothing
        goodBefore_.reset();
    } else if (newBaseline_) {
        newBaseline_->poll = poll;
    }
    return std::nullopt;
}

std::vector<RecordEvent> Recorder::EventsFor(const DecodedPoll& poll, std::optional<int> newRecords) const
{
    std::vector<RecordEvent> events;
    const bool wasOk = lastLink_ == LinkStatus::Ok;
    const bool isOk = poll.link == LinkStatus::Ok;
    if (wasOk && !isOk)
        events.push_back(EventAt(poll, EventKind::LinkLost));
    if (!wasOk && isOk && lastGood_)  // a link that was never up does not come back
        events.push_back(EventAt(poll, EventKind::LinkBack));
    if (!isOk || !lastGood_ || poll.implausible)
        return events;  // the first good poll only sets the baseline
    if (poll.stateCode != lastGood_->stateCode) {
        RecordEvent change = EventAt(poll, EventKind::StateChange);
        change.fromState = lastGood_->stateCode;
        change.fromText = lastGood_->stateText;
        change.toState = poll.stateCode;
        change.toText = poll.stateText;
        events.push_back(std::move(change));
    }
    for (int n = 0; n < newRecords.value_or(0); ++n) {
        RecordEvent added = EventAt(poll, EventKind::NewErrorRecord);
        added.record = poll.errorRecords[static_cast<std::size_t>(n)];
        added.since = lastGood_->time;
        events.push_back(std::move(added));
    }
    return events;
}

void Recorder::RecordPoll(const PollInput& input)
{
    DecodedPoll poll = DecodePoll(input, language_);
    const std::optional<int> newRecords = Judge(poll);
    const std::vector<RecordEvent> events = EventsFor(poll, newRecords);
    for (const auto& sink : sinks_)
        sink->OnPoll(input, poll);
    for (const RecordEvent& event : events) {
        for (const auto& sink : sinks_)
            sink->OnEvent(event);
        if (event.kind == EventKind::NewErrorRecord)
            ++lockoutsSeen_;
    }
    ++polls_;
    if (poll.link == LinkStatus::TransferError)
        ++transferErrors_;
    if (poll.implausible)
        ++implausiblePolls_;
    lastLink_ = poll.link;
    if (poll.link == LinkStatus::Ok && !poll.implausible) {
        goodBefore_ = std::move(lastGood_);
        lastGood_ = std::move(poll);
    }
}

void Recorder::Finish()
{
    for (const auto& sink : sinks_)
        sink->Finish();
}

void Recorder::StartCounting()
{
    polls_ = transferErrors_ = lockoutsSeen_ = implausiblePolls_ = 0;
}

PollInput CaptureFinishedPoll(LocalTime time)
{
    return {uGlobal::LastPollResult(), time};
}

}  // namespace kalvo::record
