#include <gtest/gtest.h>

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPrinterInfo>
#include <QTimer>

#include <sys/resource.h>
#include <sys/stat.h>

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

// Saves over an earlier file under a file size limit, which makes the write fail part way as a full
// disk would, and reports on stderr what it found. Runs in a child process of its own.
[[noreturn]] void SaveUnderASizeLimitAndReport()
{
    std::string verdict = "no error";
    {
        kalvo::test::TempDir dir;
        const std::string target = dir.file("report.txt");
        WriteFileBytes(target, "earlier export\r\n");
        const rlimit smallFiles{1024, 1024};
        setrlimit(RLIMIT_FSIZE, &smallFiles);
        std::signal(SIGXFSZ, SIG_IGN);
        try {
            kalvo::SaveExportText(QString::fromStdString(target), std::string(64 * 1024, 'x'));
        } catch (const kalvo::KalvoError& error) {
            verdict = error.what();
        }
        const bool whole = ReadFileBytes(target) == "earlier export\r\n" &&
                           FolderEntries(dir.path()) == std::vector<std::string>{"report.txt"};
        verdict += whole ? ", earlier file whole" : ", earlier file damaged";
    }
    std::fprintf(stderr, "%s\n", verdict.c_str());
    std::_Exit(0);
}

TEST(SaveExportText, FailingWriteLeavesTheEarlierFileWhole)
{
    // A child started afresh, so that no thread of this process can be caught in the fork.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(SaveUnderASizeLimitAndReport(), testing::ExitedWithCode(0), "Stream write error, earlier file whole");
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
