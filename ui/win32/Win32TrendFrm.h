#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "window/uTrendFrm.h"

class TMainFrm;

namespace kalvo::win32 {

// Paints a trend picture as the window layer worked it out, into the device context.
void PaintTrendPicture(HDC dc, const TrendPicture& picture, SIZE size);
// The picture drawn into a bitmap of that size.
HBITMAP TrendBitmap(const TrendPicture& picture, SIZE size);

// The trend window in plain Win32 beside the main window: paints TTrendFrm's picture at the
// window's density, passes the pointer and its menu on, and hides when closed.
class Win32TrendFrm : public TrendView {
public:
    static constexpr wchar_t ClassName[] = L"KalvoTrendFrm";
    static void RegisterWindowClass(HINSTANCE instance);

    Win32TrendFrm(HINSTANCE instance, HWND mainWindow, TMainFrm& behaviour);
    ~Win32TrendFrm() override;
    Win32TrendFrm(const Win32TrendFrm&) = delete;
    Win32TrendFrm& operator=(const Win32TrendFrm&) = delete;

    // Shows the window at its kept place, or beside the main window; brings it to the front.
    void Open();
    // Closes it as its close button does, keeping its place; nothing when it does not show.
    void Close();

    // TrendView
    void RepaintTrend() override;
    std::optional<std::string> AskPictureFileName(const SaveFileQuestion& question) override;
    void SaveTrendPicture(const std::string& fileName) override;
    void SetClipboardUtf8Text(const std::string& text) override;
    void ShowErrorBox(const std::string& title, const std::string& text) override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Command(int id);
    void CheckSpan();
    TrendPicture Picture() const;
    SIZE ClientSize() const;

    HWND window_ = nullptr;
    HWND mainWindow_;
    TTrendFrm trendFrm_;
    bool tracking_ = false;  // the pointer's leaving is reported
};

}  // namespace kalvo::win32
