#include "ui/win32/PageControl.h"

#include <commctrl.h>

#include "ui/win32/WindowClass.h"

namespace kalvo::win32 {

namespace {

constexpr wchar_t PageClassName[] = L"KalvoTabSheet";

// A page passes what its controls tell their parent on to the top-level window, which handles them.
LRESULT CALLBACK PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
        return SendMessageW(GetAncestor(page, GA_ROOT), message, wParam, lParam);
    default:
        return DefWindowProcW(page, message, wParam, lParam);
    }
}

}  // namespace

PageControl::PageControl(HWND parent, int id, RECT bounds, HFONT font)
    : tabs_(CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPCHILDREN |
                                                          WS_CLIPSIBLINGS,
                            bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr))
{
    SendMessageW(tabs_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

void PageControl::RegisterPageClass(HINSTANCE instance)
{
    RegisterArrowCursorClass(instance, &PageProc, PageClassName, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
}

HWND PageControl::AddPage(int id, const std::wstring& caption, RECT bounds)
{
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(caption.c_str());
    const auto index = static_cast<int>(pages_.size());
    SendMessageW(tabs_, TCM_INSERTITEMW, index, reinterpret_cast<LPARAM>(&item));
    HWND page = CreateWindowExW(WS_EX_CONTROLPARENT, PageClassName, caption.c_str(),
        WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, bounds.left, bounds.top, bounds.right - bounds.left,
        bounds.bottom - bounds.top, tabs_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(tabs_, GWLP_HINSTANCE)), nullptr);
    pages_.push_back(page);
    FitTabRow(bounds.top);
    SelectionChanged();
    return page;
}

void PageControl::FitTabRow(int pageTop) const
{
    RECT tab{};
    if (!SendMessageW(tabs_, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&tab)))
        return;
    RECT display;
    GetClientRect(tabs_, &display);
    SendMessageW(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    const int height = tab.bottom - tab.top + pageTop - display.top;
    if (height > 0 && display.top != pageTop)
        SendMessageW(tabs_, TCM_SETITEMSIZE, 0, MAKELPARAM(0, height));
}

void PageControl::SetCaption(int index, const std::wstring& caption)
{
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(caption.c_str());
    SendMessageW(tabs_, TCM_SETITEMW, index, reinterpret_cast<LPARAM>(&item));
    SetWindowTextW(pages_.at(static_cast<std::size_t>(index)), caption.c_str());
}

void PageControl::SetActive(int index)
{
    SendMessageW(tabs_, TCM_SETCURSEL, index, 0);
    SelectionChanged();
}

int PageControl::Active() const
{
    return static_cast<int>(SendMessageW(tabs_, TCM_GETCURSEL, 0, 0));
}

void PageControl::SelectionChanged()
{
    const int active = Active();
    for (std::size_t i = 0; i < pages_.size(); ++i)
        ShowWindow(pages_[i], static_cast<int>(i) == active ? SW_SHOW : SW_HIDE);
}

}  // namespace kalvo::win32
