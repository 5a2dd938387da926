#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QEventLoop>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
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
#include "testing/TempDir.h"
#include "tests/ui/QtWaitFor.h"
#include "tools/unitsim/BurnerModel.h"
#include "tools/unitsim/Wire.h"
#include "ui/qt/QtControls.h"
#include "ui/qt/QtMainWindow.h"
#include "ui/qt/QtMemo.h"
#include "ui/qt/QtPicture.h"
#include "ui/qt/QtStatusBar.h"
#include "ui/qt/TerminationSignals.h"
#include "ui/qt/TextCodec.h"
#include "window/FormLayout.h"

namespace {

using kalvo::test::AnswerEveryRequest;

using kalvo::test::WaitFor;

using kalvo::test::Line;
using namespace std::chrono_literals;


std::vector<std::string> MemoLines(const QtMainWindow& window, int n)
{
    return window.findChild<QtMemo*>(QStringLiteral("Memo%1").arg(n))->Lines();
}

std::vector<QtPicture*> ComponentImages(const QtMainWindow& window)
{
    return {window.ImageMotor,   window.ImageVentil1, window.ImageVentil2,
            window.ImageHeizung, window.ImageFlamme,  window.ImageTrafo};
}

std::vector<QLabel*> ValueLabels(const QtMainWindow& window)
{
    return {window.Label2, window.Label3, window.Label4, window.Label5, window.Label6};
}

// Answers every error box that opens with its OK button, remembering what it showed.
class ErrorBoxAnswerer {
public:
    struct ShownBox {
        QString title;
        QString text;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
    };

    ErrorBoxAnswerer()
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] { AnswerShownBoxes(); });
        timer_.start(10);
    }

    std::vector<ShownBox> boxes;

private:
    void AnswerShownBoxes()
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box && box->isVisible()) {
                boxes.push_back({box->windowTitle(), box->text(), box->icon(), box->standardButtons()});
                box->button(QMessageBox::Ok)->click();
            }
        }
    }

    QTimer timer_;
};

class MainWindowTest : public ::testing::Test, protected kalvo::test::ProgramFolder {
protected:
    void SetUp() override
    {
        state.emplace(&serial);
    }

    void TearDown() override
    {
        window.reset();
        state.reset();
    }

    // Builds the window without showing it, so start-up has not run.
    QtMainWindow& Build()
    {
        window = std::make_unique<QtMainWindow>(files);
        window->SetErrorBox([this](const std::string& message) { errors.push_back(message); });
        return *window;
    }

    QtMainWindow& Start()
    {
        Build().show();
        return *window;
    }

    void ExpectInitialContents() const
    {
        for (QLabel* label : ValueLabels(*window))
            EXPECT_EQ(label->text(), label->objectName());
        for (int n = 1; n <= 9; ++n)
            EXPECT_EQ(MemoLines(*window, n), std::vector<std::string>{"Memo" + std::to_string(n)});
        for (int tab = 0; tab < 8; ++tab)
            EXPECT_EQ(window->PageControl2->tabText(tab), QStringLiteral("TabSheet%1").arg(tab + 3));
        EXPECT_EQ(window->PageControl2->currentWidget(), window->TabSheet9);
        EXPECT_FALSE(window->Memo10->isHidden());
        EXPECT_TRUE(window->Memo10->Lines().empty());
        EXPECT_EQ(window->CheckListBox1->count(), 0);
        for (QtPicture* image : ComponentImages(*window))
            EXPECT_FALSE(image->isHidden()) << image->objectName().toStdString();
        EXPECT_EQ(window->StatusBar1->PanelText(0), QString());
        EXPECT_EQ(window->StatusBar1->PanelText(1), QString());
    }

    kalvo::FakeSerialSystem serial;
    std::optional<kalvo::test::ProgramStateGuard> state;
    std::vector<std::string> errors;
    std::unique_ptr<QtMainWindow> window;
};

TEST_F(MainWindowTest, BuiltWindowShowsItsInitialContents)
{
    QtMainWindow& frame = Build();
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Kalvo V2.03"));
    EXPECT_TRUE(frame.Timer1->isActive());
    EXPECT_EQ(frame.Timer1->interval(), 2000);
    ExpectInitialContents();
}

TEST_F(MainWindowTest, StartUpWithoutSettingsRunsWithoutAPort)
{
    WriteNumberedLanguageFile();
    QtMainWindow& frame = Start();

    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(uGlobal::PortNumber, uGlobal::NoPort);
    EXPECT_TRUE(serial.OpenAttempts().empty());
    EXPECT_FALSE(frame.Timer1->isActive());
    EXPECT_EQ(frame.PageControl1->currentWidget(), frame.TabSheet1);
    EXPECT_EQ(frame.PageControl2->currentWidget(), frame.TabSheet3);
    EXPECT_EQ(frame.StatusBar1->PanelText(0), QString());
    EXPECT_TRUE(frame.Memo10->isHidden());
    for (int n = 1; n <= 9; ++n)
        EXPECT_TRUE(MemoLines(frame, n).empty()) << "Memo" << n;
    for (QLabel* label : ValueLabels(frame))
        EXPECT_TRUE(label->text().isEmpty()) << label->objectName().toStdString();
    for (QtPicture* image : ComponentImages(frame))
        EXPECT_TRUE(image->isHidden()) << image->objectName().toStdString();
    for (int tab = 0; tab < 8; ++tab)
        EXPECT_EQ(frame.PageControl2->tabText(tab), QStringLiteral("Error %1").arg(tab + 1));
    // All eight side by side, none behind a scroll arrow.
    EXPECT_LE(frame.PageControl2->tabBar()->tabRect(7).right(), frame.PageControl2->width());

    ASSERT_EQ(frame.CheckListBox1->count(), 10);
    EXPECT_FALSE(frame.CheckListBox1->isEnabled());
    for (int k = 0; k < 10; ++k) {
        EXPECT_EQ(frame.CheckListBox1->item(k)->text(), QString::fromStdString(Line(k + 2)));
        EXPECT_EQ(frame.CheckListBox1->item(k)->checkState(), Qt::Unchecked);
    }

    frame.close();
    EXPECT_EQ(StoredSetting("COM"), uGlobal::NoPort);
    EXPECT_EQ(StoredSetting("Panel"), 1);
}

TEST_F(MainWindowTest, StoredPortThatExistsIsOpenedAndPolled)
{
    WriteNumberedLanguageFile();
    WriteSettings("COM=5\r\n");
    QtMainWindow& frame = Start();

    EXPECT_EQ(serial.OpenAttempts(), (std::vector<int>{5, 5}));  // the check, then the open for good
    EXPECT_TRUE(serial.Port(5).open);
    EXPECT_EQ(serial.Port(5).configures, 1);
    EXPECT_EQ(frame.StatusBar1->PanelText(0), QStringLiteral("  COM5"));
    EXPECT_TRUE(frame.Timer1->isActive());

    // The timer drives the first poll by itself.
    ASSERT_TRUE(WaitFor([&] { return serial.Writes().size() == 3; }));
    EXPECT_TRUE(WaitFor([&] { return frame.Timer1->isActive(); }));

    frame.close();
    EXPECT_EQ(StoredSetting("COM"), 5);
    EXPECT_FALSE(serial.Port(5).open);
}

TEST_F(MainWindowTest, MissingLanguageFileStopsStartUpInTheErrorBox)
{
    WriteSettings("COM=5\r\n");
    window = std::make_unique<QtMainWindow>(files);  // the program's own error box
    const ErrorBoxAnswerer answerer;
    window->show();

    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(answerer.boxes[0].text, QStringLiteral("File not found."));
    EXPECT_EQ(answerer.boxes[0].title, QStringLiteral("Kalvo"));
    EXPECT_EQ(answerer.boxes[0].icon, QMessageBox::Critical);
    EXPECT_EQ(answerer.boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    ExpectInitialContents();
    EXPECT_TRUE(window->Timer1->isActive());
    EXPECT_TRUE(serial.OpenAttempts().empty());  // no settings were read

    // Polling runs without a port; the empty check list has no marks to set and raises nothing.
    window->MainFrm().Timer1Timer();
    EXPECT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(window->CheckListBox1->count(), 0);
    EXPECT_TRUE(window->Timer1->isActive());
}

TEST_F(MainWindowTest, PollShowsTheReadingsEverywhere)
{
    WriteNumberedLanguageFile();
    WriteSettings("COM=5\r\n");
    AnswerEveryRequest(serial);
    QtMainWindow& frame = Start();
    frame.MainFrm().Timer1Timer();

    ASSERT_TRUE(errors.empty());
    EXPECT_EQ(serial.Writes().size(), 3u);
    EXPECT_EQ(frame.StatusBar1->PanelText(1), QString());

    const std::vector<std::string> report = MemoLines(frame, 1);
    ASSERT_FALSE(report.empty());
    EXPECT_EQ(report[0], Line(36) + " " + std::string("ab\0\xA0\xFFzq", 7) + std::string(8, '\0'));
    EXPECT_EQ(report, kalvo::ReportLines(uGlobal::ReadingTexts, uGlobal::LanguageTable));

    EXPECT_EQ(MemoLines(frame, 2), std::vector<std::string>{Line(30) + " 1"});
    for (int n = 2; n <= 8; ++n)
        EXPECT_EQ(MemoLines(frame, n + 1),
                  kalvo::ErrorRecordLines(uGlobal::ErrorHistoryBlock, 16 * (n - 1), n, uGlobal::LanguageTable));
    EXPECT_EQ(MemoLines(frame, 9).front(), Line(30) + " 8");

    const bool expectedFlags[10] = {false, true, true, false, false, true, true, false, true, false};
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(frame.CheckListBox1->item(k)->checkState(), expectedFlags[k] ? Qt::Checked : Qt::Unchecked)
            << "item " << k;
    EXPECT_FALSE(frame.ImageFlamme->isHidden());
    EXPECT_FALSE(frame.ImageVentil1->isHidden());
    EXPECT_TRUE(frame.ImageVentil2->isHidden());
    EXPECT_TRUE(frame.ImageTrafo->isHidden());
    EXPECT_FALSE(frame.ImageHeizung->isHidden());
    EXPECT_FALSE(frame.ImageMotor->isHidden());

    EXPECT_EQ(frame.Label2->text(), QStringLiteral("0"));
    EXPECT_EQ(frame.Label3->text(), QStringLiteral("0"));
    EXPECT_EQ(frame.Label4->text(), QStringLiteral("230"));
    EXPECT_EQ(frame.Label5->text(), kalvo::AnsiToQString(uGlobal::ReadingTexts.FlameCurrentText));
    EXPECT_EQ(frame.Label6->text(), kalvo::AnsiToQString(uGlobal::ReadingTexts.AlarmCurrentText));
    EXPECT_FALSE(frame.Label5->text().isEmpty());
}

// Memo1 has no scroll bars: the report's lines must stand as far apart as on Windows, where its
// 289 pixels show 21 whole lines of 13 pixels, down to "Burner run time" with the delivered
// language file; the lines after it lie below the box there too.
TEST_F(MainWindowTest, ReportShowsAsManyWholeLinesAsOnWindows)
{
    constexpr int LinesShownOnWindows = 21;
    std::filesystem::copy_file(
        kalvo::test::DeliveredLanguageFile(), files.languageFile, std::filesystem::copy_options::overwrite_existing);
    WriteSettings("COM=5\r\n");
    // The simulated unit running its burner with flame: every line of the report has a value.
    unitsim::BurnerModel unit(5);
    unit.Advance(45s);
    for (const std::uint8_t code : {kalvo::StatusRequest, kalvo::TimingRequest, kalvo::ErrorHistoryRequest})
        serial.AnswerRequest(code, {{0, unitsim::BuildReply(code, unit.DataFor(code))}});
    QtMainWindow& frame = Start();
    frame.MainFrm().Timer1Timer();
    frame.PageControl1->setCurrentWidget(frame.TabSheet2);
    QCoreApplication::processEvents();

    const std::vector<std::string> report = MemoLines(frame, 1);
    ASSERT_GT(report.size(), static_cast<std::size_t>(LinesShownOnWindows));
    EXPECT_EQ(report[LinesShownOnWindows - 1].rfind("Burner run time", 0), 0u);
    QTextCursor first(frame.Memo1->document()->firstBlock());
    QTextCursor lastShown(frame.Memo1->document()->findBlockByNumber(LinesShownOnWindows - 1));
    lastShown.movePosition(QTextCursor::EndOfBlock);
    EXPECT_GE(frame.Memo1->cursorRect(first).top(), 0);
    EXPECT_LT(frame.Memo1->cursorRect(lastShown).bottom(), frame.Memo1->viewport()->height());
    EXPECT_LE(QFontMetrics(frame.Memo1->font()).lineSpacing(), 13);
}

// The quit that a termination signal asks for, arriving while the port dialog is open: the dialog
// closes, the port command ends as it would after a cancel, then the run ends as Quit ends it.
TEST_F(MainWindowTest, SignalQuitClosesAnOpenDialogFirst)
{
    WriteNumberedLanguageFile();
    WriteSettings("Panel=2\r\n");
    QtMainWindow& frame = Start();
    QDialog portDialog(&frame);
    bool dialogReturned = false;
    frame.SetPortDialog([&] {
        QTimer::singleShot(0, &frame, [&frame] { kalvo::QuitAfterDialogs(frame); });
        portDialog.exec();
        dialogReturned = true;
    });

    frame.MenuActions.at(kalvo::MenuCommand::COMPort1)->trigger();

    EXPECT_TRUE(dialogReturned);
    EXPECT_FALSE(uGlobal::StopRequested);  // Quit comes only once the dialog's loop has ended
    ASSERT_TRUE(WaitFor([&] { return frame.isHidden(); }));
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(uGlobal::StopRequested);
    EXPECT_EQ(StoredSetting("Panel"), 1);
}

// A checkable action toggles its own mark when chosen; the mark must still follow the recording,
// also when the folder dialog is cancelled.
TEST_F(MainWindowTest, RecordReadingsMarkFollowsTheRecordingThroughTheFolderDialog)
{
    WriteNumberedLanguageFile();
    QtMainWindow& frame = Start();
    QAction* record = frame.MenuActions.at(kalvo::MenuCommand::RecordReadings1);
    const QList<QAction*> fileItems = frame.findChild<QMenu*>(QStringLiteral("file1"))->actions();
    ASSERT_EQ(fileItems.size(), 2);
    EXPECT_EQ(fileItems[0], record);
    EXPECT_EQ(fileItems[1]->objectName(), QStringLiteral("Quit1"));
    EXPECT_EQ(record->text(), QStringLiteral("&Record readings..."));
    EXPECT_TRUE(record->isCheckable());
    EXPECT_FALSE(record->isChecked());

    // Answers the folder dialog when it shows: the folder, or a cancel when there is none.
    kalvo::test::TempDir out;
    QString answer;
    QStringList titles;
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        titles.push_back(dialog->windowTitle());
        if (answer.isEmpty()) {
            dialog->reject();
        } else {
            dialog->setDirectory(answer);
            static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept, which checks the choice
        }
    });
    answerer.start(10);

    record->trigger();
    EXPECT_FALSE(record->isChecked());
    answer = QString::fromStdString(out.path().string());
    record->trigger();
    EXPECT_TRUE(record->isChecked());
    record->trigger();  // stops without asking
    EXPECT_FALSE(record->isChecked());
    EXPECT_EQ(titles, QStringList({QStringLiteral("Record readings"), QStringLiteral("Record readings")}));
    EXPECT_TRUE(errors.empty());
}

TEST_F(MainWindowTest, CheckListTakesNoClicksOrKeys)
{
    WriteNumberedLanguageFile();
    QtMainWindow& frame = Start();
    frame.PageControl1->setCurrentWidget(frame.TabSheet2);
    QListWidget* list = frame.CheckListBox1;
    list->setCurrentRow(0);
    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));

    // Enabled for a moment, the same key press would toggle the mark.
    list->setEnabled(true);
    QApplication::sendEvent(list, &space);
    ASSERT_EQ(list->item(0)->checkState(), Qt::Checked);
    list->item(0)->setCheckState(Qt::Unchecked);
    list->setEnabled(false);

    QApplication::sendEvent(list, &space);
    const QPoint itemCentre = list->visualItemRect(list->item(0)).center();
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick}) {
        QMouseEvent click(type, itemCentre, list->viewport()->mapToGlobal(itemCentre), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &click);
    }
    EXPECT_EQ(list->item(0)->checkState(), Qt::Unchecked);
}

// The named widget that holds the keyboard focus: the focus widget or the nearest named one above it
// (a page control's focus lies on its tab bar).
std::string FocusedName(const QtMainWindow& window)
{
    for (QWidget* widget = QApplication::focusWidget(); widget && widget != &window; widget = widget->parentWidget()) {
        const QString name = widget->objectName();
        if (!name.isEmpty() && !name.startsWith(QStringLiteral("qt_")))
            return name.toStdString();
    }
    return "nothing";
}

// Tab goes round the Text page in the layout's keyboard order: page tabs, report, buttons, error tabs
// and the memo of the page showing, check list; the check list takes its turn only while it is
// enabled, which start-up ends. A memo keeps its text. Enter and Space press a focused button.
TEST_F(MainWindowTest, TabKeyMovesTheFocusRoundTheTextPage)
{
    using Names = std::vector<std::string>;
    const struct {
        bool startedUp;
        Names order;
    } cases[] = {
        {true, {"BitBtn1", "BitBtn2", "BitBtn3", "PageControl2", "Memo2", "PageControl1", "Memo1"}},
        {false,
            {"BitBtn1", "BitBtn2", "BitBtn3", "Memo10", "PageControl2", "Memo8", "CheckListBox1", "PageControl1",
                "Memo1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.startedUp ? "after start-up" : "start-up stopped at the missing language file");
        std::filesystem::remove(files.languageFile);
        if (c.startedUp)
            WriteNumberedLanguageFile();
        QtMainWindow& frame = Start();
        frame.PageControl1->setCurrentWidget(frame.TabSheet2);
        QApplication::setActiveWindow(&frame);
        frame.Memo1->setFocus();
        frame.Memo1->setPlainText(QStringLiteral("typed"));

        Names visited;
        for (std::size_t press = 0; press < c.order.size(); ++press) {
            QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
            QApplication::sendEvent(QApplication::focusWidget(), &tab);
            visited.push_back(FocusedName(frame));
        }

        frame.Memo1->moveCursor(QTextCursor::End);
        QKeyEvent letter(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QApplication::sendEvent(frame.Memo1, &letter);

        EXPECT_EQ(visited, c.order);
        EXPECT_EQ(frame.Memo1->toPlainText(), QStringLiteral("typedx"));
        window.reset();
    }
}

// Each key goes down and up, as typed; a push button answers Space as it comes up, Enter as it goes down.
TEST_F(MainWindowTest, EnterAndSpacePressTheFocusedButton)
{
    WriteNumberedLanguageFile();
    QtMainWindow& frame = Start();
    frame.PageControl1->setCurrentWidget(frame.TabSheet2);
    QApplication::setActiveWindow(&frame);
    int pressed = 0;
    QObject::connect(frame.BitBtn1, &QPushButton::clicked, [&pressed] { ++pressed; });
    frame.BitBtn1->setFocus();
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
        for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent event(type, key, Qt::NoModifier);
            QApplication::sendEvent(frame.BitBtn1, &event);
        }
    }
    EXPECT_EQ(pressed, 3);
}

TEST_F(MainWindowTest, WindowHasItsFixedSizeAndLayout)
{
    WriteNumberedLanguageFile();
    QtMainWindow& frame = Start();
    EXPECT_EQ(frame.minimumSize(), frame.maximumSize());
    frame.resize(900, 700);
    EXPECT_EQ(frame.size(), frame.minimumSize());
    EXPECT_EQ(frame.centralWidget()->size(),
        QSize(kalvo::layout::MainFrm.client.width, kalvo::layout::MainFrm.client.height));
    const QRect screen = frame.screen()->availableGeometry();
    EXPECT_LE((frame.frameGeometry().center() - screen.center()).manhattanLength(), 2);

    // Controls sized to their text start at their place; a page stands at its place in its page
    // control, where the tab control puts it once it shows the page.
    const auto named = [&frame](std::string_view name) {
        return frame.centralWidget()->findChild<QWidget*>(QString::fromLatin1(name.data(), std::ssize(name)));
    };
    for (const kalvo::layout::Control& control : kalvo::layout::MainFrm.controls) {
        QWidget* found = named(control.name);
        ASSERT_NE(found, nullptr) << control.name;
        QRect place = found->geometry();
        if (auto* pageControl = qobject_cast<QTabWidget*>(named(control.parent))) {
            pageControl->setCurrentWidget(found);
            place = QRect(found->mapTo(pageControl, QPoint(0, 0)), found->size());
        }
        const QRect wanted = kalvo::qt::Geometry(control.bounds);
        if (wanted.isEmpty())
            EXPECT_EQ(place.topLeft(), wanted.topLeft()) << control.name;
        else
            EXPECT_EQ(place, wanted) << control.name;
    }
    EXPECT_EQ(frame.Label1->text(), QStringLiteral("Status : "));
}

TEST_F(MainWindowTest, PicturesAreDrawnAtTheirOwnSize)
{
    const QtMainWindow& frame = Build();
    const struct {
        const QtPicture* image;
        QSize pictureSize;
    } pictures[] = {
        {frame.ImageMain, {640, 480}},  {frame.ImageMotor, {68, 68}},   {frame.ImageVentil1, {32, 60}},
        {frame.ImageVentil2, {32, 60}}, {frame.ImageHeizung, {64, 32}}, {frame.ImageFlamme, {128, 58}},
        {frame.ImageTrafo, {64, 64}},   {frame.Image1, {280, 36}},      {frame.Image2, {299, 46}},
    };
    for (const auto& picture : pictures)
        EXPECT_EQ(picture.image->Picture().size(), picture.pictureSize) << picture.image->objectName().toStdString();
    EXPECT_EQ(frame.Image2->size(), QSize(299, 46));

    const QImage flame = frame.ImageFlamme->Picture().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(flame.pixel(0, flame.height() - 1)), 0);
    EXPECT_FALSE(frame.ImageMotor->Picture().hasAlphaChannel());
}

TEST(TransparentPicture, BottomLeftColourIsNotDrawn)
{
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setPixel(1, 1, qRgb(255, 255, 0));
    image.setPixel(3, 0, qRgb(0, 0, 0));
    // A bitmap with a colour table, as the pictures are stored, and one of whole colours.
    for (const QImage& picture : {image.convertToFormat(QImage::Format_Indexed8), image}) {
        const QImage drawn = TransparentPicture(picture).convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(qAlpha(drawn.pixel(0, 2)), 0) << picture.format();
        EXPECT_EQ(qAlpha(drawn.pixel(2, 2)), 0) << picture.format();
        EXPECT_EQ(drawn.pixel(1, 1), qRgba(255, 255, 0, 255)) << picture.format();
        EXPECT_EQ(drawn.pixel(3, 0), qRgba(0, 0, 0, 255)) << picture.format();
    }
}

}  // namespace
