#include <gtest/gtest.h>

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPrinterInfo>
#include <QTimer>

#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sched.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "KalvoError.h"
#include "ReportExport.h"
#include "TMemo.h"
#include "TempDir.h"
#include "TextCodec.h"
#include "uMainFrm.h"

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

std::string ClipboardBytes()
{
    return kalvo::QStringToAnsi(QGuiApplication::clipboard()->text());
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
    void SetUp() override
    {
        // No poll may refill the boxes under a test.
        frame.Timer1->stop();
        frame.SetErrorReporter([this](const std::string& message) { errors.push_back(message); });
        frame.SetSaveFileChooser([this] { return chosenFile; });
        frame.ClearReadings();
    }

    void Fill(TMemo* memo, const Lines& lines)
    {
        memo->Clear();
        for (const std::string& line : lines)
            memo->AddLine(line);
    }

    kalvo::test::TempDir dir;
    TMainFrm frame{kalvo::ProgramFiles{dir.file("MY.LNG"), dir.file("kalvo.ini")}};
    std::vector<std::string> errors;
    QString chosenFile;  // what the save dialog answers; empty for cancel
};

TEST_F(ExportTest, NineEmptyBoxesGiveNineLineEndsEverywhere)
{
    chosenFile = QString::fromStdString(dir.file("empty.txt"));
    QGuiApplication::clipboard()->setText(QStringLiteral("held before"));

    frame.BitBtn1Click();
    frame.BitBtn3Click();

    const std::string nineLineEnds = Repeat("\r\n", 9);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(ClipboardBytes(), nineLineEnds);
    EXPECT_EQ(ReadFileBytes(dir.file("empty.txt")), nineLineEnds);
    EXPECT_EQ(frame.Memo10->Lines(), Lines(9, ""));
}

TEST_F(ExportTest, EveryBoxInOrderFollowedByOneEmptyLine)
{
    Fill(frame.Memo1, {"Report A", "Report B"});
    Fill(frame.Memo2, {"Error 1 heading"});  // a record that shows only its heading
    Fill(frame.Memo4, {"Error 3 first", "", "Error 3 after an empty line"});
    Fill(frame.Memo10, {"left from the last export"});

    frame.BitBtn1Click();

    EXPECT_EQ(frame.Memo10->Lines(), (Lines{"Report A", "Report B", "", "Error 1 heading", "", "", "Error 3 first", "",
                                            "Error 3 after an empty line", "", "", "", "", "", ""}));
    EXPECT_EQ(ClipboardBytes(), "Report A\r\nReport B\r\n\r\nError 1 heading\r\n\r\n\r\nError 3 first\r\n\r\n"
                                "Error 3 after an empty line\r\n" +
                                    Repeat("\r\n", 6));
    EXPECT_EQ(frame.Memo1->Lines(), (Lines{"Report A", "Report B"}));  // the boxes themselves stay
}

TEST_F(ExportTest, SavedFileAndClipboardHoldTheSameBytesIncludingNulAndHighBytes)
{
    std::string everyByte;
    for (int byte = 0; byte <= 0xFF; ++byte)
        everyByte.push_back(static_cast<char>(byte));
    Fill(frame.Memo1, {everyByte});
    Fill(frame.Memo9, {"\x80\x81\x8D\x8F\x90\x9D\xA0\xFF"});
    chosenFile = QString::fromStdString(dir.file("bytes.txt"));

    frame.BitBtn1Click();
    frame.BitBtn3Click();

    const std::string expected = everyByte + "\r\n" + Repeat("\r\n", 8) + "\x80\x81\x8D\x8F\x90\x9D\xA0\xFF\r\n\r\n";
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(ReadFileBytes(dir.file("bytes.txt")), expected);
    EXPECT_EQ(ClipboardBytes(), expected);
}

TEST_F(ExportTest, CancelledSaveGathersNothingAndWritesNothing)
{
    const std::string existing = dir.file("kept.txt");
    WriteFileBytes(existing, "earlier export\r\n");
    Fill(frame.Memo1, {"new report"});
    Fill(frame.Memo10, {"left from the last export"});
    chosenFile.clear();

    frame.BitBtn3Click();

    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(ReadFileBytes(existing), "earlier export\r\n");
    EXPECT_EQ(frame.Memo10->Lines(), Lines{"left from the last export"});
}

TEST_F(ExportTest, SaveReplacesAnExistingFileWithoutLeavingItsTail)
{
    const std::string target = dir.file("report.txt");
    WriteFileBytes(target, Repeat("a much longer earlier export\r\n", 100));
    Fill(frame.Memo1, {"short"});
    chosenFile = QString::fromStdString(target);

    frame.BitBtn3Click();

    EXPECT_TRUE(errors.empty());
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
    const std::string pipe = dir.file("pipe.txt");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& target : {dir.file("missing/report.txt"), folderInTheWay, pipe}) {
        errors.clear();
        chosenFile = QString::fromStdString(target);
        frame.BitBtn3Click();
        EXPECT_EQ(errors, std::vector<std::string>{"Cannot create file " + target});
    }
    EXPECT_FALSE(fs::exists(dir.file("missing")));
    EXPECT_EQ(ReadFileBytes(folderInTheWay + "/inside.txt"), "kept");
    EXPECT_TRUE(fs::is_fifo(pipe));
}

// Makes the folder a file system with no space left. Where this process may mount, a small tmpfs goes
// there in a mount namespace of its own (gone with the process); the earlier file is written, then a
// filler takes every free block. Elsewhere a file size limit below the saved texts makes their writes
// fail as a full disk would (stderr, which the test reads, stays within it). Returns what stands in
// for the full disk.
std::string FillUpWith(const fs::path& folder, const std::string& earlierFile, const std::string& earlier)
{
    fs::create_directory(folder);
    const bool tmpfs = unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                       mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") == 0;
    WriteFileBytes(earlierFile, earlier);
    if (tmpfs) {
        std::FILE* filler = std::fopen((folder / "filler").c_str(), "wb");
        while (filler && std::fputc('f', filler) != EOF && std::fflush(filler) == 0) {
        }
        if (filler)
            std::fclose(filler);
        return "full tmpfs";
    }
    const rlimit smallFiles{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &smallFiles);
    std::signal(SIGXFSZ, SIG_IGN);
    return "file size limit";
}

// Saves small and large texts over an earlier file and under a new name on a full file system. Returns
// what went wrong with each save, empty when nothing did, and names the stand-in for the full disk.
std::string SaveEachOnAFullDisk(std::string& fullDisk)
{
    struct Case {
        const char* name;
        std::size_t size;  // the small text stays in Qt's 16 KB write buffer until it is flushed
        bool overEarlier;
    };
    const Case cases[] = {{"small over earlier", 8 * 1024, true},
                          {"large over earlier", 64 * 1024, true},
                          {"small new", 8 * 1024, false},
                          {"large new", 64 * 1024, false}};
    kalvo::test::TempDir dir;
    const fs::path disk = dir.path() / "disk";
    const std::string earlierFile = (disk / "report.txt").string();
    const std::string earlier = "earlier export\r\n";
    fullDisk = FillUpWith(disk, earlierFile, earlier);
    const std::vector<std::string> entriesBefore = FolderEntries(disk);
    std::string faults;
    for (const Case& c : cases) {
        const std::string target = c.overEarlier ? earlierFile : (disk / "new.txt").string();
        std::string error = "no error";
        try {
            kalvo::SaveExportText(QString::fromStdString(target), std::string(c.size, 'x'));
        } catch (const kalvo::KalvoError& raised) {
            error = raised.what();
        }
        if (error != "Cannot create file " + target)
            faults += std::string(c.name) + ": " + error + "; ";
        if (ReadFileBytes(earlierFile) != earlier)
            faults += std::string(c.name) + ": earlier file changed; ";
        if (FolderEntries(disk) != entriesBefore)
            faults += std::string(c.name) + ": files added or removed; ";
    }
    umount2(disk.c_str(), MNT_DETACH);  // fails harmlessly where the size limit stood in
    return faults;
}

// Runs in a child process of its own, which alone sees the mount or the size limit.
[[noreturn]] void SaveOnAFullDiskAndReport()
{
    std::string fullDisk;
    const std::string faults = SaveEachOnAFullDisk(fullDisk);
    std::fprintf(stderr, "on a %s: %s\n", fullDisk.c_str(), faults.empty() ? "every save refused" : faults.c_str());
    std::_Exit(0);
}

// A text small enough for Qt's write buffer fails only when the file is committed: the empty new
// file must not take the name of the earlier one then.
TEST(SaveExportText, FullDiskNamesTheFileKeepsTheEarlierOneAndLeavesNoNewFile)
{
    // A child started afresh, so that no thread of this process can be caught in the fork.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(SaveOnAFullDiskAndReport(), testing::ExitedWithCode(0),
                "on a (full tmpfs|file size limit): every save refused\n$");
}

TEST_F(ExportTest, PrintWithoutAPrinterIsReportedAfterGathering)
{
    Fill(frame.Memo1, {"report"});
    frame.SetPrinterLookup([] { return QPrinterInfo(); });

    frame.BitBtn2Click();

    EXPECT_EQ(errors, std::vector<std::string>{"There is no default printer currently selected"});
    EXPECT_EQ(frame.Memo10->Lines().front(), "report");
}

// Drives the save dialog from inside its modal loop.
class SaveDialogTest : public ::testing::Test {
protected:
    SaveDialogTest()
    {
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setDirectory(QString::fromStdString(dir.path().string()));
    }

    // Runs the dialog, handing it to the user's action once it shows; returns what it chose.
    QString Execute(const std::function<void(kalvo::TSaveDialog&)>& userAction)
    {
        QTimer::singleShot(0, &dialog, [this, userAction] { userAction(dialog); });
        return dialog.Execute();
    }

    static QLineEdit* NameEdit(kalvo::TSaveDialog& shown)
    {
        return shown.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    }

    // What the dialog's save button does; QFileDialog's own accept is public only through QDialog.
    static void PressSave(QDialog& shown) { shown.accept(); }

    kalvo::test::TempDir dir;
    kalvo::TSaveDialog dialog{nullptr};
};

TEST_F(SaveDialogTest, AddsTheExtensionAndOffersThePreviousChoiceAgain)
{
    const QString expected = QDir(QString::fromStdString(dir.path().string())).filePath(QStringLiteral("report.txt"));

    const QString first = Execute([](kalvo::TSaveDialog& shown) {
        NameEdit(shown)->setText(QStringLiteral("report"));
        PressSave(shown);
    });
    QString offered;
    const QString second = Execute([&offered](kalvo::TSaveDialog& shown) {
        offered = NameEdit(shown)->text();
        PressSave(shown);
    });
    const QString cancelled = Execute([](kalvo::TSaveDialog& shown) { shown.reject(); });

    EXPECT_EQ(first, expected);
    EXPECT_EQ(offered, QStringLiteral("report.txt"));
    EXPECT_EQ(second, expected);
    EXPECT_TRUE(cancelled.isEmpty());
}

}  // namespace
