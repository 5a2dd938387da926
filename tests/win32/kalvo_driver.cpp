// kalvo_driver.exe: drives kalvo.exe from outside, as a user would, for the face tests under Wine.
// One command per run; it prints what it reads as bytes (window texts in Windows-1252) and exits
// with 0, or with 1 and a message on stderr when the window, control or condition is not found.
//
//   wait-window SECONDS         until the main window shows
//   wait-gone SECONDS           until the main window is gone
//   wait-trend SECONDS          until the trend window shows; prints its place: left top width height
//   wait-memo N SECONDS         until MemoN holds text
//   wait-panel N TEXT SECONDS   until status panel N reads TEXT
//   dump                        everything the window shows (ViewDump.h)
//   geometry                    outer and client size, centring, places of the named controls
//   text NAME | visible NAME    a control's text, or 1/0 for its visibility
//   click NAME                  presses a button of the main window (posted, the handler may be modal)
//   tab NAME INDEX              clicks tab INDEX of a page control
//   keys KEY...                 real key input to the main window: alt+f, q, enter, space, tab,
//                               shift+tab, ...; after a key that opens a menu the next waits until
//                               the menu shows, after Tab until the focus has moved
//   focus                       the name of the control that has the keyboard focus, or "none"
//   menu NAME                   the command of MainMenu1's item NAME (Quit1, COMPort1, ...), as
//                               the menu gives it, for steps that do not test the menu itself
//   dialog SECONDS              waits for the port dialog, prints its items and selection once searched
//   dialog-select INDEX | dialog-ok | dialog-close
//   answer SECONDS TITLE TEXT   waits for the dialog of that title, types TEXT into it, presses OK
//                               (TEXT is a file name: every letter of it arrives, whatever the code page)
//   message-box SECONDS         waits for the error box, prints title and text, presses OK
//   clipboard                   the CF_TEXT bytes
//   clear-clipboard             empties the clipboard
//   add-printer NAME            a PostScript printer on FILE: becomes the default printer
//   remove-printer NAME         removes that printer, if it is there
//   close                       closes the main window as its close button does
//   end-session                 tells the program that Windows logs off or shuts down
//   window-rect                 the main window's place on the screen: left top width height
//   client-rect                 its client area's place on the screen: left top width height
//   client-places               "NAME L T W H" per control of PlacedControls.h: the part of it that
//                               its parents leave in view, in the client area's coordinates
//   cut-texts DPI               one line per text of the main window that its control cuts: tab
//                               captions, status panel texts and labels wider than their tab, panel
//                               or control, measured in the form font at DPI; nothing when all fit
//   shown-lines NAME            how many lines of the memo show whole, from its first
//   shown-tabs NAME             how many tabs of the page control show whole, from its first
//   dialog-cut-texts DPI        the same for the port dialog's label
//   label-cut LABEL TEXT DPI    gives a value label of the "Picture" page the text (as a poll
//                               does) and prints it as cut-texts would when it does not show whole
//   dpi-changed DPI             tells the main window, as Windows does when it moves to a monitor of
//                               that density, suggesting its rectangle scaled about its centre

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <winspool.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/win32/PlacedControls.h"
#include "tests/win32/ViewDump.h"
#include "ui/win32/ControlIds.h"
#include "ui/win32/DisplayScale.h"
#include "ui/win32/Win32Layout.h"
#include "ui/win32/Win32Text.h"
#include "ui/win32/Win32TrendFrm.h"
#include "window/FormLayout.h"
#include "window/MainView.h"

using kalvo::win32::ControlIdOf;
using kalvo::win32::Narrow;
using kalvo::win32::Widen;

namespace {

constexpr wchar_t MainClass[] = L"KalvoMainFrm";
constexpr wchar_t DialogClass[] = L"#32770";
constexpr wchar_t MenuClass[] = L"#32768";  // the system's popup menus
constexpr DWORD PollMs = 50;
// How long a key's step (a menu opening, the focus moving) may take, on a machine as busy as it gets.
constexpr double StepSeconds = 60;

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Waits for the condition, checking every PollMs, until the seconds have passed.
bool WaitFor(double seconds, const std::function<bool()>& condition)
{
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(PollMs);
    }
}

HWND MainWindow()
{
    HWND window = FindWindowW(MainClass, nullptr);
    if (!window)
        throw Failure("no Kalvo main window");
    return window;
}

HWND Control(HWND parent, const std::string& name)
{
    const int id = ControlIdOf(name);
    HWND control = id ? kalvo::win32::DescendantWithId(parent, id) : nullptr;
    if (!control)
        throw Failure("no control " + name);
    return control;
}

bool Visible(HWND window)
{
    return (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

std::string TextOf(HWND window)
{
    return Narrow(kalvo::win32::WindowTextOf(window));
}

// Memory inside the program's process, for messages whose pointers Wine does not carry across.
class RemoteBuffer {
public:
    RemoteBuffer(HWND window, std::size_t size) : size_(size)
    {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
        address_ = process_ ? VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE) : nullptr;
        if (!address_)
            throw Failure("cannot reach into the program's memory");
    }
    ~RemoteBuffer()
    {
        VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        CloseHandle(process_);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    char* Address() const { return static_cast<char*>(address_); }
    void Write(std::size_t offset, const void* data, std::size_t count) const
    {
        WriteProcessMemory(process_, Address() + offset, data, count, nullptr);
    }
    void Read(std::size_t offset, void* data, std::size_t count) const
    {
        ReadProcessMemory(process_, Address() + offset, data, count, nullptr);
    }

private:
    std::size_t size_;
    HANDLE process_ = nullptr;
    void* address_ = nullptr;
};

constexpr std::size_t TextCapacity = 1024;

std::string PanelText(HWND statusBar, int panel)
{
    RemoteBuffer buffer(statusBar, TextCapacity * sizeof(wchar_t));
    const auto length = LOWORD(SendMessageW(statusBar, SB_GETTEXTW, panel, reinterpret_cast<LPARAM>(buffer.Address())));
    std::wstring text(length, L'\0');
    buffer.Read(0, text.data(), length * sizeof(wchar_t));
    return Narrow(text);
}

std::vector<std::string> TabCaptions(HWND tabs)
{
    RemoteBuffer buffer(tabs, sizeof(TCITEMW) + TextCapacity * sizeof(wchar_t));
    std::vector<std::string> captions;
    const auto count = static_cast<int>(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = reinterpret_cast<wchar_t*>(buffer.Address() + sizeof(TCITEMW));
        item.cchTextMax = TextCapacity;
        buffer.Write(0, &item, sizeof item);
        SendMessageW(tabs, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(buffer.Address()));
        std::wstring text(TextCapacity, L'\0');
        buffer.Read(sizeof(TCITEMW), text.data(), TextCapacity * sizeof(wchar_t));
        captions.push_back(Narrow(text.c_str()));
    }
    return captions;
}

RECT TabRect(HWND tabs, int index)
{
    RemoteBuffer buffer(tabs, sizeof(RECT));
    SendMessageW(tabs, TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(buffer.Address()));
    RECT rect{};
    buffer.Read(0, &rect, sizeof rect);
    return rect;
}

// List items read with SendMessageW, which Wine carries across processes for these messages.
std::vector<std::string> ListItems(HWND list, UINT countMessage, UINT lengthMessage, UINT textMessage)
{
    std::vector<std::string> items;
    const auto count = static_cast<int>(SendMessageW(list, countMessage, 0, 0));
    for (int i = 0; i < count; ++i) {
        const auto length = static_cast<std::size_t>(SendMessageW(list, lengthMessage, i, 0));
        std::wstring text(length + 1, L'\0');
        SendMessageW(list, textMessage, i, reinterpret_cast<LPARAM>(text.data()));
        items.push_back(Narrow(text.c_str()));
    }
    return items;
}

RECT PlaceInParent(HWND control)
{
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// A font made as the program makes it (a font of another process cannot be read).
struct FormFont {
    explicit FormFont(HFONT font) : handle(font) { }
    ~FormFont() { DeleteObject(handle); }
    FormFont(const FormFont&) = delete;
    FormFont& operator=(const FormFont&) = delete;
    HFONT handle;
};

// The width of the text in the font.
int TextWidth(const std::string& text, HFONT font)
{
    HDC screen = GetDC(nullptr);
    const HGDIOBJ previous = SelectObject(screen, font);
    const std::wstring wide = Widen(text);
    SIZE extent{};
    GetTextExtentPoint32W(screen, wide.c_str(), static_cast<int>(wide.size()), &extent);
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);
    return extent.cx;
}

void Print(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
}

std::string RectText(const RECT& rect)
{
    return std::to_string(rect.left) + " " + std::to_string(rect.top) + " " + std::to_string(rect.right - rect.left) +
           " " + std::to_string(rect.bottom - rect.top);
}

// The part of the control that its ancestors up to the main window leave in view, in the main
// window's client coordinates.
RECT ShownInClient(HWND control, HWND main)
{
    RECT shown;
    GetWindowRect(control, &shown);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&shown), 2);
    for (HWND ancestor = GetParent(control); ancestor && ancestor != main; ancestor = GetParent(ancestor)) {
        RECT area;
        GetClientRect(ancestor, &area);
        MapWindowPoints(ancestor, main, reinterpret_cast<POINT*>(&area), 2);
        IntersectRect(&shown, &shown, &area);
    }
    return shown;
}

void PrintClientPlaces()
{
    HWND main = MainWindow();
    std::string out;
    for (const std::string_view name : kalvo::test::PlacedControls)
        out += std::string(name) + " " + RectText(ShownInClient(Control(main, std::string(name)), main)) + "\n";
    Print(out);
}

void Dump()
{
    HWND main = MainWindow();
    kalvo::viewdump::ViewDump dump;
    for (int label = 2; label <= 6; ++label)
        dump.labels[label - 2] = TextOf(Control(main, "Label" + std::to_string(label)));
    for (std::size_t i = 0; i < dump.images.size(); ++i) {
        const std::string_view image = kalvo::layout::ImageName(static_cast<kalvo::ComponentImage>(i));
        dump.images[i] = Visible(Control(main, std::string(image)));
    }
    HWND checkList = Control(main, "CheckListBox1");
    const std::vector<std::string> items = ListItems(checkList, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT);
    for (std::size_t i = 0; i < items.size(); ++i)
        dump.checkItems.emplace_back(SendMessageW(checkList, LB_GETITEMDATA, i, 0) == 1, items[i]);
    dump.checkListEnabled = IsWindowEnabled(checkList) != FALSE;
    const std::vector<std::string> tabs = TabCaptions(Control(main, "PageControl2"));
    for (std::size_t i = 0; i < tabs.size() && i < dump.errorTabs.size(); ++i)
        dump.errorTabs[i] = tabs[i];
    dump.activePage = 1 + static_cast<int>(SendMessageW(Control(main, "PageControl1"), TCM_GETCURSEL, 0, 0));
    dump.activeErrorTab = 3 + static_cast<int>(SendMessageW(Control(main, "PageControl2"), TCM_GETCURSEL, 0, 0));
    HWND statusBar = Control(main, "StatusBar1");
    dump.panels = {PanelText(statusBar, 0), PanelText(statusBar, 1)};
    for (int memo = 1; memo <= 10; ++memo) {
        HWND edit = Control(main, "Memo" + std::to_string(memo));
        dump.memos[memo - 1] = kalvo::win32::SplitMemoText(kalvo::win32::WindowTextOf(edit));
        dump.memoVisible[memo - 1] = Visible(edit);
    }
    Print(kalvo::viewdump::FormatViewDump(dump));
}

void Geometry()
{
    HWND main = MainWindow();
    RECT outer;
    RECT client;
    GetWindowRect(main, &outer);
    GetClientRect(main, &client);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    const LONG style = GetWindowLongW(main, GWL_STYLE);
    std::string out = "outer " + std::to_string(outer.right - outer.left) + " " + std::to_string(outer.bottom - outer.top) + "\n";
    out += "client " + std::to_string(client.right) + " " + std::to_string(client.bottom) + "\n";
    out += "centre-offset " + std::to_string((outer.left + outer.right) / 2 - screenWidth / 2) + " " +
           std::to_string((outer.top + outer.bottom) / 2 - screenHeight / 2) + "\n";
    out += std::string("maximize-box ") + ((style & WS_MAXIMIZEBOX) ? "1" : "0") + "\n";
    // Every control of the layout that is a window of its own, a page in its page control.
    for (const kalvo::layout::Control& control : kalvo::layout::MainFrm.controls) {
        const std::string name(control.name);
        if (ControlIdOf(name) != 0)
            out += name + " " + RectText(PlaceInParent(Control(main, name))) + "\n";
    }
    Print(out);
}

// How many lines of an edit box without scroll bars lie wholly inside its text area, from its first.
int ShownLines(HWND edit, const std::string& name)
{
    const auto lines = static_cast<int>(SendMessageW(edit, EM_GETLINECOUNT, 0, 0));
    const auto lineStart = [edit](int line) { return SendMessageW(edit, EM_LINEINDEX, line, 0); };
    if (lines < 2)
        throw Failure(name + " holds too few lines to measure");
    RECT area{};  // the system carries this message's rectangle across processes
    SendMessageW(edit, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&area));
    const auto lineTop = [&](int line) {
        return static_cast<int>(static_cast<short>(HIWORD(SendMessageW(edit, EM_POSFROMCHAR, lineStart(line), 0))));
    };
    const int lineHeight = lineTop(1) - lineTop(0);
    int shown = 0;
    while (shown < lines && lineTop(shown) >= area.top && lineTop(shown) + lineHeight <= area.bottom)
        ++shown;
    return shown;
}

// Tab captions that do not fit their tab.
std::string CutTabCaptions(HWND tabs, const std::string& name, HFONT font)
{
    RECT client;
    GetClientRect(tabs, &client);
    std::string out;
    const std::vector<std::string> captions = TabCaptions(tabs);
    for (std::size_t i = 0; i < captions.size(); ++i) {
        const RECT tab = TabRect(tabs, static_cast<int>(i));
        const int needed = TextWidth(captions[i], font);
        if (needed > tab.right - tab.left)
            out += name + " tab \"" + captions[i] + "\" needs " + std::to_string(needed) + " px, has " + RectText(tab)
                + " in a width of " + std::to_string(client.right) + "\n";
    }
    return out;
}

// How many tabs lie wholly inside their page control, from the first.
int ShownTabs(HWND tabs)
{
    RECT client;
    GetClientRect(tabs, &client);
    const auto count = static_cast<int>(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
    int shown = 0;
    while (shown < count && TabRect(tabs, shown).right <= client.right)
        ++shown;
    return shown;
}

// Status panel texts wider than their panel inside its edge and margin.
std::string CutPanelTexts(HWND statusBar, HFONT font)
{
    constexpr int EdgeAndMargin = 6;  // the sunken edge's 1 pixel each side, the text's 3 from the left edge
    std::string out;
    const auto panels = static_cast<int>(SendMessageW(statusBar, SB_GETPARTS, 0, 0));
    RemoteBuffer buffer(statusBar, sizeof(RECT));
    for (int panel = 0; panel < panels; ++panel) {
        SendMessageW(statusBar, SB_GETRECT, panel, reinterpret_cast<LPARAM>(buffer.Address()));
        RECT rect{};
        buffer.Read(0, &rect, sizeof rect);
        const std::string text = PanelText(statusBar, panel);
        const int needed = TextWidth(text, font) + EdgeAndMargin;
        if (needed > rect.right - rect.left)
            out += "panel " + std::to_string(panel) + " \"" + text + "\" needs " + std::to_string(needed) + " px, has "
                + std::to_string(rect.right - rect.left) + "\n";
    }
    return out;
}

// A static text wider than its control, or a control that its parent cuts.
std::string CutLabel(HWND label, const std::string& name, HFONT font)
{
    RECT client;
    GetClientRect(label, &client);
    RECT parent;
    GetClientRect(GetParent(label), &parent);
    const std::string text = TextOf(label);
    const int needed = TextWidth(text, font);
    return needed <= client.right && PlaceInParent(label).right <= parent.right ? ""
                                                                                : name + " \"" + text + "\" needs "
            + std::to_string(needed) + " px, has " + std::to_string(client.right) + "\n";
}

void SendDpiChanged(int dpi)
{
    HWND main = MainWindow();
    RECT outer;
    GetWindowRect(main, &outer);
    const int width = MulDiv(outer.right - outer.left, dpi, kalvo::layout::DesignDpi);
    const int height = MulDiv(outer.bottom - outer.top, dpi, kalvo::layout::DesignDpi);
    const POINT centre{(outer.left + outer.right) / 2, (outer.top + outer.bottom) / 2};
    const RECT suggested{
        centre.x - width / 2, centre.y - height / 2, centre.x - width / 2 + width, centre.y - height / 2 + height};
    RemoteBuffer buffer(main, sizeof suggested);
    buffer.Write(0, &suggested, sizeof suggested);
    SendMessageW(main, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(buffer.Address()));
}

// The value label with a text of the test's: its window must grow to it. A poll that sets the
// label's own text in between is waited out: the text is given again until it is the one measured.
void PrintLabelCut(const std::string& name, const std::string& text, int dpi)
{
    HWND label = Control(MainWindow(), name);
    const FormFont font(
        kalvo::win32::CreateScaledFont(kalvo::layout::MainFrm.FontPixels(kalvo::layout::FontRole::ValueText), dpi));
    std::string cut;
    const std::wstring wide = Widen(text);
    if (!WaitFor(StepSeconds, [&] {
            SendMessageW(label, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
            cut = CutLabel(label, name, font.handle);
            return TextOf(label) == text;
        }))
        throw Failure(name + " never kept the text");
    Print(cut);
}

void PrintCutTexts(int dpi)
{
    HWND main = MainWindow();
    const FormFont font(
        kalvo::win32::CreateScaledFont(kalvo::layout::MainFrm.FontPixels(kalvo::layout::FontRole::Form), dpi));
    Print(CutTabCaptions(Control(main, "PageControl1"), "PageControl1", font.handle)
        + CutTabCaptions(Control(main, "PageControl2"), "PageControl2", font.handle)
        + CutPanelTexts(Control(main, "StatusBar1"), font.handle)
        + CutLabel(Control(main, "Label1"), "Label1", font.handle));
}

// A top-level dialog of the program other than the given title, or with exactly that title.
HWND ProgramDialog(const std::function<bool(const std::string&)>& titleMatches)
{
    DWORD programProcess = 0;
    GetWindowThreadProcessId(MainWindow(), &programProcess);
    struct Search {
        DWORD process;
        const std::function<bool(const std::string&)>* matches;
        HWND found;
    } search{programProcess, &titleMatches, nullptr};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            wchar_t className[64] = {};
            GetClassNameW(window, className, 64);
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process != s->process || std::wcscmp(className, DialogClass) != 0 || !IsWindowVisible(window) ||
                !(*s->matches)(TextOf(window)))
                return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForDialog(double seconds, const std::function<bool(const std::string&)>& titleMatches, const char* what)
{
    HWND dialog = nullptr;
    if (!WaitFor(seconds, [&] { return (dialog = ProgramDialog(titleMatches)) != nullptr; }))
        throw Failure(std::string("no ") + what);
    return dialog;
}

HWND PortDialog()
{
    HWND dialog = ProgramDialog([](const std::string& title) { return title == "COM-Port"; });
    if (!dialog)
        throw Failure("no port dialog");
    return dialog;
}

void PrintPortDialog(double seconds)
{
    HWND dialog = WaitForDialog(seconds, [](const std::string& title) { return title == "COM-Port"; }, "port dialog");
    // The list is final once the search has given the button back.
    if (!WaitFor(seconds, [&] { return IsWindowEnabled(Control(dialog, "Button1")) != FALSE; }))
        throw Failure("the port search did not end");
    HWND list = Control(dialog, "ComboBox1");
    std::string out;
    for (const std::string& item : ListItems(list, CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT))
        out += "item " + item + "\n";
    out += "selected " + std::to_string(SendMessageW(list, CB_GETCURSEL, 0, 0)) + "\n";
    out += "label " + TextOf(Control(dialog, "DialogLabel1")) + "\n";
    out += "button " + TextOf(Control(dialog, "Button1")) + "\n";
    RECT client;
    GetClientRect(dialog, &client);
    out += "client " + std::to_string(client.right) + " " + std::to_string(client.bottom) + "\n";
    Print(out);
}

void Key(WORD key, bool down)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
}

WORD VirtualKey(const std::string& name)
{
    if (name == "enter")
        return VK_RETURN;
    if (name == "escape")
        return VK_ESCAPE;
    if (name == "space")
        return VK_SPACE;
    if (name == "tab")
        return VK_TAB;
    if (name.size() == 1)
        return static_cast<WORD>(VkKeyScanW(static_cast<wchar_t>(name[0])) & 0xFF);
    throw Failure("unknown key " + name);
}

// A popup menu of the program's thread shows on the screen.
bool MenuShows(DWORD thread)
{
    for (HWND popup = FindWindowExW(nullptr, nullptr, MenuClass, nullptr); popup;
         popup = FindWindowExW(nullptr, popup, MenuClass, nullptr)) {
        if (IsWindowVisible(popup) && GetWindowThreadProcessId(popup, nullptr) == thread)
            return true;
    }
    return false;
}

HWND FocusOf(DWORD thread)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

// The name of the main window's control that has the focus.
std::string FocusedName()
{
    HWND main = MainWindow();
    HWND focus = FocusOf(GetWindowThreadProcessId(main, nullptr));
    for (const std::string_view name : kalvo::layout::MainFrmTabOrder) {
        if (focus && IsChild(main, focus) && GetDlgCtrlID(focus) == ControlIdOf(name))
            return std::string(name);
    }
    return "none";
}

// Real input, as from the keyboard: the program's menus answer only to that. A key typed before
// the step it starts is done would go elsewhere, so after a key that opens a menu the next one
// waits until the menu shows, and after Tab until the focus has moved. The driver only looks at
// the program meanwhile; it sends it nothing.
void Keys(const std::vector<std::string>& keys)
{
    HWND main = MainWindow();
    const DWORD thread = GetWindowThreadProcessId(main, nullptr);
    SetForegroundWindow(main);
    WaitFor(5, [&] { return GetForegroundWindow() == main; });
    for (const std::string& key : keys) {
        const std::size_t plus = key.find('+');
        const std::string modifier = plus == std::string::npos ? "" : key.substr(0, plus);
        const WORD modifierKey = modifier == "alt" ? VK_MENU : modifier == "shift" ? VK_SHIFT : 0;
        if (!modifier.empty() && !modifierKey)
            throw Failure("unknown modifier in " + key);
        const WORD code = VirtualKey(key.substr(plus == std::string::npos ? 0 : plus + 1));
        HWND focus = FocusOf(thread);
        if (modifierKey)
            Key(modifierKey, true);
        Key(code, true);
        Key(code, false);
        if (modifierKey)
            Key(modifierKey, false);
        if (modifierKey == VK_MENU && !WaitFor(StepSeconds, [&] { return MenuShows(thread); }))
            throw Failure("no menu opened at " + key);
        if (code == VK_TAB && !WaitFor(StepSeconds, [&] { return FocusOf(thread) != focus; }))
            throw Failure("the focus stayed at " + key);
    }
}

// Gives the window the command of a main menu item, as choosing the item does.
void ChooseMenuItem(const std::string& name)
{
    const auto& items = kalvo::MainMenu1;
    const auto item = std::find_if(items.begin(), items.end(), [&](const auto& entry) { return entry.name == name; });
    if (item == items.end())
        throw Failure("no menu item " + name);
    const auto id = kalvo::win32::IdMenuCommandBase + static_cast<int>(item - items.begin());
    PostMessageW(MainWindow(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

// Answers a dialog of the program or of the system on its behalf (the save dialog, the print-to-file
// question): types the text into its first edit box and presses OK.
void AnswerDialog(double seconds, const std::string& title, const std::string& text)
{
    HWND dialog = WaitForDialog(seconds, [&](const std::string& candidate) { return candidate == title; }, title.c_str());
    HWND edit = nullptr;
    EnumChildWindows(
        dialog,
        [](HWND child, LPARAM data) -> BOOL {
            wchar_t className[16] = {};
            GetClassNameW(child, className, 16);
            if (_wcsicmp(className, L"Edit") != 0 || !IsWindowVisible(child))
                return TRUE;
            *reinterpret_cast<HWND*>(data) = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&edit));
    if (!edit)
        throw Failure("no edit box in " + title);
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(kalvo::win32::WidenFileName(text).c_str()));
    PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    if (!WaitFor(seconds, [&] { return !IsWindow(dialog); }))
        throw Failure(title + " stayed open");
}

void MessageBoxText(double seconds)
{
    HWND box = WaitForDialog(seconds, [](const std::string& title) { return title == "Kalvo"; }, "error box");
    std::string text;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM data) -> BOOL {
            wchar_t className[16] = {};
            GetClassNameW(child, className, 16);
            const std::string childText = TextOf(child);
            if (_wcsicmp(className, L"Static") == 0 && childText.size() > reinterpret_cast<std::string*>(data)->size())
                *reinterpret_cast<std::string*>(data) = childText;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&text));
    Print("title " + TextOf(box) + "\ntext " + text + "\n");
    PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
}

// A PostScript printer on port FILE: as the system's default, with the generic PPD that winspool
// carries as its resource PPDFILE 1 (Wine's own fallback when a printer has none).
void InstallTestPrinter(const std::string& name)
{
    HMODULE spool = LoadLibraryExW(L"winspool.drv", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC resource = spool ? FindResourceW(spool, MAKEINTRESOURCEW(1), L"PPDFILE") : nullptr;
    if (!resource)
        throw Failure("winspool.drv carries no generic PPD");
    wchar_t folder[MAX_PATH] = {};
    DWORD size = sizeof folder;
    if (!GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(folder), size, &size))
        throw Failure("no printer driver folder");
    const std::wstring ppd = std::wstring(folder) + L"\\3\\kalvo-generic.ppd";
    HANDLE file = CreateFileW(ppd.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    const bool saved = file != INVALID_HANDLE_VALUE &&
                       WriteFile(file, LockResource(LoadResource(spool, resource)), SizeofResource(spool, resource),
                                 &written, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    if (!saved)
        throw Failure("cannot write the PPD");

    DRIVER_INFO_3W driver{};
    driver.cVersion = 3;
    driver.pName = const_cast<wchar_t*>(L"Wine PostScript Driver");
    driver.pDriverPath = const_cast<wchar_t*>(L"wineps.drv");
    driver.pConfigFile = const_cast<wchar_t*>(L"wineps.drv");
    driver.pDataFile = const_cast<wchar_t*>(ppd.c_str());
    if (!AddPrinterDriverExW(nullptr, 3, reinterpret_cast<BYTE*>(&driver), APD_COPY_NEW_FILES) &&
        GetLastError() != ERROR_PRINTER_DRIVER_ALREADY_INSTALLED)
        throw Failure("cannot install the PostScript driver");
    const std::wstring printerName = Widen(name);
    PRINTER_INFO_2W printer{};
    printer.pPrinterName = const_cast<wchar_t*>(printerName.c_str());
    printer.pPortName = const_cast<wchar_t*>(L"FILE:");
    printer.pDriverName = driver.pName;
    printer.pPrintProcessor = const_cast<wchar_t*>(L"WinPrint");
    printer.pDatatype = const_cast<wchar_t*>(L"RAW");
    HANDLE added = AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&printer));
    if (!added && GetLastError() != ERROR_PRINTER_ALREADY_EXISTS)
        throw Failure("cannot add the printer");
    if (added)
        ClosePrinter(added);
    if (!SetDefaultPrinterW(printerName.c_str()))
        throw Failure("cannot make the printer the default");
}

// Takes the test printer away again, so the next run starts without any printer; a printer that
// is not there is no failure.
void RemoveTestPrinter(const std::string& name)
{
    const std::wstring printerName = Widen(name);
    PRINTER_DEFAULTSW access{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE printer = nullptr;
    if (!OpenPrinterW(const_cast<wchar_t*>(printerName.c_str()), &printer, &access))
        return;
    const bool deleted = DeletePrinter(printer) != FALSE;
    ClosePrinter(printer);
    if (!deleted)
        throw Failure("cannot remove the printer");
}

void Clipboard()
{
    if (!WaitFor(5, [] { return OpenClipboard(nullptr) != FALSE; }))
        throw Failure("the clipboard stays busy");
    HANDLE data = GetClipboardData(CF_TEXT);
    std::string text;
    if (data) {
        text = static_cast<const char*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    if (!data)
        throw Failure("no text on the clipboard");
    Print(text);
}

// Argument index (0: the command) as the system has it, in UTF-16, turned into the UTF-8 of file
// names: the 8-bit arguments lose every letter outside the ANSI code page.
std::string FileNameArgument(std::size_t index)
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    const std::string name = arguments && index + 1 < static_cast<std::size_t>(count)
        ? kalvo::win32::NarrowFileName(arguments[index + 1])
        : "";
    LocalFree(arguments);
    if (name.empty())
        throw Failure("missing file name");
    return name;
}

double Seconds(const std::vector<std::string>& args, std::size_t index)
{
    if (index >= args.size())
        throw Failure("missing seconds");
    return std::atof(args[index].c_str());
}

void Run(const std::vector<std::string>& args)
{
    const std::string& command = args.at(0);
    if (command == "wait-window") {
        if (!WaitFor(Seconds(args, 1), [] {
                HWND main = FindWindowW(MainClass, nullptr);
                return main && IsWindowVisible(main);
            }))
            throw Failure("the main window did not show");
    } else if (command == "wait-trend") {
        HWND trend = nullptr;
        if (!WaitFor(Seconds(args, 1), [&] {
                trend = FindWindowW(kalvo::win32::Win32TrendFrm::ClassName, nullptr);
                return trend && IsWindowVisible(trend);
            }))
            throw Failure("the trend window did not show");
        RECT rect;
        GetWindowRect(trend, &rect);
        Print(RectText(rect) + "\n");
    } else if (command == "wait-gone") {
        if (!WaitFor(Seconds(args, 1), [] { return FindWindowW(MainClass, nullptr) == nullptr; }))
            throw Failure("the main window stayed");
    } else if (command == "wait-memo") {
        HWND memo = Control(MainWindow(), "Memo" + args.at(1));
        if (!WaitFor(Seconds(args, 2), [&] { return SendMessageW(memo, WM_GETTEXTLENGTH, 0, 0) > 0; }))
            throw Failure("Memo" + args.at(1) + " stayed empty");
    } else if (command == "wait-panel") {
        HWND statusBar = Control(MainWindow(), "StatusBar1");
        if (!WaitFor(Seconds(args, 3), [&] { return PanelText(statusBar, std::atoi(args.at(1).c_str())) == args.at(2); }))
            throw Failure("panel " + args.at(1) + " reads \"" + PanelText(statusBar, std::atoi(args.at(1).c_str())) + "\"");
    } else if (command == "dump") {
        Dump();
    } else if (command == "geometry") {
        Geometry();
    } else if (command == "text") {
        Print(TextOf(Control(MainWindow(), args.at(1))));
    } else if (command == "visible") {
        Print(Visible(Control(MainWindow(), args.at(1))) ? "1" : "0");
    } else if (command == "click") {
        PostMessageW(Control(MainWindow(), args.at(1)), BM_CLICK, 0, 0);
    } else if (command == "tab") {
        HWND tabs = Control(MainWindow(), args.at(1));
        const RECT rect = TabRect(tabs, std::atoi(args.at(2).c_str()));
        const LPARAM point = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
        PostMessageW(tabs, WM_LBUTTONDOWN, MK_LBUTTON, point);
        PostMessageW(tabs, WM_LBUTTONUP, 0, point);
    } else if (command == "keys") {
        Keys({args.begin() + 1, args.end()});
    } else if (command == "menu") {
        ChooseMenuItem(args.at(1));
    } else if (command == "dialog") {
        PrintPortDialog(Seconds(args, 1));
    } else if (command == "dialog-select") {
        SendMessageW(Control(PortDialog(), "ComboBox1"), CB_SETCURSEL, std::atoi(args.at(1).c_str()), 0);
    } else if (command == "dialog-ok") {
        PostMessageW(Control(PortDialog(), "Button1"), BM_CLICK, 0, 0);
    } else if (command == "dialog-close") {
        PostMessageW(PortDialog(), WM_SYSCOMMAND, SC_CLOSE, 0);
    } else if (command == "answer") {
        AnswerDialog(Seconds(args, 1), args.at(2), FileNameArgument(3));
    } else if (command == "message-box") {
        MessageBoxText(Seconds(args, 1));
    } else if (command == "add-printer") {
        InstallTestPrinter(args.at(1));
    } else if (command == "remove-printer") {
        RemoveTestPrinter(args.at(1));
    } else if (command == "clipboard") {
        Clipboard();
    } else if (command == "clear-clipboard") {
        if (!WaitFor(5, [] { return OpenClipboard(nullptr) != FALSE; }))
            throw Failure("the clipboard stays busy");
        EmptyClipboard();
        CloseClipboard();
    } else if (command == "focus") {
        Print(FocusedName() + "\n");
    } else if (command == "end-session") {
        HWND main = MainWindow();
        if (!SendMessageW(main, WM_QUERYENDSESSION, 0, 0))
            throw Failure("the program refused the end of the session");
        SendMessageW(main, WM_ENDSESSION, TRUE, 0);
    } else if (command == "close") {
        PostMessageW(MainWindow(), WM_CLOSE, 0, 0);
    } else if (command == "cut-texts") {
        PrintCutTexts(std::atoi(args.at(1).c_str()));
    } else if (command == "label-cut") {
        PrintLabelCut(args.at(1), args.at(2), std::atoi(args.at(3).c_str()));
    } else if (command == "dialog-cut-texts") {
        // The dialog's font is fitted to its label.
        const auto form = kalvo::layout::Scaled(kalvo::layout::ComPortFrm, std::atoi(args.at(1).c_str()));
        const FormFont font(kalvo::win32::CreateFittingFont(form.FontPixels(kalvo::layout::FontRole::Form),
            Widen(form["Label1"].caption), form["Label1"].bounds.width));
        Print(CutLabel(Control(PortDialog(), "DialogLabel1"), "DialogLabel1", font.handle));
    } else if (command == "shown-lines") {
        Print(std::to_string(ShownLines(Control(MainWindow(), args.at(1)), args.at(1))) + "\n");
    } else if (command == "shown-tabs") {
        Print(std::to_string(ShownTabs(Control(MainWindow(), args.at(1)))) + "\n");
    } else if (command == "dpi-changed") {
        SendDpiChanged(std::atoi(args.at(1).c_str()));
    } else if (command == "window-rect") {
        RECT rect;
        GetWindowRect(MainWindow(), &rect);
        Print(RectText(rect) + "\n");
    } else if (command == "client-rect") {
        HWND main = MainWindow();
        RECT client;
        GetClientRect(main, &client);
        MapWindowPoints(main, nullptr, reinterpret_cast<POINT*>(&client), 2);
        Print(RectText(client) + "\n");
    } else if (command == "client-places") {
        PrintClientPlaces();
    } else {
        throw Failure("unknown command " + command);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc < 2) {
        std::fputs("usage: kalvo_driver COMMAND [ARGUMENT]...\n", stderr);
        return 2;
    }
    try {
        Run({argv + 1, argv + argc});
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kalvo_driver %s: %s\n", argv[1], error.what());
        return 1;
    }
    return 0;
}
