// What only the Qt face does for the export: the clipboard in Windows-1252, the save dialog, and
// finding no printer. The export's behaviour is tested against the recording view.

#include <gtest/gtest.h>

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "testing/ProgramState.h"
#include "testing/TempDir.h"
#include "ui/qt/QtMainWindow.h"
#include "ui/qt/QtMemo.h"
#include "ui/qt/QtPrinter.h"
#include "ui/qt/QtSaveDialog.h"
#include "ui/qt/TextCodec.h"

namespace {

std::string ClipboardBytes()
{
    return kalvo::QStringToAnsi(QGuiApplication::clipboard()->text());
}

class ExportTest : public ::testing::Test {
protected:
    ExportTest()
    {
        // No poll may refill the boxes under a test.
        frame.Timer1->stop();
        frame.SetErrorBox([this](const std::string& message) { errors.push_back(message); });
        frame.MainFrm().ClearReadings();
    }

    kalvo::test::TempDir dir;
    kalvo::test::ProgramStateGuard state;
    QtMainWindow frame{kalvo::ProgramFiles{dir.file("MY.LNG"), dir.file("kalvo.ini")}};
    std::vector<std::string> errors;
};

TEST_F(ExportTest, ClipboardHoldsEveryByteOfTheBoxesIncludingNulAndHighBytes)
{
    std::string everyByte;
    for (int byte = 0; byte <= 0xFF; ++byte)
        everyByte.push_back(static_cast<char>(byte));
    frame.Memo1->SetLines({everyByte});
    frame.Memo9->SetLines({"\x80\x81\x8D\x8F\x90\x9D\xA0\xFF"});

    frame.BitBtn1->click();

    std::string expected = everyByte + "\r\n";
    for (int i = 0; i < 8; ++i)
        expected += "\r\n";
    expected += "\x80\x81\x8D\x8F\x90\x9D\xA0\xFF\r\n\r\n";
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(ClipboardBytes(), expected);
    EXPECT_EQ(frame.Memo10->Lines().front(), everyByte);
}

TEST_F(ExportTest, PrintWithoutAPrinterIsReportedAfterGathering)
{
    frame.Memo1->SetLines({"report"});
    frame.SetPrintDeviceSource([](const std::string& name) { return PrinterDevice(QPrinterInfo(), name); });

    frame.BitBtn2->click();

    EXPECT_EQ(errors, std::vector<std::string>{"There is no default printer currently selected."});
    EXPECT_EQ(frame.Memo10->Lines().front(), "report");
}

TEST(QtNameFilters, EachDescriptionShowsItsPatternsOnce)
{
    EXPECT_EQ(QtNameFilters("Text (*.txt)|*.txt"), QStringList{QStringLiteral("Text (*.txt)")});
    EXPECT_EQ(QtNameFilters("Reports|*.txt;*.log|All|*"),
              (QStringList{QStringLiteral("Reports (*.txt *.log)"), QStringLiteral("All (*)")}));
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
    std::optional<QString> Execute(const std::string& initialFile, const std::function<void(QtSaveDialog&)>& userAction)
    {
        QTimer::singleShot(0, &dialog, [this, userAction] { userAction(dialog); });
        return dialog.Execute({"Text (*.txt)|*.txt", "txt", initialFile});
    }

    static QLineEdit* NameEdit(QtSaveDialog& shown) { return shown.findChild<QLineEdit*>(QStringLiteral("fileNameEdit")); }

    // What the dialog's save button does; QFileDialog's own accept is public only through QDialog.
    static void PressSave(QDialog& shown) { shown.accept(); }

    kalvo::test::TempDir dir;
    QtSaveDialog dialog{nullptr};
};

TEST_F(SaveDialogTest, AddsTheExtensionAndOffersTheInitialFile)
{
    const QString expected = QDir(QString::fromStdString(dir.path().string())).filePath(QStringLiteral("report.txt"));

    const auto first = Execute({}, [](QtSaveDialog& shown) {
        NameEdit(shown)->setText(QStringLiteral("report"));
        PressSave(shown);
    });
    QString offered;
    const auto second = Execute(expected.toStdString(), [&offered](QtSaveDialog& shown) {
        offered = NameEdit(shown)->text();
        PressSave(shown);
    });
    const auto cancelled = Execute({}, [](QtSaveDialog& shown) { shown.reject(); });

    EXPECT_EQ(first, expected);
    EXPECT_EQ(offered, QStringLiteral("report.txt"));
    EXPECT_EQ(second, expected);
    EXPECT_FALSE(cancelled);
    EXPECT_EQ(dialog.nameFilters(), QStringList{QStringLiteral("Text (*.txt)")});
}

}  // namespace
