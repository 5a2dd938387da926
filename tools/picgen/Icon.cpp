#include "tools/picgen/Icon.h"

#include "tools/picgen/Palette.h"
#include "tools/picgen/Signs.h"

void PaintEmblem(QPainter& painter, const QRectF& disc)
{
    // The flame's place in the disc, as fractions of the disc's size.
    constexpr double FlameLeft = 7.0 / 32;
    constexpr double FlameTop = 6.0 / 32;
    constexpr double FlameWidth = 18.0 / 32;
    constexpr double FlameHeight = 19.0 / 32;

    const QRectF flame(disc.left() + FlameLeft * disc.width(), disc.top() + FlameTop * disc.height(),
                       FlameWidth * disc.width(), FlameHeight * disc.height());
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgb(colour::EmblemNavy));
    painter.drawEllipse(disc);
    painter.setBrush(QColor::fromRgb(colour::EmblemEmber));
    painter.drawPath(FlameSignShape(flame));
    painter.restore();
}

QImage DrawIcon(int size)
{
    QImage icon(size, size, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    // A half-pixel margin at 16 px keeps the disc's rim smooth instead of cut flat at the edges.
    const double margin = size / 32.0;
    PaintEmblem(painter, QRectF(margin, margin, size - 2 * margin, size - 2 * margin));
    painter.end();
    return icon;
}

QList<int> WindowIconSizes()
{
    return {16, 24, 32, 48};
}

QList<int> IconSizes()
{
    return WindowIconSizes() << 128;
}
