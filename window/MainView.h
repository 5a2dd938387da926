#pragma once

#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "window/FormLayout.h"

// What the window layer asks of a face, by concern: the main window's controls addressed by their
// names, the system's dialogs and services, the printer. A face builds the widgets and implements
// these; it makes no decision of its own about what they show.
//
// All texts are 8-bit strings: the window's texts in Windows-1252 (each face converts with that
// code page), file names in the system's file-name encoding. Numbered controls are addressed by
// the number in their name: memo 1 is Memo1, label 2 is Label2, tab sheet 3 is TabSheet3,
// panel 0 is the first panel of StatusBar1.
namespace kalvo {

// The six component pictures of the "Picture" page (FormLayout.h).
using layout::ComponentImage;

// Commands of the main menu MainMenu1; the face passes the chosen one to TMainFrm::MenuClick.
enum class MenuCommand { Quit1, COMPort1, RecordReadings1, Trend1 };

// One item of the main menu: the menu it sits in (name and caption) and its own name and caption.
// A checkable item shows a check mark that only SetMenuItemChecked sets.
struct MenuItem {
    const char* menuName;
    const char* menuCaption;
    const char* name;
    const char* caption;
    MenuCommand command;
    bool checkable = false;
};

// The main menu as a face builds it: menus in order of first appearance, items in list order.
inline constexpr std::array<MenuItem, 4> MainMenu1 = {{
    {"file1", "&File", "RecordReadings1", "&Record readings...", MenuCommand::RecordReadings1, true},
    {"file1", "&File", "Quit1", "&Quit", MenuCommand::Quit1},
    {"Setup1", "&Setup", "COMPort1", "&COM-Port", MenuCommand::COMPort1},
    {"View1", "&View", "Trend1", "&Trend...", MenuCommand::Trend1},
}};

// What the save-file question shows. The filter is "description|pattern" pairs joined by "|";
// the default extension is added to a name typed without one. An existing file is replaced
// without asking.
struct SaveFileQuestion {
    std::string filter;
    std::string defaultExtension;
    std::string initialFileName;  // the choice of the previous use, empty at the first
};

// The current moment in the system's regional formats.
struct RegionalDateTime {
    std::string shortDate;  // the short date format
    std::string longTime;   // the long time format, with seconds
};

// The printable area of the page, and the printer font's line height, in the same units as the
// widths PrintTextWidth returns. Lines are placed by the top of their line box, 0 at the top of
// the printable area, starting at its left edge.
struct PrintPage {
    double width = 0;
    double height = 0;
    double lineHeight = 0;
};

enum class PrintJobStatus { Opened, NoDefaultPrinter, PrinterNotValid };

struct PrintJobOpening {
    PrintJobStatus status = PrintJobStatus::NoDefaultPrinter;
    PrintPage page;  // valid when Opened
};

// The main window's controls, its timer and its message loop.
class MainView {
public:
    virtual ~MainView() = default;

    // Memo1 .. Memo10. A memo's lines are the lines set or added, in order, plus what the user typed.
    virtual void SetMemoLines(int memo, const std::vector<std::string>& lines) = 0;
    virtual void AddMemoLine(int memo, const std::string& line) = 0;
    virtual std::vector<std::string> MemoLines(int memo) const = 0;
    virtual void SetMemoVisible(int memo, bool visible) = 0;

    // Label2 .. Label6, the value texts of the "Picture" page; each sizes itself to its text.
    virtual void SetLabelCaption(int label, const std::string& caption) = 0;
    virtual void SetImageVisible(ComponentImage image, bool visible) = 0;

    // CheckListBox1: replaces the items (all unchecked), then marks and enables them.
    virtual void SetCheckListItems(const std::vector<std::string>& items) = 0;
    virtual void SetCheckMark(int item, bool checked) = 0;
    virtual void SetCheckListEnabled(bool enabled) = 0;

    // Showing a tab sheet makes it the active page of its page control (FormLayout.h says which).
    virtual void SetActivePage(int tabSheet) = 0;
    // The tab sheet showing in PageControl1: 1 or 2.
    virtual int ActivePage() const = 0;
    virtual void SetTabCaption(int tabSheet, const std::string& caption) = 0;

    // StatusBar1, panels 0 and 1; the repaint shows a text at once, before a slow step begins.
    virtual void SetPanelText(int panel, const std::string& text) = 0;
    virtual void RepaintStatusBar() = 0;
    // The check mark of a checkable item of MainMenu1.
    virtual void SetMenuItemChecked(MenuCommand command, bool checked) = 0;

    // Timer1: starting it (also when it runs) restarts its count; each tick calls
    // TMainFrm::Timer1Timer.
    virtual void StartTimer1(std::chrono::milliseconds interval) = 0;
    virtual void StopTimer1() = 0;

    // Dispatches every pending window message (input, painting, menu commands, timer ticks) and
    // returns without waiting for new ones. Handlers of the layer may run inside it.
    virtual void ProcessPendingMessages() = 0;
    // Takes the main window down; the face then calls TMainFrm::FormHide and ends the event loop.
    virtual void CloseWindow() = 0;
};

// The system's dialogs and desktop services around the main window: modal boxes and questions,
// the clipboard and the regional clock.
class SystemServices {
public:
    virtual ~SystemServices() = default;

    // The modal error box: error icon, one OK button, the title and the text as given.
    virtual void ShowErrorBox(const std::string& title, const std::string& text) = 0;
    // SaveDialog1, modal: the chosen file's path, or nothing when the user cancels.
    virtual std::optional<std::string> AskSaveFileName(const SaveFileQuestion& question) = 0;
    // A modal folder question under the title, opening at the initial folder (empty: the face's
    // choice): the chosen folder's path, or nothing when the user cancels.
    virtual std::optional<std::string> AskFolder(const std::string& title, const std::string& initialFolder) = 0;
    // Shows ComPortFrm modally and returns when it has closed, however it was closed.
    virtual void ShowPortDialog() = 0;
    // Shows the trend window (TTrendFrm over TMainFrm::Trend) beside the main window, or brings it
    // to the front when it shows already.
    virtual void ShowTrendWindow() = 0;
    // Replaces the clipboard's content with the text (8-bit, lines ended by CR LF) as plain text.
    virtual void SetClipboardText(const std::string& text) = 0;
    virtual RegionalDateTime CurrentRegionalDateTime() const = 0;
};

// A plain-text print job on the system's current printer, without a dialog. Open is called only
// while no job is open; End follows every successful Open.
class PrintJobView {
public:
    virtual ~PrintJobView() = default;

    virtual PrintJobOpening OpenPrintJob(const std::string& documentName) = 0;
    // The width of the text in the printer font; defined while a job is open.
    virtual double PrintTextWidth(const std::string& text) = 0;
    virtual void PrintLine(double top, const std::string& text) = 0;
    // False when the printer could not begin a new page.
    virtual bool NewPrintPage() = 0;
    // Ends the job and sends it to the printer; false when that failed.
    virtual bool EndPrintJob() = 0;
};

// What a face gives the main window's behaviour: its controls, the system around them and the printer.
struct MainFace {
    MainView& controls;
    SystemServices& system;
    PrintJobView& printer;
};

// What TComPortFrm asks of the port dialog's face: the list ComboBox1, the button Button1, the
// access note below them and the pause timer of the port search.
class PortDialogView {
public:
    virtual ~PortDialogView() = default;

    // Replaces the items of ComboBox1; nothing is selected and its text is empty afterwards.
    virtual void SetPortItems(const std::vector<std::string>& items) = 0;
    // The index of the selected item, or -1.
    virtual int SelectedPortItem() const = 0;
    virtual void SelectPortItem(int index) = 0;
    // While searching, ComboBox1 shows the placeholder text and takes no input, nor does Button1.
    virtual void SetSearching(bool searching, const std::string& placeholder) = 0;
    // The note under Button1; the dialog grows by the note's height while it shows.
    virtual void SetAccessNoteVisible(bool visible) = 0;
    virtual void FocusButton1() = 0;
    // A single pause; when it has run out the face calls TComPortFrm::ProbePauseElapsed.
    virtual void StartProbePause(std::chrono::milliseconds pause) = 0;
    virtual void StopProbePause() = 0;
    // Closes the dialog with the OK result.
    virtual void CloseDialog() = 0;
};

}  // namespace kalvo
