#include "ui/win32/PictureLayers.h"

#include <algorithm>

#include "ui/win32/Win32Text.h"
#include "ui/win32/WindowClass.h"

namespace kalvo::win32 {

namespace {

constexpr wchar_t LayerClassName[] = L"KalvoPictureLayer";

bool HasVisibleStyle(HWND window)
{
    return (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

RECT Union(const RECT& a, const RECT& b)
{
    RECT both{};
    UnionRect(&both, &a, &b);
    return both;
}

SIZE BitmapSize(HBITMAP bitmap)
{
    BITMAP info{};
    GetObjectW(bitmap, sizeof info, &info);
    return {info.bmWidth, info.bmHeight};
}

}  // namespace

struct PictureLayers::Layer {
    HWND window = nullptr;
    RECT bounds{};  // in the page's client coordinates
    HBITMAP bitmap = nullptr;
    SIZE pictureSize{};
    bool transparent = false;  // the bitmap carries premultiplied coverage
    HFONT font = nullptr;  // set for a label
};

PictureLayers::PictureLayers(HWND page) : page_(page) {}

PictureLayers::~PictureLayers()
{
    for (const auto& layer : layers_) {
        if (layer->bitmap)
            DeleteObject(layer->bitmap);
    }
}

void PictureLayers::RegisterWindowClass(HINSTANCE instance)
{
    RegisterArrowCursorClass(instance, &PictureLayers::WindowProc, LayerClassName);
}

HWND PictureLayers::AddPicture(int id, RECT bounds, HBITMAP bitmap, bool transparent)
{
    auto layer = std::make_unique<Layer>();
    layer->bounds = bounds;
    layer->transparent = transparent;
    TakeBitmap(*layer, bitmap);
    HWND window = AddLayer(std::move(layer), L"");
    SetWindowLongPtrW(window, GWLP_ID, id);
    return window;
}

void PictureLayers::TakeBitmap(Layer& layer, HBITMAP bitmap)
{
    if (layer.bitmap)
        DeleteObject(layer.bitmap);
    layer.bitmap = bitmap;
    layer.pictureSize = BitmapSize(bitmap);
}

void PictureLayers::Replace(HWND picture, RECT bounds, HBITMAP bitmap)
{
    Layer* layer = Find(picture);
    if (!layer || layer->font) {
        DeleteObject(bitmap);
        return;
    }
    TakeBitmap(*layer, bitmap);
    layer->bounds = bounds;
    SetWindowPos(picture, nullptr, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
        SWP_NOZORDER | SWP_NOACTIVATE);
    RedrawAll();
}

void PictureLayers::PlaceLabel(HWND label, POINT topLeft, HFONT font)
{
    Layer* layer = Find(label);
    if (!layer || !layer->font)
        return;
    layer->font = font;
    layer->bounds = {topLeft.x, topLeft.y, topLeft.x, topLeft.y};
    SetWindowPos(label, nullptr, topLeft.x, topLeft.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    FitLabel(*layer, WindowTextOf(label));
}

HWND PictureLayers::AddLabel(int id, POINT topLeft, HFONT font, const std::wstring& text)
{
    auto layer = std::make_unique<Layer>();
    layer->bounds = {topLeft.x, topLeft.y, topLeft.x, topLeft.y};
    layer->font = font;
    Layer& label = *layer;
    HWND window = AddLayer(std::move(layer), text);
    SetWindowLongPtrW(window, GWLP_ID, id);
    FitLabel(label, text);
    return window;
}

HWND PictureLayers::AddLayer(std::unique_ptr<Layer> layer, const std::wstring& text)
{
    const RECT& b = layer->bounds;
    HWND window = CreateWindowExW(0, LayerClassName, text.c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, b.left,
                                  b.top, b.right - b.left, b.bottom - b.top, page_, nullptr,
                                  reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(page_, GWLP_HINSTANCE)), nullptr);
    layer->window = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    // Each new layer on top of the earlier ones.
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    layers_.push_back(std::move(layer));
    return window;
}

// The label fits itself to the new text (WM_SETTEXT).
void PictureLayers::SetLabelText(HWND label, const std::wstring& text)
{
    if (WindowTextOf(label) != text)
        SetWindowTextW(label, text.c_str());
}

// Sizes the label to its text in its font.
void PictureLayers::FitLabel(Layer& layer, const std::wstring& text)
{
    HWND label = layer.window;
    HDC dc = GetDC(label);
    const HGDIOBJ previous = SelectObject(dc, layer.font);
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, previous);
    ReleaseDC(label, dc);
    const RECT before = layer.bounds;
    layer.bounds.right = layer.bounds.left + extent.cx;
    layer.bounds.bottom = layer.bounds.top + metrics.tmHeight;
    if (!EqualRect(&before, &layer.bounds))
        SetWindowPos(label, nullptr, 0, 0, extent.cx, metrics.tmHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Redraw(Union(before, layer.bounds));
}

void PictureLayers::SetVisible(HWND layer, bool visible)
{
    if (HasVisibleStyle(layer) == visible)
        return;
    ShowWindow(layer, visible ? SW_SHOWNA : SW_HIDE);
    if (const Layer* shown = Find(layer))
        Redraw(shown->bounds);
}

LRESULT CALLBACK PictureLayers::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<PictureLayers*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_ERASEBKGND:
        return 1;  // the paint covers the whole layer
    case WM_PAINT:
        if (const Layer* layer = self ? self->Find(window) : nullptr) {
            self->Paint(*layer);
            return 0;
        }
        break;
    case WM_NCHITTEST:
        return HTTRANSPARENT;  // clicks go to the page
    case WM_SETTEXT: {
        // A label is as large as its text, whoever sets it.
        const LRESULT result = DefWindowProcW(window, message, wParam, lParam);
        if (Layer* layer = self ? self->Find(window) : nullptr; layer && layer->font)
            self->FitLabel(*layer, WindowTextOf(window));
        return result;
    }
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Draws the part to be painted into a bitmap first, so the layers below never flash through. Only
// that part is composed: a label's change costs the schematic's pixels under the label, not all.
void PictureLayers::Paint(const Layer& target) const
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(target.window, &paint);
    RECT dirty = paint.rcPaint;  // in the page's coordinates from here on
    OffsetRect(&dirty, target.bounds.left, target.bounds.top);
    const int width = dirty.right - dirty.left;
    const int height = dirty.bottom - dirty.top;
    if (width <= 0 || height <= 0) {
        EndPaint(target.window, &paint);
        return;
    }
    HDC buffer = CreateCompatibleDC(dc);
    HBITMAP canvas = CreateCompatibleBitmap(dc, width, height);
    const HGDIOBJ previous = SelectObject(buffer, canvas);
    RECT all{0, 0, width, height};
    FillRect(buffer, &all, GetSysColorBrush(COLOR_BTNFACE));
    for (const auto& layer : layers_) {
        if (layer.get() != &target && !HasVisibleStyle(layer->window))
            continue;
        DrawLayer(buffer, *layer, dirty);
        if (layer.get() == &target)
            break;
    }
    BitBlt(dc, paint.rcPaint.left, paint.rcPaint.top, width, height, buffer, 0, 0, SRCCOPY);
    SelectObject(buffer, previous);
    DeleteObject(canvas);
    DeleteDC(buffer);
    EndPaint(target.window, &paint);
}

// Draws the layer's part of the area (page coordinates) into dc, whose top left is the area's.
void PictureLayers::DrawLayer(HDC dc, const Layer& layer, const RECT& area) const
{
    if (layer.font) {
        RECT part{};
        if (!IntersectRect(&part, &layer.bounds, &area))
            return;
        const POINT origin{layer.bounds.left - area.left, layer.bounds.top - area.top};
        const std::wstring text = WindowTextOf(layer.window);
        const HGDIOBJ previousFont = SelectObject(dc, layer.font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        TextOutW(dc, origin.x, origin.y, text.c_str(), static_cast<int>(text.size()));
        SelectObject(dc, previousFont);
        return;
    }
    // The picture at its own size from the layer's top left, cut off by the layer and the area.
    const RECT shown{layer.bounds.left, layer.bounds.top,
        layer.bounds.left + std::min<int>(layer.bounds.right - layer.bounds.left, layer.pictureSize.cx),
        layer.bounds.top + std::min<int>(layer.bounds.bottom - layer.bounds.top, layer.pictureSize.cy)};
    RECT part{};
    if (!IntersectRect(&part, &shown, &area))
        return;
    const int width = part.right - part.left;
    const int height = part.bottom - part.top;
    const POINT from{part.left - layer.bounds.left, part.top - layer.bounds.top};
    const POINT to{part.left - area.left, part.top - area.top};
    HDC picture = CreateCompatibleDC(dc);
    const HGDIOBJ previous = SelectObject(picture, layer.bitmap);
    if (layer.transparent)
        AlphaBlend(dc, to.x, to.y, width, height, picture, from.x, from.y, width, height,
            BLENDFUNCTION{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA});
    else
        BitBlt(dc, to.x, to.y, width, height, picture, from.x, from.y, SRCCOPY);
    SelectObject(picture, previous);
    DeleteDC(picture);
}

void PictureLayers::RedrawAll() const
{
    RedrawWindow(page_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// The area of the page (its client coordinates) and every layer over it, and nothing else.
void PictureLayers::Redraw(const RECT& area) const
{
    RedrawWindow(page_, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

PictureLayers::Layer* PictureLayers::Find(HWND window) const
{
    for (const auto& layer : layers_) {
        if (layer->window == window)
            return layer.get();
    }
    return nullptr;
}

}  // namespace kalvo::win32
