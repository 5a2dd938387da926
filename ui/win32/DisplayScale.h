#pragma once

#include <windows.h>

#include <string_view>

namespace kalvo::win32 {

// The pixel density a window is drawn at: its monitor's where the system tells a per-monitor aware
// program (GetDpiForWindow), else the display's. Without a window, the primary display's.
int DpiOf(HWND window);

// The outer size that gives the window the client area, with its frame, caption and menu bar as
// they are now (so a menu bar that wraps or a frame of another density is counted as it is).
SIZE OuterSizeFor(HWND window, SIZE client);

// A font of the layout's face whose character height is the design height scaled to the density,
// made smaller where its lines would be taller or its letters wider than the design font's at that
// density, so text that fits its control at 96 dots per inch fits the scaled control.
HFONT CreateScaledFont(int designPixels, int dpi);

// The largest font of the layout's face up to that character height in which the text is at most
// that wide.
HFONT CreateFittingFont(int pixels, std::wstring_view text, int width);

// The picture at the density, stretched smoothly, in place of the given one (which it deletes).
HBITMAP ScaledPicture(HBITMAP picture, int dpi);

// A picture whose pixels in the colour of its bottom-left one are transparent, at the density, in
// place of the given one (which it deletes): a 32-bit bitmap with premultiplied coverage, to be
// drawn with AlphaBlend. Stretched by blending the four nearest pixels with their coverage, so its
// edges blend into what lies below while every pixel between transparent ones stays wholly
// transparent and every pixel between opaque ones wholly opaque; at 96 dpi it is the picture as is.
HBITMAP TransparentPicture(HBITMAP picture, int dpi);

}  // namespace kalvo::win32
