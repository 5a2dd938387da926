#include "record/RecordSession.h"

#include <algorithm>

#include "core/uGlobal.h"

namespace kalvo::record {

RecordSession::RecordSession(Recorder& recorder, SessionClock clock) : recorder_(recorder), clock_(std::move(clock)) {}

LocalTime RecordSession::PollOnce()
{
    if (!uGlobal::PortHandle)
        uGlobal::OpenPort();
    const LocalTime started = clock_.now();
    recorder_.RecordPoll(uGlobal::ReadCycle(), started);
    if (afterPoll)
        afterPoll();
    return started;
}

void RecordSession::Run(int portNumber, std::optional<std::chrono::milliseconds> duration)
{
    kalvo::WindowLink* const previousWindow = uGlobal::Window;
    uGlobal::Window = &window_;
    uGlobal::PortNumber = portNumber;
    uGlobal::StopRequested = false;
    const auto finish = [&] {
        uGlobal::ClosePort();
        uGlobal::Window = previousWindow;
    };
    try {
        // The duration counts from the first poll's start, as the recording's time does.
        std::int64_t startMs = clock_.now().utcMs;
        const auto left = [&] {
            return duration ? std::chrono::milliseconds(duration->count() - (clock_.now().utcMs - startMs))
                            : PollInterval;
        };
        for (bool first = true; !clock_.stopRequested() && left().count() > 0; first = false) {
            const LocalTime started = PollOnce();
            if (first)
                startMs = started.utcMs;
            // The last pause ends with the duration, not a poll interval after it.
            const std::chrono::milliseconds pause = std::min(PollInterval, left());
            if (clock_.stopRequested() || pause.count() <= 0)
                break;
            clock_.pause(pause);
        }
        recorder_.Finish();
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

}  // namespace kalvo::record
