#include "ui/win32/Win32Text.h"

#include "core/Windows1252.h"

namespace kalvo::win32 {

namespace {

constexpr std::wstring_view LineEnd = L"\r\n";

}  // namespace

std::wstring Widen(std::string_view text)
{
    const std::u16string wide = Windows1252ToUtf16(text);
    return {wide.begin(), wide.end()};
}

std::string Narrow(std::wstring_view text)
{
    return Utf16ToWindows1252(std::u16string(text.begin(), text.end()));
}

std::wstring WidenFileName(std::string_view name)
{
    if (name.empty())
        return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, name.data(), static_cast<int>(name.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, name.data(), static_cast<int>(name.size()), wide.data(), size);
    return wide;
}

std::string NarrowFileName(std::wstring_view name)
{
    if (name.empty())
        return {};
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, name.data(), static_cast<int>(name.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, name.data(), static_cast<int>(name.size()), narrow.data(), size, nullptr, nullptr);
    return narrow;
}

std::wstring WindowTextOf(HWND window)
{
    const auto length = static_cast<int>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const auto copied = SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

std::wstring JoinMemoLines(const std::vector<std::string>& lines)
{
    std::wstring text;
    for (const std::string& line : lines) {
        // An edit control's text ends at a NUL; cut there, so that the lines after it still show.
        text += Widen(std::string_view(line).substr(0, line.find('\0')));
        text += LineEnd;
    }
    return text;
}

std::vector<std::string> SplitMemoText(std::wstring_view text)
{
    std::vector<std::string> lines;
    while (!text.empty()) {
        const std::size_t end = text.find(LineEnd);
        lines.push_back(Narrow(text.substr(0, end)));
        if (end == std::wstring_view::npos)
            break;
        text.remove_prefix(end + LineEnd.size());
    }
    return lines;
}

}  // namespace kalvo::win32
