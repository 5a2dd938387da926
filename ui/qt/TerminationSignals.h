#pragma once

#include <QObject>

#include <signal.h>

#include <array>
#include <functional>

class QtMainWindow;

namespace kalvo {

// Turns SIGTERM, SIGINT and SIGHUP (log-out, shut-down, Ctrl-C in a terminal) into a call on the
// event loop: the handler only writes a byte into a pipe, and a notifier on the pipe's other end
// makes the call. A second signal ends the program at once, as the signal does by default. A signal
// that the program was started with ignored (nohup ignores SIGHUP) stays ignored. One instance at a
// time; it restores the earlier handling when it goes.
class TerminationSignals : public QObject {
public:
    static constexpr std::array<int, 3> HandledSignals{SIGTERM, SIGINT, SIGHUP};

    explicit TerminationSignals(std::function<void()> onSignal, QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

private:
    void TakeSignals();

    std::function<void()> onSignal_;
    int readEnd_ = -1;
    std::array<struct sigaction, HandledSignals.size()> earlierHandling_{};
};

// Ends the run the way File > Quit does. The menu cannot be reached while a modal dialog is open
// (port dialog, save dialog, error box), so such a dialog is closed first and the quit follows once
// its loop has returned; a dialog that refuses to close keeps the program running.
void QuitAfterDialogs(QtMainWindow& window);

}  // namespace kalvo
