#pragma once

#include <chrono>
#include <functional>
#include <optional>

#include "core/WindowLink.h"
#include "record/Recorder.h"

namespace kalvo::record {

// What the session needs of time: the local clock, and a pause between polls that may end early
// when a stop is asked for. The console program passes the system's, the tests simulated time.
struct SessionClock {
    std::function<LocalTime()> now;
    std::function<void(std::chrono::milliseconds)> pause;
    std::function<bool()> stopRequested;
};

// Polls one port as the window does (uGlobal's read cycle, 2000 ms from the end of one poll to the
// start of the next) and hands every poll to the recorder, until the duration has passed or a stop
// is asked for; a poll under way is finished first. A port that cannot be opened is tried again
// before each poll, so recording starts as soon as the adapter is plugged in. uGlobal::Serial must
// be set; the session installs its own window link for the run.
class RecordSession {
public:
    static constexpr std::chrono::milliseconds PollInterval{2000};

    RecordSession(Recorder& recorder, SessionClock clock);

    // Throws RecordError when a sink fails; the port is closed again in every case.
    void Run(int portNumber, std::optional<std::chrono::milliseconds> duration);

    // Called after each recorded poll, for a status display.
    std::function<void()> afterPoll;

private:
    // The console has no window: panels are not shown and there are no messages to dispatch.
    class NoWindow : public WindowLink {
    public:
        void SetPanelText(int, const std::string&) override {}
        void RepaintStatusBar() override {}
        void ProcessPendingMessages() override {}
        void ClearReadings() override {}
    };

    // Returns when the poll started.
    LocalTime PollOnce();

    Recorder& recorder_;
    SessionClock clock_;
    NoWindow window_;
};

}  // namespace kalvo::record
