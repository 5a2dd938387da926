// kalvo-record and unitsim as programs: a short recording of the simulated unit on a
// pseudo-terminal, its replay recorded again into the same rows, and damaged recordings refused
// with the place of the damage.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include "record/PollRecord.h"
#include "record/RawReplies.h"
#include "testing/TempDir.h"
#include "testing/UnitsimProcess.h"
#include "tests/record/CsvReader.h"

namespace kalvo::record {
namespace {

using namespace std::chrono_literals;
using test::UnitsimProcess;

constexpr auto StartLimit = 30s;
constexpr auto RunLimit = 120s;

std::vector<std::string> WithoutTime(std::vector<std::string> row)
{
    row.erase(row.begin());
    return row;
}

// The rows without their times, a row that repeats the one before it left out: the playback runs
// by the clock, so a recorder slowed by a busy machine may be answered the same poll twice.
std::vector<std::vector<std::string>> DistinctInTurn(const test::CsvTable& table)
{
    std::vector<std::vector<std::string>> rows;
    for (const auto& row : table)
        if (rows.empty() || WithoutTime(row) != rows.back())
            rows.push_back(WithoutTime(row));
    return rows;
}

class RecordReplayTest : public ::testing::Test {
protected:
    // Starts unitsim with the arguments on COM<com> of its own settings file and waits for its
    // terminal; returns the settings file.
    std::string StartUnit(std::unique_ptr<UnitsimProcess>& unit, int com, std::vector<std::string> arguments)
    {
        const std::string settings = dir_.file("unit" + std::to_string(com) + ".ini");
        arguments.insert(arguments.end(), {"--settings", settings, "--com", std::to_string(com), "--pace"});
        unit = std::make_unique<UnitsimProcess>(UNITSIM_PROGRAM, arguments);
        EXPECT_FALSE(unit->NextLine(StartLimit).empty()) << "unitsim named no terminal";
        return settings;
    }

    // Runs kalvo-record to its end; returns its exit code.
    int Record(const std::vector<std::string>& arguments)
    {
        UnitsimProcess recorder(KALVO_RECORD_PROGRAM, arguments, true);
        const int code = recorder.WaitForExit(RunLimit);
        errors_ = recorder.ErrorOutput();
        return code;
    }

    // The readings files in the folder so far; none while the folder is not there yet.
    std::vector<std::string> ReadingsFiles(const std::string& folder) const
    {
        std::vector<std::string> files;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(dir_.path() / folder, error))
            if (entry.path().filename().string().starts_with("readings-"))
                files.push_back(entry.path().string());
        return files;
    }

    // Lines in the folder's readings files, headers included.
    std::size_t Rows(const std::string& folder) const
    {
        std::size_t lines = 0;
        for (const std::string& file : ReadingsFiles(folder)) {
            const std::string bytes = test::ReadFileBytes(file);
            lines += static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
        }
        return lines;
    }

    // Waits until the folder's readings files hold that many lines, headers included.
    void WaitForRows(const std::string& folder, std::size_t rows) const
    {
        const auto deadline = std::chrono::steady_clock::now() + RunLimit;
        while (Rows(folder) < rows && std::chrono::steady_clock::now() < deadline)
            ::poll(nullptr, 0, 50);
    }

    test::CsvTable Readings(const std::string& folder) const
    {
        test::CsvTable rows;
        for (const std::string& file : ReadingsFiles(folder)) {
            const test::CsvTable table = test::ParseCsv(test::ReadFileBytes(file));
            rows.insert(rows.end(), table.begin() + 1, table.end());
        }
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    test::TempDir dir_;
    std::string errors_;
};

TEST_F(RecordReplayTest, AReplayOfARecordingIsRecordedIntoTheSameRows)
{
    std::unique_ptr<UnitsimProcess> unit;
    const std::string live = StartUnit(unit, 20, {"--seed", "3"});
    {
        // Recorded until Ctrl-C, which ends the program cleanly after the poll under way.
        UnitsimProcess recorder(KALVO_RECORD_PROGRAM, {"--settings", live, "--out", dir_.file("night"), "--quiet"}, true);
        WaitForRows("night", 4);
        recorder.Signal(SIGINT);
        ASSERT_EQ(recorder.WaitForExit(RunLimit), 0) << recorder.ErrorOutput();
    }
    unit.reset();
    const test::CsvTable recorded = Readings("night");
    ASSERT_GE(recorded.size(), 3u);

    const std::string replayed = StartUnit(unit, 21, {"--replay", dir_.file("night")});
    ASSERT_EQ(Record({"--settings", replayed, "--out", dir_.file("again"), "--duration", "14s", "--quiet"}), 0)
        << errors_;
    EXPECT_EQ(unit->WaitForExit(RunLimit), 0) << "unitsim did not end with the recording";
    // The recorded polls in their order, then only polls without the replayed unit, which is gone.
    test::CsvTable again = Readings("again");
    ASSERT_FALSE(again.empty());
    EXPECT_EQ(again.back()[1], "no port");
    while (!again.empty() && again.back()[1] == "no port")
        again.pop_back();
    EXPECT_EQ(DistinctInTurn(again), DistinctInTurn(recorded));
}

TEST_F(RecordReplayTest, ADamagedOrEmptyRawFileCostsOnlyItsOwnPolls)
{
    std::filesystem::create_directory(dir_.path() / "damaged");
    PollInput first;
    first.link = LinkStatus::Ok;
    first.time = {1'796'590'800'000, 60};  // 2026-12-06T22:00:00+01:00
    PollInput second = first;
    second.time.utcMs += 2000;
    test::WriteFileBytes(dir_.file("damaged/replies-2026-12-06.kraw"),
        std::string(RawFileHeader) + EncodeRawRecord(first, nullptr) + EncodeRawRecord(second, &first));
    test::WriteFileBytes(dir_.file("damaged/replies-2026-12-07.kraw"), "");  // a full disk when it was made
    test::WriteFileBytes(dir_.file("damaged/replies-2026-12-08.kraw"),
        std::string(RawFileHeader) + std::string("\xA5Q\x01x\0\0\0\0", 8));
    const std::string place = "replies-2026-12-08.kraw: damaged at byte 20 (poll 1)";

    // Done, but with parts lost: each said on the terminal too, and the exit status tells.
    constexpr int DoneWithDataLost = 3;
    const std::string empty = "kalvo-record: missing: replies-2026-12-07.kraw: empty (nothing of it reached the disk); "
                              "no polls after 2026-12-06T22:00:02+01:00";
    EXPECT_EQ(Record({"--report", dir_.file("damaged")}), DoneWithDataLost) << errors_;
    EXPECT_NE(errors_.find("kalvo-record: missing: " + place), std::string::npos) << errors_;
    EXPECT_NE(errors_.find(empty), std::string::npos) << errors_;
    const std::string report = test::ReadFileBytes(dir_.file("damaged/night-report.html"));
    EXPECT_NE(report.find("Missing: " + place), std::string::npos);
    EXPECT_NE(report.find("Missing: replies-2026-12-07.kraw: empty"), std::string::npos);
    EXPECT_NE(report.find("22:00"), std::string::npos) << "the polls of the good file are not in the report";

    EXPECT_EQ(Record({"--decode", dir_.file("damaged"), "--out", dir_.file("decoded")}), DoneWithDataLost) << errors_;
    EXPECT_NE(errors_.find("kalvo-record: missing: " + place), std::string::npos) << errors_;
    EXPECT_NE(errors_.find(empty), std::string::npos) << errors_;
    EXPECT_EQ(Readings("decoded").size(), 2u);
    EXPECT_EQ(
        Record({"--decode", dir_.file("damaged"), "--out", dir_.file("both"), "--report", dir_.file("damaged")}), 2);

    // --out names the report's file; one reached through a link is written at the link's target.
    std::filesystem::create_symlink("target.html", dir_.path() / "link.html");
    EXPECT_EQ(Record({"--report", dir_.file("damaged"), "--out", dir_.file("link.html")}), DoneWithDataLost);
    EXPECT_TRUE(std::filesystem::is_symlink(dir_.path() / "link.html"));
    EXPECT_EQ(test::ReadFileBytes(dir_.file("target.html")), report);

    UnitsimProcess unit(UNITSIM_PROGRAM, {"--replay", dir_.file("damaged")}, true);
    EXPECT_FALSE(unit.NextLine(StartLimit).empty()) << "the replay did not start: " << unit.ErrorOutput();
    EXPECT_NE(unit.ErrorOutputWith(place, StartLimit).find(place), std::string::npos);

    EXPECT_EQ(Record({"--report", dir_.file("nothing-here")}), 1);
    EXPECT_NE(errors_.find("Cannot read the folder " + dir_.file("nothing-here")), std::string::npos) << errors_;
}

TEST_F(RecordReplayTest, APortInUseIsRefusedAndAnAbsentOneSaidAtStart)
{
    std::unique_ptr<UnitsimProcess> unit;
    const std::string settings = StartUnit(unit, 24, {"--seed", "5"});
    UnitsimProcess first(KALVO_RECORD_PROGRAM, {"--settings", settings, "--out", dir_.file("first"), "--quiet"}, true);
    WaitForRows("first", 2);
    // A refusal at start never recorded: it says its reason alone and leaves no folder behind.
    EXPECT_EQ(Record({"--settings", settings, "--out", dir_.file("second/night")}), 1);
    EXPECT_NE(errors_.find("kalvo-record: COM24 is in use by another program\n"), std::string::npos) << errors_;
    EXPECT_FALSE(std::filesystem::exists(dir_.path() / "second"));
    first.Signal(SIGINT);
    EXPECT_EQ(first.WaitForExit(RunLimit), 0) << first.ErrorOutput();

    // A program that merely opened the port (socat, a terminal program) is another holder too.
    const std::string ports = test::ReadFileBytes(settings);
    const std::size_t device = ports.find("COM24=") + 6;
    const std::string path = ports.substr(device, ports.find_first_of("\r\n", device) - device);
    {
        UnitsimProcess plain("/bin/sh", {"-c", "exec <" + path + " && echo opened && exec sleep 600"}, true);
        ASSERT_EQ(plain.NextLine(StartLimit), "opened") << plain.ErrorOutput();
        EXPECT_EQ(Record({"--settings", settings, "--out", dir_.file("plain")}), 1);
        EXPECT_NE(errors_.find("kalvo-record: COM24 is in use by another program\n"), std::string::npos) << errors_;
        EXPECT_FALSE(std::filesystem::exists(dir_.path() / "plain"));
    }

    UnitsimProcess absent(KALVO_RECORD_PROGRAM,
        {"--settings", settings, "--port", "COM200", "--out", dir_.file("absent"), "--duration", "3s"}, true);
    EXPECT_EQ(absent.WaitForExit(RunLimit), 0) << absent.ErrorOutput();
    EXPECT_NE(absent.ErrorOutput().find("kalvo-record: COM200 does not exist; it is tried again at every poll"),
        std::string::npos)
        << absent.ErrorOutput();
    const std::size_t polls = Readings("absent").size();
    EXPECT_NE(absent.Output().find(" polls in "), std::string::npos) << absent.Output();
    EXPECT_NE(absent.Output().find("into " + dir_.file("absent") + ": 0 transfer errors, " + std::to_string(polls)
                  + (polls == 1 ? " poll" : " polls") + " without a port, 0 lockouts."),
        std::string::npos)
        << absent.Output();
}

// A hang-up (the terminal or SSH session closed) ends recording as SIGTERM does, with the summary;
// started under nohup, which ignores it, recording goes on.
TEST_F(RecordReplayTest, AHangUpEndsRecordingUnlessIgnoredAtStart)
{
    std::unique_ptr<UnitsimProcess> unit;
    const std::string settings = StartUnit(unit, 25, {"--seed", "6"});
    for (const bool ignored : {false, true}) {
        const std::string folder = ignored ? "nohup" : "hangup";
        const auto previousHandler = std::signal(SIGHUP, ignored ? SIG_IGN : SIG_DFL);
        UnitsimProcess recorder(KALVO_RECORD_PROGRAM, {"--settings", settings, "--out", dir_.file(folder)}, true);
        std::signal(SIGHUP, previousHandler);
        WaitForRows(folder, 2);
        recorder.Signal(SIGHUP);
        if (ignored) {
            const std::size_t rows = Rows(folder);
            WaitForRows(folder, rows + 2);  // still recording
            EXPECT_GE(Rows(folder), rows + 2);
            recorder.Signal(SIGTERM);
        }
        EXPECT_EQ(recorder.WaitForExit(RunLimit), 0) << folder << ": " << recorder.ErrorOutput();
        EXPECT_NE(recorder.Output().find("Recorded "), std::string::npos) << folder << ": " << recorder.Output();
    }
}

TEST_F(RecordReplayTest, TheVersionIsAnsweredWithoutRecording)
{
    UnitsimProcess version(KALVO_RECORD_PROGRAM, {"--version"}, true);
    EXPECT_EQ(version.WaitForExit(RunLimit), 0) << version.ErrorOutput();
    EXPECT_TRUE(version.Output().starts_with("kalvo-record ")) << version.Output();
}

// A full disk, played by a file size limit that the program inherits: recording stops with the
// file's name and the system's reason, and the files end after whole rows.
TEST_F(RecordReplayTest, AFullDiskStopsRecordingWithAClearMessage)
{
    std::unique_ptr<UnitsimProcess> unit;
    const std::string settings = StartUnit(unit, 22, {"--seed", "8"});
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limit = saved;
    limit.rlim_cur = 1'800;  // the header and two rows
    ::setrlimit(RLIMIT_FSIZE, &limit);
    UnitsimProcess recorder(KALVO_RECORD_PROGRAM, {"--settings", settings, "--out", dir_.file("full"), "--quiet"}, true);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(recorder.WaitForExit(RunLimit), 1);
    EXPECT_NE(recorder.ErrorOutput().find("kalvo-record: Cannot write to " + dir_.file("full/readings-")),
              std::string::npos)
        << recorder.ErrorOutput();
    EXPECT_NE(recorder.ErrorOutput().find(": File too large. Recording stopped."), std::string::npos)
        << recorder.ErrorOutput();
    const test::CsvTable rows = Readings("full");
    EXPECT_GE(rows.size(), 1u);
    for (const auto& row : rows)
        // time, link, state code and text, status text; implausible last
        EXPECT_EQ(row.size(), std::size_t{6 + ValueCount + StatusFlagCount});
}

TEST_F(RecordReplayTest, AnOutFolderThatTakesNoFilesStopsRecordingAtOnce)
{
    test::WriteFileBytes(dir_.file("taken"), "x");
    const auto readOnly = dir_.path() / "read-only";
    std::filesystem::create_directory(readOnly);
    std::filesystem::permissions(dir_.path(), std::filesystem::perms::all ^ std::filesystem::perms::others_write ^
                                                  std::filesystem::perms::group_write);
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec |
                                               std::filesystem::perms::others_read |
                                               std::filesystem::perms::others_exec);
    // The superuser may write anywhere: the folder is then tried without the power to override
    // permissions. Still the folder's owner, it can read the program wherever the build lies (a
    // clone in /root, which no other user may enter).
    const std::string dropped = "-dac_override,-dac_read_search";
    const std::vector<std::string> asUser =
        ::geteuid() == 0
            ? std::vector<std::string>{"/usr/bin/setpriv", "--inh-caps=" + dropped, "--bounding-set=" + dropped}
            : std::vector<std::string>{};
    struct Case {
        std::string folder, reason;
    };
    for (const Case& c : {Case{dir_.file("taken"), ""},
                          Case{dir_.file("taken") + "/below", ""},
                          Case{(readOnly / "night").string(), "Permission denied"}}) {
        std::vector<std::string> command = asUser;
        command.insert(command.end(), {KALVO_RECORD_PROGRAM, "--port", "COM200", "--out", c.folder});
        UnitsimProcess recorder(command.front(), {command.begin() + 1, command.end()}, true);
        EXPECT_EQ(recorder.WaitForExit(RunLimit), 1) << c.folder;
        EXPECT_NE(recorder.ErrorOutput().find("Cannot record into " + c.folder + ": " + c.reason), std::string::npos)
            << recorder.ErrorOutput();
    }
}

}  // namespace
}  // namespace kalvo::record
