#include "Win32MainFrm.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "Captions.h"
#include "ControlIds.h"
#include "DisplayScale.h"
#include "FormLayout.h"
#include "ResourceIds.h"
#include "SystemServices.h"
#include "Win32ComPortFrm.h"
#include "Win32Text.h"
#include "uMainFrm.h"

namespace kalvo::win32 {

namespace {

constexpr UINT_PTR Timer1Id = 1;
constexpr int FirstLabel = 2;
constexpr int LastLabel = 6;
constexpr int MemoCount = 10;

constexpr DWORD WindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_THICKFRAME | WS_CLIPCHILDREN;

HFONT CreateFormFont(layout::FontRole role, int dpi)
{
    return CreateScaledFont(layout::MainFrm.FontPixels(role), dpi);
}

HBITMAP LoadPicture(HINSTANCE instance, int id)
{
    return static_cast<HBITMAP>(LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

// The pictures of the "Picture" page, bottom to top; the value labels lie between the two lists.
struct PagePicture {
    std::string_view name;
    int resource;
    bool transparent;
};
constexpr PagePicture PicturesBelowLabels[] = {
    {"ImageMain", IDB_SCHEMATIC, false},
    {"ImageMotor", IDB_MOTOR, false},
    {"ImageVentil1", IDB_VALVE, false},
    {"ImageVentil2", IDB_VALVE, false},
    {"ImageHeizung", IDB_HEATER, false},
    {"ImageFlamme", IDB_FLAME, true},
    {"ImageTrafo", IDB_TRANSFORMER, false},
    {"Image1", IDR_LOGO, false},
};
constexpr PagePicture PicturesAboveLabels[] = {{"Image2", IDB_WARNING, false}};

// The picture from the program's resources at the density. A transparent one keeps its colours
// exact, so its transparent colour stays one.
HBITMAP LoadPagePicture(HINSTANCE instance, const PagePicture& picture, int dpi)
{
    HBITMAP loaded =
        picture.resource == IDR_LOGO ? LoadJpegResource(instance, IDR_LOGO) : LoadPicture(instance, picture.resource);
    return ScaledPicture(loaded, dpi, !picture.transparent);
}

std::wstring Numbered(const wchar_t* name, int number)
{
    return name + std::to_wstring(number);
}

}  // namespace

// The window is made first, so that it knows the density of the monitor it opens on; everything in
// it is then built from the layout scaled to that density.
Win32MainFrm::Win32MainFrm(HINSTANCE instance) : instance_(instance)
{
    window_ = CreateWindowExW(0, ClassName, Widen(MainFrmCaption::Window).c_str(), WindowStyle, CW_USEDEFAULT,
        CW_USEDEFAULT, layout::MainFrm.client.width, layout::MainFrm.client.height, nullptr, nullptr, instance, this);
    dpi_ = DpiOf(window_);
    form_ = layout::Scaled(layout::MainFrm, dpi_);
    CreateFonts();
    SendMessageW(window_, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_KALVO), IMAGE_ICON, 32, 32, 0)));
    SendMessageW(window_, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_KALVO), IMAGE_ICON, 16, 16, 0)));
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(windowFont_), FALSE);
    BuildMenu();
    SizeToLayout(nullptr);

    PageControl1 = std::make_unique<PageControl>(window_, IdPageControl1, Bounds("PageControl1"), windowFont_);
    HWND picturePage = AddPage(*PageControl1, 1);
    HWND textPage = AddPage(*PageControl1, 2);
    BuildPicturePage(picturePage);
    BuildTextPage(textPage);

    StatusBar1 = AddControl(window_, STATUSCLASSNAMEW, L"", CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER, 0,
        IdStatusBar1, Bounds("StatusBar1"), windowFont_);
    SetStatusParts();
}

Win32MainFrm::~Win32MainFrm()
{
    if (IsWindow(window_))
        DestroyWindow(window_);
    DeleteFonts();
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
    const auto addPictures = [this](const auto& pictures) {
        for (const PagePicture& picture : pictures) {
            if (HBITMAP bitmap = LoadPagePicture(instance_, picture, dpi_))
                pictures_->AddPicture(ControlIdOf(picture.name), Bounds(picture.name), bitmap, picture.transparent);
        }
    };
    addPictures(PicturesBelowLabels);
    for (int label = FirstLabel; label <= LastLabel; ++label)
        labels_[static_cast<std::size_t>(label)] =
            pictures_->AddLabel(IdLabel(label), LabelPlace(label), valueFont_, Numbered(L"Label", label));
    addPictures(PicturesAboveLabels);
}

void Win32MainFrm::BuildTextPage(HWND page)
{
    constexpr DWORD MemoStyle = WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL;
    memos_[1] =
        AddControl(page, L"EDIT", L"Memo1", MemoStyle, WS_EX_CLIENTEDGE, IdMemo(1), Bounds("Memo1"), reportFont_);
    BuildErrorPages(page);
    CheckListBox1 = std::make_unique<CheckList>(
        page, IdCheckListBox1, Bounds("CheckListBox1"), Control("CheckListBox1").itemHeight, dpi_);
    SendMessageW(CheckListBox1->Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(windowFont_), FALSE);

    const std::wstring status = Widen(Control("Label1").caption);
    HWND label1 = AddControl(
        page, L"STATIC", status.c_str(), SS_LEFT | SS_NOPREFIX, 0, IdLabel(1), Bounds("Label1"), windowFont_);
    SizeToText(label1);

    for (int n = 1; n <= 3; ++n) {
        const layout::Control& button = form_.At("BitBtn", n);
        AddControl(page, L"BUTTON", Widen(button.caption).c_str(), WS_TABSTOP | BS_PUSHBUTTON, 0, IdBitBtn(n),
            Bounds(button.bounds), windowFont_);
    }
    memos_[MemoCount] = AddControl(page, L"EDIT", L"",
        WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_HSCROLL | WS_VSCROLL,
        WS_EX_CLIENTEDGE, IdMemo(MemoCount), Bounds("Memo10"), windowFont_);
    SendMessageW(memos_[MemoCount], EM_SETLIMITTEXT, 0, 0);
}

void Win32MainFrm::BuildErrorPages(HWND textPage)
{
    PageControl2 = std::make_unique<PageControl>(textPage, IdPageControl2, Bounds("PageControl2"), windowFont_);
    for (int sheet = layout::FirstErrorSheet; sheet <= layout::TabSheetCount; ++sheet) {
        HWND page = AddPage(*PageControl2, sheet);
        const SIZE size = PageControl2->PageSize();
        const int memo = sheet - 1;
        memos_[static_cast<std::size_t>(memo)] = AddControl(page, L"EDIT", Numbered(L"Memo", memo).c_str(),
            WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL, WS_EX_CLIENTEDGE, IdMemo(memo),
            RECT{0, 0, size.cx, size.cy}, windowFont_);
    }
}

// The page, captioned and made the active one as the layout gives it.
HWND Win32MainFrm::AddPage(PageControl& pageControl, int tabSheet)
{
    const layout::Control& control = form_.At("TabSheet", tabSheet);
    HWND page = pageControl.AddPage(IdTabSheet(tabSheet), Widen(control.caption));
    if (control.activePage)
        pageControl.SetActive(layout::PageIndexOf(tabSheet));
    return page;
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

const layout::Control& Win32MainFrm::Control(std::string_view name) const
{
    return form_[name];
}

RECT Win32MainFrm::Bounds(const layout::Rect& at)
{
    return {at.left, at.top, at.left + at.width, at.top + at.height};
}

RECT Win32MainFrm::Bounds(std::string_view name) const
{
    return Bounds(Control(name).bounds);
}

POINT Win32MainFrm::LabelPlace(int label) const
{
    const layout::Rect& at = form_.At("Label", label).bounds;
    return {at.left, at.top};
}

// The control of that name among the window's descendants; none for a name without a window.
HWND Win32MainFrm::Child(std::string_view name) const
{
    const int id = ControlIdOf(name);
    if (id == 0)
        return nullptr;
    struct Search {
        int id;
        HWND found;
    } search{id, nullptr};
    EnumChildWindows(
        window_,
        [](HWND child, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            if (GetDlgCtrlID(child) != s->id)
                return TRUE;
            s->found = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HFONT Win32MainFrm::FontOf(layout::FontRole role) const
{
    switch (role) {
    case layout::FontRole::Report:
        return reportFont_;
    case layout::FontRole::ValueText:
        return valueFont_;
    case layout::FontRole::Form:
        break;
    }
    return windowFont_;
}

void Win32MainFrm::CreateFonts()
{
    windowFont_ = CreateFormFont(layout::FontRole::Form, dpi_);
    reportFont_ = CreateFormFont(layout::FontRole::Report, dpi_);
    valueFont_ = CreateFormFont(layout::FontRole::ValueText, dpi_);
}

void Win32MainFrm::DeleteFonts()
{
    DeleteObject(windowFont_);
    DeleteObject(reportFont_);
    DeleteObject(valueFont_);
}

void Win32MainFrm::SetStatusParts()
{
    const int parts[] = {Control("Panel0").bounds.width, -1};
    SendMessageW(StatusBar1, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
}

// Sizes the window to the layout's client area at its density, and keeps it at that size.
void Win32MainFrm::SizeToLayout(const RECT* suggested)
{
    outer_ = OuterSizeFor(window_, {form_.client.width, form_.client.height});
    const POINT at = suggested ? POINT{suggested->left, suggested->top} : POINT{};
    SetWindowPos(window_, nullptr, at.x, at.y, outer_.cx, outer_.cy,
        SWP_NOZORDER | SWP_NOACTIVATE | (suggested ? 0 : SWP_NOMOVE));
}

// The window moved to a monitor of another density: every place, size, font and picture again from
// the layout at that density, the texts and states as they are.
void Win32MainFrm::Rescale(int dpi, const RECT& suggested)
{
    const std::array<HFONT, 3> previousFonts{windowFont_, reportFont_, valueFont_};
    dpi_ = dpi;
    form_ = layout::Scaled(layout::MainFrm, dpi_);
    CreateFonts();
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(windowFont_), FALSE);
    SizeToLayout(&suggested);
    for (const layout::Control& control : form_.controls) {
        HWND child = Child(control.name);
        if (!child || control.parent.starts_with("PageControl") || pictures_->Holds(child))
            continue;
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(control.font)), FALSE);
        const RECT bounds = Bounds(control.bounds);
        SetWindowPos(child, nullptr, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
            SWP_NOZORDER | SWP_NOACTIVATE | (control.bounds.width == 0 ? SWP_NOSIZE : 0));
    }
    PageControl1->PlacePages();
    PageControl2->PlacePages();
    const SIZE errorPage = PageControl2->PageSize();
    for (int memo = layout::FirstErrorSheet - 1; memo < MemoCount - 1; ++memo)
        SetWindowPos(Memo(memo), nullptr, 0, 0, errorPage.cx, errorPage.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    SizeToText(Child("Label1"));
    CheckListBox1->SetScale(Control("CheckListBox1").itemHeight, dpi_);
    SetStatusParts();
    const auto replacePictures = [this](const auto& pictures) {
        for (const PagePicture& picture : pictures) {
            if (HWND layer = Child(picture.name))
                pictures_->Replace(layer, Bounds(picture.name), LoadPagePicture(instance_, picture, dpi_));
        }
    };
    replacePictures(PicturesBelowLabels);
    replacePictures(PicturesAboveLabels);
    for (int label = FirstLabel; label <= LastLabel; ++label)
        pictures_->PlaceLabel(labels_[static_cast<std::size_t>(label)], LabelPlace(label), valueFont_);
    for (const HFONT font : previousFonts)
        DeleteObject(font);
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
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

// The whole text again rather than a replaced selection, which would scroll the box to its end:
// the report stays in view from its first line.
void Win32MainFrm::AddMemoLine(int memo, const std::string& line)
{
    HWND edit = Memo(memo);
    SetWindowTextW(edit, (WindowTextOf(edit) + JoinMemoLines({line})).c_str());
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
    pictures_->SetVisible(Child(ComponentImageNames[static_cast<std::size_t>(image)]), visible);
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

PageControl& Win32MainFrm::PageControlOf(int tabSheet) const
{
    return layout::PageControlOf(tabSheet) == 1 ? *PageControl1 : *PageControl2;
}

void Win32MainFrm::SetActivePage(int tabSheet)
{
    PageControlOf(tabSheet).SetActive(layout::PageIndexOf(tabSheet));
}

int Win32MainFrm::ActivePage() const
{
    return PageControl1->Active() + 1;
}

void Win32MainFrm::SetTabCaption(int tabSheet, const std::string& caption)
{
    PageControlOf(tabSheet).SetCaption(layout::PageIndexOf(tabSheet), Widen(caption));
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
        if (outer_.cx == 0)
            break;  // not yet built
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        limits->ptMinTrackSize = limits->ptMaxTrackSize = {outer_.cx, outer_.cy};
        return 0;
    }
    case WM_DPICHANGED:
        Rescale(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
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
