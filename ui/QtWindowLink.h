#pragma once

#include <string>

#include "WindowLink.h"

class TMainFrm;

namespace kalvo {

// The device link's view of the main window: its status panels and its two call-backs.
class QtWindowLink : public WindowLink {
public:
    explicit QtWindowLink(TMainFrm& window) : window_(window) {}

    void SetPanelText(int panel, const std::string& text) override;
    void RepaintStatusBar() override;
    void ProcessPendingMessages() override;
    void ClearReadings() override;

private:
    TMainFrm& window_;
};

}  // namespace kalvo
