#include "ui/win32/CheckList.h"

#include "window/FormLayout.h"

namespace kalvo::win32 {

namespace {

// At 96 dots per inch.
constexpr int CheckBoxSize = 13;
constexpr int CheckBoxGap = 4;  // between the box and the item's text

}  // namespace

CheckList::CheckList(HWND parent, int id, RECT bounds, int itemHeight, int dpi)
    : list_(CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"",
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT
            | LBS_NOTIFY,
        bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr))
{
    SetScale(itemHeight, dpi);
}

void CheckList::SetScale(int itemHeight, int dpi)
{
    boxSize_ = layout::Scale(CheckBoxSize, dpi);
    boxGap_ = layout::Scale(CheckBoxGap, dpi);
    SendMessageW(list_, LB_SETITEMHEIGHT, 0, itemHeight);
    InvalidateRect(list_, nullptr, TRUE);
}

void CheckList::SetItems(const std::vector<std::wstring>& items)
{
    SendMessageW(list_, LB_RESETCONTENT, 0, 0);
    for (const std::wstring& item : items)
        SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

void CheckList::SetMark(int item, bool checked)
{
    const LRESULT current = SendMessageW(list_, LB_GETITEMDATA, item, 0);
    if (current == LB_ERR || (current != 0) == checked)
        return;
    SendMessageW(list_, LB_SETITEMDATA, item, checked ? 1 : 0);
    RECT itemRect;
    if (SendMessageW(list_, LB_GETITEMRECT, item, reinterpret_cast<LPARAM>(&itemRect)) != LB_ERR)
        InvalidateRect(list_, &itemRect, TRUE);
}

void CheckList::SetEnabled(bool enabled)
{
    EnableWindow(list_, enabled ? TRUE : FALSE);
}

HBRUSH CheckList::Ground() const
{
    return GetSysColorBrush(IsWindowEnabled(list_) ? COLOR_WINDOW : COLOR_BTNFACE);
}

void CheckList::DrawItem(const DRAWITEMSTRUCT& item) const
{
    if (item.itemID == static_cast<UINT>(-1))
        return;
    const bool enabled = IsWindowEnabled(list_) != FALSE;
    RECT area = item.rcItem;
    FillRect(item.hDC, &area, Ground());

    const int boxTop = area.top + (area.bottom - area.top - boxSize_) / 2;
    RECT box{area.left + 1, boxTop, area.left + 1 + boxSize_, boxTop + boxSize_};
    UINT boxState = DFCS_BUTTONCHECK;
    if (item.itemData != 0)
        boxState |= DFCS_CHECKED;
    if (!enabled)
        boxState |= DFCS_INACTIVE;
    DrawFrameControl(item.hDC, &box, DFC_BUTTON, boxState);

    const auto length = static_cast<int>(SendMessageW(list_, LB_GETTEXTLEN, item.itemID, 0));
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(list_, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    RECT textArea = area;
    textArea.left = box.right + boxGap_;
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    DrawTextW(item.hDC, text.c_str(), length, &textArea, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

}  // namespace kalvo::win32
