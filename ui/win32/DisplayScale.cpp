#include "ui/win32/DisplayScale.h"

#include "ui/win32/Win32Layout.h"
#include "window/FormLayout.h"

namespace kalvo::win32 {

namespace {

// The bitmap "MS Sans Serif" stops at 16 pixels; its TrueType successor draws larger texts.
constexpr int LargestBitmapFontPixels = 16;

HFONT CreateLayoutFont(int pixels)
{
    return CreatePixelFont(pixels, pixels > LargestBitmapFontPixels ? L"Microsoft Sans Serif" : FormFontFace);
}

// The height of a line and the width of the sample text in the font.
SIZE TextBox(HFONT font, std::wstring_view sample)
{
    HDC screen = GetDC(nullptr);
    const HGDIOBJ previous = SelectObject(screen, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(screen, &metrics);
    SIZE extent{};
    GetTextExtentPoint32W(screen, sample.data(), static_cast<int>(sample.size()), &extent);
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);
    return {extent.cx, metrics.tmHeight};
}

}  // namespace

int DpiOf(HWND window)
{
    // Looked up rather than linked, so the program still starts on systems before Windows 10.
    using DpiForWindow = UINT(WINAPI*)(HWND);
    static const auto dpiForWindow = reinterpret_cast<DpiForWindow>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (window && dpiForWindow) {
        if (const UINT dpi = dpiForWindow(window))
            return static_cast<int>(dpi);
    }
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : layout::DesignDpi;
}

SIZE OuterSizeFor(HWND window, SIZE client)
{
    RECT outer;
    RECT inner;
    GetWindowRect(window, &outer);
    GetClientRect(window, &inner);
    return {
        client.cx + (outer.right - outer.left) - inner.right, client.cy + (outer.bottom - outer.top) - inner.bottom};
}

HFONT CreateFittingFont(int pixels, std::wstring_view text, int width)
{
    for (;; --pixels) {
        HFONT font = CreateLayoutFont(pixels);
        if (pixels <= 1 || TextBox(font, text).cx <= width)
            return font;
        DeleteObject(font);
    }
}

HFONT CreateScaledFont(int designPixels, int dpi)
{
    constexpr std::wstring_view sample = L"ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz 0123456789 :-().";
    HFONT design = CreateLayoutFont(designPixels);
    const SIZE designBox = TextBox(design, sample);
    DeleteObject(design);
    const SIZE limit{layout::Scale(designBox.cx, dpi), layout::Scale(designBox.cy, dpi)};
    for (int pixels = layout::Scale(designPixels, dpi);; --pixels) {
        HFONT font = CreateLayoutFont(pixels);
        const SIZE box = TextBox(font, sample);
        if (pixels <= designPixels || (box.cx <= limit.cx && box.cy <= limit.cy))
            return font;
        DeleteObject(font);
    }
}

HBITMAP ScaledPicture(HBITMAP picture, int dpi, bool smooth)
{
    if (dpi == layout::DesignDpi || !picture)
        return picture;
    BITMAP info{};
    GetObjectW(picture, sizeof info, &info);
    const int width = layout::Scale(info.bmWidth, dpi);
    const int height = layout::Scale(info.bmHeight, dpi);
    BITMAPINFO format{};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP scaled = CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!scaled)
        return picture;
    HDC source = CreateCompatibleDC(nullptr);
    HDC target = CreateCompatibleDC(nullptr);
    const HGDIOBJ previousSource = SelectObject(source, picture);
    const HGDIOBJ previousTarget = SelectObject(target, scaled);
    SetStretchBltMode(target, smooth ? HALFTONE : COLORONCOLOR);
    SetBrushOrgEx(target, 0, 0, nullptr);
    StretchBlt(target, 0, 0, width, height, source, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    SelectObject(source, previousSource);
    SelectObject(target, previousTarget);
    DeleteDC(source);
    DeleteDC(target);
    DeleteObject(picture);
    return scaled;
}

}  // namespace kalvo::win32
