#include <gtest/gtest.h>

#include <QComboBox>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/uGlobal.h"
#include "testing/FakeSerial.h"
#include "testing/TempDir.h"
#include "tests/ui/QtWaitFor.h"
#include "ui/qt/QtMainWindow.h"
#include "ui/qt/QtPortDialog.h"
#include "ui/qt/QtStatusBar.h"

namespace {

using kalvo::test::WaitFor;

using namespace std::chrono_literals;

constexpr auto Patience = 20s;


bool Listed(const QtPortDialog& dialog)
{
    return dialog.isVisible() && dialog.Button1->isEnabled();
}

QStringList Items(const QComboBox& list)
{
    QStringList items;
    for (int i = 0; i < list.count(); ++i)
        items.append(list.itemText(i));
    return items;
}

// Acts on the dialog from inside its modal loop once it has listed its ports. A dialog that never
// gets there is closed, so the test fails instead of hanging.
class DialogDriver {
public:
    DialogDriver(QtPortDialog& dialog, std::function<void(QtPortDialog&)> action)
        : deadline_(Patience)
    {
        QObject::connect(&poll_, &QTimer::timeout, [this, &dialog, action] {
            if (Listed(dialog) || deadline_.hasExpired()) {
                poll_.stop();
                acted = Listed(dialog);
                acted ? action(dialog) : dialog.reject();
            }
        });
        poll_.start(5);
    }

    bool acted = false;

private:
    QDeadlineTimer deadline_;
    QTimer poll_;
};

class PortDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        uGlobal::ResetProgramState();
    }

    void TearDown() override { uGlobal::ResetProgramState(); }

    // Puts a fresh serial system in place on which only these port numbers open.
    kalvo::FakeSerialSystem& PortsPresent(const std::set<int>& present)
    {
        serial = std::make_unique<kalvo::FakeSerialSystem>();
        uGlobal::Serial = serial.get();
        for (int n = TComPortFrm::FirstPort; n <= TComPortFrm::LastPort; ++n) {
            if (!present.count(n))
                serial->RefuseOpen(n);
        }
        return *serial;
    }

    void ShowAndWaitForList()
    {
        dialog.show();
        ASSERT_TRUE(WaitFor([&] { return Listed(dialog); }));
    }

    std::unique_ptr<kalvo::FakeSerialSystem> serial;
    QtPortDialog dialog;
};

TEST_F(PortDialogTest, ListsThePortsThatOpenInAscendingOrderAndClosesThemAgain)
{
    PortsPresent({12, 3});
    ShowAndWaitForList();

    EXPECT_EQ(Items(*dialog.ComboBox1), QStringList({"COM3", "COM12"}));
    for (int n : {3, 12})
        EXPECT_EQ(serial->Port(n).closes, 1) << n;
    ASSERT_EQ(serial->OpenAttempts().size(), 255u);
    EXPECT_EQ(serial->OpenAttempts().back(), 255);
    EXPECT_EQ(dialog.focusWidget(), dialog.Button1);
}

TEST_F(PortDialogTest, ShowsItIsSearchingUntilTheListIsComplete)
{
    PortsPresent({3});
    dialog.show();

    // The probe now pauses after the port it found; nothing can be chosen yet.
    EXPECT_FALSE(dialog.ComboBox1->isEnabled());
    EXPECT_EQ(dialog.ComboBox1->placeholderText(), QStringLiteral("Searching..."));
    EXPECT_FALSE(dialog.Button1->isEnabled());

    ASSERT_TRUE(WaitFor([&] { return Listed(dialog); }));
    EXPECT_TRUE(dialog.ComboBox1->isEnabled());
    EXPECT_EQ(dialog.ComboBox1->currentText(), QStringLiteral("COM3"));
}

TEST_F(PortDialogTest, OkStoresTheChosenPortUpToThreeDigits)
{
    PortsPresent({9, 10, 255});
    for (int chosen : {9, 10, 255}) {
        ShowAndWaitForList();
        dialog.ComboBox1->setCurrentText(QStringLiteral("COM%1").arg(chosen));
        dialog.Button1->click();

        EXPECT_EQ(uGlobal::PortNumber, chosen);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_FALSE(dialog.isVisible());
    }
}

TEST_F(PortDialogTest, OkWithAnEmptyListAndTheTitleBarCloseLeaveThePortNumber)
{
    const struct {
        const char* how;
        std::set<int> present;
        bool pressOk;
    } closings[] = {{"OK, no port present", {}, true}, {"title-bar close, port listed", {3}, false}};
    for (const auto& c : closings) {
        PortsPresent(c.present);
        uGlobal::PortNumber = 7;
        ShowAndWaitForList();
        c.pressOk ? dialog.Button1->click() : static_cast<void>(dialog.close());
        EXPECT_EQ(uGlobal::PortNumber, 7) << c.how;
        EXPECT_FALSE(dialog.isVisible()) << c.how;
    }
}

TEST_F(PortDialogTest, ClosedWhileSearchingListsAfreshAtTheNextShowing)
{
    PortsPresent({2, 3, 4});
    dialog.show();
    dialog.close();  // during the pause after COM2

    ShowAndWaitForList();
    EXPECT_EQ(Items(*dialog.ComboBox1), QStringList({"COM2", "COM3", "COM4"}));
}

// When the note shows is the window layer's decision; here, that the dialog makes room for it.
TEST_F(PortDialogTest, DialogGrowsForTheAccessNoteAndShrinksAgain)
{
    for (const bool denied : {true, false}) {
        kalvo::FakeSerialSystem& system = PortsPresent({});
        if (denied)
            system.DenyAccess(4);
        ShowAndWaitForList();

        EXPECT_EQ(dialog.AccessNote->isVisible(), denied);
        EXPECT_TRUE(dialog.AccessNote->text().contains(QStringLiteral("\"dialout\"")));
        EXPECT_EQ(dialog.height() > 112, denied);
        if (denied) {
            EXPECT_LE(dialog.AccessNote->geometry().bottom(), dialog.height());
        }
        dialog.close();
    }
}

class PortCommandTest : public PortDialogTest {
protected:
    void SetUp() override
    {
        PortDialogTest::SetUp();
        uGlobal::Window = &frame.MainFrm();
        frame.Timer1->stop();  // no poll before the command; the command must switch it on
        frame.SetErrorBox([this](const std::string& message) { errors.push_back(message); });
    }

    void OpenPortInUse(int portNumber)
    {
        uGlobal::PortNumber = portNumber;
        uGlobal::OpenPort();
        ASSERT_TRUE(serial->Port(portNumber).open);
    }

    kalvo::test::TempDir dir;
    QtMainWindow frame{kalvo::ProgramFiles{dir.file("MY.LNG"), dir.file("kalvo.ini")}};
    std::vector<std::string> errors;
};

TEST_F(PortCommandTest, ReopensTheChosenPortAndRestartsPolling)
{
    PortsPresent({5, 7});
    OpenPortInUse(5);
    QStringList offered;
    QString preselected;
    DialogDriver user(*frame.ComPortFrm, [&](QtPortDialog& shown) {
        offered = Items(*shown.ComboBox1);
        preselected = shown.ComboBox1->currentText();
        shown.ComboBox1->setCurrentText(QStringLiteral("COM7"));
        shown.Button1->click();
    });

    frame.MainFrm().COMPort1Click();

    ASSERT_TRUE(user.acted);
    EXPECT_TRUE(errors.empty());
    // The port in use was closed for the probe, so it is listed, yet the first port is preselected.
    EXPECT_EQ(offered, QStringList({"COM5", "COM7"}));
    EXPECT_EQ(preselected, QStringLiteral("COM5"));
    EXPECT_FALSE(serial->Port(5).open);
    EXPECT_TRUE(serial->Port(7).open);
    EXPECT_EQ(frame.StatusBar1->PanelText(0), QStringLiteral("  COM7"));
    EXPECT_TRUE(frame.Timer1->isActive());
}

TEST_F(PortCommandTest, TitleBarCloseAfterAPortWasOpenLeavesTheProgramWithoutAPort)
{
    PortsPresent({5});
    OpenPortInUse(5);
    DialogDriver user(*frame.ComPortFrm, [](QtPortDialog& shown) { shown.close(); });

    frame.MainFrm().COMPort1Click();

    ASSERT_TRUE(user.acted);
    EXPECT_EQ(uGlobal::PortNumber, uGlobal::NoPort);
    EXPECT_FALSE(uGlobal::PortHandle);
    EXPECT_EQ(frame.StatusBar1->PanelText(0), QStringLiteral("No Com-Port"));
    EXPECT_TRUE(frame.Timer1->isActive());
}

}  // namespace
