#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "core/Language.h"
#include "record/PollDecoding.h"
#include "record/PollPlausibility.h"
#include "record/PollRecord.h"

namespace kalvo::record {

// Turns finished polls into decoded polls and events and hands both to its sinks. Fed by the
// console program's loop, by the window's poll tick, or by a replay of a raw file; it neither
// reads the port nor keeps time itself.
class Recorder {
public:
    // The language gives the state texts; it must outlive the recorder.
    explicit Recorder(const LanguageLines& language);

    void AddSink(std::unique_ptr<PollSink> sink);

    // One poll that ran to its end. Throws RecordError when a sink fails; the poll may then have
    // reached only some sinks, and the recorder should be dropped.
    void RecordPoll(const PollInput& input);
    // The same for a poll as the read cycle hands it down, fields decoded, started at time.
    void RecordPoll(const Poll& poll, LocalTime time);
    // Flushes every sink.
    void Finish();
    // The figures below count from here on: polls fed before (with no sink yet, an earlier run's
    // polls) only told the recorder where the unit stood.
    void StartCounting();

    // Figures for a status line.
    long long Polls() const { return polls_; }
    long long TransferErrors() const { return transferErrors_; }
    long long LockoutsSeen() const { return lockoutsSeen_; }
    long long ImplausiblePolls() const { return implausiblePolls_; }

private:
    // What becomes of a poll once every sink has it.
    enum class Keep {
        Nothing,      // implausible on its own, or no link
        AsReference,  // it follows the unit's last poll: the measure for the next
        AsCandidate,  // it follows nothing trusted: the measure once a second poll follows it
    };
    struct Judged {
        std::vector<RecordEvent> events;  // state changes, new records, a changed unit
        Keep keep = Keep::Nothing;
    };

    // Marks the poll implausible or not and finds what changed since the unit's last poll.
    Judged Judge(DecodedPoll& poll);
    // The poll follows reference_ with this many new records.
    Judged Advance(const DecodedPoll& poll, int newRecords);
    std::vector<RecordEvent> LinkEvents(const DecodedPoll& poll) const;
    void Record(const PollInput& input, DecodedPoll poll);

    std::vector<std::unique_ptr<PollSink>> sinks_;
    LinkStatus lastLink_ = LinkStatus::NoPort;  // of the previous poll; no link before the first
    bool linkWasUp_ = false;                    // a poll had an ok link
    PollDecoder decoder_;
    PlausibilityCheck plausibility_;
    std::optional<DecodedPoll> reference_;   // the unit's last poll that a second one confirmed
    std::optional<DecodedPoll> goodBefore_;  // the reference before it
    std::optional<DecodedPoll> candidate_;   // plausible on its own, but follows no reference
    long long polls_ = 0;
    long long transferErrors_ = 0;
    long long lockoutsSeen_ = 0;
    long long implausiblePolls_ = 0;
};

}  // namespace kalvo::record
