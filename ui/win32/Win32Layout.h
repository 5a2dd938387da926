#pragma once

#include <windows.h>

#include <string>

#include "window/FormLayout.h"

// The layout table in Win32 terms: rectangles, fonts and controls sized to their text.
namespace kalvo::win32 {

inline constexpr wchar_t FormFontFace[] = L"MS Sans Serif";

RECT Bounds(const layout::Rect& at);

// The face at a character height in pixels: a negative height asks for the height without the
// internal leading, as "8 point" does.
HFONT CreatePixelFont(int pixels, const wchar_t* face = FormFontFace);

// Sizes a static control to its text in the font, keeping its top-left corner.
void SizeToText(HWND control, const std::wstring& text, HFONT font);

// The first descendant of the window with that control id, or none.
HWND DescendantWithId(HWND parent, int id);

}  // namespace kalvo::win32
