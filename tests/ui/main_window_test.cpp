#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "FakeSerial.h"
#include "KalvoError.h"
#include "LanguageFixtures.h"
#include "Protocol.h"
#include "Readings.h"
#include "Settings.h"
#include "TImage.h"
#include "TMemo.h"
#include "TStatusBar.h"
#include "TempDir.h"
#include "TerminationSignals.h"
#include "TextCodec.h"
#include "uGlobal.h"
#include "uMainFrm.h"

namespace {

using kalvo::test::Line;
using namespace std::chrono_literals;

// Runs the event loop until the condition holds or the deadline passes; returns the condition.
template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit = 20s)
{
    const QDeadlineTimer deadline(limit);
    while (!condition() && !deadline.hasExpired()) {
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return condition();
}

std::vector<std::string> MemoLines(const TMainFrm& window, int n)
{
    return window.findChild<TMemo*>(QStringLiteral("Memo%1").arg(n))->Lines();
}

std::vector<TImage*> ComponentImages(const TMainFrm& window)
{
    return {window.ImageMotor,   window.ImageVentil1, window.ImageVentil2,
            window.ImageHeizung, window.ImageFlamme,  window.ImageTrafo};
}

std::vector<QLabel*> ValueLabels(const TMainFrm& window)
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

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        uGlobal::Serial = &serial;
        uGlobal::PortHandle.reset();
        uGlobal::PortNumber = uGlobal::NoPort;
        uGlobal::StopRequested = false;
        uGlobal::LanguageTable = {};
        uGlobal::StatusBlock.fill(0);
        uGlobal::TimingBlock.fill(0);
        uGlobal::ErrorHistoryBlock.fill(0);
        uGlobal::ReadingTexts = {};
        uGlobal::StatusFlags = {};
    }

    void TearDown() override
    {
        window.reset();
        uGlobal::PortHandle.reset();
        uGlobal::Serial = nullptr;
    }

    void WriteLanguageFile()
    {
        std::string text;
        for (int n = 1; n <= kalvo::LanguageLines::Count; ++n)
            text += Line(n) + "\r\n";
        kalvo::test::WriteFileBytes(files.languageFile, text);
    }

    void WriteSettings(const std::string& mainSection)
    {
        kalvo::test::WriteFileBytes(files.settingsFile, "[Main]\r\n" + mainSection);
    }

    int StoredSetting(const std::string& key) const
    {
        return kalvo::ReadIniInteger(files.settingsFile, "Main", key, -999);
    }

    // Builds the window without showing it, so start-up has not run.
    TMainFrm& Build()
    {
        window = std::make_unique<TMainFrm>(files);
        window->SetErrorReporter([this](const std::string& message) { errors.push_back(message); });
        return *window;
    }

    TMainFrm& Start()
    {
        Build().show();
        return *window;
    }

    void AnswerEveryRequest()
    {
        serial.AnswerRequest(kalvo::StatusRequest, {{5, kalvo::MakeReply(kalvo::StatusRequest, statusData)}});
        serial.AnswerRequest(kalvo::TimingRequest, {{5, kalvo::MakeReply(kalvo::TimingRequest, {})}});
        serial.AnswerRequest(kalvo::ErrorHistoryRequest,
                             {{5, kalvo::MakeReply(kalvo::ErrorHistoryRequest, errorHistoryData)}});
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
        for (TImage* image : ComponentImages(*window))
            EXPECT_FALSE(image->isHidden()) << image->objectName().toStdString();
        EXPECT_EQ(window->StatusBar1->PanelText(0), QString());
        EXPECT_EQ(window->StatusBar1->PanelText(1), QString());
    }

    kalvo::test::TempDir dir;
    kalvo::ProgramFiles files{dir.file("MY.LNG"), dir.file("kalvo.ini")};
    kalvo::FakeSerialSystem serial;
    std::vector<std::string> errors;
    std::unique_ptr<TMainFrm> window;

    // Byte 37 = 0x56 sets flags 1, 2, 5 and 6; byte 38 = 0x80 sets flag 8. Bytes 2..17 hold the
    // status text, with bytes a plain-text view would lose and one 0x80 that decoding drops.
    kalvo::Bytes statusData = [] {
        kalvo::Bytes data(51, 0);
        const std::string status("ab\0\xA0\xFF\x80zq", 8);
        std::copy(status.begin(), status.end(), data.begin() + 2);
        data[35] = 0x09;  // 2305 tenths of a volt
        data[36] = 0x01;
        data[37] = 0x56;
        data[38] = 0x80;
        return data;
    }();
    kalvo::Bytes errorHistoryData = [] {
        kalvo::Bytes data(128, 0);
        data[0] = 0xFF;  // record 1 is empty
        return data;
    }();
};

TEST_F(MainWindowTest, BuiltWindowShowsItsInitialContents)
{
    TMainFrm& frame = Build();
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Kalvo V2.03"));
    EXPECT_TRUE(frame.Timer1->isActive());
    EXPECT_EQ(frame.Timer1->interval(), 2000);
    ExpectInitialContents();
}

TEST_F(MainWindowTest, StartUpWithoutSettingsRunsWithoutAPort)
{
    WriteLanguageFile();
    TMainFrm& frame = Start();

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
    for (TImage* image : ComponentImages(frame))
        EXPECT_TRUE(image->isHidden()) << image->objectName().toStdString();
    for (int tab = 0; tab < 8; ++tab)
        EXPECT_EQ(frame.PageControl2->tabText(tab), QStringLiteral("Error %1").arg(tab + 1));

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

TEST_F(MainWindowTest, OpensOnThePicturePageAndStoresThePageShowingAtTheEnd)
{
    for (const bool textShowing : {false, true}) {
        SCOPED_TRACE(textShowing ? "Text page showing" : "Picture page showing");
        WriteLanguageFile();
        WriteSettings("Panel=2\r\n");
        TMainFrm& frame = Start();
        EXPECT_EQ(frame.ActivePanel, 2);
        EXPECT_EQ(frame.PageControl1->currentWidget(), frame.TabSheet1);

        if (textShowing)
            frame.PageControl1->setCurrentWidget(frame.TabSheet2);
        frame.close();
        EXPECT_EQ(StoredSetting("Panel"), textShowing ? 2 : 1);
        window.reset();
    }
}

TEST_F(MainWindowTest, StoredPortThatIsGoneIsForgotten)
{
    WriteLanguageFile();
    WriteSettings("COM=5\r\n");
    serial.RefuseOpen(5);
    TMainFrm& frame = Start();

    EXPECT_EQ(uGlobal::PortNumber, uGlobal::NoPort);
    EXPECT_FALSE(frame.Timer1->isActive());
    EXPECT_EQ(frame.StatusBar1->PanelText(0), QString());
    frame.close();
    EXPECT_EQ(StoredSetting("COM"), uGlobal::NoPort);
}

TEST_F(MainWindowTest, StoredPortThatExistsIsOpenedAndPolled)
{
    WriteLanguageFile();
    WriteSettings("COM=5\r\n");
    TMainFrm& frame = Start();

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
    window = std::make_unique<TMainFrm>(files);  // the program's own error box
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
    window->Timer1Timer();
    EXPECT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(window->CheckListBox1->count(), 0);
    EXPECT_TRUE(window->Timer1->isActive());
}

TEST_F(MainWindowTest, PollShowsTheReadingsEverywhere)
{
    WriteLanguageFile();
    WriteSettings("COM=5\r\n");
    AnswerEveryRequest();
    TMainFrm& frame = Start();
    frame.Timer1Timer();

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

TEST_F(MainWindowTest, QuitDuringAWaitingCycleEndsTheRun)
{
    WriteLanguageFile();
    WriteSettings("COM=5\r\n");
    TMainFrm& frame = Start();

    // The unit stays silent; once the first request is out, the user chooses Quit.
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (!serial.Writes().empty() && !uGlobal::StopRequested)
            frame.Quit1->trigger();
    });
    user.start(0);
    frame.Timer1Timer();
    user.stop();

    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(uGlobal::StopRequested);
    EXPECT_EQ(serial.Writes().size(), 1u);  // the cycle ended in its first wait
    EXPECT_TRUE(frame.isHidden());
    EXPECT_EQ(StoredSetting("COM"), 5);     // written while the port was still in use
    EXPECT_EQ(StoredSetting("Panel"), 1);
    EXPECT_FALSE(serial.Port(5).open);
    EXPECT_EQ(frame.StatusBar1->PanelText(0), QStringLiteral("No Com-Port"));
    EXPECT_TRUE(frame.Timer1->isActive());  // the tick switches it on again at its end
    // Decoding and the report still ran for the cut-short poll.
    EXPECT_EQ(MemoLines(frame, 1), kalvo::ReportLines(uGlobal::ReadingTexts, uGlobal::LanguageTable));
    EXPECT_FALSE(MemoLines(frame, 1).empty());

    // A tick that still arrives does nothing.
    frame.Memo1->Clear();
    frame.Timer1Timer();
    EXPECT_TRUE(MemoLines(frame, 1).empty());
}

// The quit that a termination signal asks for, arriving while the port dialog is open: the dialog
// closes, the port command ends as it would after a cancel, then the run ends as Quit ends it.
TEST_F(MainWindowTest, SignalQuitClosesAnOpenDialogFirst)
{
    WriteLanguageFile();
    WriteSettings("Panel=2\r\n");
    TMainFrm& frame = Start();
    QDialog portDialog(&frame);
    bool dialogReturned = false;
    frame.SetPortDialog([&] {
        QTimer::singleShot(0, &frame, [&frame] { kalvo::QuitAfterDialogs(frame); });
        portDialog.exec();
        dialogReturned = true;
    });

    frame.COMPort1->trigger();

    EXPECT_TRUE(dialogReturned);
    EXPECT_FALSE(uGlobal::StopRequested);  // Quit comes only once the dialog's loop has ended
    ASSERT_TRUE(WaitFor([&] { return frame.isHidden(); }));
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(uGlobal::StopRequested);
    EXPECT_EQ(StoredSetting("Panel"), 1);
}

TEST_F(MainWindowTest, TickDuringARunningPollStartsNoSecondCycle)
{
    WriteLanguageFile();
    WriteSettings("COM=5\r\n");
    TMainFrm& frame = Start();
    frame.SetPortDialog([] { uGlobal::PortNumber = 5; });

    // While the first request waits for its reply, the user runs the port dialog, which reopens
    // the port and switches the timer on; then a tick arrives before the poll has ended.
    bool acted = false;
    std::size_t writesBeforeTick = 0;
    std::size_t writesAfterTick = 0;
    bool timerOnAfterTick = false;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (acted || serial.Writes().empty())
            return;
        acted = true;
        frame.COMPort1->trigger();
        writesBeforeTick = serial.Writes().size();
        frame.Timer1Timer();
        writesAfterTick = serial.Writes().size();
        timerOnAfterTick = frame.Timer1->isActive();
    });
    user.start(0);
    frame.Timer1Timer();
    user.stop();

    ASSERT_TRUE(acted);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(writesAfterTick, writesBeforeTick);
    EXPECT_TRUE(timerOnAfterTick);
    EXPECT_EQ(serial.Writes().size(), 3u);  // one cycle: three requests
    EXPECT_EQ(serial.OpenAttempts(), (std::vector<int>{5, 5, 5}));  // check, open, reopen after the dialog
    EXPECT_TRUE(frame.Timer1->isActive());
}

TEST_F(MainWindowTest, ClearReadingsEmptiesOnlyTheReportAndErrorMemos)
{
    WriteLanguageFile();
    WriteSettings("COM=5\r\n");
    AnswerEveryRequest();
    TMainFrm& frame = Start();
    frame.Timer1Timer();
    frame.Memo10->AddLine("scratch");
    const QString label4 = frame.Label4->text();

    frame.ClearReadings();

    for (int n = 1; n <= 9; ++n)
        EXPECT_TRUE(MemoLines(frame, n).empty()) << "Memo" << n;
    for (TImage* image : ComponentImages(frame))
        EXPECT_TRUE(image->isHidden()) << image->objectName().toStdString();
    for (TImage* image : {frame.ImageMain, frame.Image1, frame.Image2})
        EXPECT_FALSE(image->isHidden()) << image->objectName().toStdString();
    EXPECT_EQ(frame.Memo10->Lines(), std::vector<std::string>{"scratch"});
    EXPECT_EQ(frame.Label4->text(), label4);
    EXPECT_EQ(frame.CheckListBox1->item(1)->checkState(), Qt::Checked);
    EXPECT_EQ(frame.StatusBar1->PanelText(0), QStringLiteral("  COM5"));
}

TEST_F(MainWindowTest, ErrorRecordWithoutItsMemoIsSkipped)
{
    WriteLanguageFile();
    TMainFrm& frame = Start();
    frame.Memo5->setObjectName(QStringLiteral("Renamed"));
    frame.Memo5->AddLine("kept");

    frame.BuildReport();

    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(frame.Memo5->Lines(), std::vector<std::string>{"kept"});
    EXPECT_EQ(MemoLines(frame, 6).front(), Line(30) + " 5");
}

TEST_F(MainWindowTest, CheckListTakesNoClicksOrKeys)
{
    WriteLanguageFile();
    TMainFrm& frame = Start();
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
std::string FocusedName(const TMainFrm& window)
{
    for (QWidget* widget = QApplication::focusWidget(); widget && widget != &window; widget = widget->parentWidget()) {
        const QString name = widget->objectName();
        if (!name.isEmpty() && !name.startsWith(QStringLiteral("qt_")))
            return name.toStdString();
    }
    return "nothing";
}

// Tab goes round the Text page in its focus order, into the error memo of the page showing; the
// check list takes its turn only while it is enabled, which start-up ends. A memo keeps its text.
TEST_F(MainWindowTest, TabKeyMovesTheFocusRoundTheTextPage)
{
    using Names = std::vector<std::string>;
    const struct {
        bool startedUp;
        Names order;
    } cases[] = {
        {true, {"PageControl2", "Memo2", "BitBtn1", "BitBtn2", "BitBtn3", "PageControl1", "Memo1"}},
        {false, {"PageControl2", "Memo8", "CheckListBox1", "BitBtn1", "BitBtn2", "BitBtn3", "Memo10", "PageControl1",
                 "Memo1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.startedUp ? "after start-up" : "start-up stopped at the missing language file");
        std::filesystem::remove(files.languageFile);
        if (c.startedUp)
            WriteLanguageFile();
        TMainFrm& frame = Start();
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

TEST_F(MainWindowTest, WindowHasItsFixedSizeAndLayout)
{
    WriteLanguageFile();
    TMainFrm& frame = Start();
    EXPECT_EQ(frame.minimumSize(), frame.maximumSize());
    frame.resize(900, 700);
    EXPECT_EQ(frame.size(), frame.minimumSize());
    EXPECT_EQ(frame.centralWidget()->size(), QSize(643, 525));
    const QRect screen = frame.screen()->availableGeometry();
    EXPECT_LE((frame.frameGeometry().center() - screen.center()).manhattanLength(), 2);

    const struct {
        const char* name;
        QRect geometry;
    } placed[] = {
        {"PageControl1", {0, 0, 643, 504}},   {"StatusBar1", {0, 504, 643, 21}},
        {"ImageMain", {1, 5, 640, 480}},      {"ImageVentil2", {261, 210, 33, 57}},
        {"ImageFlamme", {400, 88, 129, 57}},  {"Image1", {328, 416, 305, 49}},
        {"Memo1", {8, 8, 505, 289}},          {"PageControl2", {8, 312, 417, 169}},
        {"CheckListBox1", {440, 328, 193, 145}}, {"BitBtn3", {520, 88, 113, 33}},
        {"Memo10", {528, 152, 105, 89}},
    };
    for (const auto& widget : placed) {
        const auto* found = frame.findChild<QWidget*>(QString::fromLatin1(widget.name));
        ASSERT_NE(found, nullptr) << widget.name;
        EXPECT_EQ(found->geometry(), widget.geometry) << widget.name;
    }
    for (TMemo* errorMemo : {frame.Memo2, frame.Memo3, frame.Memo4, frame.Memo5, frame.Memo6, frame.Memo7,
                             frame.Memo8, frame.Memo9})
        EXPECT_EQ(errorMemo->size(), QSize(409, 141)) << errorMemo->objectName().toStdString();
    EXPECT_EQ(frame.Label5->pos(), QPoint(434, 45));
    EXPECT_EQ(frame.Label1->text(), QStringLiteral("Status : "));
    EXPECT_EQ(frame.findChild<QLabel*>(QStringLiteral("Panel0"))->width(), 50);
}

TEST_F(MainWindowTest, PortCommandReopensThePortChosenAndRestartsPolling)
{
    WriteLanguageFile();
    TMainFrm& frame = Start();
    frame.SetPortDialog([] { uGlobal::PortNumber = 7; });
    frame.COMPort1->trigger();

    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(serial.Port(7).open);
    EXPECT_EQ(frame.StatusBar1->PanelText(0), QStringLiteral("  COM7"));
    EXPECT_TRUE(frame.Timer1->isActive());
}

TEST_F(MainWindowTest, PortCommandRestartsPollingEvenWhenTheDialogFails)
{
    WriteLanguageFile();
    WriteSettings("COM=5\r\n");
    TMainFrm& frame = Start();
    frame.SetPortDialog([] { throw kalvo::KalvoError("Dialog failed"); });
    frame.COMPort1->trigger();

    EXPECT_EQ(errors, std::vector<std::string>{"Dialog failed"});
    EXPECT_FALSE(serial.Port(5).open);  // closed for the dialog; ClosePort left no port to reopen
    EXPECT_EQ(frame.StatusBar1->PanelText(0), QStringLiteral("No Com-Port"));
    EXPECT_TRUE(frame.Timer1->isActive());
}

TEST_F(MainWindowTest, UnwritableSettingsSkipTheRestOfShutdown)
{
    WriteLanguageFile();
    std::filesystem::create_directory(files.settingsFile);  // a folder where the file should be
    TMainFrm& frame = Start();
    frame.SetPortDialog([] { uGlobal::PortNumber = 5; });
    frame.COMPort1->trigger();
    ASSERT_TRUE(serial.Port(5).open);

    frame.close();

    EXPECT_EQ(errors, std::vector<std::string>{"Unable to write to " + files.settingsFile});
    EXPECT_TRUE(frame.isHidden());
    EXPECT_TRUE(serial.Port(5).open);  // the port is not closed after the failed write
}

TEST_F(MainWindowTest, PicturesAreDrawnAtTheirOwnSize)
{
    const TMainFrm& frame = Build();
    const struct {
        const TImage* image;
        QSize pictureSize;
    } pictures[] = {
        {frame.ImageMain, {640, 480}},  {frame.ImageMotor, {68, 68}},   {frame.ImageVentil1, {32, 60}},
        {frame.ImageVentil2, {32, 60}}, {frame.ImageHeizung, {64, 32}}, {frame.ImageFlamme, {128, 58}},
        {frame.ImageTrafo, {64, 64}},   {frame.Image1, {280, 36}},      {frame.Image2, {299, 46}},
    };
    for (const auto& picture : pictures)
        EXPECT_EQ(picture.image->Picture().size(), picture.pictureSize) << picture.image->objectName().toStdString();
    EXPECT_EQ(frame.Image2->size(), QSize(299, 46));

    const QImage flame = frame.ImageFlamme->Picture().toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(flame.pixel(0, flame.height() - 1)), 0);
    EXPECT_FALSE(frame.ImageMotor->Picture().hasAlpha());
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

TEST(TransparentPicture, BottomLeftColourIsNotDrawn)
{
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setPixel(1, 1, qRgb(255, 255, 0));
    image.setPixel(3, 0, qRgb(0, 0, 0));
    const QImage drawn = TransparentPicture(image).toImage().convertToFormat(QImage::Format_ARGB32);

    EXPECT_EQ(qAlpha(drawn.pixel(0, 2)), 0);
    EXPECT_EQ(qAlpha(drawn.pixel(2, 2)), 0);
    EXPECT_EQ(drawn.pixel(1, 1), qRgba(255, 255, 0, 255));
    EXPECT_EQ(drawn.pixel(3, 0), qRgba(0, 0, 0, 255));
}

}  // namespace
