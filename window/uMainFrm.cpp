#include "uMainFrm.h"

#include <exception>
#include <filesystem>
#include <utility>

#include "Captions.h"
#include "FileReplace.h"
#include "FolderRecorder.h"
#include "KalvoError.h"
#include "PrintLayout.h"
#include "Readings.h"
#include "Recorder.h"
#include "Settings.h"
#include "uGlobal.h"

namespace kalvo {

ProgramFiles ProgramFilesFor(const std::string& executablePath)
{
#ifdef _WIN32
    constexpr const char* PathSeparators = "\\/";
#else
    constexpr const char* PathSeparators = "/";
#endif
    const std::size_t lastSeparator = executablePath.find_last_of(PathSeparators);
    const std::string folder =
        lastSeparator == std::string::npos ? std::string() : executablePath.substr(0, lastSeparator + 1);
    return {folder + "MY.LNG", SettingsPathFor(executablePath)};
}

std::string ExportText(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

}  // namespace kalvo

namespace {

constexpr char SettingsSection[] = "Main";
constexpr char PortKey[] = "COM";
constexpr char PanelKey[] = "Panel";

// Language lines 2..11 caption the ten status flags, one check-list item each.
constexpr int FirstCheckListLine = kalvo::FirstStatusFlagLine;
constexpr int CheckListItemCount = kalvo::StatusFlagCount;

// The component each picture shows, lit while the unit reports it active.
struct ComponentPicture {
    kalvo::ComponentImage image;
    kalvo::StatusFlag flag;
};
// In the order HideComponentImages hides them and RefreshIndicators sets them.
constexpr ComponentPicture ComponentPictures[] = {
    {kalvo::ComponentImage::ImageHeizung, kalvo::HeaterFlag},
    {kalvo::ComponentImage::ImageTrafo, kalvo::IgnitionTransformerFlag},
    {kalvo::ComponentImage::ImageMotor, kalvo::FanMotorFlag},
    {kalvo::ComponentImage::ImageFlamme, kalvo::FlameFlag},
    {kalvo::ComponentImage::ImageVentil1, kalvo::FuelValve1Flag},
    {kalvo::ComponentImage::ImageVentil2, kalvo::FuelValve2Flag},
};
constexpr int ErrorTabCount = 8;
constexpr int FirstValueLabel = 2;  // Label2 .. Label6
constexpr int LastValueLabel = 6;

constexpr char RecordFolderTitle[] = "Record readings";

constexpr char SaveFilter[] = "Text (*.txt)|*.txt";
constexpr char SaveDefaultExtension[] = "txt";

// Writes the export text exactly into the file, replacing a file of that name. The text goes into
// a new file beside it that takes the name only once it is written, flushed and synced, so any
// failure (a full disk among them) leaves an earlier file whole and no new file; the user is told
// by the file's name that it was not created, whichever step failed.
void SaveExportText(const std::string& fileName, const std::string& exportText)
{
    // Only a plain file is replaced: a device or pipe of that name would otherwise be swapped for a
    // regular file, and a folder cannot take the text at all.
    std::error_code error;
    const auto status = std::filesystem::status(fileName, error);
    const bool plainOrAbsent = !std::filesystem::exists(status) || std::filesystem::is_regular_file(status);
    if (!plainOrAbsent || !kalvo::ReplaceFileContent(fileName, exportText))
        throw kalvo::KalvoError("Cannot create file " + fileName);
}

}  // namespace

TMainFrm::TMainFrm(kalvo::MainView& view, kalvo::ProgramFiles files) : view_(view), files_(std::move(files)) { }

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

// An error ends the handler where it occurs; the program goes on with the next event.
template <typename Body> void TMainFrm::RunHandler(Body&& body)
{
    try {
        body();
    } catch (const std::exception& error) {
        view_.ShowErrorBox(kalvo::ApplicationTitle, kalvo::ErrorBoxText(error.what()));
    } catch (...) {
        view_.ShowErrorBox(kalvo::ApplicationTitle, kalvo::ErrorBoxText("Unexpected error"));
    }
}

void TMainFrm::FormShow()
{
    if (startedUp_)
        return;
    startedUp_ = true;
    RunHandler([this] {
        LoadLanguage(files_.languageFile);
        view_.SetMemoVisible(ScratchMemo, false);
        for (int label = FirstValueLabel; label <= LastValueLabel; ++label)
            view_.SetLabelCaption(label, {});
        view_.SetActivePage(FirstErrorTab);
        FillCheckList();
        // The decimal separator needs no setting: every number text is built from integers with ".".
        uGlobal::StopRequested = false;
        CaptionErrorTabs();
        uGlobal::PortNumber = kalvo::ReadIniInteger(files_.settingsFile, SettingsSection, PortKey, uGlobal::NoPort);
        ActivePanel = kalvo::ReadIniInteger(files_.settingsFile, SettingsSection, PanelKey, PicturePage);
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

void TMainFrm::FormHide()
{
    if (!startedUp_ || shutDown_)
        return;
    shutDown_ = true;
    // On its own: the recording's files are closed whatever the rest of shutdown runs into.
    if (recording_)
        RunHandler([this] { EndRecording(); });
    RunHandler([this] {
        ActivePanel = view_.ActivePage() == TextPage ? TextPage : PicturePage;
        // Written before the port is closed, so the port in use at the end is the one stored.
        kalvo::WriteIniInteger(files_.settingsFile, SettingsSection, PortKey, uGlobal::PortNumber);
        kalvo::WriteIniInteger(files_.settingsFile, SettingsSection, PanelKey, ActivePanel);
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

void TMainFrm::Timer1Timer()
{
    // The port dialog, run inside a waiting poll, switches the timer on again; its ticks must not
    // start a second read cycle on the same port. The running poll restarts the count at its end.
    if (pollRunning_)
        return;
    RunHandler([this] {
        struct RunningPoll {
            bool& running;
            explicit RunningPoll(bool& flag) : running(flag) { running = true; }
            ~RunningPoll() { running = false; }
        } running(pollRunning_);
        view_.StopTimer1();
        PollTick();
        // Restarting the timer here spaces the polls from the end of one to the start of the next.
        view_.StartTimer1(Timer1Interval);
    });
}

void TMainFrm::COMPort1Click()
{
    RunHandler([this] {
        try {
            view_.StopTimer1();
            // Closed before the dialog probes the ports, so the port in use shows in its list.
            uGlobal::ClosePort();
            view_.ShowPortDialog();
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
    }
}

void TMainFrm::RecordReadings1Click()
{
    RunHandler([this] {
        if (recording_)
            EndRecording();
        else
            StartRecording();
    });
    // Also after a cancelled question or a folder that takes no files: a face may have toggled the
    // mark itself when the item was chosen.
    ShowRecordingCheck();
}

// The recording takes the polls of this window's own port: no second program opens it.
void TMainFrm::StartRecording()
{
    const std::optional<std::string> folder = view_.AskFolder(RecordFolderTitle, previousRecordFolder_);
    if (!folder || folder->empty())
        return;
    previousRecordFolder_ = *folder;
    recording_ =
        std::make_unique<kalvo::record::FolderRecorder>(std::filesystem::path(*folder), uGlobal::LanguageTable);
}

// A poll cut short by Quit is not recorded, as in kalvo-record. A recording that cannot go on
// (a full disk) stops and says why; the window goes on polling and showing.
void TMainFrm::RecordFinishedPoll(kalvo::record::LocalTime pollStart)
{
    if (!recording_ || uGlobal::StopRequested)
        return;
    try {
        recording_->RecordPoll(kalvo::record::CaptureFinishedPoll(pollStart));
    } catch (const kalvo::record::RecordError& error) {
        recording_.reset();
        ShowRecordingCheck();
        view_.ShowErrorBox(kalvo::ApplicationTitle, kalvo::ErrorBoxText(error.what()) + " Recording stopped.");
    }
}

// Dropped before it is finished, so no later poll reaches the files even when finishing fails.
void TMainFrm::EndRecording()
{
    const std::unique_ptr<kalvo::record::FolderRecorder> recording = std::move(recording_);
    ShowRecordingCheck();
    recording->GetRecorder().Finish();
}

void TMainFrm::ShowRecordingCheck()
{
    view_.SetMenuItemChecked(kalvo::MenuCommand::RecordReadings1, recording_ != nullptr);
}

void TMainFrm::BitBtn1Click()
{
    RunHandler([this] { view_.SetClipboardText(kalvo::ExportText(GatherExportText())); });
}

// The job prints its own copy of the text gathered here: a click handled while it spools may
// gather again without changing what is printed.
void TMainFrm::BitBtn2Click()
{
    RunHandler([this] {
        const std::vector<std::string> gathered = GatherExportText();
        PrintReport(kalvo::PrintedReportLines(gathered, view_.CurrentRegionalDateTime()));
    });
}

void TMainFrm::PrintReport(const std::vector<std::string>& lines)
{
    if (printJobOpen_)
        throw kalvo::KalvoError("Printing in progress");
    const kalvo::PrintPage page = OpenPrintJob();
    printJobOpen_ = true;
    bool drawn = false;
    try {
        drawn = PrintPages(lines, page);
    } catch (...) {
        // Ending the job sends what was drawn, also after a failure on the way.
        view_.EndPrintJob();
        printJobOpen_ = false;
        throw;
    }
    const bool ended = view_.EndPrintJob();
    printJobOpen_ = false;
    if (!drawn || !ended)
        throw kalvo::KalvoError("Printing failed");
}

// A job on the current printer, under an empty document name; the reasons it cannot open leave
// the handler.
kalvo::PrintPage TMainFrm::OpenPrintJob()
{
    const kalvo::PrintJobOpening opening = view_.OpenPrintJob({});
    switch (opening.status) {
    case kalvo::PrintJobStatus::Opened:
        break;
    case kalvo::PrintJobStatus::NoDefaultPrinter:
        throw kalvo::KalvoError("There is no default printer currently selected");
    case kalvo::PrintJobStatus::PrinterNotValid:
        throw kalvo::KalvoError("Printer selected is not valid");
    }
    return opening.page;
}

// Prints the lines laid out on the job's pages; false when the printer could not begin a page.
bool TMainFrm::PrintPages(const std::vector<std::string>& lines, const kalvo::PrintPage& page)
{
    const auto textWidth = [this](const std::string& text) { return view_.PrintTextWidth(text); };
    int pageNumber = 0;
    for (const kalvo::PlacedLine& line : kalvo::LayOutPrintedLines(lines, page, textWidth)) {
        if (line.page != pageNumber) {
            pageNumber = line.page;
            if (!view_.NewPrintPage())
                return false;
        }
        view_.PrintLine(line.top, line.text);
    }
    return true;
}

// Gathers only once a file is chosen, so a cancelled dialog leaves Memo10 as it was.
void TMainFrm::BitBtn3Click()
{
    RunHandler([this] {
        const std::optional<std::string> fileName =
            view_.AskSaveFileName({SaveFilter, SaveDefaultExtension, previousSaveChoice_.value_or(std::string())});
        if (!fileName || fileName->empty())
            return;
        previousSaveChoice_ = fileName;
        SaveExportText(*fileName, kalvo::ExportText(GatherExportText()));
    });
}

std::vector<std::string> TMainFrm::GatherExportText()
{
    std::vector<std::string> gathered;
    for (int memo = 1; memo <= ExportedMemoCount; ++memo) {
        for (std::string& line : view_.MemoLines(memo))
            gathered.push_back(std::move(line));
        gathered.emplace_back();
    }
    view_.SetMemoLines(ScratchMemo, gathered);
    return gathered;
}

void TMainFrm::PollTick()
{
    if (uGlobal::StopRequested)
        return;
    // Timed at its start, as kalvo-record times a poll; the item may be chosen while the cycle waits.
    const kalvo::record::LocalTime pollStart = RecordingClock();
    uGlobal::ReadCycle();
    RecordFinishedPoll(pollStart);
    // Decoding and the report run also after a failed cycle, on what the blocks then hold.
    uGlobal::DecodeReadings();
    BuildReport();
}

void TMainFrm::ProcessPendingMessages()
{
    view_.ProcessPendingMessages();
}

void TMainFrm::SetPanelText(int panel, const std::string& text)
{
    view_.SetPanelText(panel, text);
}

void TMainFrm::RepaintStatusBar()
{
    view_.RepaintStatusBar();
}

void TMainFrm::ClearReadings()
{
    HideComponentImages();
    for (int memo = 1; memo <= ExportedMemoCount; ++memo)
        view_.SetMemoLines(memo, {});
}

void TMainFrm::HideComponentImages()
{
    for (const ComponentPicture& picture : ComponentPictures)
        view_.SetImageVisible(picture.image, false);
}

void TMainFrm::RefreshIndicators()
{
    const kalvo::StatusFlagSet& flags = uGlobal::StatusFlags;
    for (const ComponentPicture& picture : ComponentPictures)
        view_.SetImageVisible(picture.image, flags[picture.flag]);

    // A list left empty by a start-up that stopped early has no marks to set.
    for (int k = 0; k < checkListItems_; ++k)
        view_.SetCheckMark(k, flags[static_cast<std::size_t>(k)]);

    const kalvo::ReadingTextSet& texts = uGlobal::ReadingTexts;
    view_.SetLabelCaption(2, texts.OnOffText);
    view_.SetLabelCaption(3, texts.AlarmFlagText);
    view_.SetLabelCaption(4, texts.MainsVoltageText);
    view_.SetLabelCaption(5, texts.FlameCurrentText);
    view_.SetLabelCaption(6, texts.AlarmCurrentText);
}

void TMainFrm::BuildReport()
{
    view_.SetMemoLines(1, {});
    for (const std::string& line : kalvo::ReportCandidateLines(uGlobal::ReadingTexts, uGlobal::LanguageTable))
        AddReportLine(line);
    RefreshIndicators();
    for (int n = 1; n <= kalvo::ErrorRecordCount; ++n)
        ShowErrorRecord(kalvo::ErrorRecordSize * (n - 1), n);
}

void TMainFrm::AddReportLine(const std::string& line)
{
    if (kalvo::ReportLineFilter(line))
        view_.AddMemoLine(1, line);
}

void TMainFrm::ShowErrorRecord(int offset, int n)
{
    // Memo2 .. Memo9 hold records 1 .. 8; there is no box for any other number.
    if (n < 1 || n > kalvo::ErrorRecordCount)
        return;
    view_.SetMemoLines(n + 1, kalvo::ErrorRecordLines(uGlobal::ErrorHistoryBlock, offset, n, uGlobal::LanguageTable));
}

void TMainFrm::LoadLanguage(const std::string& fileName)
{
    kalvo::LoadLanguage(fileName, uGlobal::LanguageTable);
}
