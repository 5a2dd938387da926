#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "window/MainView.h"

namespace kalvo::win32 {

class Win32ComPortFrm;

// The system's boxes, questions, clipboard and clock for the main window, which owns them while it
// exists; the port command shows the port dialog given.
class Win32SystemServices : public SystemServices {
public:
    void SetOwner(HWND owner) { owner_ = owner; }
    void SetPortDialog(Win32ComPortFrm& portDialog) { portDialog_ = &portDialog; }
    void SetTrendOpener(std::function<void()> open) { openTrend_ = std::move(open); }

    void ShowErrorBox(const std::string& title, const std::string& text) override;
    std::optional<std::string> AskSaveFileName(const SaveFileQuestion& question) override;
    std::optional<std::string> AskFolder(const std::string& title, const std::string& initialFolder) override;
    void ShowPortDialog() override;
    void ShowTrendWindow() override;
    void SetClipboardText(const std::string& text) override;
    RegionalDateTime CurrentRegionalDateTime() const override;

private:
    HWND owner_ = nullptr;
    Win32ComPortFrm* portDialog_ = nullptr;
    std::function<void()> openTrend_;
};

}  // namespace kalvo::win32
