// "Record readings..." of the main window against a recording view and the scripted fake line, in
// simulated time: the window's own polls land in the chosen folder until the item is chosen again.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/uGlobal.h"
#include "record/NightTexts.h"
#include "record/PollRecord.h"
#include "testing/FakeSerial.h"
#include "testing/PollFixtures.h"
#include "testing/ProgramFolder.h"
#include "testing/ProgramState.h"
#include "testing/RecordingView.h"
#include "testing/TempDir.h"
#include "window/uMainFrm.h"

namespace {

using kalvo::MenuCommand;
using kalvo::record::LocalTime;
using namespace std::chrono_literals;

constexpr std::int64_t StartUtcMs = 1'796'634'000'000;  // 2026-12-07T10:00:00+01:00
constexpr int OffsetMinutes = 60;

class MainFrmRecordTest : public ::testing::Test, protected kalvo::test::ProgramFolder {
protected:
    MainFrmRecordTest()
    {
        view.onCloseWindow = [this] { frame.FormHide(); };
        frame.RecordingClock = [this] {
            return LocalTime{StartUtcMs + static_cast<std::int64_t>(serial.NowMs()), OffsetMinutes};
        };
        frame.FormCreate();
        WriteNumberedLanguageFile();
        WriteSettings("COM=5\r\n");
        kalvo::test::AnswerEveryRequest(serial);
        frame.FormShow();
    }

    // Runs polls as Timer1 would, two seconds apart; returns the time each began.
    std::vector<std::string> Poll(int count)
    {
        std::vector<std::string> started;
        for (int n = 0; n < count; ++n) {
            started.push_back(kalvo::record::IsoText(frame.RecordingClock()));
            frame.Timer1Timer();
            serial.Pause(2000ms);
        }
        return started;
    }

    void ChooseRecordReadings(std::optional<std::string> folder)
    {
        view.folderAnswers.push_back(std::move(folder));
        frame.MenuClick(MenuCommand::RecordReadings1);
    }

    bool Checked() const
    {
        const auto mark = view.menuChecks.find(MenuCommand::RecordReadings1);
        return mark != view.menuChecks.end() && mark->second;
    }

    // The rows of the day's readings file after its header.
    std::vector<std::string> ReadingRows() const
    {
        std::istringstream text(kalvo::test::ReadFileBytes(out.file("readings-2026-12-07.csv")));
        std::vector<std::string> rows;
        for (std::string line; std::getline(text, line);)
            rows.push_back(line);
        if (!rows.empty())
            rows.erase(rows.begin());
        return rows;
    }

    static void ExpectRowsOfPolls(const std::vector<std::string>& rows, const std::vector<std::string>& started)
    {
        ASSERT_EQ(rows.size(), started.size());
        for (std::size_t n = 0; n < rows.size(); ++n)
            EXPECT_EQ(rows[n].substr(0, started[n].size() + 4), started[n] + ",ok,") << "row " << n;
    }

    kalvo::FakeSerialSystem serial;
    kalvo::test::ProgramStateGuard state{&serial};
    kalvo::test::RecordingView view;
    TMainFrm frame{view.Face(), files};
    kalvo::test::TempDir out;
};

// The recording speaks the window's language: the recorder's words file beside its language file
// gives the CSV files' own words.
TEST_F(MainFrmRecordTest, TheRecordingTakesTheWordsBesideTheLanguageFile)
{
    using kalvo::record::NightWord;
    const auto word = [](NightWord w) { return "W" + std::to_string(static_cast<int>(w)); };
    std::string words = "xx\r\n";
    for (int k = 0; k < static_cast<int>(NightWord::Count); ++k)
        words += word(static_cast<NightWord>(k)) + "\r\n";
    kalvo::test::WriteFileBytes(dir.file(kalvo::record::RecordWordsFileName), words);

    ChooseRecordReadings(out.path().string());
    Poll(1);
    frame.MenuClick(MenuCommand::RecordReadings1);
    const std::string readings = kalvo::test::ReadFileBytes(out.file("readings-2026-12-07.csv"));
    EXPECT_TRUE(readings.starts_with(word(NightWord::ColumnTime) + "," + word(NightWord::ColumnLink) + ","))
        << readings;
    EXPECT_NE(readings.find("," + word(NightWord::LinkOk) + ","), std::string::npos) << readings;
}

TEST_F(MainFrmRecordTest, ChosenFolderTakesEachPollOfTheWindowUntilTheItemIsChosenAgain)
{
    const std::vector<int> opensBefore = serial.OpenAttempts();
    ChooseRecordReadings(out.path().string());
    EXPECT_TRUE(Checked());
    ASSERT_EQ(view.folderQuestions.size(), 1u);
    EXPECT_EQ(view.folderQuestions[0].title, "Record readings");
    EXPECT_EQ(view.folderQuestions[0].initialFolder, "");

    const std::vector<std::string> started = Poll(3);
    EXPECT_EQ(serial.OpenAttempts(), opensBefore);  // the window's own port, no second open
    EXPECT_FALSE(view.memos.at(1).empty());         // the window shows the polls as before

    frame.MenuClick(MenuCommand::RecordReadings1);
    EXPECT_FALSE(Checked());
    EXPECT_EQ(view.folderQuestions.size(), 1u);  // stopping asks nothing
    Poll(1);
    ExpectRowsOfPolls(ReadingRows(), started);
    EXPECT_TRUE(std::filesystem::exists(out.path() / "replies-2026-12-07.kraw"));
    EXPECT_TRUE(view.errorBoxes.empty());

    // Again: the question opens at the folder of the last recording, which is continued.
    ChooseRecordReadings(std::nullopt);
    EXPECT_EQ(view.folderQuestions.back().initialFolder, out.path().string());
    EXPECT_FALSE(Checked());
}

TEST_F(MainFrmRecordTest, CancelledQuestionRecordsNothing)
{
    ChooseRecordReadings(std::nullopt);
    ChooseRecordReadings(std::string());
    Poll(2);

    EXPECT_FALSE(Checked());
    EXPECT_EQ(view.folderQuestions.size(), 2u);
    EXPECT_TRUE(view.errorBoxes.empty());
    EXPECT_TRUE(std::filesystem::is_empty(out.path()));
}

TEST_F(MainFrmRecordTest, FolderThatTakesNoFilesShowsWhyAndLeavesTheItemUnchecked)
{
    const std::string notAFolder = out.file("plain-file");
    kalvo::test::WriteFileBytes(notAFolder, "x");
    ChooseRecordReadings(notAFolder);

    EXPECT_FALSE(Checked());
    ASSERT_EQ(view.errorBoxes.size(), 1u);
    EXPECT_TRUE(view.errorBoxes[0].starts_with("Cannot record into " + notAFolder + ": ")) << view.errorBoxes[0];
    EXPECT_EQ(view.errorBoxTitles, std::vector<std::string>{"Kalvo"});
    Poll(1);
    EXPECT_EQ(view.errorBoxes.size(), 1u);
}

// Windows refuses to remove a folder while the recording holds its lock file open, so there a
// folder cannot go away under a recording.
#ifndef _WIN32
TEST_F(MainFrmRecordTest, FolderThatStopsTakingFilesEndsTheRecordingButNotThePolling)
{
    const std::filesystem::path folder = out.path() / "night";
    ChooseRecordReadings(folder.string());
    ASSERT_TRUE(Checked());
    // The folder goes away under the recording and a plain file takes its name.
    std::filesystem::remove_all(folder);
    kalvo::test::WriteFileBytes(folder.string(), "x");

    Poll(2);
    EXPECT_FALSE(Checked());
    ASSERT_EQ(view.errorBoxes.size(), 1u);
    EXPECT_NE(view.errorBoxes[0].find((folder / "readings-2026-12-07.csv").string()), std::string::npos)
        << view.errorBoxes[0];
    EXPECT_TRUE(view.errorBoxes[0].ends_with(". Recording stopped.")) << view.errorBoxes[0];
    EXPECT_TRUE(view.timerOn);
    EXPECT_EQ(serial.Writes().size(), 6u);  // both polls ran to their end
}
#endif

TEST_F(MainFrmRecordTest, QuitEndsTheRecordingWithThePollsSoFar)
{
    ChooseRecordReadings(out.path().string());
    const std::vector<std::string> started = Poll(2);
    frame.Quit1Click();

    EXPECT_FALSE(Checked());
    ExpectRowsOfPolls(ReadingRows(), started);
    EXPECT_EQ(StoredSetting("COM"), 5);  // the rest of shutdown ran as well
}

}  // namespace
