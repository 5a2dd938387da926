// kalvo-record as a service on a box: a port given by its device path that appears late and is
// pulled and put back, systemd's notify socket (ready, status, watchdog, and a hung poll loop that
// stops the pings), and a configuration file's fault.

#include <gtest/gtest.h>

#include <poll.h>

#include <cstdlib>

#include "record/ServiceStatus.h"
#include "testing/NotifySocket.h"
#include "testing/TempDir.h"
#include "testing/UnitsimProcess.h"
#include "tests/record/CsvReader.h"

namespace kalvo::record {
namespace {

using namespace std::chrono_literals;
using test::UnitsimProcess;

constexpr auto Limit = 60s;

// A unit on a pseudo-terminal of its own; its terminal's path.
std::string StartUnit(std::unique_ptr<UnitsimProcess>& unit, const test::TempDir& dir)
{
    unit = std::make_unique<UnitsimProcess>(UNITSIM_PROGRAM,
        std::vector<std::string>{"--settings", dir.file("unit.ini"), "--com", "20", "--pace"});
    const std::string terminal = unit->NextLine(Limit);
    EXPECT_FALSE(terminal.empty()) << "unitsim named no terminal";
    return terminal;
}

// The link column of the readings rows recorded so far.
std::vector<std::string> Links(const std::filesystem::path& folder)
{
    std::vector<std::string> links;
    std::error_code none;
    for (const auto& entry : std::filesystem::directory_iterator(folder, none)) {
        if (!entry.path().filename().string().starts_with("readings-"))
            continue;
        std::string bytes = test::ReadFileBytes(entry.path().string());
        bytes.erase(bytes.rfind('\n') + 1);  // a row being written is not read
        const test::CsvTable table = test::ParseCsv(bytes);
        for (std::size_t row = 1; row < table.size(); ++row)
            links.push_back(table[row].at(1));
    }
    return links;
}

// Waits until the rows after the first `from` hold one with the link; returns the rows then.
std::size_t WaitForLink(const std::filesystem::path& folder, std::size_t from, const std::string& link)
{
    const auto deadline = std::chrono::steady_clock::now() + Limit;
    while (std::chrono::steady_clock::now() < deadline) {
        const std::vector<std::string> links = Links(folder);
        if (links.size() > from && std::find(links.begin() + static_cast<std::ptrdiff_t>(from), links.end(), link)
                != links.end())
            return links.size();
        ::poll(nullptr, 0, 50);
    }
    ADD_FAILURE() << "no row with link '" << link << "' after row " << from;
    return from;
}

TEST(RecordService, ADevicePathIsRecordedWheneverTheDeviceIsThere)
{
    test::TempDir dir;
    const std::filesystem::path link = dir.path() / "by-id" / "usb-Kalvo_Test-if00-port0";
    std::filesystem::create_directory(dir.path() / "by-id");
    const std::filesystem::path folder = dir.path() / "box";
    UnitsimProcess recorder(
        KALVO_RECORD_PROGRAM, {"--port", link.string(), "--out", folder.string(), "--quiet"}, true);
    EXPECT_NE(recorder.ErrorOutputWith("does not exist", Limit).find(link.string() + " does not exist"),
        std::string::npos);

    std::size_t rows = WaitForLink(folder, 0, "no port");
    for (int plugged = 0; plugged < 2; ++plugged) {
        std::unique_ptr<UnitsimProcess> unit;
        std::filesystem::create_symlink(StartUnit(unit, dir), link);
        rows = WaitForLink(folder, rows, "ok");
        unit.reset();  // the adapter pulled
        std::filesystem::remove(link);
        rows = WaitForLink(folder, rows, "no port");
    }
}

TEST(RecordService, SystemdHearsReadyStatusAndWatchdogUntilThePollLoopHangs)
{
    EXPECT_EQ(ServiceStatusLine("COM7", 1540, 0, true), "COM7: 1,540 polls, 0 lockouts, broker connected");
    test::TempDir dir;
    std::unique_ptr<UnitsimProcess> unit;
    const std::string terminal = StartUnit(unit, dir);
    test::NotifySocket systemd(dir.path() / "notify");
    constexpr int PollsBeforeHang = 4;
    ::setenv("NOTIFY_SOCKET", (dir.path() / "notify").c_str(), 1);
    ::setenv("KALVO_RECORD_HANG_AFTER_POLLS", std::to_string(PollsBeforeHang).c_str(), 1);
    UnitsimProcess recorder(KALVO_RECORD_PROGRAM, {"--port", terminal, "--out", dir.file("box"), "--quiet"}, true);
    ::unsetenv("NOTIFY_SOCKET");
    ::unsetenv("KALVO_RECORD_HANG_AFTER_POLLS");

    std::vector<std::string> heard;
    for (int poll = 1; poll < PollsBeforeHang; ++poll)
        heard.push_back(systemd.Next(Limit));
    EXPECT_EQ(heard[0], "READY=1\nSTATUS=" + terminal + ": 1 poll, 0 lockouts\nWATCHDOG=1");
    EXPECT_EQ(heard[1], "STATUS=" + terminal + ": 2 polls, 0 lockouts\nWATCHDOG=1");
    EXPECT_EQ(heard[2], "STATUS=" + terminal + ": 3 polls, 0 lockouts\nWATCHDOG=1");

    // The loop hangs at its fourth poll: no ping comes in three poll periods, and the program is
    // still running, as a hung one would be until systemd's watchdog ends it.
    EXPECT_EQ(systemd.Next(7s), "");
    EXPECT_EQ(recorder.WaitForExit(0ms), -1);
    EXPECT_EQ(recorder.EndingSignal(), 0);
}

TEST(RecordService, AFaultyConfigurationFileEndsItBeforeAnythingIsRecorded)
{
    test::TempDir dir;
    test::WriteFileBytes(dir.file("box.conf"), "# the box at the burner\nport = /dev/ttyUSB0\nkeep = forever\n");
    UnitsimProcess recorder(KALVO_RECORD_PROGRAM, {"--config", dir.file("box.conf"), "--out", dir.file("box")}, true);
    EXPECT_EQ(recorder.WaitForExit(Limit), 2);
    EXPECT_NE(recorder.ErrorOutput().find(
                  dir.file("box.conf") + ", line 3: keep wants a number of days from 1 to 36500, not 'forever'"),
        std::string::npos)
        << recorder.ErrorOutput();
    EXPECT_FALSE(std::filesystem::exists(dir.file("box")));
}

}  // namespace
}  // namespace kalvo::record
