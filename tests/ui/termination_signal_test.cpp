// The kalvo program itself, polling a silent unit on a pseudo-terminal, ended by the signals of a
// log-out, a shut-down and Ctrl-C.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/Settings.h"
#include "testing/LanguageFixtures.h"
#include "testing/TempDir.h"
#include "testing/UnitsimProcess.h"
#include "ui/qt/TerminationSignals.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// The first poll comes 2 s after start-up; the rest is room for a busy machine.
constexpr auto Patience = 30s;

// The program in a folder of its own, its settings naming the unit's port as COM20 and the Text
// page, which the run does not show: a run that saves its settings stores Panel=1.
class KalvoRun {
public:
    KalvoRun()
    {
        fs::copy_file(KALVO_PROGRAM, program_);
        fs::copy_file(kalvo::test::DeliveredLanguageFile(), folder_.file("MY.LNG"));
        kalvo::test::WriteFileBytes(settings_, "[Main]\r\nCOM=20\r\nPanel=2\r\n");
        unit_ = std::make_unique<kalvo::test::UnitsimProcess>(
            UNITSIM_PROGRAM, std::vector<std::string>{"--settings", settings_, "--com", "20", "--mode", "silent", "--log"},
            true);
        unit_->NextLine(Patience);  // its terminal, entered in the settings by now
        kalvo_ = std::make_unique<kalvo::test::UnitsimProcess>(program_.string(), std::vector<std::string>{}, true);
    }

    // True once the first request of a poll reached the unit, which never answers: the read cycle
    // then waits for the reply.
    bool ReadCycleWaits() { return unit_->ErrorOutputWith("request 0x80", Patience).find("request 0x80") != std::string::npos; }

    kalvo::test::UnitsimProcess& Program() { return *kalvo_; }
    int StoredPanel() const { return kalvo::ReadIniInteger(settings_, "Main", "Panel", -1); }
    int StoredPort() const { return kalvo::ReadIniInteger(settings_, "Main", "COM", -1); }

private:
    kalvo::test::TempDir folder_;
    fs::path program_ = folder_.path() / "kalvo";
    std::string settings_ = folder_.file("kalvo.ini");
    std::unique_ptr<kalvo::test::UnitsimProcess> unit_;
    std::unique_ptr<kalvo::test::UnitsimProcess> kalvo_;
};

TEST(TerminationSignal, EndsTheRunAsQuitDoesAlsoWhileAReadCycleWaits)
{
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(signalNumber));
        KalvoRun run;
        ASSERT_TRUE(run.ReadCycleWaits());

        run.Program().Signal(signalNumber);

        EXPECT_EQ(run.Program().WaitForExit(Patience), 0) << run.Program().ErrorOutput();
        EXPECT_EQ(run.StoredPanel(), 1) << "the settings were not written";
        EXPECT_EQ(run.StoredPort(), 20) << "the port in use at the end was not the one stored";
    }
}

// Two signals that arrive together: the second ends the program before it gets to save anything.
TEST(TerminationSignal, SecondSignalEndsTheProgramAtOnce)
{
    KalvoRun run;
    ASSERT_TRUE(run.ReadCycleWaits());

    // A stopped program takes its pending signals together when it goes on.
    run.Program().Signal(SIGSTOP);
    run.Program().Signal(SIGTERM);
    run.Program().Signal(SIGINT);
    run.Program().Signal(SIGCONT);

    EXPECT_EQ(run.Program().WaitForExit(Patience), -1);
    EXPECT_TRUE(run.Program().EndingSignal() == SIGTERM || run.Program().EndingSignal() == SIGINT)
        << "ended by signal " << run.Program().EndingSignal();
    EXPECT_EQ(run.StoredPanel(), 2) << "the settings were written";
}

// Started with SIGHUP ignored, as nohup starts a program: that signal stays ignored and does not count
// as the first one, the others still reach the event loop, and the ignoring outlasts the handling.
TEST(TerminationSignal, IgnoredAtStartStaysIgnored)
{
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction before {};
    sigaction(SIGHUP, &ignore, &before);
    int calls = 0;
    {
        const kalvo::TerminationSignals handling([&calls] { ++calls; });
        raise(SIGHUP);
        raise(SIGTERM);  // would end this process were it taken for a second signal
        const QDeadlineTimer deadline(Patience);
        while (calls == 0 && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    }
    struct sigaction after {};
    sigaction(SIGHUP, &before, &after);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(after.sa_handler, SIG_IGN);
}

}  // namespace
