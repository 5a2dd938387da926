#pragma once

#include <QObject>

#include <functional>

class TMainFrm;

namespace kalvo {

// Turns SIGTERM, SIGINT and SIGHUP (log-out, shut-down, Ctrl-C in a terminal) into a call on the
// event loop: the handler only writes a byte into a pipe, and a notifier on the pipe's other end
// makes the call. A second signal ends the program at once, as the signal does by default. One
// instance at a time; it restores the default handling when it goes.
class TerminationSignals : public QObject {
public:
    explicit TerminationSignals(std::function<void()> onSignal, QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

private:
    void TakeSignals();

    std::function<void()> onSignal_;
    int readEnd_ = -1;
};

// Ends the run the way File > Quit does. The menu cannot be reached while a modal dialog is open
// (port dialog, save dialog, error box), so such a dialog is closed first and the quit follows once
// its loop has returned; a dialog that refuses to close keeps the program running.
void QuitAfterDialogs(TMainFrm& window);

}  // namespace kalvo
