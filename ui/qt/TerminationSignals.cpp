#include "ui/qt/TerminationSignals.h"

#include <QApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <stdexcept>
#include <utility>

#include "ui/qt/QtMainWindow.h"

namespace kalvo {

namespace {

// Shared with the handler, which may touch nothing else.
std::atomic<int> wakeWriteEnd{-1};
std::atomic<int> signalsCaught{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free counter");

extern "C" void OnTerminationSignal(int signalNumber)
{
    if (signalsCaught.fetch_add(1) > 0) {
        // The second one: the default action, once this handler has returned and unblocked it.
        struct sigaction byDefault {};
        byDefault.sa_handler = SIG_DFL;
        sigaction(signalNumber, &byDefault, nullptr);
        raise(signalNumber);
        return;
    }
    const int savedErrno = errno;
    const char wake = 1;
    [[maybe_unused]] const ssize_t ignored = write(wakeWriteEnd.load(), &wake, 1);
    errno = savedErrno;
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal))
{
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::runtime_error("cannot create the signal pipe");
    readEnd_ = ends[0];
    wakeWriteEnd = ends[1];
    signalsCaught = 0;
    auto* notifier = new QSocketNotifier(readEnd_, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &TerminationSignals::TakeSignals);

    struct sigaction ours {};
    ours.sa_handler = &OnTerminationSignal;
    sigemptyset(&ours.sa_mask);
    // Interrupted system calls resume; the read cycle's waits come back early and look again.
    ours.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < HandledSignals.size(); ++i) {
        sigaction(HandledSignals[i], nullptr, &earlierHandling_[i]);
        if (earlierHandling_[i].sa_handler != SIG_IGN)
            sigaction(HandledSignals[i], &ours, nullptr);
    }
}

TerminationSignals::~TerminationSignals()
{
    for (std::size_t i = 0; i < HandledSignals.size(); ++i)
        sigaction(HandledSignals[i], &earlierHandling_[i], nullptr);
    close(wakeWriteEnd.exchange(-1));
    close(readEnd_);
}

void TerminationSignals::TakeSignals()
{
    char wakes[16];
    while (read(readEnd_, wakes, sizeof wakes) > 0) {
    }
    // Only the first signal is ever written into the pipe, so this runs once.
    onSignal_();
}

void QuitAfterDialogs(QtMainWindow& window)
{
    if (const QPointer<QWidget> dialog = QApplication::activeModalWidget()) {
        dialog->close();
        if (!dialog || !dialog->isVisible())
            QTimer::singleShot(0, &window, [&window] { QuitAfterDialogs(window); });
        return;
    }
    window.MainFrm().Quit1Click();
}

}  // namespace kalvo
