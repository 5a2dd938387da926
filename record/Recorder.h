#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "core/Language.h"
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
    struct NewBaseline {
        DecodedPoll poll;  // the latest of the run
        int polls = 0;
    };

    // Marks the poll implausible or not; for a plausible one, the number of new error records.
    std::optional<int> Judge(DecodedPoll& poll);
    std::vector<RecordEvent> EventsFor(const DecodedPoll& poll, std::optional<int> newRecords) const;

    const LanguageLines& language_;
    std::vector<std::unique_ptr<PollSink>> sinks_;
    LinkStatus lastLink_ = LinkStatus::NoPort;  // of the previous poll; no link before the first
    PlausibilityCheck plausibility_;
    std::optional<DecodedPoll> lastGood_;     // the last plausible poll: the baseline
    std::optional<DecodedPoll> goodBefore_;   // the plausible poll before it
    std::optional<NewBaseline> newBaseline_;  // polls that follow each other but not the baseline
    long long polls_ = 0;
    long long transferErrors_ = 0;
    long long lockoutsSeen_ = 0;
    long long implausiblePolls_ = 0;
};

// The poll that uGlobal's read cycle has just finished (uGlobal::LastPollResult), with its time.
PollInput CaptureFinishedPoll(LocalTime time);

}  // namespace kalvo::record
