// The whole program against the simulated unit: the main window, the POSIX serial backend, a real
// pseudo-terminal and the unitsim program, set up the way a user runs the demonstration.

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/Protocol.h"
#include "core/Readings.h"
#include "core/SerialLine.h"
#include "core/Settings.h"
#include "core/uGlobal.h"
#include "testing/LanguageFixtures.h"
#include "testing/TempDir.h"
#include "testing/UnitsimProcess.h"
#include "tests/ui/QtWaitFor.h"
#include "ui/qt/QtMainWindow.h"
#include "ui/qt/QtMemo.h"
#include "ui/qt/QtPicture.h"
#include "ui/qt/QtStatusBar.h"

namespace {

using kalvo::test::WaitFor;

using namespace std::chrono_literals;

// The first poll comes one timer interval (2 s) after start-up, an unanswered one takes 3 s more;
// the rest is room for a busy machine.
constexpr auto Patience = 30s;
constexpr int ComNumber = 20;
const std::string PortText = "  COM20";
const QString TransferErrorText = QStringLiteral("1    Transfer error. Check COM-Port.");


// True when the block holds a reply's data of exactly dataLength bytes: something in them, and
// nothing after them (a longer reply would have left its trailing bytes there).
bool HoldsDataOfLength(const kalvo::Block& block, std::size_t dataLength)
{
    const auto end = block.begin() + static_cast<std::ptrdiff_t>(dataLength);
    return std::any_of(block.begin(), end, [](std::uint8_t b) { return b != 0; }) &&
           std::all_of(end, block.end(), [](std::uint8_t b) { return b == 0; });
}

// Where each of the texts starts in the log, in the order given; npos for a text not found
// after the one before it.
std::vector<std::size_t> PositionsInOrder(const std::string& log, const std::vector<std::string>& texts)
{
    std::vector<std::size_t> positions;
    std::size_t from = 0;
    for (const std::string& text : texts) {
        const std::size_t at = log.find(text, from);
        positions.push_back(at);
        if (at == std::string::npos)
            break;
        from = at + text.size();
    }
    return positions;
}

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::copy_file(kalvo::test::DeliveredLanguageFile(), files.languageFile);
        uGlobal::ResetProgramState();
    }

    void TearDown() override
    {
        window.reset();
        uGlobal::ResetProgramState();
    }

    // Starts the unit, which enters its terminal as COM20 in the settings file, then the window on
    // the platform's serial system, as the program does.
    void StartUnitAndWindow(const std::string& mode)
    {
        unit = std::make_unique<kalvo::test::UnitsimProcess>(
            UNITSIM_PROGRAM,
            std::vector<std::string>{"--settings", files.settingsFile, "--com", std::to_string(ComNumber), "--mode",
                                     mode, "--seed", "5", "--log"},
            true);
        terminal = unit->NextLine(Patience);
        ASSERT_FALSE(terminal.empty()) << "unitsim announced no terminal: " << unit->ErrorOutputWith("\n", 1s);

        serial = kalvo::MakePlatformSerialSystem(files.settingsFile);
        uGlobal::Serial = serial.get();
        window = std::make_unique<QtMainWindow>(files);
        window->SetErrorBox([this](const std::string& message) { errors.push_back(message); });
        window->show();
        ASSERT_TRUE(errors.empty()) << errors.front();
        ASSERT_NE(uGlobal::PortHandle, nullptr) << "the unit's terminal did not open";
    }

    // Waits for the first poll to end: the report box, emptied at start-up, fills after every poll.
    bool FirstPollEnded()
    {
        return WaitFor([this] { return !window->Memo1->Lines().empty(); }, Patience);
    }

    // The unit's log once it shows the request for the error history.
    const std::string& UnitLogOfOnePoll() { return unit->ErrorOutputWith("request 0x82", Patience); }

    kalvo::test::TempDir folder;
    kalvo::ProgramFiles files = kalvo::ProgramFilesFor(folder.file("kalvo"));
    std::unique_ptr<kalvo::test::UnitsimProcess> unit;
    std::string terminal;
    std::unique_ptr<kalvo::SerialSystem> serial;
    std::unique_ptr<QtMainWindow> window;
    std::vector<std::string> errors;
};

TEST_F(EndToEndTest, PollFillsTheWindowAndTheSettingsSurviveTheClose)
{
    ASSERT_NO_FATAL_FAILURE(StartUnitAndWindow("normal"));
    EXPECT_EQ(window->StatusBar1->PanelText(0).toStdString(), PortText);

    ASSERT_TRUE(FirstPollEnded()) << "no poll filled the report";
    EXPECT_EQ(window->StatusBar1->PanelText(0).toStdString(), PortText);
    EXPECT_EQ(window->StatusBar1->PanelText(1), QString());
    EXPECT_FALSE(uGlobal::ReplyTimedOut);

    // The requests reached the unit one after the other, each answered with its full length, and
    // exactly the data of those replies landed in the three blocks.
    const std::vector<std::size_t> requests =
        PositionsInOrder(UnitLogOfOnePoll(), {"request 0x80, reply 59 bytes", "request 0x81, reply 46 bytes",
                                              "request 0x82, reply 136 bytes"});
    EXPECT_EQ(std::count(requests.begin(), requests.end(), std::string::npos), 0) << unit->ErrorOutputWith("", 0s);
    EXPECT_TRUE(HoldsDataOfLength(uGlobal::StatusBlock, kalvo::StatusReplyLength - 8));
    EXPECT_TRUE(HoldsDataOfLength(uGlobal::TimingBlock, kalvo::TimingReplyLength - 8));
    EXPECT_TRUE(HoldsDataOfLength(uGlobal::ErrorHistoryBlock, kalvo::ErrorHistoryReplyLength - 8));

    // The window shows what the blocks hold, in the words of the delivered language file.
    const kalvo::DecodedReadings shown =
        kalvo::DecodeReadings(uGlobal::StatusBlock, uGlobal::TimingBlock, uGlobal::LanguageTable);
    EXPECT_EQ(window->Memo1->Lines(), kalvo::ReportLines(shown.texts, uGlobal::LanguageTable));
    EXPECT_EQ(window->Memo2->Lines(), kalvo::ErrorRecordLines(uGlobal::ErrorHistoryBlock, 0, 1, uGlobal::LanguageTable));
    EXPECT_EQ(window->ImageFlamme->isVisible(), shown.flags[1]);

    window->PageControl1->setCurrentWidget(window->TabSheet2);
    window->close();
    EXPECT_TRUE(errors.empty()) << errors.front();
    EXPECT_EQ(uGlobal::PortHandle, nullptr) << "the port stayed open after the window closed";
    EXPECT_EQ(kalvo::ReadIniInteger(files.settingsFile, "Main", "COM", -1), ComNumber);
    EXPECT_EQ(kalvo::ReadIniInteger(files.settingsFile, "Main", "Panel", -1), 2);
    EXPECT_EQ(kalvo::ReadIniString(files.settingsFile, "Ports", "COM20"), terminal)
        << "the unit's port entry was lost when the settings were written";
}

TEST_F(EndToEndTest, SilentUnitShowsTheTransferErrorAndKeepsItsPort)
{
    ASSERT_NO_FATAL_FAILURE(StartUnitAndWindow("silent"));

    ASSERT_TRUE(FirstPollEnded()) << "no poll ended";
    EXPECT_EQ(window->StatusBar1->PanelText(0).toStdString(), PortText);
    EXPECT_EQ(window->StatusBar1->PanelText(1), TransferErrorText);
    EXPECT_TRUE(uGlobal::ReplyTimedOut);
    // The three requests reached the unit in their order, and none was answered.
    const std::vector<std::size_t> requests = PositionsInOrder(
        UnitLogOfOnePoll(), {"request 0x80, no reply", "request 0x81, no reply", "request 0x82, no reply"});
    EXPECT_EQ(std::count(requests.begin(), requests.end(), std::string::npos), 0) << unit->ErrorOutputWith("", 0s);
    for (const kalvo::Block* block : {&uGlobal::StatusBlock, &uGlobal::TimingBlock, &uGlobal::ErrorHistoryBlock})
        EXPECT_TRUE(std::all_of(block->begin(), block->end(), [](std::uint8_t b) { return b == 0; }));
    EXPECT_NE(uGlobal::PortHandle, nullptr) << "a silent unit is no reason to give up the port";
}

}  // namespace
