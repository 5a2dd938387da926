#include "ui/win32/Win32MainFrm.h"

#include <commctrl.h>

#include <string>

#include "ui/win32/ControlIds.h"
#include "ui/win32/DisplayScale.h"
#include "ui/win32/MainMenu.h"
#include "ui/win32/PagePictures.h"
#include "ui/win32/ResourceIds.h"
#include "ui/win32/SystemServices.h"
#include "ui/win32/Win32Layout.h"
#include "ui/win32/Win32Text.h"
#include "ui/win32/WindowPlacement.h"
#include "window/Captions.h"
#include "window/FormLayout.h"
#include "window/uMainFrm.h"

namespace kalvo::win32 {

namespace {

constexpr UINT_PTR Timer1Id = 1;
constexpr UINT WriteChangesMessage = WM_APP + 1;  // the memos' new texts and the pictures' states are to be shown

constexpr DWORD WindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_THICKFRAME | WS_CLIPCHILDREN;

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
    memoTexts_ = std::make_unique<MemoTexts>(window_, WriteChangesMessage);
    imageStatesWrite_.emplace(window_, WriteChangesMessage);
    form_ = layout::Scaled(layout::MainFrm, dpi_);
    CreateFonts();
    SendMessageW(window_, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_KALVO), IMAGE_ICON, 32, 32, 0)));
    SendMessageW(window_, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_KALVO), IMAGE_ICON, 16, 16, 0)));
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(windowFont_), FALSE);
    SetMenu(window_, BuildMainMenu());
    services_.SetOwner(window_);
    SizeToLayout(nullptr);

    PageControl1 = std::make_unique<PageControl>(window_, IdPageControl1, PlaceOf("PageControl1"), windowFont_);
    HWND picturePage = AddPage(*PageControl1, 1);
    HWND textPage = AddPage(*PageControl1, 2);
    BuildPicturePage(picturePage);
    BuildTextPage(textPage);

    StatusBar1 = AddControl(window_, STATUSCLASSNAMEW, L"", CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER, 0,
        IdStatusBar1, PlaceOf("StatusBar1"), windowFont_);
    SetStatusParts();
    BuildTabOrder();
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
    Win32TrendFrm::RegisterWindowClass(instance);
}

void Win32MainFrm::Bind(TMainFrm& behaviour, Win32ComPortFrm& portDialog)
{
    behaviour_ = &behaviour;
    services_.SetPortDialog(portDialog);
    services_.SetTrendOpener([this] {
        if (!trend_)
            trend_ = std::make_unique<Win32TrendFrm>(instance_, window_, *behaviour_);
        trend_->Open();
    });
}

void Win32MainFrm::Show(int showCommand)
{
    PlaceCentred(window_);
    ShowWindow(window_, showCommand);
    UpdateWindow(window_);
    if (!shown_ && behaviour_) {
        shown_ = true;
        behaviour_->FormShow();
    }
}

// The page's rows of the layout in their order, from the bottom of the drawing order up: its
// pictures, and between them the value labels.
void Win32MainFrm::BuildPicturePage(HWND page)
{
    pictures_ = std::make_unique<PictureLayers>(page);
    for (const layout::Control& control : form_.controls) {
        if (control.parent != "TabSheet1")
            continue;
        const int id = ControlIdOf(control.name);
        if (const layout::Picture* picture = layout::PictureOf(control.name)) {
            if (HBITMAP bitmap = LoadPagePicture(instance_, *picture, dpi_))
                pictures_->AddPicture(id, Bounds(control.bounds), bitmap, picture->transparent);
        } else {
            labels_.at(static_cast<std::size_t>(id - IdLabelBase)) = pictures_->AddLabel(
                id, {control.bounds.left, control.bounds.top}, valueFont_, Widen(control.caption));
        }
    }
}

void Win32MainFrm::BuildTextPage(HWND page)
{
    constexpr DWORD MemoStyle = WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL;
    memos_[1] =
        AddControl(page, L"EDIT", L"Memo1", MemoStyle, WS_EX_CLIENTEDGE, IdMemo(1), PlaceOf("Memo1"), reportFont_);
    BuildErrorPages(page);
    CheckListBox1 = std::make_unique<CheckList>(
        page, IdCheckListBox1, PlaceOf("CheckListBox1"), Control("CheckListBox1").itemHeight, dpi_);
    SendMessageW(CheckListBox1->Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(windowFont_), FALSE);

    const std::wstring status = Widen(Control("Label1").caption);
    HWND label1 = AddControl(
        page, L"STATIC", status.c_str(), SS_LEFT | SS_NOPREFIX, 0, IdLabel(1), PlaceOf("Label1"), windowFont_);
    SizeToText(label1, status, windowFont_);

    for (int n = 1; n <= 3; ++n) {
        const layout::Control& button = form_.At("BitBtn", n);
        AddControl(page, L"BUTTON", Widen(button.caption).c_str(), WS_TABSTOP | BS_PUSHBUTTON, 0, IdBitBtn(n),
            Bounds(button.bounds), windowFont_);
    }
    memos_[MemoCount] = AddControl(page, L"EDIT", L"",
        WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_HSCROLL | WS_VSCROLL,
        WS_EX_CLIENTEDGE, IdMemo(MemoCount), PlaceOf("Memo10"), windowFont_);
    SendMessageW(memos_[MemoCount], EM_SETLIMITTEXT, 0, 0);
}

void Win32MainFrm::BuildErrorPages(HWND textPage)
{
    PageControl2 = std::make_unique<PageControl>(textPage, IdPageControl2, PlaceOf("PageControl2"), windowFont_);
    for (int sheet = layout::FirstErrorSheet; sheet <= layout::TabSheetCount; ++sheet) {
        HWND page = AddPage(*PageControl2, sheet);
        const int memo = sheet - 1;
        memos_[static_cast<std::size_t>(memo)] = AddControl(page, L"EDIT", Numbered(L"Memo", memo).c_str(),
            WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL, WS_EX_CLIENTEDGE, IdMemo(memo),
            Bounds(form_.At("Memo", memo).bounds), windowFont_);
    }
}

void Win32MainFrm::BuildTabOrder()
{
    for (const std::string_view name : layout::MainFrmTabOrder)
        tabOrder_.Append(Child(name));
}

// The page, captioned and made the active one as the layout gives it.
HWND Win32MainFrm::AddPage(PageControl& pageControl, int tabSheet)
{
    const layout::Control& control = form_.At("TabSheet", tabSheet);
    HWND page = pageControl.AddPage(IdTabSheet(tabSheet), Widen(control.caption), Bounds(control.bounds));
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

HWND Win32MainFrm::Memo(int memo) const
{
    return memos_.at(static_cast<std::size_t>(memo));
}

// ---- MainView ---------------------------------------------------------------------------------

// The report is built line by line; its memo gets the whole text once, when it has changed.
void Win32MainFrm::SetMemoLines(int memo, const std::vector<std::string>& lines)
{
    memoTexts_->Set(Memo(memo), lines);
}

void Win32MainFrm::AddMemoLine(int memo, const std::string& line)
{
    memoTexts_->Add(Memo(memo), line);
}

std::vector<std::string> Win32MainFrm::MemoLines(int memo) const
{
    return memoTexts_->Lines(Memo(memo));
}

void Win32MainFrm::SetMemoVisible(int memo, bool visible)
{
    ShowWindow(Memo(memo), visible ? SW_SHOWNA : SW_HIDE);
}

void Win32MainFrm::SetLabelCaption(int label, const std::string& caption)
{
    pictures_->SetLabelText(labels_.at(static_cast<std::size_t>(label)), Widen(caption));
}

// Shown once the layer's updates are done, like the memos' texts: a poll that hides the component
// pictures and then shows them again by its flags costs a picture no repaint.
void Win32MainFrm::SetImageVisible(ComponentImage image, bool visible)
{
    imageStates_.at(static_cast<std::size_t>(image)) = visible;
    if (!imageStatesWrite_->Post())
        ShowImageStates();
}

void Win32MainFrm::ShowImageStates()
{
    imageStatesWrite_->Handled();
    for (int image = 0; image < layout::ComponentImageCount; ++image) {
        std::optional<bool>& state = imageStates_.at(static_cast<std::size_t>(image));
        if (state)
            pictures_->SetVisible(ImageLayer(static_cast<ComponentImage>(image)), *state);
        state.reset();
    }
}

// Looked up once: finding a control by its id asks the window system for the children of every
// window in the form.
HWND Win32MainFrm::ImageLayer(ComponentImage image)
{
    const auto index = static_cast<std::size_t>(image);
    HWND& layer = images_.at(index);
    if (!layer)
        layer = Child(layout::ImageName(image));
    return layer;
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
    win32::ProcessPendingMessages([this](const MSG& message) { return HandleKey(message); });
}

void Win32MainFrm::CloseWindow()
{
    CloseTrend();
    if (IsWindow(window_))
        DestroyWindow(window_);
}

// Windows takes an owned window down before its owner, and the trend window keeps its place only
// while it still shows: it is closed before the main window goes.
void Win32MainFrm::CloseTrend()
{
    if (trend_)
        trend_->Close();
}

void Win32MainFrm::SetMenuItemChecked(MenuCommand command, bool checked)
{
    SetMenuCommandChecked(window_, command, checked);
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
    case WM_CTLCOLORLISTBOX:
        if (CheckListBox1 && reinterpret_cast<HWND>(lParam) == CheckListBox1->Handle())
            return reinterpret_cast<LRESULT>(CheckListBox1->Ground());
        break;
    case WriteChangesMessage:
        memoTexts_->WriteChanged();
        ShowImageStates();
        return 0;
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
    case WM_ACTIVATE:
        // The focus goes back to the control that had it, as in a dialog.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            lastFocus_ = focus && IsChild(window_, focus) ? focus : nullptr;
        } else if (lastFocus_ && IsWindow(lastFocus_) && IsWindowVisible(lastFocus_)) {
            SetFocus(lastFocus_);
            return 0;
        }
        break;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        // Log-off or shut-down ends the program without a WM_DESTROY: keep the settings now.
        if (wParam)
            TakenDown();
        return 0;
    case WM_CLOSE:
        CloseTrend();
        break;
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
    if (const std::optional<MenuCommand> command = MenuCommandOf(id)) {
        behaviour_->MenuClick(*command);
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
    // It shows TMainFrm's trend and goes before TMainFrm does.
    CloseTrend();
    trend_.reset();
    if (behaviour_)
        behaviour_->FormHide();
}

}  // namespace kalvo::win32
