// The main window's behaviour against a recording view and the scripted fake line, in simulated
// time: start-up, settings, polling, quitting, the port command and what a poll shows.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/KalvoError.h"
#include "core/Protocol.h"
#include "core/Readings.h"
#include "core/Settings.h"
#include "core/uGlobal.h"
#include "testing/FakeSerial.h"
#include "testing/LanguageFixtures.h"
#include "testing/PollFixtures.h"
#include "testing/ProgramFolder.h"
#include "testing/ProgramState.h"
#include "testing/RecordingView.h"
#include "testing/TempDir.h"
#include "window/uMainFrm.h"

namespace {

using kalvo::test::AnswerEveryRequest;

using kalvo::ComponentImage;
using kalvo::test::Line;
using namespace std::chrono_literals;

constexpr ComponentImage ComponentImages[] = {ComponentImage::ImageHeizung, ComponentImage::ImageTrafo,
    ComponentImage::ImageMotor, ComponentImage::ImageFlamme, ComponentImage::ImageVentil1,
    ComponentImage::ImageVentil2};

class MainFrmTest : public ::testing::Test, protected kalvo::test::ProgramFolder {
protected:
    MainFrmTest()
    {
        // The face takes the window down when told to close it, and that runs FormHide.
        view.onCloseWindow = [this] { frame.FormHide(); };
        frame.FormCreate();
    }

    void ExpectInitialContents() const
    {
        for (int label = 2; label <= 6; ++label)
            EXPECT_EQ(view.labels.at(label), "Label" + std::to_string(label));
        for (int n = 1; n <= 9; ++n)
            EXPECT_EQ(view.memos.at(n), std::vector<std::string>{"Memo" + std::to_string(n)});
        for (int tab = 3; tab <= 10; ++tab)
            EXPECT_EQ(view.tabCaptions.at(tab), "TabSheet" + std::to_string(tab));
        EXPECT_EQ(view.activeErrorTab, 9);
        EXPECT_TRUE(view.memoVisible.at(10));
        EXPECT_TRUE(view.checkList.empty());
        for (ComponentImage image : ComponentImages)
            EXPECT_TRUE(view.imageVisible.at(image));
        EXPECT_EQ(view.panels, (std::array<std::string, 2>{}));
    }

    kalvo::FakeSerialSystem serial;
    kalvo::test::ProgramStateGuard state{&serial};
    kalvo::test::RecordingView view;
    TMainFrm frame{view.Face(), files};
};

TEST_F(MainFrmTest, CreatedWindowPollsEveryTwoSecondsAndBecomesTheWindowLink)
{
    EXPECT_TRUE(view.timerOn);
    EXPECT_EQ(view.timerInterval, 2000ms);
    EXPECT_EQ(uGlobal::Window, &frame);
    ExpectInitialContents();
}

TEST_F(MainFrmTest, StartUpWithoutSettingsRunsWithoutAPort)
{
    WriteNumberedLanguageFile();
    frame.FormShow();

    EXPECT_TRUE(view.errorBoxes.empty());
    EXPECT_EQ(uGlobal::PortNumber, uGlobal::NoPort);
    EXPECT_TRUE(serial.OpenAttempts().empty());
    EXPECT_FALSE(view.timerOn);
    EXPECT_EQ(view.activePage, 1);
    EXPECT_EQ(view.activeErrorTab, 3);
    EXPECT_EQ(view.panels[0], "");
    EXPECT_FALSE(view.memoVisible.at(10));
    for (int n = 1; n <= 9; ++n)
        EXPECT_TRUE(view.memos.at(n).empty()) << "Memo" << n;
    for (int label = 2; label <= 6; ++label)
        EXPECT_TRUE(view.labels.at(label).empty()) << "Label" << label;
    for (ComponentImage image : ComponentImages)
        EXPECT_FALSE(view.imageVisible.at(image));
    for (int tab = 3; tab <= 10; ++tab)
        EXPECT_EQ(view.tabCaptions.at(tab), "Error " + std::to_string(tab - 2));

    ASSERT_EQ(view.checkList.size(), 10u);
    EXPECT_FALSE(view.checkListEnabled);
    for (int k = 0; k < 10; ++k) {
        EXPECT_EQ(view.checkList[static_cast<std::size_t>(k)], Line(k + 2));
        EXPECT_FALSE(view.checkMarks[static_cast<std::size_t>(k)]);
    }

    frame.FormHide();
    EXPECT_EQ(StoredSetting("COM"), uGlobal::NoPort);
    EXPECT_EQ(StoredSetting("Panel"), 1);
}

TEST_F(MainFrmTest, StartUpAndShutdownRunOnceEach)
{
    WriteNumberedLanguageFile();
    frame.FormHide();  // taken down before it was ever shown: nothing to store
    EXPECT_FALSE(std::filesystem::exists(files.settingsFile));

    frame.FormShow();
    view.SetActivePage(2);
    frame.FormShow();  // shown again (restored): start-up does not run again
    EXPECT_EQ(view.activePage, 2);

    frame.FormHide();
    std::filesystem::remove(files.settingsFile);
    frame.FormHide();
    EXPECT_FALSE(std::filesystem::exists(files.settingsFile));
}

TEST_F(MainFrmTest, OpensOnThePicturePageAndStoresThePageShowingAtTheEnd)
{
    for (const int showing : {1, 2}) {
        SCOPED_TRACE(showing == 2 ? "Text page showing" : "Picture page showing");
        kalvo::test::RecordingView pageView;
        TMainFrm pageFrame(pageView.Face(), files);
        WriteNumberedLanguageFile();
        WriteSettings("Panel=2\r\n");
        pageView.SetActivePage(2);
        pageFrame.FormShow();
        EXPECT_EQ(pageFrame.ActivePanel, 2);
        EXPECT_EQ(pageView.activePage, 1);

        pageView.SetActivePage(showing);
        pageFrame.FormHide();
        EXPECT_EQ(StoredSetting("Panel"), showing);
    }
}

TEST_F(MainFrmTest, StoredPortThatIsGoneIsForgotten)
{
    WriteNumberedLanguageFile();
    WriteSettings("COM=5\r\n");
    serial.RefuseOpen(5);
    frame.FormShow();

    EXPECT_EQ(uGlobal::PortNumber, uGlobal::NoPort);
    EXPECT_FALSE(view.timerOn);
    EXPECT_EQ(view.panels[0], "");
    frame.FormHide();
    EXPECT_EQ(StoredSetting("COM"), uGlobal::NoPort);
}

TEST_F(MainFrmTest, StoredPortThatExistsIsOpenedAndPolled)
{
    WriteNumberedLanguageFile();
    WriteSettings("COM=5\r\n");
    frame.FormShow();

    EXPECT_EQ(serial.OpenAttempts(), (std::vector<int>{5, 5}));  // the check, then the open for good
    EXPECT_TRUE(serial.Port(5).open);
    EXPECT_EQ(serial.Port(5).configures, 1);
    EXPECT_EQ(view.panels[0], "  COM5");
    EXPECT_TRUE(view.timerOn);

    frame.Timer1Timer();
    EXPECT_EQ(serial.Writes().size(), 3u);
    EXPECT_TRUE(view.timerOn);
    EXPECT_EQ(view.timerInterval, 2000ms);

    frame.FormHide();
    EXPECT_EQ(StoredSetting("COM"), 5);
    EXPECT_FALSE(serial.Port(5).open);
}

TEST_F(MainFrmTest, MissingLanguageFileStopsStartUpInTheErrorBox)
{
    WriteSettings("COM=5\r\n");
    frame.FormShow();

    EXPECT_EQ(view.errorBoxes, std::vector<std::string>{"File not found."});
    EXPECT_EQ(view.errorBoxTitles, std::vector<std::string>{"Kalvo"});
    ExpectInitialContents();
    EXPECT_TRUE(view.timerOn);
    EXPECT_TRUE(serial.OpenAttempts().empty());  // no settings were read

    // Polling runs without a port; the empty check list has no marks to set and raises nothing.
    frame.Timer1Timer();
    EXPECT_EQ(view.errorBoxes.size(), 1u);
    EXPECT_TRUE(view.checkList.empty());
    EXPECT_TRUE(view.timerOn);
}

TEST_F(MainFrmTest, PollShowsTheReadingsEverywhere)
{
    WriteNumberedLanguageFile();
    WriteSettings("COM=5\r\n");
    AnswerEveryRequest(serial);
    frame.FormShow();
    frame.Timer1Timer();

    ASSERT_TRUE(view.errorBoxes.empty());
    EXPECT_EQ(serial.Writes().size(), 3u);
    EXPECT_EQ(view.panels[1], "");

    const std::vector<std::string>& report = view.memos.at(1);
    ASSERT_FALSE(report.empty());
    EXPECT_EQ(report[0], Line(36) + " " + std::string("ab\0\xA0\xFFzq", 7) + std::string(8, '\0'));
    EXPECT_EQ(report, kalvo::ReportLines(uGlobal::ReadingTexts, uGlobal::LanguageTable));

    EXPECT_EQ(view.memos.at(2), std::vector<std::string>{Line(30) + " 1"});
    for (int n = 2; n <= 8; ++n)
        EXPECT_EQ(view.memos.at(n + 1),
            kalvo::ErrorRecordLines(uGlobal::ErrorHistoryBlock, 16 * (n - 1), n, uGlobal::LanguageTable));
    EXPECT_EQ(view.memos.at(9).front(), Line(30) + " 8");

    const std::vector<bool> expectedFlags = {false, true, true, false, false, true, true, false, true, false};
    EXPECT_EQ(view.checkMarks, expectedFlags);
    EXPECT_TRUE(view.imageVisible.at(ComponentImage::ImageFlamme));
    EXPECT_TRUE(view.imageVisible.at(ComponentImage::ImageVentil1));
    EXPECT_FALSE(view.imageVisible.at(ComponentImage::ImageVentil2));
    EXPECT_FALSE(view.imageVisible.at(ComponentImage::ImageTrafo));
    EXPECT_TRUE(view.imageVisible.at(ComponentImage::ImageHeizung));
    EXPECT_TRUE(view.imageVisible.at(ComponentImage::ImageMotor));

    EXPECT_EQ(view.labels.at(2), "0");
    EXPECT_EQ(view.labels.at(3), "0");
    EXPECT_EQ(view.labels.at(4), "230");
    EXPECT_EQ(view.labels.at(5), uGlobal::ReadingTexts.FlameCurrentText);
    EXPECT_EQ(view.labels.at(6), uGlobal::ReadingTexts.AlarmCurrentText);
    EXPECT_FALSE(view.labels.at(5).empty());
}

// Each flag lights its own component, and only that one.
TEST_F(MainFrmTest, EachFlagShowsItsComponentAndItsCheckMark)
{
    WriteNumberedLanguageFile();
    frame.FormShow();
    const std::map<int, ComponentImage> pictured = {{1, ComponentImage::ImageFlamme}, {2, ComponentImage::ImageVentil1},
        {3, ComponentImage::ImageVentil2}, {4, ComponentImage::ImageTrafo}, {5, ComponentImage::ImageHeizung},
        {6, ComponentImage::ImageMotor}};
    for (int flag = 0; flag < 10; ++flag) {
        uGlobal::StatusFlags = {};
        uGlobal::StatusFlags[static_cast<std::size_t>(flag)] = true;
        frame.RefreshIndicators();
        for (ComponentImage image : ComponentImages) {
            const auto found = pictured.find(flag);
            EXPECT_EQ(view.imageVisible.at(image), found != pictured.end() && found->second == image)
                << "flag " << flag;
        }
        for (int k = 0; k < 10; ++k)
            EXPECT_EQ(view.checkMarks[static_cast<std::size_t>(k)], k == flag) << "flag " << flag << ", item " << k;
    }
}

TEST_F(MainFrmTest, QuitDuringAWaitingCycleEndsTheRun)
{
    WriteNumberedLanguageFile();
    WriteSettings("COM=5\r\n");
    frame.FormShow();

    // The unit stays silent; once the first request is out, the user chooses Quit.
    view.onProcessPendingMessages = [&] {
        if (!serial.Writes().empty() && !uGlobal::StopRequested)
            frame.MenuClick(kalvo::MenuCommand::Quit1);
    };
    frame.Timer1Timer();
    view.onProcessPendingMessages = nullptr;

    EXPECT_TRUE(view.errorBoxes.empty());
    EXPECT_TRUE(uGlobal::StopRequested);
    EXPECT_EQ(serial.Writes().size(), 1u);  // the cycle ended in its first wait
    EXPECT_TRUE(view.closed);
    EXPECT_EQ(StoredSetting("COM"), 5);  // written while the port was still in use
    EXPECT_EQ(StoredSetting("Panel"), 1);
    EXPECT_FALSE(serial.Port(5).open);
    EXPECT_EQ(view.panels[0], "No Com-Port");
    EXPECT_TRUE(view.timerOn);  // the tick switches it on again at its end
    // Decoding and the report still ran for the cut-short poll.
    EXPECT_EQ(view.memos.at(1), kalvo::ReportLines(uGlobal::ReadingTexts, uGlobal::LanguageTable));
    EXPECT_FALSE(view.memos.at(1).empty());

    // A tick that still arrives does nothing.
    view.memos.at(1).clear();
    frame.Timer1Timer();
    EXPECT_TRUE(view.memos.at(1).empty());
}

TEST_F(MainFrmTest, TickDuringARunningPollStartsNoSecondCycle)
{
    WriteNumberedLanguageFile();
    WriteSettings("COM=5\r\n");
    frame.FormShow();
    view.onShowPortDialog = [] { uGlobal::PortNumber = 5; };

    // While the first request waits for its reply, the user runs the port dialog, which reopens
    // the port and switches the timer on; then a tick arrives before the poll has ended.
    bool acted = false;
    std::size_t writesBeforeTick = 0;
    std::size_t writesAfterTick = 0;
    bool timerOnAfterTick = false;
    view.onProcessPendingMessages = [&] {
        if (acted || serial.Writes().empty())
            return;
        acted = true;
        frame.MenuClick(kalvo::MenuCommand::COMPort1);
        writesBeforeTick = serial.Writes().size();
        frame.Timer1Timer();
        writesAfterTick = serial.Writes().size();
        timerOnAfterTick = view.timerOn;
    };
    frame.Timer1Timer();

    ASSERT_TRUE(acted);
    EXPECT_TRUE(view.errorBoxes.empty());
    EXPECT_EQ(writesAfterTick, writesBeforeTick);
    EXPECT_TRUE(timerOnAfterTick);
    EXPECT_EQ(serial.Writes().size(), 3u);                          // one cycle: three requests
    EXPECT_EQ(serial.OpenAttempts(), (std::vector<int>{5, 5, 5}));  // check, open, reopen after the dialog
    EXPECT_TRUE(view.timerOn);
}

TEST_F(MainFrmTest, ClearReadingsEmptiesOnlyTheReportAndErrorMemos)
{
    WriteNumberedLanguageFile();
    WriteSettings("COM=5\r\n");
    AnswerEveryRequest(serial);
    frame.FormShow();
    frame.Timer1Timer();
    view.AddMemoLine(10, "scratch");
    const std::string label4 = view.labels.at(4);

    frame.ClearReadings();

    for (int n = 1; n <= 9; ++n)
        EXPECT_TRUE(view.memos.at(n).empty()) << "Memo" << n;
    for (ComponentImage image : ComponentImages)
        EXPECT_FALSE(view.imageVisible.at(image));
    EXPECT_EQ(view.memos.at(10), std::vector<std::string>{"scratch"});
    EXPECT_EQ(view.labels.at(4), label4);
    EXPECT_TRUE(view.checkMarks[1]);
    EXPECT_EQ(view.panels[0], "  COM5");
}

TEST_F(MainFrmTest, ErrorRecordNumberWithoutAMemoChangesNothing)
{
    WriteNumberedLanguageFile();
    frame.FormShow();
    const auto before = view.memos;

    frame.ShowErrorRecord({}, 0);
    frame.ShowErrorRecord({}, 9);

    EXPECT_TRUE(view.errorBoxes.empty());
    EXPECT_EQ(view.memos, before);
}

TEST_F(MainFrmTest, PortCommandReopensThePortChosenAndRestartsPolling)
{
    WriteNumberedLanguageFile();
    frame.FormShow();
    view.onShowPortDialog = [] { uGlobal::PortNumber = 7; };
    frame.MenuClick(kalvo::MenuCommand::COMPort1);

    EXPECT_TRUE(view.errorBoxes.empty());
    EXPECT_EQ(view.portDialogShowings, 1);
    EXPECT_TRUE(serial.Port(7).open);
    EXPECT_EQ(view.panels[0], "  COM7");
    EXPECT_TRUE(view.timerOn);
}

TEST_F(MainFrmTest, PortCommandClosesThePortBeforeTheDialogAndStopsPollingMeanwhile)
{
    WriteNumberedLanguageFile();
    WriteSettings("COM=5\r\n");
    frame.FormShow();
    bool portOpenDuringDialog = true;
    bool timerOnDuringDialog = true;
    view.onShowPortDialog = [&] {
        portOpenDuringDialog = serial.Port(5).open;
        timerOnDuringDialog = view.timerOn;
    };
    frame.COMPort1Click();

    EXPECT_FALSE(portOpenDuringDialog);
    EXPECT_FALSE(timerOnDuringDialog);
    // Closing the port forgot it, and the dialog chose none: the program runs without a port.
    EXPECT_EQ(view.panels[0], "No Com-Port");
    EXPECT_TRUE(view.timerOn);
}

TEST_F(MainFrmTest, PortCommandRestartsPollingEvenWhenTheDialogFails)
{
    WriteNumberedLanguageFile();
    WriteSettings("COM=5\r\n");
    frame.FormShow();
    view.onShowPortDialog = [] { throw kalvo::KalvoError("Dialog failed"); };
    frame.MenuClick(kalvo::MenuCommand::COMPort1);

    EXPECT_EQ(view.errorBoxes, std::vector<std::string>{"Dialog failed."});
    EXPECT_FALSE(serial.Port(5).open);  // closed for the dialog; ClosePort left no port to reopen
    EXPECT_EQ(view.panels[0], "No Com-Port");
    EXPECT_TRUE(view.timerOn);
}

TEST_F(MainFrmTest, UnwritableSettingsSkipTheRestOfShutdown)
{
    WriteNumberedLanguageFile();
    std::filesystem::create_directory(files.settingsFile);  // a folder where the file should be
    frame.FormShow();
    view.onShowPortDialog = [] { uGlobal::PortNumber = 5; };
    frame.COMPort1Click();
    ASSERT_TRUE(serial.Port(5).open);

    frame.Quit1Click();

    EXPECT_EQ(view.errorBoxes, std::vector<std::string>{"Unable to write to " + files.settingsFile + "."});
    EXPECT_TRUE(view.closed);
    EXPECT_TRUE(serial.Port(5).open);  // the port is not closed after the failed write
}

TEST(ProgramFiles, LanguageFileLiesBesideTheExecutable)
{
    const struct {
        const char* executable;
        const char* languageFile;
    } cases[] = {
        {"/opt/kalvo/kalvo", "/opt/kalvo/MY.LNG"},
        {"/kalvo", "/MY.LNG"},
        {"kalvo", "MY.LNG"},
        {"/opt/kalvo.d/kalvo.bin", "/opt/kalvo.d/MY.LNG"},
    };
    for (const auto& c : cases) {
        const kalvo::ProgramFiles files = kalvo::ProgramFilesFor(c.executable);
        EXPECT_EQ(files.languageFile, c.languageFile) << c.executable;
        EXPECT_EQ(files.settingsFile, kalvo::SettingsPathFor(c.executable)) << c.executable;
    }
}

}  // namespace
