#include "Recorder.h"

#include <algorithm>

#include "PollDecoding.h"
#include "uGlobal.h"

namespace kalvo::record {

namespace {

// The records of this history that the baseline did not have. Histories shift as new records
// come in, so a record counts as new only when no record of the baseline has the same bytes.
std::vector<ErrorRecordFields> NewRecords(const DecodedPoll& baseline, const DecodedPoll& poll)
{
    std::vector<std::array<std::uint8_t, 16>> known;
    for (const auto& record : baseline.errorRecords)
        if (record)
            known.push_back(record->bytes);
    std::vector<ErrorRecordFields> fresh;
    for (const auto& record : poll.errorRecords) {
        if (!record)
            continue;
        const auto match = std::find(known.begin(), known.end(), record->bytes);
        if (match != known.end())
            known.erase(match);  // each old record accounts for one record only
        else
            fresh.push_back(*record);
    }
    return fresh;
}

RecordEvent EventAt(const DecodedPoll& poll, EventKind kind)
{
    RecordEvent event;
    event.time = poll.time;
    event.kind = kind;
    event.link = poll.link;
    return event;
}

}  // namespace

Recorder::Recorder(const LanguageLines& language) : language_(language) {}

void Recorder::AddSink(std::unique_ptr<PollSink> sink)
{
    sinks_.push_back(std::move(sink));
}

std::vector<RecordEvent> Recorder::EventsFor(const DecodedPoll& poll) const
{
    std::vector<RecordEvent> events;
    const bool wasOk = lastLink_ == LinkStatus::Ok;
    const bool isOk = poll.link == LinkStatus::Ok;
    if (wasOk && !isOk)
        events.push_back(EventAt(poll, EventKind::LinkLost));
    if (!wasOk && isOk && lastGood_)  // a link that was never up does not come back
        events.push_back(EventAt(poll, EventKind::LinkBack));
    if (!isOk || !lastGood_)
        return events;  // the first good poll only sets the baseline
    if (poll.stateCode != lastGood_->stateCode) {
        RecordEvent change = EventAt(poll, EventKind::StateChange);
        change.fromState = lastGood_->stateCode;
        change.fromText = lastGood_->stateText;
        change.toState = poll.stateCode;
        change.toText = poll.stateText;
        events.push_back(std::move(change));
    }
    for (ErrorRecordFields& record : NewRecords(*lastGood_, poll)) {
        RecordEvent added = EventAt(poll, EventKind::NewErrorRecord);
        added.record = std::move(record);
        events.push_back(std::move(added));
    }
    return events;
}

void Recorder::RecordPoll(const PollInput& input)
{
    DecodedPoll poll = DecodePoll(input, language_);
    const std::vector<RecordEvent> events = EventsFor(poll);
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
    lastLink_ = poll.link;
    if (poll.link == LinkStatus::Ok)
        lastGood_ = std::move(poll);
}

void Recorder::Finish()
{
    for (const auto& sink : sinks_)
        sink->Finish();
}

PollInput CaptureFinishedPoll(LocalTime time)
{
    PollInput input;
    input.time = time;
    if (!uGlobal::PortHandle)
        input.link = LinkStatus::NoPort;
    else
        input.link = uGlobal::ReplyTimedOut ? LinkStatus::TransferError : LinkStatus::Ok;
    input.statusBlock = uGlobal::StatusBlock;
    input.timingBlock = uGlobal::TimingBlock;
    input.errorHistoryBlock = uGlobal::ErrorHistoryBlock;
    return input;
}

}  // namespace kalvo::record
