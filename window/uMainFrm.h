#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "MainView.h"
#include "PollRecord.h"
#include "WindowLink.h"

namespace kalvo::record {
class FolderRecorder;
}

namespace kalvo {

// The files the program reads and writes beside its executable.
struct ProgramFiles {
    std::string languageFile;  // the executable's folder, its trailing separator, then "MY.LNG"
    std::string settingsFile;  // the executable's path with the extension ".ini"
};

ProgramFiles ProgramFilesFor(const std::string& executablePath);

// The export text as the clipboard and a saved file hold it: every line ended by CR LF.
std::string ExportText(const std::vector<std::string>& lines);

}  // namespace kalvo

// The main window's behaviour: start-up, polling, quitting, the report, the picture page, the
// check list, the error records, the export and recording the polls into a folder. It drives a MainView and never
// touches a widget; the device link reaches it as the program's WindowLink.
//
// A face builds its widgets, then calls FormCreate, and passes the window's events in: FormShow
// when the window is first shown, FormHide when it is taken down, the timer's ticks, the menu
// commands and the three buttons. Every handler runs to its end or stops at the first error,
// which the error box shows.
class TMainFrm : public kalvo::WindowLink {
public:
    static constexpr std::chrono::milliseconds Timer1Interval{2000};
    // The boxes gathered by the export: the report Memo1, then the error records Memo2 .. Memo9.
    static constexpr int ExportedMemoCount = 9;
    // Memo10 holds the gathered export text; start-up hides it.
    static constexpr int ScratchMemo = 10;
    static constexpr int PicturePage = 1;    // TabSheet1
    static constexpr int TextPage = 2;       // TabSheet2
    static constexpr int FirstErrorTab = 3;  // TabSheet3 shows error record 1 in Memo2

    TMainFrm(kalvo::MainView& view, kalvo::ProgramFiles files);
    ~TMainFrm() override;

    // Once the widgets are built: makes this the program's window link and switches Timer1 on.
    void FormCreate();

    // Event handlers. FormShow runs start-up at the first showing only, FormHide shutdown at the
    // first taking down only.
    void FormShow();
    void FormHide();
    void Quit1Click();
    void Timer1Timer();
    void COMPort1Click();
    // Starts recording the window's polls into a folder the user chooses, or stops the recording.
    void RecordReadings1Click();
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void MenuClick(kalvo::MenuCommand command);

    // Operations; errors leave them and end the handler that called them.
    void PollTick();
    void ProcessPendingMessages() override;
    void ClearReadings() override;
    void HideComponentImages();
    void RefreshIndicators();
    void BuildReport();
    void AddReportLine(const std::string& line);
    // Shows error record n (1..8), which starts at offset in the error history, in memo n + 1.
    void ShowErrorRecord(int offset, int n);
    void LoadLanguage(const std::string& fileName);
    // Rewrites Memo10 with the lines of Memo1 .. Memo9, each box followed by one empty line, and
    // returns them.
    std::vector<std::string> GatherExportText();

    // The device link's status panels.
    void SetPanelText(int panel, const std::string& text) override;
    void RepaintStatusBar() override;

    // The page kept in the settings: 1 = "Picture", 2 = "Text".
    int ActivePanel = PicturePage;
    // The clock that times recorded polls; tests put simulated time here.
    std::function<kalvo::record::LocalTime()> RecordingClock = kalvo::record::LocalNow;

private:
    template <typename Body> void RunHandler(Body&& body);

    void FillCheckList();
    void CaptionErrorTabs();
    void ReopenPortAndRestartPolling();
    void PrintReport(const std::vector<std::string>& lines);
    kalvo::PrintPage OpenPrintJob();
    bool PrintPages(const std::vector<std::string>& lines, const kalvo::PrintPage& page);
    void StartRecording();
    void RecordFinishedPoll(kalvo::record::LocalTime pollStart);
    void EndRecording();
    void ShowRecordingCheck();

    kalvo::MainView& view_;
    kalvo::ProgramFiles files_;
    int checkListItems_ = 0;  // none until start-up has filled the list
    std::optional<std::string> previousSaveChoice_;
    std::unique_ptr<kalvo::record::FolderRecorder> recording_;  // while "Record readings..." is checked
    std::string previousRecordFolder_;
    bool startedUp_ = false;
    bool shutDown_ = false;
    bool pollRunning_ = false;
    bool printJobOpen_ = false;
};
