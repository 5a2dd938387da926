#pragma once

#include <string>

namespace kalvo {

// The little the device link needs of the main window. The Qt window implements it; tests and
// console tools implement it without a GUI.
class WindowLink {
public:
    virtual ~WindowLink() = default;

    // Sets the text of status-bar panel 0 (port) or 1 (transfer progress and errors).
    virtual void SetPanelText(int panel, const std::string& text) = 0;
    // Repaints the status bar at once, so a text shows before a slow step begins.
    virtual void RepaintStatusBar() = 0;
    // Dispatches every pending window message, then returns without waiting for new ones.
    virtual void ProcessPendingMessages() = 0;
    // Hides the component pictures and empties the report and error boxes.
    virtual void ClearReadings() = 0;
};

}  // namespace kalvo
