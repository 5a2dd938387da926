#include "record/RecordSession.h"

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
        const auto timeUp = [&] { return duration && clock_.now().utcMs - startMs >= duration->count(); };
        while (!clock_.stopRequested() && !timeUp()) {
            PollOnce();
            if (clock_.stopRequested() || timeUp())
                break;
            clock_.pause(PollInterval);
        }
        recorder_.Finish();
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

}  // namespace kalvo::record
