#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "record/NightTexts.h"
#include "record/Recorder.h"

namespace kalvo::record {

// What kalvo-record prints while it records. On a terminal: one status line, fitted to the
// terminal's width and rewritten in place after every poll (ShowPoll, once the recorder has counted
// it), with each event printed above it. In a log (no terminal): a line per event, and a line an
// hour when nothing happened, to show the recorder is alive. Quiet: nothing. Its words are those of
// the recording's files (texts, which must outlive it).
class ConsoleStatus : public PollSink {
public:
    enum class Mode { Terminal, Log, Quiet };

    // folder: where the files go, for the summary. columns: the terminal's width in characters
    // (0 when unknown), asked before each status line, since a terminal may be resized.
    ConsoleStatus(std::ostream& out, Mode mode, const Recorder& recorder, const NightTexts& texts,
        std::function<std::uint64_t()> fileBytes, std::string folder, std::function<std::size_t()> columns = {});

    void OnPoll(const PollInput& raw, const DecodedPoll& poll) override;
    void OnEvent(const RecordEvent& event) override;
    void Finish() override;
    void ShowPoll();

    // One line for the event: "2026-12-07T01:02:03+01:00 state change: Operation -> Postpurge".
    static std::string EventLine(const RecordEvent& event, const NightTexts& texts);
    std::string StatusLine() const;
    // "Recorded 7 polls in 12 s into /home/tech/COM7: 1 transfer error, 2 polls without a port,
    // 0 lockouts." with ", 2 implausible polls" before the stop when there were any. The time is
    // from the first poll to end, when the recording ended.
    std::string SummaryLine(LocalTime end) const;

    static constexpr std::int64_t AliveLineEveryMs = 3'600'000;

private:
    void ClearStatus();
    std::string CountsText(const std::string& separator) const;
    std::string ImplausibleText(const std::string& separator) const;

    std::ostream& out_;
    Mode mode_;
    const Recorder& recorder_;
    const NightTexts& texts_;
    std::function<std::uint64_t()> fileBytes_;
    std::string folder_;
    std::function<std::size_t()> columns_;
    std::string state_ = "-";
    std::size_t shownLength_ = 0;
    long long noPortPolls_ = 0;
    std::optional<LocalTime> firstPoll_, lastPoll_;
    std::int64_t lastLineMs_ = 0;  // when the log had its last line
};

// "0 B", "812 KB", "1.2 MB".
std::string SizeText(std::uint64_t bytes);
// "45 s", "12 min 05 s", "3 h 07 min", "2 d 4 h".
std::string SpanText(std::int64_t ms);
// The text cut to fit columns - 1 characters (UTF-8), so that writing it never wraps; whole when
// columns is 0 (unknown).
std::string FitToColumns(const std::string& text, std::size_t columns);

}  // namespace kalvo::record
