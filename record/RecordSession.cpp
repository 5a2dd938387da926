#include "record/RecordSession.h"

#include <algorithm>

#include "core/uGlobal.h"

namespace kalvo::record {

RecordSession::RecordSession(Recorder& recorder, SessionClock clock) : recorder_(recorder), clock_(std::move(clock)) {}

void RecordSession::PollOnce()
{
    if (!uGlobal::PortHandle)
        uGlobal::OpenPort();
    const LocalTime started = clock_.now();
    uGlobal::ReadCycle();
    recorder_.RecordPoll(CaptureFinishedPoll(started));
    if (afterPoll)
        afterPoll();
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
        const std::int64_t startMs = clock_.now().utcMs;
        const auto left = [&] {
            return duration ? std::chrono::milliseconds(duration->count() - (clock_.now().utcMs - startMs))
                            : PollInterval;
        };
        while (!clock_.stopRequested() && left().count() > 0) {
            PollOnce();
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
