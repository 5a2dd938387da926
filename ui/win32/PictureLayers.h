#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace kalvo::win32 {

// The "Picture" page's pictures and value labels, each a child window of its own (so it has its
// id, place and visibility), drawn as layers: every layer paints the visible layers below it and
// then itself, so a transparent flame or a label's transparent ground shows the schematic through.
// The layer added last lies on top.
class PictureLayers {
public:
    explicit PictureLayers(HWND page);
    ~PictureLayers();
    PictureLayers(const PictureLayers&) = delete;
    PictureLayers& operator=(const PictureLayers&) = delete;

    static void RegisterWindowClass(HINSTANCE instance);

    // A picture drawn at its own size from the widget's top left, cut off by a smaller widget.
    // A transparent one (TransparentPicture) is blended by its coverage. Takes the bitmap.
    HWND AddPicture(int id, RECT bounds, HBITMAP bitmap, bool transparent);
    // A label at the given top left that sizes itself to its text.
    HWND AddLabel(int id, POINT topLeft, HFONT font, const std::wstring& text);

    void SetLabelText(HWND label, const std::wstring& text);
    void SetVisible(HWND layer, bool visible);

    // For a new pixel density: a picture's new place and bitmap (taken), a label's new place and font.
    void Replace(HWND picture, RECT bounds, HBITMAP bitmap);
    void PlaceLabel(HWND label, POINT topLeft, HFONT font);
    bool Holds(HWND window) const { return Find(window) != nullptr; }

private:
    struct Layer;

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND AddLayer(std::unique_ptr<Layer> layer, const std::wstring& text);
    void FitLabel(Layer& label, const std::wstring& text);
    static void TakeBitmap(Layer& layer, HBITMAP bitmap);
    void Paint(const Layer& target) const;
    void DrawLayer(HDC dc, const Layer& layer, const RECT& area) const;
    void RedrawAll() const;
    void Redraw(const RECT& area) const;
    Layer* Find(HWND window) const;

    HWND page_;
    std::vector<std::unique_ptr<Layer>> layers_;  // bottom to top
};

}  // namespace kalvo::win32
