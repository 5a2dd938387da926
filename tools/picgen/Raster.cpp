#include "tools/picgen/Raster.h"

#include <stdexcept>

#include <QHash>

QImage NewCanvas(int width, int height)
{
    QImage canvas(width, height, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    return canvas;
}

void FillBox(QPainter& painter, int left, int top, int right, int bottom, QRgb colour)
{
    painter.fillRect(QRect(QPoint(left, top), QPoint(right, bottom)), QColor::fromRgb(colour));
}

void FillDisc(QPainter& painter, QPointF centre, double radius, QRgb colour)
{
    const QColor fill = QColor::fromRgb(colour);
    for (int y = int(centre.y() - radius) - 1; y <= int(centre.y() + radius) + 1; ++y) {
        for (int x = int(centre.x() - radius) - 1; x <= int(centre.x() + radius) + 1; ++x) {
            const double dx = x - centre.x();
            const double dy = y - centre.y();
            if (dx * dx + dy * dy <= radius * radius)
                painter.fillRect(x, y, 1, 1, fill);
        }
    }
}

void DrawDotted(QPainter& painter, const std::function<void(QPainter&)>& drawShapes)
{
    QImage layer = NewCanvas(painter.device()->width(), painter.device()->height());
    {
        QPainter layerPainter(&layer);
        layerPainter.setPen(QPen(Qt::black, 2));
        layerPainter.setBrush(Qt::NoBrush);
        drawShapes(layerPainter);
    }
    for (int y = 0; y < layer.height(); ++y) {
        for (int x = y % 2; x < layer.width(); x += 2) {
            if (layer.pixel(x, y) == 0xFF000000)
                painter.fillRect(x, y, 1, 1, Qt::black);
        }
    }
}

QImage ToIndexed(const QImage& drawing, const QList<QRgb>& palette)
{
    QHash<QRgb, int> indexOf;
    for (int i = 0; i < palette.size(); ++i)
        indexOf.insert(palette[i], i);

    QImage indexed(drawing.size(), QImage::Format_Indexed8);
    indexed.setColorTable(palette);
    for (int y = 0; y < drawing.height(); ++y) {
        uchar* row = indexed.scanLine(y);
        for (int x = 0; x < drawing.width(); ++x) {
            const auto found = indexOf.constFind(drawing.pixel(x, y) | 0xFF000000);
            if (found == indexOf.constEnd())
                throw std::runtime_error("a pixel has a colour outside the picture's palette");
            row[x] = uchar(found.value());
        }
    }
    return indexed;
}
