#include "Win32MainFrm.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "Captions.h"
#include "ControlIds.h"
#include "ResourceIds.h"
#include "SystemServices.h"
#include "Win32ComPortFrm.h"
#include "Win32Text.h"
#include "uMainFrm.h"

namespace kalvo::win32 {

namespace {

// Pixels at 96 dots per inch, relative to the parent's client area.
constexpr int ClientWidth = 643;
constexpr int ClientHeight = 525;
constexpr RECT PageControl1Bounds{0, 0, 643, 504};
constexpr RECT StatusBar1Bounds{0, 504, 643, 525};
constexpr int Panel0Width = 50;

constexpr wchar_t FontFace[] = L"MS Sans Serif";
// The bitmap "MS Sans Serif" stops at 16 pixels; its TrueType successor draws the large value texts.
constexpr wchar_t LargeFontFace[] = L"Microsoft Sans Serif";
constexpr int WindowFontPixels = 11;
constexpr int ReportFontPixels = 12;
constexpr int ValueLabelFontPixels = 24;

constexpr UINT_PTR Timer1Id = 1;
constexpr int CheckListItemHeight = 13;
constexpr int FirstTabSheetOfPageControl2 = 3;
constexpr int InitialErrorTab = 9;  // the inner page showing until start-up selects the first
constexpr int TabSheetCount = 10;
constexpr int FirstLabel = 2;
constexpr int LastLabel = 6;
constexpr int MemoCount = 10;

constexpr DWORD WindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_THICKFRAME | WS_CLIPCHILDREN;

constexpr RECT Bounds(int left, int top, int width, int height)
{
    return {left, top, left + width, top + height};
}

// A negative height asks for the character height without the internal leading, as "8 point" does.
HFONT CreatePixelFont(int pixels, const wchar_t* face = FontFace)
{
    return CreateFontW(-pixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, face);
}

HBITMAP LoadPicture(HINSTANCE instance, int id)
{
    return static_cast<HBITMAP>(LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

// The pictures of the "Picture" page, bottom to top, with the component each one shows.
struct ComponentPicture {
    ComponentImage image;
    int resource;
    RECT bounds;
    bool transparent;
};
constexpr ComponentPicture ComponentPictures[] = {
    {ComponentImage::ImageMotor, IDB_MOTOR, Bounds(161, 114, 73, 73), false},
    {ComponentImage::ImageVentil1, IDB_VALVE, Bounds(261, 287, 33, 65), false},
    {ComponentImage::ImageVentil2, IDB_VALVE, Bounds(261, 210, 33, 57), false},
    {ComponentImage::ImageHeizung, IDB_HEATER, Bounds(32, 209, 65, 33), false},
    {ComponentImage::ImageFlamme, IDB_FLAME, Bounds(400, 88, 129, 57), true},
    {ComponentImage::ImageTrafo, IDB_TRANSFORMER, Bounds(323, 41, 65, 65), false},
};
constexpr POINT LabelPlaces[] = {{138, 343}, {138, 379}, {138, 415}, {434, 45}, {545, 45}};  // Label2 .. Label6

std::wstring Numbered(const wchar_t* name, int number)
{
    return name + std::to_wstring(number);
}

}  // namespace

Win32MainFrm::Win32MainFrm(HINSTANCE instance)
    : instance_(instance),
      windowFont_(CreatePixelFont(WindowFontPixels)),
      reportFont_(CreatePixelFont(ReportFontPixels)),
      valueFont_(CreatePixelFont(ValueLabelFontPixels, LargeFontFace))
{
    RECT outer{0, 0, ClientWidth, ClientHeight};
    AdjustWindowRectEx(&outer, WindowStyle, TRUE, 0);
    window_ = CreateWindowExW(0, ClassName, Widen(MainFrmCaption::Window).c_str(), WindowStyle, CW_USEDEFAULT,
                              CW_USEDEFAULT, outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                              instance, this);
    SendMessageW(window_, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_KALVO), IMAGE_ICON, 32, 32, 0)));
    SendMessageW(window_, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_KALVO), IMAGE_ICON, 16, 16, 0)));
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(windowFont_), FALSE);
    BuildMenu();

    PageControl1 = std::make_unique<PageControl>(window_, IdPageControl1, PageControl1Bounds, windowFont_);
    HWND picturePage = PageControl1->AddPage(IdTabSheet(1), Widen(MainFrmCaption::TabSheet1));
    HWND textPage = PageControl1->AddPage(IdTabSheet(2), Widen(MainFrmCaption::TabSheet2));
    BuildPicturePage(picturePage);
    BuildTextPage(textPage);
    PageControl1->SetActive(0);

    const RECT& bar = StatusBar1Bounds;
    StatusBar1 = AddControl(window_, STATUSCLASSNAMEW, L"", CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER, 0,
                            IdStatusBar1, bar, windowFont_);
    const int parts[] = {Panel0Width, -1};
    SendMessageW(StatusBar1, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
}

Win32MainFrm::~Win32MainFrm()
{
    if (IsWindow(window_))
        DestroyWindow(window_);
    DeleteObject(windowFont_);
    DeleteObject(reportFont_);
    DeleteObject(valueFont_);
}

void Win32MainFrm::RegisterWindowClasses(HINSTANCE instance)
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &Win32MainFrm::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_KALVO));
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = ClassName;
    RegisterClassW(&windowClass);
    PageControl::RegisterPageClass(instance);
    PictureLayers::RegisterWindowClass(instance);
}

void Win32MainFrm::Bind(TMainFrm& behaviour, Win32ComPortFrm& portDialog)
{
    behaviour_ = &behaviour;
    portDialog_ = &portDialog;
}

void Win32MainFrm::Show(int showCommand)
{
    PlaceCentred();
    ShowWindow(window_, showCommand);
    UpdateWindow(window_);
    if (!shown_ && behaviour_) {
        shown_ = true;
        behaviour_->FormShow();
    }
}

void Win32MainFrm::BuildMenu()
{
    HMENU bar = CreateMenu();
    std::vector<std::string> menuNames;
    std::vector<HMENU> menus;
    for (std::size_t i = 0; i < MainMenu1.size(); ++i) {
        const MenuItem& item = MainMenu1[i];
        const auto known = std::find(menuNames.begin(), menuNames.end(), item.menuName);
        HMENU menu = nullptr;
        if (known == menuNames.end()) {
            menu = CreatePopupMenu();
            AppendMenuW(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(menu), Widen(item.menuCaption).c_str());
            menuNames.emplace_back(item.menuName);
            menus.push_back(menu);
        } else {
            menu = menus[static_cast<std::size_t>(known - menuNames.begin())];
        }
        AppendMenuW(menu, MF_STRING, IdMenuCommandBase + i, Widen(item.caption).c_str());
    }
    SetMenu(window_, bar);
}

void Win32MainFrm::BuildPicturePage(HWND page)
{
    pictures_ = std::make_unique<PictureLayers>(page);
    pictures_->AddPicture(IdImageMain, Bounds(1, 5, 640, 480), LoadPicture(instance_, IDB_SCHEMATIC), false);
    for (const ComponentPicture& component : ComponentPictures) {
        const auto index = static_cast<std::size_t>(component.image);
        componentImages_[index] =
            pictures_->AddPicture(IdComponentImageBase + static_cast<int>(index), component.bounds,
                                  LoadPicture(instance_, component.resource), component.transparent);
    }
    if (HBITMAP logo = LoadJpegResource(instance_, IDR_LOGO))
        pictures_->AddPicture(IdImage1, Bounds(328, 416, 305, 49), logo, false);
    for (int label = FirstLabel; label <= LastLabel; ++label) {
        labels_[static_cast<std::size_t>(label)] = pictures_->AddLabel(
            IdLabel(label), LabelPlaces[label - FirstLabel], valueFont_, Numbered(L"Label", label));
    }
    HBITMAP warning = LoadPicture(instance_, IDB_WARNING);
    BITMAP size{};
    GetObjectW(warning, sizeof size, &size);
    pictures_->AddPicture(IdImage2, Bounds(336, 352, size.bmWidth, size.bmHeight), warning, false);
}

void Win32MainFrm::BuildTextPage(HWND page)
{
    constexpr DWORD MemoStyle = WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL;
    memos_[1] = AddControl(page, L"EDIT", L"Memo1", MemoStyle, WS_EX_CLIENTEDGE, IdMemo(1), Bounds(8, 8, 505, 289),
                           reportFont_);
    BuildErrorPages(page);
    CheckListBox1 = std::make_unique<CheckList>(page, IdCheckListBox1, Bounds(440, 328, 193, 145), CheckListItemHeight);
    SendMessageW(CheckListBox1->Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(windowFont_), FALSE);

    const std::wstring status = Widen(MainFrmCaption::Label1);
    HWND label1 = AddControl(page, L"STATIC", status.c_str(), SS_LEFT | SS_NOPREFIX, 0, IdLabel(1),
                             Bounds(440, 304, 0, 0), windowFont_);
    HDC dc = GetDC(label1);
    const HGDIOBJ previous = SelectObject(dc, windowFont_);
    SIZE extent{};
    GetTextExtentPoint32W(dc, status.c_str(), static_cast<int>(status.size()), &extent);
    SelectObject(dc, previous);
    ReleaseDC(label1, dc);
    SetWindowPos(label1, nullptr, 0, 0, extent.cx, extent.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    const char* const buttons[] = {MainFrmCaption::BitBtn1, MainFrmCaption::BitBtn2, MainFrmCaption::BitBtn3};
    for (int n = 1; n <= 3; ++n) {
        AddControl(page, L"BUTTON", Widen(buttons[n - 1]).c_str(), WS_TABSTOP | BS_PUSHBUTTON, 0, IdBitBtn(n),
                   Bounds(520, 8 + 40 * (n - 1), 113, 33), windowFont_);
    }
    memos_[MemoCount] = AddControl(page, L"EDIT", L"",
                                   WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | ES_AUTOHSCROLL |
                                       WS_HSCROLL | WS_VSCROLL,
                                   WS_EX_CLIENTEDGE, IdMemo(MemoCount), Bounds(528, 152, 105, 89), windowFont_);
    SendMessageW(memos_[MemoCount], EM_SETLIMITTEXT, 0, 0);
}

void Win32MainFrm::BuildErrorPages(HWND textPage)
{
    PageControl2 = std::make_unique<PageControl>(textPage, IdPageControl2, Bounds(8, 312, 417, 169), windowFont_);
    for (int sheet = FirstTabSheetOfPageControl2; sheet <= TabSheetCount; ++sheet) {
        HWND page = PageControl2->AddPage(IdTabSheet(sheet), Numbered(L"TabSheet", sheet));
        const SIZE size = PageControl2->PageSize();
        const int memo = sheet - 1;
        memos_[static_cast<std::size_t>(memo)] =
            AddControl(page, L"EDIT", Numbered(L"Memo", memo).c_str(),
                       WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL, WS_EX_CLIENTEDGE, IdMemo(memo),
                       Bounds(0, 0, size.cx, size.cy), windowFont_);
    }
    PageControl2->SetActive(InitialErrorTab - FirstTabSheetOfPageControl2);
}

HWND Win32MainFrm::AddControl(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style,
                              DWORD exStyle, int id, RECT bounds, HFONT font)
{
    HWND control = CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, bounds.left, bounds.top,
                                   bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

HWND Win32MainFrm::Memo(int memo) const
{
    return memos_.at(static_cast<std::size_t>(memo));
}

void Win32MainFrm::PlaceCentred()
{
    RECT outer;
    GetWindowRect(window_, &outer);
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    SetWindowPos(window_, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---- MainView ---------------------------------------------------------------------------------

void Win32MainFrm::SetMemoLines(int memo, const std::vector<std::string>& lines)
{
    SetWindowTextW(Memo(memo), JoinMemoLines(lines).c_str());
}

// Appended at the end, so that the box lays out the new line only: setting the whole text again
// lays out every line once more for each line added, which makes a report of 21 lines cost
// hundreds of layouts. The view then goes back to the first line, so the report stays in view
// from its top.
void Win32MainFrm::AddMemoLine(int memo, const std::string& line)
{
    HWND edit = Memo(memo);
    const WPARAM end = static_cast<WPARAM>(GetWindowTextLengthW(edit));
    SendMessageW(edit, WM_SETREDRAW, FALSE, 0);
    SendMessageW(edit, EM_SETSEL, end, static_cast<LPARAM>(end));
    SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(JoinMemoLines({line}).c_str()));
    SendMessageW(edit, EM_SETSEL, 0, 0);
    SendMessageW(edit, EM_SCROLLCARET, 0, 0);
    SendMessageW(edit, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(edit, nullptr, TRUE);
}

std::vector<std::string> Win32MainFrm::MemoLines(int memo) const
{
    return SplitMemoText(WindowTextOf(Memo(memo)));
}

void Win32MainFrm::SetMemoVisible(int memo, bool visible)
{
    ShowWindow(Memo(memo), visible ? SW_SHOWNA : SW_HIDE);
}

void Win32MainFrm::SetLabelCaption(int label, const std::string& caption)
{
    pictures_->SetLabelText(labels_.at(static_cast<std::size_t>(label)), Widen(caption));
}

void Win32MainFrm::SetImageVisible(ComponentImage image, bool visible)
{
    pictures_->SetVisible(componentImages_.at(static_cast<std::size_t>(image)), visible);
}

void Win32MainFrm::SetCheckListItems(const std::vector<std::string>& items)
{
    std::vector<std::wstring> wide;
    for (const std::string& item : items)
        wide.push_back(Widen(item));
    CheckListBox1->SetItems(wide);
}

void Win32MainFrm::SetCheckMark(int item, bool checked)
{
    CheckListBox1->SetMark(item, checked);
}

void Win32MainFrm::SetCheckListEnabled(bool enabled)
{
    CheckListBox1->SetEnabled(enabled);
}

void Win32MainFrm::SetActivePage(int tabSheet)
{
    if (tabSheet < FirstTabSheetOfPageControl2)
        PageControl1->SetActive(tabSheet - 1);
    else
        PageControl2->SetActive(tabSheet - FirstTabSheetOfPageControl2);
}

int Win32MainFrm::ActivePage() const
{
    return PageControl1->Active() + 1;
}

void Win32MainFrm::SetTabCaption(int tabSheet, const std::string& caption)
{
    if (tabSheet < FirstTabSheetOfPageControl2)
        PageControl1->SetCaption(tabSheet - 1, Widen(caption));
    else
        PageControl2->SetCaption(tabSheet - FirstTabSheetOfPageControl2, Widen(caption));
}

void Win32MainFrm::SetPanelText(int panel, const std::string& text)
{
    SendMessageW(StatusBar1, SB_SETTEXTW, static_cast<WPARAM>(panel), reinterpret_cast<LPARAM>(Widen(text).c_str()));
}

void Win32MainFrm::RepaintStatusBar()
{
    UpdateWindow(StatusBar1);
}

void Win32MainFrm::StartTimer1(std::chrono::milliseconds interval)
{
    // Setting a running timer again restarts its count.
    SetTimer(window_, Timer1Id, static_cast<UINT>(interval.count()), nullptr);
}

void Win32MainFrm::StopTimer1()
{
    KillTimer(window_, Timer1Id);
}

void Win32MainFrm::ProcessPendingMessages()
{
    win32::ProcessPendingMessages();
}

void Win32MainFrm::CloseWindow()
{
    if (IsWindow(window_))
        DestroyWindow(window_);
}

void Win32MainFrm::ShowErrorBox(const std::string& title, const std::string& text)
{
    win32::ShowErrorBox(IsWindow(window_) ? window_ : nullptr, title, text);
}

std::optional<std::string> Win32MainFrm::AskSaveFileName(const SaveFileQuestion& question)
{
    return win32::AskSaveFileName(window_, question);
}

std::optional<std::string> Win32MainFrm::AskFolder(const std::string& title, const std::string& initialFolder)
{
    return win32::AskFolder(window_, title, initialFolder);
}

void Win32MainFrm::SetMenuItemChecked(MenuCommand command, bool checked)
{
    const auto item = std::find_if(MainMenu1.begin(), MainMenu1.end(),
                                   [command](const MenuItem& entry) { return entry.command == command; });
    if (item != MainMenu1.end())
        CheckMenuItem(GetMenu(window_), static_cast<UINT>(IdMenuCommandBase + (item - MainMenu1.begin())),
                      MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void Win32MainFrm::SetClipboardText(const std::string& text)
{
    win32::SetClipboardText(window_, text);
}

void Win32MainFrm::ShowPortDialog()
{
    if (portDialog_)
        portDialog_->ShowModal(window_);
}

RegionalDateTime Win32MainFrm::CurrentRegionalDateTime() const
{
    return win32::CurrentRegionalDateTime();
}

PrintJobOpening Win32MainFrm::OpenPrintJob(const std::string& documentName)
{
    return printer_.Open(documentName);
}

double Win32MainFrm::PrintTextWidth(const std::string& text)
{
    return printer_.TextWidth(text);
}

void Win32MainFrm::PrintLine(double top, const std::string& text)
{
    printer_.PrintLine(top, text);
}

bool Win32MainFrm::NewPrintPage()
{
    return printer_.NewPage();
}

bool Win32MainFrm::EndPrintJob()
{
    return printer_.End();
}

// ---- Events -----------------------------------------------------------------------------------

LRESULT CALLBACK Win32MainFrm::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Win32MainFrm*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Win32MainFrm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return self ? self->HandleMessage(message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT Win32MainFrm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        // Menu commands and button clicks both come with notification code 0 (BN_CLICKED).
        if (HIWORD(wParam) == BN_CLICKED)
            Command(LOWORD(wParam));
        return 0;
    case WM_NOTIFY:
        Notify(*reinterpret_cast<const NMHDR*>(lParam));
        return 0;
    case WM_DRAWITEM:
        if (wParam == IdCheckListBox1) {
            CheckListBox1->DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        }
        break;
    case WM_TIMER:
        if (wParam == Timer1Id && behaviour_)
            behaviour_->Timer1Timer();
        return 0;
    case WM_GETMINMAXINFO: {
        // The window's size is fixed: the smallest and the largest are the size it was built with.
        RECT outer{0, 0, ClientWidth, ClientHeight};
        AdjustWindowRectEx(&outer, WindowStyle, TRUE, 0);
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        limits->ptMinTrackSize = limits->ptMaxTrackSize = {outer.right - outer.left, outer.bottom - outer.top};
        return 0;
    }
    case WM_NCHITTEST: {
        // The frame offers no resizing: its edges act as a plain border.
        const LRESULT hit = DefWindowProcW(window_, message, wParam, lParam);
        return hit >= HTLEFT && hit <= HTBOTTOMRIGHT ? HTBORDER : hit;
    }
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        // Log-off or shut-down ends the program without a WM_DESTROY: keep the settings now.
        if (wParam)
            TakenDown();
        return 0;
    case WM_DESTROY:
        TakenDown();
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void Win32MainFrm::Command(int id)
{
    if (!behaviour_)
        return;
    if (id >= IdMenuCommandBase && id < IdMenuCommandBase + static_cast<int>(MainMenu1.size())) {
        behaviour_->MenuClick(MainMenu1[static_cast<std::size_t>(id - IdMenuCommandBase)].command);
    } else if (id == IdBitBtn(1)) {
        behaviour_->BitBtn1Click();
    } else if (id == IdBitBtn(2)) {
        behaviour_->BitBtn2Click();
    } else if (id == IdBitBtn(3)) {
        behaviour_->BitBtn3Click();
    }
}

void Win32MainFrm::Notify(const NMHDR& header)
{
    if (header.code != TCN_SELCHANGE)
        return;
    if (header.idFrom == IdPageControl1)
        PageControl1->SelectionChanged();
    else if (header.idFrom == IdPageControl2)
        PageControl2->SelectionChanged();
}

void Win32MainFrm::TakenDown()
{
    if (takenDown_)
        return;
    takenDown_ = true;
    StopTimer1();
    if (behaviour_)
        behaviour_->FormHide();
}

}  // namespace kalvo::win32
