#include "QtWindowLink.h"

#include "TStatusBar.h"
#include "TextCodec.h"
#include "uMainFrm.h"

namespace kalvo {

void QtWindowLink::SetPanelText(int panel, const std::string& text)
{
    window_.StatusBar1->SetPanelText(panel, AnsiToQString(text));
}

void QtWindowLink::RepaintStatusBar()
{
    window_.StatusBar1->repaint();
}

void QtWindowLink::ProcessPendingMessages()
{
    window_.ProcessPendingMessages();
}

void QtWindowLink::ClearReadings()
{
    window_.ClearReadings();
}

}  // namespace kalvo
