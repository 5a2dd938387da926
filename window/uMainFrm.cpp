#include "window/uMainFrm.h"

#include <exception>
#include <utility>

#include "core/KalvoError.h"
#include "core/Readings.h"
#include "core/uGlobal.h"
#include "record/FolderLock.h"
#include "record/FolderRecorder.h"
#include "window/Captions.h"
#include "window/PrintLayout.h"

namespace {

// Language lines 2..11 caption the ten status flags, one check-list item each.
constexpr int FirstCheckListLine = kalvo::FirstStatusFlagLine;
constexpr int CheckListItemCount = kalvo::StatusFlagCount;
constexpr int ErrorTabCount = 8;
constexpr int FirstValueLabel = 2;  // Label2 .. Label6
constexpr int LastValueLabel = 6;

}  // namespace

TMainFrm::TMainFrm(kalvo::MainFace face, kalvo::ProgramFiles files)
    : view_(face.controls),
      system_(face.system),
      files_(std::move(files)),
      printer_(face.printer)
{
}

TMainFrm::~TMainFrm()
{
    if (uGlobal::Window == this)
        uGlobal::Window = nullptr;
}

void TMainFrm::FormCreate()
{
    uGlobal::Window = this;
    view_.StartTimer1(Timer1Interval);
}

// The program goes on with the next event.
void TMainFrm::RunHandler(const std::function<void()>& body)
{
    try {
        body();
    } catch (const std::exception& error) {
        system_.ShowErrorBox(kalvo::ApplicationTitle, kalvo::ErrorBoxText(error.what()));
    } catch (...) {
        system_.ShowErrorBox(kalvo::ApplicationTitle, kalvo::ErrorBoxText("Unexpected error"));
    }
}

void TMainFrm::FormShow()
{
    if (startedUp_)
        return;
    startedUp_ = true;
    RunHandler([this] {
        LoadLanguage(files_.languageFile);
        trend_ = std::make_unique<kalvo::WindowTrend>(uGlobal::LanguageTable, files_.languageFile);
        view_.SetMemoVisible(kalvo::ScratchMemo, false);
        for (int label = FirstValueLabel; label <= LastValueLabel; ++label)
            view_.SetLabelCaption(label, {});
        view_.SetActivePage(FirstErrorTab);
        FillCheckList();
        // The decimal separator needs no setting: every number text is built from integers with ".".
        uGlobal::StopRequested = false;
        CaptionErrorTabs();
        const kalvo::WindowSettings settings =
            kalvo::ReadWindowSettings(files_.settingsFile, {uGlobal::NoPort, PicturePage});
        uGlobal::PortNumber = settings.portNumber;
        ActivePanel = settings.panel;
        view_.SetActivePage(PicturePage);
        uGlobal::CheckStoredPort();
        if (uGlobal::PortNumber == uGlobal::NoPort)
            view_.StopTimer1();
        else
            uGlobal::OpenPort();
        ClearReadings();
    });
}

void TMainFrm::FillCheckList()
{
    std::vector<std::string> items;
    for (int line = FirstCheckListLine; line < FirstCheckListLine + CheckListItemCount; ++line)
        items.push_back(uGlobal::LanguageTable[line]);
    view_.SetCheckListItems(items);
    checkListItems_ = CheckListItemCount;
    // The marks follow the unit's flags; the user cannot change them.
    view_.SetCheckListEnabled(false);
}

void TMainFrm::CaptionErrorTabs()
{
    for (int tab = 0; tab < ErrorTabCount; ++tab)
        view_.SetTabCaption(FirstErrorTab + tab, "Error " + std::to_string(tab + 1));
}

void TMainFrm::LoadLanguage(const std::string& fileName)
{
    kalvo::LoadLanguage(fileName, uGlobal::LanguageTable);
}

void TMainFrm::FormHide()
{
    if (!startedUp_ || shutDown_)
        return;
    shutDown_ = true;
    // On its own: the recording's files are closed whatever the rest of shutdown runs into.
    if (recording_.Active())
        RunHandler([this] { EndRecording(); });
    RunHandler([this] {
        ActivePanel = view_.ActivePage() == TextPage ? TextPage : PicturePage;
        // Written before the port is closed, so the port in use at the end is the one stored.
        kalvo::WriteWindowSettings(files_.settingsFile, {uGlobal::PortNumber, ActivePanel});
        uGlobal::ClosePort();
    });
}

void TMainFrm::Quit1Click()
{
    RunHandler([this] {
        view_.StopTimer1();
        uGlobal::StopRequested = true;
        view_.CloseWindow();
    });
}

void TMainFrm::COMPort1Click()
{
    RunHandler([this] {
        try {
            view_.StopTimer1();
            // Closed before the dialog probes the ports, so the port in use shows in its list.
            uGlobal::ClosePort();
            system_.ShowPortDialog();
        } catch (...) {
            ReopenPortAndRestartPolling();
            throw;
        }
        ReopenPortAndRestartPolling();
    });
}

// Polling restarts even when no port could be opened; the read cycles then return at once.
void TMainFrm::ReopenPortAndRestartPolling()
{
    uGlobal::OpenPort();
    view_.StartTimer1(Timer1Interval);
}

void TMainFrm::MenuClick(kalvo::MenuCommand command)
{
    switch (command) {
    case kalvo::MenuCommand::Quit1:
        Quit1Click();
        return;
    case kalvo::MenuCommand::COMPort1:
        COMPort1Click();
        return;
    case kalvo::MenuCommand::RecordReadings1:
        RecordReadings1Click();
        return;
    case kalvo::MenuCommand::Trend1:
        Trend1Click();
        return;
    }
}

void TMainFrm::RecordReadings1Click()
{
    RunHandler([this] {
        if (recording_.Active())
            EndRecording();
        else
            recording_.Start(system_, uGlobal::LanguageTable, files_.languageFile,
                kalvo::record::RecorderHolder(uGlobal::PortNumber));
    });
    // Also after a cancelled question or a folder that takes no files: a face may have toggled the
    // mark itself when the item was chosen.
    ShowRecordingCheck();
}

// A poll cut short by Quit is not recorded, as in kalvo-record. A recording that cannot go on
// stops and says why; the window goes on polling and showing.
void TMainFrm::RecordFinishedPoll(const kalvo::Poll& poll, kalvo::record::LocalTime pollStart)
{
    if (!recording_.Active() || uGlobal::StopRequested)
        return;
    if (const std::optional<std::string> failure = recording_.RecordFinishedPoll(poll, pollStart)) {
        ShowRecordingCheck();
        system_.ShowErrorBox(kalvo::ApplicationTitle, kalvo::ErrorBoxText(*failure) + " Recording stopped.");
    }
}

// A poll cut short by Quit is left out of the trend too.
void TMainFrm::ShowPollInTrend(const kalvo::Poll& poll, kalvo::record::LocalTime pollStart)
{
    if (trend_ && !uGlobal::StopRequested)
        trend_->AddFinishedPoll(poll, pollStart);
}

// Before start-up has loaded the language there is no trend to show.
void TMainFrm::Trend1Click()
{
    RunHandler([this] {
        if (trend_)
            system_.ShowTrendWindow();
    });
}

void TMainFrm::EndRecording()
{
    const std::unique_ptr<kalvo::record::FolderRecorder> recording = recording_.Stop();
    ShowRecordingCheck();
    recording->GetRecorder().Finish();
}

void TMainFrm::ShowRecordingCheck()
{
    view_.SetMenuItemChecked(kalvo::MenuCommand::RecordReadings1, recording_.Active());
}

void TMainFrm::BitBtn1Click()
{
    RunHandler([this] { system_.SetClipboardText(kalvo::ExportText(GatherExportText())); });
}

// The job prints its own copy of the text gathered here: a click handled while it spools may
// gather again without changing what is printed.
void TMainFrm::BitBtn2Click()
{
    RunHandler([this] {
        const std::vector<std::string> gathered = GatherExportText();
        printer_.Print(kalvo::PrintedReportLines(gathered, system_.CurrentRegionalDateTime()));
    });
}

// Gathers only once a file is chosen, so a cancelled dialog leaves Memo10 as it was.
void TMainFrm::BitBtn3Click()
{
    RunHandler([this] {
        const std::optional<std::string> fileName =
            system_.AskSaveFileName(kalvo::ExportSaveQuestion(previousSaveChoice_));
        if (!fileName || fileName->empty())
            return;
        previousSaveChoice_ = fileName;
        kalvo::SaveExportText(*fileName, kalvo::ExportText(GatherExportText()));
    });
}

std::vector<std::string> TMainFrm::GatherExportText()
{
    return kalvo::GatherExportText(view_);
}
