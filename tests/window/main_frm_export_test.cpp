// The export of the report and the error records, against a recording view: gathering into
// Memo10, the clipboard text, Save As with its errors, and printing with its errors.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include "testing/FullDiskPosix.h"
#endif
#include "testing/ProgramState.h"
#include "testing/RecordingView.h"
#include "testing/TempDir.h"
#include "window/uMainFrm.h"

namespace {

namespace fs = std::filesystem;

using Lines = std::vector<std::string>;
using kalvo::test::ReadFileBytes;
using kalvo::test::WriteFileBytes;

std::string Repeat(const std::string& piece, int times)
{
    std::string text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

std::vector<std::string> FolderEntries(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

class ExportTest : public ::testing::Test {
protected:
    ExportTest() { frame.ClearReadings(); }

    void Fill(int memo, const Lines& lines) { view.SetMemoLines(memo, lines); }
    // What the save dialog answers next; without an answer the user cancels.
    void Answer(const std::string& fileName) { view.saveAnswers.push_back(fileName); }

    kalvo::test::TempDir dir;
    kalvo::test::ProgramStateGuard state;
    kalvo::test::RecordingView view;
    TMainFrm frame{view.Face(), {dir.file("MY.LNG"), dir.file("kalvo.ini")}};
};

TEST_F(ExportTest, NineEmptyBoxesGiveNineLineEndsEverywhere)
{
    Answer(dir.file("empty.txt"));
    view.clipboard = "held before";

    frame.BitBtn1Click();
    frame.BitBtn3Click();

    const std::string nineLineEnds = Repeat("\r\n", 9);
    EXPECT_TRUE(view.errorBoxes.empty());
    EXPECT_EQ(view.clipboard, nineLineEnds);
    EXPECT_EQ(ReadFileBytes(dir.file("empty.txt")), nineLineEnds);
    EXPECT_EQ(view.memos.at(10), Lines(9, ""));
}

TEST_F(ExportTest, EveryBoxInOrderFollowedByOneEmptyLine)
{
    Fill(1, {"Report A", "Report B"});
    Fill(2, {"Error 1 heading"});  // a record that shows only its heading
    Fill(4, {"Error 3 first", "", "Error 3 after an empty line"});
    Fill(10, {"left from the last export"});

    frame.BitBtn1Click();

    EXPECT_EQ(view.memos.at(10),
        (Lines{"Report A", "Report B", "", "Error 1 heading", "", "", "Error 3 first", "",
            "Error 3 after an empty line", "", "", "", "", "", ""}));
    EXPECT_EQ(view.clipboard,
        "Report A\r\nReport B\r\n\r\nError 1 heading\r\n\r\n\r\nError 3 first\r\n\r\n"
        "Error 3 after an empty line\r\n"
            + Repeat("\r\n", 6));
    EXPECT_EQ(view.memos.at(1), (Lines{"Report A", "Report B"}));  // the boxes themselves stay
}

TEST_F(ExportTest, SavedFileAndClipboardHoldTheSameBytesIncludingNulAndHighBytes)
{
    std::string everyByte;
    for (int byte = 0; byte <= 0xFF; ++byte)
        everyByte.push_back(static_cast<char>(byte));
    Fill(1, {everyByte});
    Fill(9, {"\x80\x81\x8D\x8F\x90\x9D\xA0\xFF"});
    Answer(dir.file("bytes.txt"));

    frame.BitBtn1Click();
    frame.BitBtn3Click();

    const std::string expected = everyByte + "\r\n" + Repeat("\r\n", 8) + "\x80\x81\x8D\x8F\x90\x9D\xA0\xFF\r\n\r\n";
    EXPECT_TRUE(view.errorBoxes.empty());
    EXPECT_EQ(ReadFileBytes(dir.file("bytes.txt")), expected);
    EXPECT_EQ(view.clipboard, expected);
}

TEST_F(ExportTest, CancelledSaveGathersNothingAndWritesNothing)
{
    const std::string existing = dir.file("kept.txt");
    WriteFileBytes(existing, "earlier export\r\n");
    Fill(1, {"new report"});
    Fill(10, {"left from the last export"});

    frame.BitBtn3Click();

    EXPECT_TRUE(view.errorBoxes.empty());
    EXPECT_EQ(ReadFileBytes(existing), "earlier export\r\n");
    EXPECT_EQ(view.memos.at(10), Lines{"left from the last export"});
}

TEST_F(ExportTest, SaveReplacesAnExistingFileWithoutLeavingItsTail)
{
    const std::string target = dir.file("report.txt");
    WriteFileBytes(target, Repeat("a much longer earlier export\r\n", 100));
    Fill(1, {"short"});
    Answer(target);

    frame.BitBtn3Click();

    EXPECT_TRUE(view.errorBoxes.empty());
    EXPECT_EQ(ReadFileBytes(target), "short\r\n" + Repeat("\r\n", 9));
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"report.txt"});
}

// The tests run as root, whom a write-protected folder does not stop; a folder that does not exist
// and a name taken by a folder make the file just as impossible to create. A pipe is no plain file
// and is not replaced either.
TEST_F(ExportTest, FileThatCannotBeCreatedIsReportedAndNothingIsWritten)
{
    const std::string folderInTheWay = dir.file("taken");
    fs::create_directory(folderInTheWay);
    WriteFileBytes(folderInTheWay + "/inside.txt", "kept");
    std::vector<std::string> targets{dir.file("missing/report.txt"), folderInTheWay};
#ifndef _WIN32
    const std::string pipe = dir.file("pipe.txt");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    targets.push_back(pipe);
#endif
    for (const std::string& target : targets) {
        view.errorBoxes.clear();
        Answer(target);
        frame.BitBtn3Click();
        EXPECT_EQ(view.errorBoxes, std::vector<std::string>{"Cannot create file " + target + "."});
    }
    EXPECT_FALSE(fs::exists(dir.file("missing")));
    EXPECT_EQ(ReadFileBytes(folderInTheWay + "/inside.txt"), "kept");
#ifndef _WIN32
    EXPECT_TRUE(fs::is_fifo(pipe));
#endif
}

#ifndef _WIN32
// Saves small and large texts over an earlier file and under a new name on a full file system;
// returns what went wrong with each save, empty when nothing did.
std::string SaveEachOnAFullDisk(const std::string& folder)
{
    const struct {
        const char* name;
        std::size_t size;
        bool overEarlier;
    } cases[] = {{"small over earlier", 8 * 1024, true},
                 {"large over earlier", 64 * 1024, true},
                 {"small new", 8 * 1024, false},
                 {"large new", 64 * 1024, false}};
    const std::string earlierFile = folder + "/report.txt";
    const std::vector<std::string> entriesBefore = FolderEntries(folder);
    std::string faults;
    for (const auto& c : cases) {
        const std::string target = c.overEarlier ? earlierFile : folder + "/new.txt";
        kalvo::test::RecordingView view;
        TMainFrm frame(view.Face(), {folder + "/MY.LNG", folder + "/kalvo.ini"});
        view.SetMemoLines(1, {std::string(c.size, 'x')});
        view.saveAnswers.push_back(target);
        frame.BitBtn3Click();
        if (view.errorBoxes != Lines{"Cannot create file " + target + "."})
            faults += std::string(c.name) + ": " + (view.errorBoxes.empty() ? "no error" : view.errorBoxes[0]) + "; ";
        if (ReadFileBytes(earlierFile) != "earlier export\r\n")
            faults += std::string(c.name) + ": earlier file changed; ";
        if (FolderEntries(folder) != entriesBefore)
            faults += std::string(c.name) + ": files added or removed; ";
    }
    return faults;
}

TEST(SaveAs, FullDiskNamesTheFileKeepsTheEarlierOneAndLeavesNoNewFile)
{
    const kalvo::test::FullDiskRun run = kalvo::test::RunOnFullDisk(
        [](const std::string& folder) { WriteFileBytes(folder + "/report.txt", "earlier export\r\n"); },
        SaveEachOnAFullDisk);
    EXPECT_EQ(run.failures, "") << (run.onTmpfs ? "on a full tmpfs" : "under a file-size limit");
}
#endif

TEST_F(ExportTest, SaveAsksForATextFileAndOffersThePreviousChoiceAgain)
{
    Answer(dir.file("first.txt"));
    frame.BitBtn3Click();
    frame.BitBtn3Click();  // cancelled

    ASSERT_EQ(view.saveQuestions.size(), 2u);
    EXPECT_EQ(view.saveQuestions[0].filter, "Text (*.txt)|*.txt");
    EXPECT_EQ(view.saveQuestions[0].defaultExtension, "txt");
    EXPECT_EQ(view.saveQuestions[0].initialFileName, "");
    EXPECT_EQ(view.saveQuestions[1].initialFileName, dir.file("first.txt"));
}

TEST_F(ExportTest, PrintShowsTheHeaderThenTheIndentedExportOnTheCurrentPrinter)
{
    Fill(1, {"report"});
    frame.BitBtn2Click();

    EXPECT_TRUE(view.errorBoxes.empty());
    EXPECT_EQ(view.printDocumentNames, Lines{""});
    ASSERT_EQ(view.printedPages.size(), 1u);
    const auto& page = view.printedPages[0];
    ASSERT_EQ(page.size(), 12u);  // header, empty line, report line, nine separators and empty boxes
    EXPECT_EQ(page[0].text, "        Ombrel Kalvo 09.03.2024  07:05:03");
    EXPECT_EQ(page[1].text, "");
    EXPECT_EQ(page[2].text, "        report");
    EXPECT_EQ(page[3].text, "        ");
    EXPECT_EQ(page[11].top, 11);
    EXPECT_EQ(view.endedJobs, 1);
    EXPECT_EQ(view.openJobs, 0);
}

TEST_F(ExportTest, PrintWithoutAUsablePrinterIsReportedAfterGathering)
{
    const struct {
        kalvo::PrintJobStatus status;
        const char* error;
    } cases[] = {{kalvo::PrintJobStatus::NoDefaultPrinter, "There is no default printer currently selected."},
        {kalvo::PrintJobStatus::PrinterNotValid, "Printer selected is not valid."}};
    for (const auto& c : cases) {
        view.errorBoxes.clear();
        view.printerStatus = c.status;
        Fill(1, {"report"});
        Fill(10, {});
        frame.BitBtn2Click();

        EXPECT_EQ(view.errorBoxes, Lines{c.error});
        EXPECT_EQ(view.memos.at(10).front(), "report");
        EXPECT_EQ(view.endedJobs, 0);  // no job was opened, so none is ended
    }
}

// A click handled while a page spools asks for a second job: it is refused and the first goes on.
TEST_F(ExportTest, SecondJobWhileOneIsOpenIsRefusedAndTheFirstFinishes)
{
    Fill(1, Lines(150, "line"));
    view.onNewPrintPage = [this] {
        view.onNewPrintPage = nullptr;
        frame.BitBtn2Click();
    };
    frame.BitBtn2Click();

    EXPECT_EQ(view.errorBoxes, Lines{"Printing in progress."});
    EXPECT_EQ(view.endedJobs, 1);
    std::size_t printed = 0;
    for (const auto& page : view.printedPages)
        printed += page.size();
    EXPECT_EQ(printed, 2u + 150u + 9u);

    // Once the first job has ended, printing works again.
    view.errorBoxes.clear();
    frame.BitBtn2Click();
    EXPECT_TRUE(view.errorBoxes.empty());
    EXPECT_EQ(view.endedJobs, 2);
}

}  // namespace
