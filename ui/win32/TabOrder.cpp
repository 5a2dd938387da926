#include "ui/win32/TabOrder.h"

#include <algorithm>
#include <cwchar>

namespace kalvo::win32 {

namespace {

bool Reachable(HWND control)
{
    return IsWindowVisible(control) && IsWindowEnabled(control);
}

bool IsPushButton(HWND control)
{
    wchar_t className[16] = {};
    GetClassNameW(control, className, 16);
    const auto type = GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
    return _wcsicmp(className, L"Button") == 0 && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
}

}  // namespace

bool TabOrder::HandleKey(HWND window, const MSG& message) const
{
    if (message.message != WM_KEYDOWN || (message.hwnd != window && !IsChild(window, message.hwnd)))
        return false;
    if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0)
        return false;
    if (message.wParam == VK_TAB) {
        MoveFocus(GetKeyState(VK_SHIFT) < 0);
        return true;
    }
    HWND focus = GetFocus();
    if (message.wParam == VK_RETURN && IsPushButton(focus) && std::ranges::find(controls_, focus) != controls_.end()) {
        SendMessageW(focus, BM_CLICK, 0, 0);
        return true;
    }
    return false;
}

// From the control that holds the focus (or lies around it) to the next reachable one, round the
// end; from outside the list to its first or last.
void TabOrder::MoveFocus(bool backwards) const
{
    const auto count = static_cast<int>(controls_.size());
    HWND focus = GetFocus();
    auto holding = std::ranges::find(controls_, focus);
    if (holding == controls_.end())
        holding = std::ranges::find_if(controls_, [focus](HWND control) { return IsChild(control, focus); });
    int at = holding == controls_.end() ? (backwards ? count : -1) : static_cast<int>(holding - controls_.begin());
    for (int step = 0; step < count; ++step) {
        at = (at + (backwards ? count - 1 : 1)) % count;
        if (Reachable(controls_[static_cast<std::size_t>(at)])) {
            SetFocus(controls_[static_cast<std::size_t>(at)]);
            return;
        }
    }
}

}  // namespace kalvo::win32
