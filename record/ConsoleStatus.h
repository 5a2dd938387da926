#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

#include "Recorder.h"

namespace kalvo::record {

// What kalvo-record prints while it records. On a terminal: one status line, rewritten in place
// after every poll (ShowPoll, once the recorder has counted it), with each event printed above it. In a log (no terminal): a line per event.
// Quiet: nothing.
class ConsoleStatus : public PollSink {
public:
    enum class Mode { Terminal, Log, Quiet };

    ConsoleStatus(std::ostream& out, Mode mode, const Recorder& recorder, std::function<std::uint64_t()> fileBytes);

    void OnPoll(const PollInput& raw, const DecodedPoll& poll) override;
    void OnEvent(const RecordEvent& event) override;
    void Finish() override;
    void ShowPoll();

    // One line for the event: "2026-12-07T01:02:03+01:00 state change: Operation -> Postpurge".
    static std::string EventLine(const RecordEvent& event);
    std::string StatusLine() const;
    // "Recorded 7 polls, 1 transfer error, 0 lockouts." and, when there were any, ", 2 implausible polls".
    std::string SummaryLine() const;

private:
    void ClearStatus();
    std::string CountsText(const std::string& separator) const;

    std::ostream& out_;
    Mode mode_;
    const Recorder& recorder_;
    std::function<std::uint64_t()> fileBytes_;
    std::string state_ = "-";
    std::size_t shownLength_ = 0;
};

// "0 B", "812 KB", "1.2 MB".
std::string SizeText(std::uint64_t bytes);

}  // namespace kalvo::record
