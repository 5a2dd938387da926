#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

// Texts between the program's 8-bit strings and the UTF-16 the wide Win32 API takes.
namespace kalvo::win32 {

// The window's texts: Windows-1252, whatever the system's code page.
std::wstring Widen(std::string_view text);
std::string Narrow(std::wstring_view text);

// File names: UTF-8, as the program holds them, so that no letter of any alphabet is lost.
std::wstring WidenFileName(std::string_view name);
// The trend's texts and values, UTF-8 like the recorder's.
inline std::wstring WidenUtf8(std::string_view text)
{
    return WidenFileName(text);
}
std::string NarrowFileName(std::wstring_view name);

// The whole text of a window or control, as WM_GETTEXT gives it.
std::wstring WindowTextOf(HWND window);

// A memo's text as lines: every line ends with CR LF, so the empty text after the last line end
// is no line of its own. A line holds no NUL in an edit control: it ends at its first.
std::wstring JoinMemoLines(const std::vector<std::string>& lines);
std::vector<std::string> SplitMemoText(std::wstring_view text);

}  // namespace kalvo::win32
