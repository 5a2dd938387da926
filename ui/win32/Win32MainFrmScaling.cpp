// The main window at the display's pixel density: the layout scaled to it, and scaled again when
// the window moves to a monitor of another density.
#include "ui/win32/Win32MainFrm.h"

#include <commctrl.h>

#include <array>

#include "ui/win32/ControlIds.h"
#include "ui/win32/DisplayScale.h"
#include "ui/win32/PagePictures.h"
#include "ui/win32/SystemServices.h"
#include "ui/win32/Win32Layout.h"
#include "ui/win32/Win32Text.h"

namespace kalvo::win32 {

namespace {

HFONT CreateFormFont(layout::FontRole role, int dpi)
{
    return CreateScaledFont(layout::MainFrm.FontPixels(role), dpi);
}

}  // namespace

HBITMAP LoadPagePicture(HINSTANCE instance, const layout::Picture& picture, int dpi)
{
    const std::wstring name = Widen(picture.file);
    HBITMAP loaded = layout::IsJpeg(picture)
        ? LoadJpegResource(instance, name.c_str())
        : static_cast<HBITMAP>(LoadImageW(instance, name.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    return picture.transparent ? TransparentPicture(loaded, dpi) : ScaledPicture(loaded, dpi);
}

const layout::Control& Win32MainFrm::Control(std::string_view name) const
{
    return form_[name];
}

// The place of the named control at the window's density.
RECT Win32MainFrm::PlaceOf(std::string_view name) const
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
    return DescendantWithId(window_, id);
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
        if (!child || pictures_->Holds(child))
            continue;
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(control.font)), FALSE);
        const RECT bounds = Bounds(control.bounds);
        SetWindowPos(child, nullptr, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
            SWP_NOZORDER | SWP_NOACTIVATE | (control.bounds.width == 0 ? SWP_NOSIZE : 0));
    }
    PageControl1->FitTabRow(Control("TabSheet1").bounds.top);
    PageControl2->FitTabRow(Control("TabSheet3").bounds.top);
    HWND label1 = Child("Label1");
    SizeToText(label1, WindowTextOf(label1), windowFont_);
    CheckListBox1->SetScale(Control("CheckListBox1").itemHeight, dpi_);
    SetStatusParts();
    for (const layout::Picture& picture : layout::MainFrmPictures) {
        if (HWND layer = Child(picture.image))
            pictures_->Replace(layer, PlaceOf(picture.image), LoadPagePicture(instance_, picture, dpi_));
    }
    for (int label = FirstLabel; label <= LastLabel; ++label)
        pictures_->PlaceLabel(labels_[static_cast<std::size_t>(label)], LabelPlace(label), valueFont_);
    for (const HFONT font : previousFonts)
        DeleteObject(font);
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
}

}  // namespace kalvo::win32
