#pragma once

#include <windows.h>

namespace kalvo::win32 {

// Moves the window, at its present size, to the centre of the screen.
void PlaceCentred(HWND window);

}  // namespace kalvo::win32
