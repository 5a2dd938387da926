#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/PollResult.h"
#include "core/WindowLink.h"
#include "record/PollRecord.h"
#include "window/MainView.h"
#include "window/ReportExport.h"
#include "window/ReportPrinting.h"
#include "window/uTrendFrm.h"
#include "window/WindowRecording.h"
#include "window/WindowSettings.h"

// The main window's behaviour: start-up and settings, polling with the report, the picture page,
// the check list and the error records, quitting, the export, printing and recording the polls into
// a folder. Its handlers are here and in uMainFrmPolling.cpp; the export, the printing, the
// recording and the settings file are units of their own. It drives a face's views and never
// touches a widget; the device link reaches it as the program's WindowLink.
//
// A face builds its widgets, then calls FormCreate, and passes the window's events in: FormShow
// when the window is first shown, FormHide when it is taken down, the timer's ticks, the menu
// commands and the three buttons. Every handler runs to its end or stops at the first error,
// which the error box shows.
class TMainFrm : public kalvo::WindowLink {
public:
    static constexpr std::chrono::milliseconds Timer1Interval{2000};
    static constexpr int PicturePage = 1;    // TabSheet1
    static constexpr int TextPage = 2;       // TabSheet2
    static constexpr int FirstErrorTab = 3;  // TabSheet3 shows error record 1 in Memo2

    TMainFrm(kalvo::MainFace face, kalvo::ProgramFiles files);
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
    // Opens the trend window.
    void Trend1Click();
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
    // The report from ReadingTexts, the picture page and the poll's error records.
    void BuildReport(const kalvo::PollFields& fields);
    void AddReportLine(const std::string& line);
    // Shows error record n (1..8) in memo n + 1.
    void ShowErrorRecord(const kalvo::ErrorRecordValues& record, int n);
    void LoadLanguage(const std::string& fileName);
    // Rewrites Memo10 with the lines of Memo1 .. Memo9, each box followed by one empty line, and
    // returns them.
    std::vector<std::string> GatherExportText();

    // The device link's status panels.
    void SetPanelText(int panel, const std::string& text) override;
    void RepaintStatusBar() override;

    // The page kept in the settings: 1 = "Picture", 2 = "Text".
    int ActivePanel = PicturePage;
    // The trend of the polls since start-up; none before start-up has loaded the language.
    kalvo::WindowTrend* Trend() { return trend_.get(); }
    const kalvo::ProgramFiles& Files() const { return files_; }

    // The clock that times recorded polls; tests put simulated time here.
    std::function<kalvo::record::LocalTime()> RecordingClock = kalvo::record::LocalNow;

private:
    // An error ends the handler where it occurs and shows in the error box.
    void RunHandler(const std::function<void()>& body);

    void FillCheckList();
    void CaptionErrorTabs();
    void ReopenPortAndRestartPolling();
    void RecordFinishedPoll(const kalvo::Poll& poll, kalvo::record::LocalTime pollStart);
    void ShowPollInTrend(const kalvo::Poll& poll, kalvo::record::LocalTime pollStart);
    void EndRecording();
    void ShowRecordingCheck();

    kalvo::MainView& view_;
    kalvo::SystemServices& system_;
    kalvo::ProgramFiles files_;
    kalvo::ReportPrinter printer_;
    kalvo::WindowRecording recording_;  // while "Record readings..." is checked
    std::unique_ptr<kalvo::WindowTrend> trend_;
    int checkListItems_ = 0;            // none until start-up has filled the list
    std::optional<std::string> previousSaveChoice_;
    bool startedUp_ = false;
    bool shutDown_ = false;
    bool pollRunning_ = false;
};
