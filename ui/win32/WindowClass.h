#pragma once

#include <windows.h>

namespace kalvo::win32 {

// Registers one of the program's window classes: its procedure, the arrow cursor, and a background
// brush (none where the window paints all of itself).
inline void RegisterArrowCursorClass(
    HINSTANCE instance, WNDPROC procedure, const wchar_t* name, HBRUSH background = nullptr)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    RegisterClassW(&windowClass);
}

}  // namespace kalvo::win32
