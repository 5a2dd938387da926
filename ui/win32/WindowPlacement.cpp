#include "ui/win32/WindowPlacement.h"

namespace kalvo::win32 {

void PlaceCentred(HWND window)
{
    RECT outer;
    GetWindowRect(window, &outer);
    SetWindowPos(window, nullptr, (GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2,
        (GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 2, 0, 0,
        SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace kalvo::win32
