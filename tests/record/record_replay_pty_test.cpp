// kalvo-record and unitsim as programs: a short recording of the simulated unit on a
// pseudo-terminal, its replay recorded again into the same rows, and damaged recordings refused
// with the place of the damage.

#include <gtest/gtest.h>

#include <signal.h>

#include "CsvReader.h"
#include "RawReplies.h"
#include "TempDir.h"
#include "UnitsimProcess.h"

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

    test::CsvTable Readings(const std::string& folder)
    {
        test::CsvTable rows;
        for (const auto& entry : std::filesystem::directory_iterator(dir_.path() / folder))
            if (entry.path().filename().string().starts_with("readings-")) {
                const test::CsvTable table = test::ParseCsv(test::ReadFileBytes(entry.path().string()));
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
    ASSERT_EQ(Record({"--settings", live, "--out", dir_.file("night"), "--duration", "9s", "--quiet"}), 0) << errors_;
    unit.reset();
    const test::CsvTable recorded = Readings("night");
    ASSERT_GE(recorded.size(), 3u);

    const std::string replayed = StartUnit(unit, 21, {"--replay", dir_.file("night")});
    ASSERT_EQ(Record({"--settings", replayed, "--out", dir_.file("again"), "--duration", "14s", "--quiet"}), 0)
        << errors_;
    EXPECT_EQ(unit->WaitForExit(RunLimit), 0) << "unitsim did not end with the recording";
    const test::CsvTable again = Readings("again");
    ASSERT_GE(again.size(), recorded.size());
    for (std::size_t i = 0; i < recorded.size(); ++i)
        EXPECT_EQ(WithoutTime(again[i]), WithoutTime(recorded[i])) << "poll " << i + 1;
    // After the last recorded poll the replayed unit is gone.
    for (std::size_t i = recorded.size() + 1; i < again.size(); ++i)
        EXPECT_EQ(again[i][1], "no port");
}

TEST_F(RecordReplayTest, DamagedRecordingsAreRefusedWithThePlace)
{
    std::filesystem::create_directory(dir_.path() / "damaged");
    test::WriteFileBytes(dir_.file("damaged/replies-2026-12-07.kraw"), std::string(RawFileHeader) + std::string("\xA5Q\x01x\0\0\0\0", 8));
    const std::string place = "replies-2026-12-07.kraw: damaged at byte 20 (poll 1)";

    EXPECT_EQ(Record({"--report", dir_.file("damaged")}), 1);
    EXPECT_NE(errors_.find(place), std::string::npos) << errors_;

    UnitsimProcess unit(UNITSIM_PROGRAM, {"--replay", dir_.file("damaged")}, true);
    EXPECT_EQ(unit.WaitForExit(RunLimit), 1);
    EXPECT_NE(unit.ErrorOutput().find(place), std::string::npos) << unit.ErrorOutput();

    EXPECT_EQ(Record({"--report", dir_.file("nothing-here")}), 1);
    EXPECT_NE(errors_.find("Cannot read the folder " + dir_.file("nothing-here")), std::string::npos) << errors_;
}

TEST_F(RecordReplayTest, AnOutFolderThatIsAFileStopsRecordingAtOnce)
{
    test::WriteFileBytes(dir_.file("taken"), "x");
    EXPECT_EQ(Record({"--port", "COM200", "--out", dir_.file("taken")}), 1);
    EXPECT_NE(errors_.find("Cannot record into " + dir_.file("taken")), std::string::npos) << errors_;
}

}  // namespace
}  // namespace kalvo::record
