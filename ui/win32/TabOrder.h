#pragma once

#include <windows.h>

#include <vector>

namespace kalvo::win32 {

// The keyboard navigation of a top-level window that is no dialog, which the system's dialog
// manager cannot give it (the pages lie inside their tab strips, so the strips could not be stops
// of their own). Tab and Shift+Tab move the focus along the controls in the order they were
// appended, skipping those that do not show or are disabled; Enter presses a focused push button,
// as Space does by itself.
class TabOrder {
public:
    void Append(HWND control) { controls_.push_back(control); }

    // Acts on a key message for the window or one of its controls; true when the key was used.
    bool HandleKey(HWND window, const MSG& message) const;

private:
    void MoveFocus(bool backwards) const;

    std::vector<HWND> controls_;
};

}  // namespace kalvo::win32
