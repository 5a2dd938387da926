#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "core/SerialLine.h"
#include "window/MainView.h"

// The port selection dialog's behaviour: lists the COM ports that can be opened right now and
// writes the one chosen into uGlobal::PortNumber when OK is pressed. Created once and reused; the
// list is rebuilt at every showing. Closing the dialog by its title bar leaves PortNumber as it was.
class TComPortFrm {
public:
    static constexpr int FirstPort = 1;
    static constexpr int LastPort = 255;
    // The pause after each port found, which gives a device a moment after being opened and closed.
    static constexpr std::chrono::milliseconds PauseAfterFoundPort{60};
    static constexpr char SearchingText[] = "Searching...";

    explicit TComPortFrm(kalvo::PortDialogView& view);

    // The face calls these: at each showing, at each hiding (not when minimised or restored), for
    // the OK button and when the probe pause has run out.
    void FormShow();
    void FormHide();
    void Button1Click();
    void ProbePauseElapsed();

    // "COM" followed by the port number in decimal.
    static std::string PortText(int portNumber);

private:
    void ProbePortsFrom(int portNumber);
    void FinishListing();

    kalvo::PortDialogView& view_;
    std::unique_ptr<kalvo::PortOpener> search_;  // the ports as they were when this showing began
    std::vector<std::string> foundPorts_;  // listed together once the search is done
    int nextPortToProbe_ = FirstPort;
    bool accessDenied_ = false;
};
