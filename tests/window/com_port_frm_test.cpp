// The port dialog's behaviour against a recording dialog view and the scripted fake line: which
// ports it lists, what it preselects, what OK stores, and the port command around it.

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/uGlobal.h"
#include "testing/FakeSerial.h"
#include "testing/ProgramState.h"
#include "testing/RecordingView.h"
#include "testing/TempDir.h"
#include "window/uComPortFrm.h"
#include "window/uMainFrm.h"

namespace {

using Items = std::vector<std::string>;

class ComPortFrmTest : public ::testing::Test {
protected:
    // Makes only these port numbers open.
    void PortsPresent(const std::set<int>& present)
    {
        for (int n = TComPortFrm::FirstPort; n <= TComPortFrm::LastPort; ++n) {
            if (!present.count(n))
                serial.RefuseOpen(n);
        }
    }

    // Shows the dialog and lets every pause of the search run out, as the face's timer would.
    void ShowAndList()
    {
        dialog.FormShow();
        while (view.pendingPause) {
            EXPECT_TRUE(view.searching);
            EXPECT_EQ(*view.pendingPause, std::chrono::milliseconds(60));
            view.pendingPause.reset();
            dialog.ProbePauseElapsed();
        }
    }

    std::string Selected() const
    {
        return view.selected >= 0 ? view.items.at(static_cast<std::size_t>(view.selected)) : std::string();
    }

    kalvo::FakeSerialSystem serial;
    kalvo::test::ProgramStateGuard state{&serial};
    kalvo::test::RecordingPortDialogView view;
    TComPortFrm dialog{view};
};

TEST_F(ComPortFrmTest, ListsThePortsThatOpenInAscendingOrderAndClosesThemAgain)
{
    PortsPresent({12, 3});
    ShowAndList();

    EXPECT_EQ(view.items, (Items{"COM3", "COM12"}));
    for (int n : {3, 12})
        EXPECT_EQ(serial.Port(n).closes, 1) << n;
    ASSERT_EQ(serial.OpenAttempts().size(), 255u);
    EXPECT_EQ(serial.OpenAttempts().back(), 255);
    EXPECT_FALSE(view.searching);
    EXPECT_TRUE(view.button1Focused);
}

TEST_F(ComPortFrmTest, ShowsItIsSearchingUntilTheListIsComplete)
{
    PortsPresent({3});
    dialog.FormShow();

    // The search now pauses after the port it found; nothing can be chosen yet.
    EXPECT_TRUE(view.searching);
    EXPECT_EQ(view.placeholder, "Searching...");
    EXPECT_TRUE(view.items.empty());
    ASSERT_TRUE(view.pendingPause);

    dialog.ProbePauseElapsed();
    EXPECT_FALSE(view.searching);
    EXPECT_EQ(view.placeholder, "");
    EXPECT_EQ(Selected(), "COM3");
}

TEST_F(ComPortFrmTest, PreselectsThePortInUseWhenListedOtherwiseTheFirst)
{
    const struct {
        int portNumber;
        const char* preselected;
    } cases[] = {{12, "COM12"}, {uGlobal::NoPort, "COM3"}, {7, "COM3"}};
    PortsPresent({3, 12, 200});
    for (const auto& c : cases) {
        uGlobal::PortNumber = c.portNumber;
        ShowAndList();
        EXPECT_EQ(Selected(), c.preselected) << c.portNumber;
        dialog.FormHide();
    }
}

TEST_F(ComPortFrmTest, PortHeldByAnotherProgramIsNotListed)
{
    PortsPresent({3, 5});
    const kalvo::OpenOutcome held = serial.Open(5);
    ASSERT_TRUE(held.port);
    ShowAndList();

    EXPECT_EQ(view.items, Items{"COM3"});
}

TEST_F(ComPortFrmTest, OkStoresTheChosenPortUpToThreeDigits)
{
    PortsPresent({9, 10, 255});
    for (int chosen : {9, 10, 255}) {
        ShowAndList();
        view.selected = static_cast<int>(
            std::find(view.items.begin(), view.items.end(), "COM" + std::to_string(chosen)) - view.items.begin());
        view.closedWithOk = false;
        dialog.Button1Click();

        EXPECT_EQ(uGlobal::PortNumber, chosen);
        EXPECT_TRUE(view.closedWithOk);
    }
}

TEST_F(ComPortFrmTest, OkWithAnEmptyListLeavesThePortNumber)
{
    PortsPresent({});
    uGlobal::PortNumber = 7;
    ShowAndList();
    dialog.Button1Click();

    EXPECT_EQ(uGlobal::PortNumber, 7);
    EXPECT_TRUE(view.closedWithOk);
}

TEST_F(ComPortFrmTest, ClosedWhileSearchingListsAfreshAtTheNextShowing)
{
    PortsPresent({2, 3, 4});
    dialog.FormShow();
    dialog.FormHide();  // during the pause after COM2
    EXPECT_FALSE(view.pendingPause);

    ShowAndList();
    EXPECT_EQ(view.items, (Items{"COM2", "COM3", "COM4"}));
}

TEST_F(ComPortFrmTest, MissingPermissionIsExplainedOnlyWhenNoPortCanBeListed)
{
    const struct {
        const char* name;
        std::set<int> present;
        bool denied;
        bool noteShown;
    } cases[] = {
        {"nothing present", {}, false, false},
        {"port 4 not permitted", {}, true, true},
        {"port 4 not permitted, port 3 listed", {3}, true, false},
    };
    for (const auto& c : cases) {
        kalvo::FakeSerialSystem system;
        uGlobal::Serial = &system;
        for (int n = TComPortFrm::FirstPort; n <= TComPortFrm::LastPort; ++n) {
            if (!c.present.count(n) && !(c.denied && n == 4))
                system.RefuseOpen(n);
        }
        if (c.denied)
            system.DenyAccess(4);
        ShowAndList();
        EXPECT_EQ(view.accessNoteVisible, c.noteShown) << c.name;
        uGlobal::Serial = &serial;
    }
}

// The port command of the main window with this dialog behind its face.
class PortCommandTest : public ComPortFrmTest {
protected:
    PortCommandTest()
    {
        frame.FormCreate();
        mainView.onShowPortDialog = [this] {
            ShowAndList();
            offered = view.items;
            preselected = Selected();
            if (onListed)
                onListed();
        };
    }

    void OpenPortInUse(int portNumber)
    {
        uGlobal::PortNumber = portNumber;
        uGlobal::OpenPort();
        ASSERT_TRUE(serial.Port(portNumber).open);
    }

    kalvo::test::TempDir dir;
    kalvo::test::RecordingView mainView;
    TMainFrm frame{mainView.Face(), {dir.file("MY.LNG"), dir.file("kalvo.ini")}};
    Items offered;
    std::string preselected;
    std::function<void()> onListed;
};

TEST_F(PortCommandTest, ReopensTheChosenPortAndRestartsPolling)
{
    PortsPresent({5, 7});
    OpenPortInUse(5);
    onListed = [this] {
        view.selected = 1;
        dialog.Button1Click();
    };

    frame.COMPort1Click();

    EXPECT_TRUE(mainView.errorBoxes.empty());
    // The port in use was closed for the search, so it is listed, yet the first port is preselected.
    EXPECT_EQ(offered, (Items{"COM5", "COM7"}));
    EXPECT_EQ(preselected, "COM5");
    EXPECT_FALSE(serial.Port(5).open);
    EXPECT_TRUE(serial.Port(7).open);
    EXPECT_EQ(mainView.panels[0], "  COM7");
    EXPECT_TRUE(mainView.timerOn);
}

TEST_F(PortCommandTest, TitleBarCloseAfterAPortWasOpenLeavesTheProgramWithoutAPort)
{
    PortsPresent({5});
    OpenPortInUse(5);
    onListed = [this] { dialog.FormHide(); };

    frame.COMPort1Click();

    EXPECT_EQ(uGlobal::PortNumber, uGlobal::NoPort);
    EXPECT_FALSE(uGlobal::PortHandle);
    EXPECT_EQ(mainView.panels[0], "No Com-Port");
    EXPECT_TRUE(mainView.timerOn);
}

}  // namespace
