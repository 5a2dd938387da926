// kalvo-record as a service publishing to a broker: the status it gives systemd says whether the
// broker is connected, and follows the broker going away and coming back.

#include <gtest/gtest.h>

#include <cstdlib>

#include "testing/NotifySocket.h"
#include "testing/TempDir.h"
#include "testing/UnitsimProcess.h"
#include "tests/mqtt/support/MosquittoBroker.h"
#include "tests/mqtt/support/WaitUntil.h"

namespace {

using kalvo::test::Patience;

TEST(KalvoRecordService, ItsStatusSaysWhetherTheBrokerIsConnected)
{
    kalvo::test::MosquittoBroker broker;
    kalvo::test::TempDir dir;
    kalvo::test::UnitsimProcess unit(UNITSIM_PROGRAM, {"--settings", dir.file("unit.ini"), "--com", "20", "--pace"});
    const std::string terminal = unit.NextLine(Patience);
    ASSERT_FALSE(terminal.empty()) << "unitsim named no terminal";
    kalvo::test::NotifySocket systemd(dir.path() / "notify");
    ::setenv("NOTIFY_SOCKET", (dir.path() / "notify").c_str(), 1);
    kalvo::test::UnitsimProcess recorder(KALVO_RECORD_PROGRAM,
        {"--port", terminal, "--out", dir.file("out"), "--mqtt", broker.Url(), "--name", "boiler-7", "--quiet"}, true);
    ::unsetenv("NOTIFY_SOCKET");

    EXPECT_TRUE(systemd.WaitFor("STATUS=" + terminal + ": 1 poll, 0 lockouts, broker ", Patience));
    EXPECT_TRUE(systemd.WaitFor(" lockouts, broker connected\n", Patience));
    broker.Stop();
    EXPECT_TRUE(systemd.WaitFor(" lockouts, broker not connected\n", Patience));
    broker.Start();
    EXPECT_TRUE(systemd.WaitFor(" lockouts, broker connected\n", Patience))
        << recorder.ErrorOutputWith("", std::chrono::milliseconds(0));
}

}  // namespace
