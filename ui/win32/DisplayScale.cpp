#include "ui/win32/DisplayScale.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "ui/win32/Win32Layout.h"
#include "window/FormLayout.h"

namespace kalvo::win32 {

namespace {

// A top-down 32-bit bitmap, each pixel as 0xAARRGGBB.
struct Pixels {
    Pixels(int w, int h) : width(w), height(h), argb(static_cast<std::size_t>(w) * static_cast<std::size_t>(h)) { }
    std::uint32_t& at(int x, int y) { return argb[static_cast<std::size_t>(y * width + x)]; }
    std::uint32_t at(int x, int y) const { return argb[static_cast<std::size_t>(y * width + x)]; }

    int width;
    int height;
    std::vector<std::uint32_t> argb;
};

Pixels PixelsOf(HBITMAP picture)
{
    BITMAP info{};
    GetObjectW(picture, sizeof info, &info);
    Pixels pixels(info.bmWidth, info.bmHeight);
    BITMAPINFO format{};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), info.bmWidth, -info.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, picture, 0, static_cast<UINT>(info.bmHeight), pixels.argb.data(), &format, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return pixels;
}

HBITMAP BitmapOf(const Pixels& pixels)
{
    BITMAPINFO format{};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), pixels.width, -pixels.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap)
        std::memcpy(bits, pixels.argb.data(), pixels.argb.size() * sizeof(std::uint32_t));
    return bitmap;
}

// Bilinear: each new pixel's centre is placed in the old picture and takes the four old pixels
// around it, weighted by nearness, channel by channel (premultiplied, so coverage weighs colour).
Pixels Stretched(const Pixels& from, int width, int height)
{
    Pixels to(width, height);
    const auto at = [&from](int x, int y) {
        return from.at(std::clamp(x, 0, from.width - 1), std::clamp(y, 0, from.height - 1));
    };
    for (int y = 0; y < height; ++y) {
        const double sy = (y + 0.5) * from.height / height - 0.5;
        const int y0 = static_cast<int>(std::floor(sy));
        const double fy = sy - y0;
        for (int x = 0; x < width; ++x) {
            const double sx = (x + 0.5) * from.width / width - 0.5;
            const int x0 = static_cast<int>(std::floor(sx));
            const double fx = sx - x0;
            const std::uint32_t corners[] = {at(x0, y0), at(x0 + 1, y0), at(x0, y0 + 1), at(x0 + 1, y0 + 1)};
            const double weights[] = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy, fx * fy};
            std::uint32_t pixel = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                double channel = 0;
                for (int i = 0; i < 4; ++i)
                    channel += weights[i] * ((corners[i] >> shift) & 0xFF);
                pixel |= static_cast<std::uint32_t>(std::lround(channel)) << shift;
            }
            to.at(x, y) = pixel;
        }
    }
    return to;
}

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

HBITMAP ScaledPicture(HBITMAP picture, int dpi)
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
    SetStretchBltMode(target, HALFTONE);
    SetBrushOrgEx(target, 0, 0, nullptr);
    StretchBlt(target, 0, 0, width, height, source, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    SelectObject(source, previousSource);
    SelectObject(target, previousTarget);
    DeleteDC(source);
    DeleteDC(target);
    DeleteObject(picture);
    return scaled;
}

HBITMAP TransparentPicture(HBITMAP picture, int dpi)
{
    if (!picture)
        return picture;
    Pixels pixels = PixelsOf(picture);
    DeleteObject(picture);
    if (pixels.argb.empty())
        return nullptr;
    constexpr std::uint32_t Colour = 0x00FFFFFF;
    const std::uint32_t transparent = pixels.at(0, pixels.height - 1) & Colour;
    for (std::uint32_t& pixel : pixels.argb)
        pixel = (pixel & Colour) == transparent ? 0 : (pixel | 0xFF000000);
    if (dpi != layout::DesignDpi)
        pixels = Stretched(pixels, layout::Scale(pixels.width, dpi), layout::Scale(pixels.height, dpi));
    return BitmapOf(pixels);
}

}  // namespace kalvo::win32
