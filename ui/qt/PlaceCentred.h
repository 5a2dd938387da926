#pragma once

class QWidget;

namespace kalvo {

// Moves a top-level window so that its outer frame, known once it is on screen, is centred on its
// screen's available area.
void PlaceCentred(QWidget& window);

}  // namespace kalvo
