#include "window/uComPortFrm.h"

#include <algorithm>
#include <iterator>

#include "core/SerialLine.h"
#include "core/uGlobal.h"

namespace {

// Every listed port reads "COM" and one to three digits.
constexpr std::size_t PortPrefixLength = 3;
constexpr std::size_t MaxPortDigits = 3;

}  // namespace

TComPortFrm::TComPortFrm(kalvo::PortDialogView& view) : view_(view) { }

std::string TComPortFrm::PortText(int portNumber)
{
    return "COM" + std::to_string(portNumber);
}

void TComPortFrm::FormShow()
{
    view_.StopProbePause();
    view_.SetPortItems({});
    foundPorts_.clear();
    accessDenied_ = false;
    view_.SetAccessNoteVisible(false);
    view_.SetSearching(true, SearchingText);
    search_ = uGlobal::Serial->StartSearch();
    ProbePortsFrom(FirstPort);
}

// Closed while still searching: the rest of the ports stay untried until the next showing.
void TComPortFrm::FormHide()
{
    view_.StopProbePause();
    search_.reset();
}

void TComPortFrm::ProbePauseElapsed()
{
    ProbePortsFrom(nextPortToProbe_);
}

// Each port is opened exclusively, as the read cycle would open it, and closed again at once.
// After a port is found the search pauses and goes on when the pause has run out, so the dialog
// keeps painting and answering while it searches.
void TComPortFrm::ProbePortsFrom(int portNumber)
{
    for (int n = portNumber; n <= LastPort; ++n) {
        kalvo::OpenOutcome outcome = search_->Open(n);
        if (!outcome.port) {
            accessDenied_ = accessDenied_ || outcome.accessDenied;
            continue;
        }
        outcome.port.reset();
        foundPorts_.push_back(PortText(n));
        nextPortToProbe_ = n + 1;
        view_.StartProbePause(PauseAfterFoundPort);
        return;
    }
    FinishListing();
}

void TComPortFrm::FinishListing()
{
    search_.reset();
    view_.SetPortItems(foundPorts_);
    // The port in use is preselected when it is listed, otherwise the first port found.
    if (!foundPorts_.empty()) {
        const auto current = std::find(foundPorts_.begin(), foundPorts_.end(), PortText(uGlobal::PortNumber));
        view_.SelectPortItem(
            current != foundPorts_.end() ? static_cast<int>(std::distance(foundPorts_.begin(), current)) : 0);
    }
    view_.SetAccessNoteVisible(foundPorts_.empty() && accessDenied_);
    view_.SetSearching(false, {});
    view_.FocusButton1();
}

void TComPortFrm::Button1Click()
{
    std::string chosen;
    const int selected = view_.SelectedPortItem();
    if (selected >= 0 && selected < static_cast<int>(foundPorts_.size()))
        chosen = foundPorts_[static_cast<std::size_t>(selected)];
    if (chosen.size() > PortPrefixLength)
        uGlobal::PortNumber = std::stoi(chosen.substr(PortPrefixLength, MaxPortDigits));
    view_.CloseDialog();
}
