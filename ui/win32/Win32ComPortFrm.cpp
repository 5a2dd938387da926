#include "ui/win32/Win32ComPortFrm.h"

#include <array>
#include <cstddef>

#include "ui/win32/ControlIds.h"
#include "ui/win32/DisplayScale.h"
#include "ui/win32/Win32Layout.h"
#include "ui/win32/Win32Text.h"
#include "ui/win32/WindowPlacement.h"
#include "window/Captions.h"
#include "window/FormLayout.h"
#include "window/uComPortFrm.h"

namespace kalvo::win32 {

namespace {

constexpr int DroppedListHeight = 200;  // a drop-down list's window height includes its open list
constexpr UINT_PTR ProbePauseTimer = 1;
constexpr DWORD DialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;

// An in-memory dialog template without controls; they are made at their pixel places instead of
// in dialog units. The words after the header: no menu, the standard class, the title.
struct DialogTemplate {
    DLGTEMPLATE header;
    WORD menu;
    WORD windowClass;
    std::array<wchar_t, 16> title;
};
static_assert(offsetof(DialogTemplate, menu) == sizeof(DLGTEMPLATE), "the template's words follow the header");

}  // namespace

Win32ComPortFrm::Win32ComPortFrm(HINSTANCE instance) : instance_(instance) { }

Win32ComPortFrm::~Win32ComPortFrm()
{
    if (font_)
        DeleteObject(font_);
}

void Win32ComPortFrm::ShowModal(HWND owner)
{
    alignas(DWORD) DialogTemplate dialogTemplate{};
    dialogTemplate.header.style = DialogStyle;
    DialogBoxIndirectParamW(instance_, &dialogTemplate.header, owner, &Win32ComPortFrm::DialogProc,
                            reinterpret_cast<LPARAM>(this));
}

// Built at the density of the monitor the dialog opens on.
void Win32ComPortFrm::Build()
{
    dpi_ = DpiOf(dialog_);
    const auto form = layout::Scaled(layout::ComPortFrm, dpi_);
    if (font_)
        DeleteObject(font_);
    // The label is the dialog's narrowest fit: the font keeps it inside its scaled width.
    font_ = CreateFittingFont(
        form.FontPixels(layout::FontRole::Form), Widen(form["Label1"].caption), form["Label1"].bounds.width);
    SetWindowTextW(dialog_, Widen(ComPortFrmCaption::Window).c_str());
    SendMessageW(dialog_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    const auto add = [this](const wchar_t* className, std::string_view text, DWORD style, int id, RECT bounds) {
        HWND control = CreateWindowExW(0, className, Widen(text).c_str(), WS_CHILD | WS_VISIBLE | style, bounds.left,
            bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, dialog_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        return control;
    };
    const auto place = [](const layout::Control& control, int height) {
        const layout::Rect& at = control.bounds;
        return RECT{at.left, at.top, at.left + at.width, at.top + height};
    };
    // Made in tab order: Button1 first, so it has the focus when the dialog opens.
    const layout::Control& button1 = form["Button1"];
    Button1 = add(
        L"BUTTON", button1.caption, WS_TABSTOP | BS_DEFPUSHBUTTON, IdButton1, place(button1, button1.bounds.height));
    const layout::Control& comboBox1 = form["ComboBox1"];
    ComboBox1 = add(L"COMBOBOX", "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, IdComboBox1,
        place(comboBox1, layout::Scale(DroppedListHeight, dpi_)));
    SendMessageW(ComboBox1, CB_SETITEMHEIGHT, 0, comboBox1.itemHeight);
    const layout::Control& label1 = form["Label1"];
    // Sized to its text: a font of another density does not keep the design font's proportions.
    SizeToText(add(L"STATIC", label1.caption, SS_LEFT, IdDialogLabel1, place(label1, label1.bounds.height)),
        Widen(label1.caption), font_);
    const layout::Control& accessNote = form["AccessNote"];
    AccessNote = add(L"STATIC", accessNote.caption, SS_LEFT, IdAccessNote, place(accessNote, accessNote.bounds.height));
    ShowWindow(AccessNote, SW_HIDE);
    SizeClientArea(form.client.height);
    PlaceCentred(dialog_);
}

void Win32ComPortFrm::SizeClientArea(int height)
{
    const SIZE outer = OuterSizeFor(dialog_, {layout::Scale(layout::ComPortFrm.client.width, dpi_), height});
    SetWindowPos(dialog_, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK Win32ComPortFrm::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<Win32ComPortFrm*>(lParam);
        self->dialog_ = dialog;
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    }
    auto* self = reinterpret_cast<Win32ComPortFrm*>(GetWindowLongPtrW(dialog, DWLP_USER));
    return self ? self->HandleMessage(message, wParam, lParam) : FALSE;
}

INT_PTR Win32ComPortFrm::HandleMessage(UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        Build();
        SetFocus(Button1);
        if (behaviour_)
            behaviour_->FormShow();
        return FALSE;  // the focus is set
    case WM_COMMAND:
        if (LOWORD(wParam) == IdButton1 && HIWORD(wParam) == BN_CLICKED) {
            if (behaviour_)
                behaviour_->Button1Click();
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog_, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    case WM_TIMER:
        if (wParam == ProbePauseTimer) {
            StopProbePause();
            if (behaviour_)
                behaviour_->ProbePauseElapsed();
        }
        return TRUE;
    case WM_DESTROY:
        StopProbePause();
        if (behaviour_)
            behaviour_->FormHide();
        dialog_ = nullptr;
        return TRUE;
    default:
        return FALSE;
    }
}

void Win32ComPortFrm::SetPortItems(const std::vector<std::string>& items)
{
    SendMessageW(ComboBox1, CB_RESETCONTENT, 0, 0);
    for (const std::string& item : items)
        SendMessageW(ComboBox1, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(item).c_str()));
}

int Win32ComPortFrm::SelectedPortItem() const
{
    const auto selected = static_cast<int>(SendMessageW(ComboBox1, CB_GETCURSEL, 0, 0));
    return selected == CB_ERR ? -1 : selected;
}

void Win32ComPortFrm::SelectPortItem(int index)
{
    SendMessageW(ComboBox1, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

// A drop-down list shows only its items' texts, so the placeholder is an item of its own while
// the search runs.
void Win32ComPortFrm::SetSearching(bool searching, const std::string& placeholder)
{
    if (searching) {
        SetPortItems({placeholder});
        SelectPortItem(0);
    }
    EnableWindow(ComboBox1, !searching);
    EnableWindow(Button1, !searching);
}

void Win32ComPortFrm::SetAccessNoteVisible(bool visible)
{
    ShowWindow(AccessNote, visible ? SW_SHOWNA : SW_HIDE);
    const auto form = layout::Scaled(layout::ComPortFrm, dpi_);
    SizeClientArea(visible ? layout::HeightWithAccessNote(form, form["AccessNote"].bounds.height) : form.client.height);
}

void Win32ComPortFrm::FocusButton1()
{
    SetFocus(Button1);
}

void Win32ComPortFrm::StartProbePause(std::chrono::milliseconds pause)
{
    SetTimer(dialog_, ProbePauseTimer, static_cast<UINT>(pause.count()), nullptr);
}

void Win32ComPortFrm::StopProbePause()
{
    if (dialog_)
        KillTimer(dialog_, ProbePauseTimer);
}

void Win32ComPortFrm::CloseDialog()
{
    EndDialog(dialog_, IDOK);
}

}  // namespace kalvo::win32
