#include "tools/soak/Soak.h"

#include "core/Readings.h"
#include "core/uGlobal.h"

namespace soak {

namespace {

constexpr int TransferPanel = 1;
constexpr std::size_t MaxViolationsKept = 10;

}  // namespace

void RunResult::Violation(int cycle, const std::string& what)
{
    ++brokenBounds;
    if (violations.size() < MaxViolationsKept)
        violations.push_back("cycle " + std::to_string(cycle) + ": " + what);
}

void SoakWindow::SetPanelText(int panel, const std::string& text)
{
    if (panel == TransferPanel)
        transferText_ = text;
}

void SoakWindow::ProcessPendingMessages()
{
    if (onMessages)
        onMessages();
}

kalvo::OpenOutcome CountingSerialSystem::Open(int portNumber)
{
    kalvo::OpenOutcome outcome = inner_.Open(portNumber);
    if (outcome.port)
        ++opens_;
    return outcome;
}

void ReopenWatch::DeviceCameBack()
{
    cameBack_ = lost_;
    pollsSinceComeback_ = 0;
}

bool ReopenWatch::PollDone(bool portOpen, int opensSoFar)
{
    // Any open since the loss counts, also one made before the comeback was seen: the device
    // can be there a moment before it is announced.
    if (lost_ && opensSoFar > opensAtLoss_)
        lost_ = cameBack_ = false;
    if (!lost_ && !portOpen) {
        lost_ = true;
        opensAtLoss_ = opensSoFar;
    }
    if (!cameBack_ || ++pollsSinceComeback_ < 2)
        return true;
    cameBack_ = false;
    return false;
}

bool PortIsLive()
{
    return uGlobal::PortHandle && !uGlobal::PortHandle->DeviceGone();
}

bool Poll(const kalvo::LanguageLines& language, const SoakWindow& window)
{
    const kalvo::Poll poll = uGlobal::ReadCycle();
    // Everything the window would show is built as well, so that the soak's memory figures and
    // leak check cover the decoding, whatever bytes the unit sent.
    uGlobal::DecodeReadings(poll);
    kalvo::ReportLines(uGlobal::ReadingTexts, language);
    for (int n = 1; n <= kalvo::ErrorRecordCount; ++n)
        kalvo::ErrorRecordLines(poll.fields.errorRecords[static_cast<std::size_t>(n - 1)], n, language);
    return window.TransferText().empty();
}

}  // namespace soak
