#include "ui/qt/PlaceCentred.h"

#include <QScreen>
#include <QStyle>
#include <QWidget>

namespace kalvo {

void PlaceCentred(QWidget& window)
{
    if (const QScreen* display = window.screen()) {
        const QRect frame = QStyle::alignedRect(
            Qt::LeftToRight, Qt::AlignCenter, window.frameGeometry().size(), display->availableGeometry());
        window.move(frame.topLeft());
    }
}

}  // namespace kalvo
