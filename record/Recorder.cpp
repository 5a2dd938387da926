#include "record/Recorder.h"

#include <utility>

#include "record/PollDecoding.h"

namespace kalvo::record {

namespace {

RecordEvent EventAt(const DecodedPoll& poll, EventKind kind)
{
    RecordEvent event;
    event.time = poll.time;
    event.kind = kind;
    event.link = poll.link;
    return event;
}

// The state change and the new records of now against the unit's poll before it.
std::vector<RecordEvent> Changes(const DecodedPoll& before, const DecodedPoll& now, int newRecords)
{
    std::vector<RecordEvent> events;
    if (now.stateCode != before.stateCode) {
        RecordEvent change = EventAt(now, EventKind::StateChange);
        change.fromState = before.stateCode;
        change.fromText = before.stateText;
        change.toState = now.stateCode;
        change.toText = now.stateText;
        events.push_back(std::move(change));
    }
    for (int n = 0; n < newRecords; ++n) {
        RecordEvent added = EventAt(now, EventKind::NewErrorRecord);
        added.record = now.errorRecords[static_cast<std::size_t>(n)];
        added.since = before.time;
        events.push_back(std::move(added));
    }
    return events;
}

// A unit that two polls agree on takes the place of the one before: said when its counters do not
// continue those before (another unit, or this one reset), and what changed at its first poll. A
// lockout there counts whenever the lockout counter and the history agree on it.
std::vector<RecordEvent> Replacement(const DecodedPoll& before, const DecodedPoll& now)
{
    std::vector<RecordEvent> events;
    switch (PlausibilityCheck::Counters(before, now)) {
    case PlausibilityCheck::CounterCourse::WentBack:
        events.push_back(EventAt(now, EventKind::CountersWentBack));
        break;
    case PlausibilityCheck::CounterCourse::Leapt:
        events.push_back(EventAt(now, EventKind::CountersLeapt));
        break;
    case PlausibilityCheck::CounterCourse::KeptPace:
        break;
    }
    std::vector<RecordEvent> changes = Changes(before, now, PlausibilityCheck::NewRecords(before, now).value_or(0));
    events.insert(events.end(), changes.begin(), changes.end());
    return events;
}

}  // namespace

Recorder::Recorder(const LanguageLines& language) : decoder_(language), plausibility_(language) { }

void Recorder::AddSink(std::unique_ptr<PollSink> sink)
{
    sinks_.push_back(std::move(sink));
}

Recorder::Judged Recorder::Advance(const DecodedPoll& poll, int newRecords)
{
    return {Changes(*reference_, poll, newRecords), Keep::AsReference};
}

Recorder::Judged Recorder::Judge(DecodedPoll& poll)
{
    if (poll.link != LinkStatus::Ok)
        return {};
    if (!plausibility_.OnItsOwn(poll)) {
        poll.implausible = true;
        return {};
    }
    if (reference_) {
        if (const std::optional<int> fresh = PlausibilityCheck::Follows(*reference_, poll))
            return Advance(poll, *fresh);
        // Noise can pass for a poll (a counter or the run time a little up); the unit's next poll
        // then follows the one before the noise, which is the measure again.
        if (goodBefore_) {
            if (const std::optional<int> fresh = PlausibilityCheck::Follows(*goodBefore_, poll)) {
                reference_ = std::exchange(goodBefore_, std::nullopt);
                return Advance(poll, *fresh);
            }
        }
    }
    if (candidate_) {
        if (const std::optional<int> fresh = PlausibilityCheck::Follows(*candidate_, poll)) {
            // Two polls agree: they are the unit as it is now.
            std::vector<RecordEvent> events =
                reference_ ? Replacement(*reference_, *candidate_) : std::vector<RecordEvent>{};
            reference_ = std::exchange(candidate_, std::nullopt);
            goodBefore_.reset();
            Judged judged = Advance(poll, *fresh);
            events.insert(events.end(), judged.events.begin(), judged.events.end());
            judged.events = std::move(events);
            return judged;
        }
    }
    // Against the unit known so far it is noise until a second poll agrees with it; with none
    // known yet it stands on its own.
    poll.implausible = reference_.has_value();
    return {{}, Keep::AsCandidate};
}

std::vector<RecordEvent> Recorder::LinkEvents(const DecodedPoll& poll) const
{
    std::vector<RecordEvent> events;
    const bool wasOk = lastLink_ == LinkStatus::Ok;
    const bool isOk = poll.link == LinkStatus::Ok;
    if (wasOk && !isOk)
        events.push_back(EventAt(poll, EventKind::LinkLost));
    if (!wasOk && isOk && linkWasUp_)  // a link that was never up does not come back
        events.push_back(EventAt(poll, EventKind::LinkBack));
    return events;
}

void Recorder::RecordPoll(const PollInput& input)
{
    Record(input, decoder_.Decode(input));
}

void Recorder::RecordPoll(const Poll& poll, LocalTime time)
{
    const PollInput input{poll.result, time};
    Record(input, decoder_.Decode(input, poll.fields));
}

void Recorder::Record(const PollInput& input, DecodedPoll poll)
{
    Judged judged = Judge(poll);
    std::vector<RecordEvent> events = LinkEvents(poll);
    events.insert(events.end(), judged.events.begin(), judged.events.end());
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
    linkWasUp_ = linkWasUp_ || poll.link == LinkStatus::Ok;
    switch (judged.keep) {
    case Keep::AsReference:
        goodBefore_ = std::exchange(reference_, std::move(poll));
        candidate_.reset();
        break;
    case Keep::AsCandidate:
        candidate_ = std::move(poll);
        break;
    case Keep::Nothing:
        break;
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

}  // namespace kalvo::record
