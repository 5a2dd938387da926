#pragma once

#include <array>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/WindowLink.h"

namespace kalvo::test {

// A window link that remembers what the device link did to the window. onProcessPendingMessages
// stands in for the user acting while a read cycle waits (Quit, the port dialog, ...).
class RecordingWindow : public WindowLink {
public:
    void SetPanelText(int panel, const std::string& text) override
    {
        panels.at(static_cast<std::size_t>(panel)) = text;
        panelHistory.emplace_back(panel, text);
    }
    void RepaintStatusBar() override { repaintedPanels.push_back(panels); }
    void ProcessPendingMessages() override
    {
        ++messagePasses;
        if (onProcessPendingMessages)
            onProcessPendingMessages();
    }
    void ClearReadings() override { ++clearReadingsCalls; }

    std::array<std::string, 2> panels;                  // current texts of panels 0 and 1
    std::vector<std::pair<int, std::string>> panelHistory;
    std::vector<std::array<std::string, 2>> repaintedPanels;  // what each repaint showed
    int messagePasses = 0;
    int clearReadingsCalls = 0;
    std::function<void()> onProcessPendingMessages;
};

}  // namespace kalvo::test
