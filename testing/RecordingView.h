#pragma once

#include <array>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "window/FormLayout.h"
#include "window/MainView.h"

namespace kalvo::test {

// A main window face without widgets: it keeps what the window layer showed, in the state a built
// window starts in, and lets a test stand in for the user, the system and the printer through its
// hooks.
class RecordingView : public MainView, public SystemServices, public PrintJobView {
public:
    RecordingView()
    {
        const auto& form = layout::MainFrm;
        for (int memo = 1; memo <= 10; ++memo) {
            const std::string_view caption = form.At("Memo", memo).caption;
            memos[memo] = caption.empty() ? std::vector<std::string>() : std::vector<std::string>{std::string(caption)};
        }
        for (int label = 2; label <= 6; ++label)
            labels[label] = form.At("Label", label).caption;
        for (int tab = 1; tab <= layout::TabSheetCount; ++tab) {
            const layout::Control& sheet = form.At("TabSheet", tab);
            tabCaptions[tab] = sheet.caption;
            if (sheet.activePage)
                SetActivePage(tab);
        }
        for (ComponentImage image :
            {ComponentImage::ImageHeizung, ComponentImage::ImageTrafo, ComponentImage::ImageMotor,
                ComponentImage::ImageFlamme, ComponentImage::ImageVentil1, ComponentImage::ImageVentil2})
            imageVisible[image] = true;
    }

    MainFace Face() { return {*this, *this, *this}; }

    void SetMemoLines(int memo, const std::vector<std::string>& lines) override { memos.at(memo) = lines; }
    void AddMemoLine(int memo, const std::string& line) override { memos.at(memo).push_back(line); }
    std::vector<std::string> MemoLines(int memo) const override { return memos.at(memo); }
    void SetMemoVisible(int memo, bool visible) override { memoVisible.at(memo) = visible; }
    void SetLabelCaption(int label, const std::string& caption) override { labels.at(label) = caption; }
    void SetImageVisible(ComponentImage image, bool visible) override { imageVisible.at(image) = visible; }
    void SetCheckListItems(const std::vector<std::string>& items) override
    {
        checkList = items;
        checkMarks.assign(items.size(), false);
    }
    void SetCheckMark(int item, bool checked) override { checkMarks.at(static_cast<std::size_t>(item)) = checked; }
    void SetCheckListEnabled(bool enabled) override { checkListEnabled = enabled; }
    void SetActivePage(int tabSheet) override
    {
        (layout::PageControlOf(tabSheet) == 1 ? activePage : activeErrorTab) = tabSheet;
    }
    int ActivePage() const override { return activePage; }
    void SetTabCaption(int tabSheet, const std::string& caption) override { tabCaptions.at(tabSheet) = caption; }
    void SetPanelText(int panel, const std::string& text) override
    {
        panels.at(static_cast<std::size_t>(panel)) = text;
    }
    void RepaintStatusBar() override { ++statusBarRepaints; }
    void StartTimer1(std::chrono::milliseconds interval) override
    {
        timerOn = true;
        timerInterval = interval;
    }
    void StopTimer1() override { timerOn = false; }
    void ProcessPendingMessages() override
    {
        ++messagePasses;
        if (onProcessPendingMessages)
            onProcessPendingMessages();
    }
    void CloseWindow() override
    {
        closed = true;
        if (onCloseWindow)
            onCloseWindow();
    }
    void ShowErrorBox(const std::string& title, const std::string& text) override
    {
        errorBoxTitles.push_back(title);
        errorBoxes.push_back(text);
    }
    std::optional<std::string> AskSaveFileName(const SaveFileQuestion& question) override
    {
        saveQuestions.push_back(question);
        if (saveAnswers.empty())
            return std::nullopt;
        std::optional<std::string> answer = saveAnswers.front();
        saveAnswers.pop_front();
        return answer;
    }
    std::optional<std::string> AskFolder(const std::string& title, const std::string& initialFolder) override
    {
        folderQuestions.push_back({title, initialFolder});
        if (folderAnswers.empty())
            return std::nullopt;
        std::optional<std::string> answer = folderAnswers.front();
        folderAnswers.pop_front();
        return answer;
    }
    void SetMenuItemChecked(MenuCommand command, bool checked) override { menuChecks[command] = checked; }
    void SetClipboardText(const std::string& text) override { clipboard = text; }
    void ShowTrendWindow() override { ++trendWindowShowings; }
    void ShowPortDialog() override
    {
        ++portDialogShowings;
        if (onShowPortDialog)
            onShowPortDialog();
    }
    RegionalDateTime CurrentRegionalDateTime() const override { return now; }

    // The printer: each character is one unit wide, each line one unit high.
    PrintJobOpening OpenPrintJob(const std::string& documentName) override
    {
        printDocumentNames.push_back(documentName);
        if (printerStatus != PrintJobStatus::Opened)
            return {printerStatus, {}};
        ++openJobs;
        printedPages.assign(1, {});
        return {PrintJobStatus::Opened, printPage};
    }
    double PrintTextWidth(const std::string& text) override { return static_cast<double>(text.size()); }
    void PrintLine(double top, const std::string& text) override { printedPages.back().push_back({top, text}); }
    bool NewPrintPage() override
    {
        if (onNewPrintPage)
            onNewPrintPage();
        printedPages.emplace_back();
        return true;
    }
    bool EndPrintJob() override
    {
        --openJobs;
        ++endedJobs;
        return true;
    }

    std::map<int, std::vector<std::string>> memos;
    std::map<int, bool> memoVisible{{10, true}};
    std::map<int, std::string> labels;
    std::map<ComponentImage, bool> imageVisible;
    std::vector<std::string> checkList;
    std::vector<bool> checkMarks;
    bool checkListEnabled = true;
    int activePage = 0;      // the tab sheet PageControl1 shows
    int activeErrorTab = 0;  // the tab sheet PageControl2 shows
    std::map<int, std::string> tabCaptions;
    std::array<std::string, 2> panels;
    int statusBarRepaints = 0;
    bool timerOn = false;
    std::chrono::milliseconds timerInterval{0};
    int messagePasses = 0;
    bool closed = false;
    std::vector<std::string> errorBoxTitles;
    std::vector<std::string> errorBoxes;
    std::vector<SaveFileQuestion> saveQuestions;
    std::deque<std::optional<std::string>> saveAnswers;  // nothing left: the user cancels
    struct FolderQuestion {
        std::string title;
        std::string initialFolder;
    };
    std::vector<FolderQuestion> folderQuestions;
    std::deque<std::optional<std::string>> folderAnswers;  // nothing left: the user cancels
    std::map<MenuCommand, bool> menuChecks;                // unchecked until set
    std::string clipboard;
    int portDialogShowings = 0;
    int trendWindowShowings = 0;
    RegionalDateTime now{"09.03.2024", "07:05:03"};
    PrintJobStatus printerStatus = PrintJobStatus::Opened;
    PrintPage printPage{80, 60, 1};
    std::vector<std::string> printDocumentNames;
    struct PrintedLine {
        double top;
        std::string text;
    };
    std::vector<std::vector<PrintedLine>> printedPages;
    int openJobs = 0;
    int endedJobs = 0;

    std::function<void()> onProcessPendingMessages;
    std::function<void()> onShowPortDialog;
    std::function<void()> onCloseWindow;  // a face takes the window down here: TMainFrm::FormHide
    std::function<void()> onNewPrintPage;
};

// A port dialog face without widgets.
class RecordingPortDialogView : public PortDialogView {
public:
    void SetPortItems(const std::vector<std::string>& newItems) override
    {
        items = newItems;
        selected = -1;
    }
    int SelectedPortItem() const override { return selected; }
    void SelectPortItem(int index) override { selected = index; }
    void SetSearching(bool isSearching, const std::string& text) override
    {
        searching = isSearching;
        placeholder = text;
    }
    void SetAccessNoteVisible(bool visible) override { accessNoteVisible = visible; }
    void FocusButton1() override { button1Focused = true; }
    void StartProbePause(std::chrono::milliseconds pause) override { pendingPause = pause; }
    void StopProbePause() override { pendingPause.reset(); }
    void CloseDialog() override { closedWithOk = true; }

    std::vector<std::string> items;
    int selected = -1;
    bool searching = false;
    std::string placeholder;
    bool accessNoteVisible = false;
    bool button1Focused = false;
    std::optional<std::chrono::milliseconds> pendingPause;
    bool closedWithOk = false;
};

}  // namespace kalvo::test
