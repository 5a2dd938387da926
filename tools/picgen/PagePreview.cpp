#include "tools/picgen/PagePreview.h"

#include <stdexcept>

#include <QDir>
#include <QPainter>

#include "tools/picgen/Layout.h"

namespace {

QImage LoadPicture(const QString& folder, const QString& name)
{
    QImage picture(QDir(folder).filePath(name));
    if (picture.isNull())
        throw std::runtime_error("cannot load " + name.toStdString());
    return picture.convertToFormat(QImage::Format_ARGB32);
}

// A picture at its own size from the widget's corner, cut off by a smaller widget.
void DrawInWidget(QPainter& painter, const QImage& picture, const QRect& widget)
{
    painter.drawImage(widget.topLeft(), picture, QRect(QPoint(0, 0), widget.size()));
}

// The flame's pixels in the colour of its bottom-left pixel are left out.
QImage WithTransparentColour(QImage picture)
{
    const QRgb transparent = picture.pixel(0, picture.height() - 1);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (picture.pixel(x, y) == transparent)
                picture.setPixel(x, y, qRgba(0, 0, 0, 0));
    return picture;
}

void DrawSampleValue(QPainter& painter, QPoint labelAt, const QString& text)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(24);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRect(labelAt, QSize(200, 40)), Qt::AlignLeft | Qt::AlignTop, text);
}

}  // namespace

QImage ComposePagePreview(const QString& folder)
{
    QImage pageImage(page::Size, QImage::Format_RGB32);
    pageImage.fill(QColor(240, 240, 240));
    QPainter painter(&pageImage);
    painter.drawImage(page::SchematicAt, LoadPicture(folder, QStringLiteral("schematic.bmp")));
    const QImage valve = LoadPicture(folder, QStringLiteral("valve.bmp"));
    DrawInWidget(painter, LoadPicture(folder, QStringLiteral("motor.bmp")), page::Motor);
    DrawInWidget(painter, valve, page::Valve1);
    DrawInWidget(painter, valve, page::Valve2);
    DrawInWidget(painter, LoadPicture(folder, QStringLiteral("heater.bmp")), page::Heater);
    DrawInWidget(painter, WithTransparentColour(LoadPicture(folder, QStringLiteral("flame.bmp"))), page::Flame);
    DrawInWidget(painter, LoadPicture(folder, QStringLiteral("transformer.bmp")), page::Transformer);
    DrawInWidget(painter, LoadPicture(folder, QStringLiteral("logo.jpg")), page::Logo);
    DrawSampleValue(painter, {138, 343}, QStringLiteral("1"));
    DrawSampleValue(painter, {138, 379}, QStringLiteral("0"));
    DrawSampleValue(painter, {138, 415}, QStringLiteral("231"));
    DrawSampleValue(painter, {434, 45}, QStringLiteral("12.5"));
    DrawSampleValue(painter, {545, 45}, QStringLiteral("0.0"));
    painter.drawImage(page::WarningAt, LoadPicture(folder, QStringLiteral("warning.bmp")));
    painter.end();
    return pageImage;
}
