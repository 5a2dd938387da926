#include "ui/qt/QtPicture.h"

#include <QPaintEvent>
#include <QPainter>

QtPicture::QtPicture(const QString& name, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(name);
}

void QtPicture::SetPicture(const QImage& picture)
{
    picture_ = picture;
    update();
}

void QtPicture::paintEvent(QPaintEvent* event)
{
    const QRect part = event->rect() & picture_.rect();
    if (part.isEmpty())
        return;
    QPainter painter(this);
    // On a display scaled past 100%, a transparent picture is stretched by blending its neighbouring
    // pixels with their coverage, so its edges blend into what lies below.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, picture_.hasAlphaChannel());
    painter.drawImage(part.topLeft(), picture_.copy(part));
}

QImage TransparentPicture(const QImage& image)
{
    if (image.isNull())
        return image;
    const QRgb transparentColour = image.pixel(0, image.height() - 1);
    if (image.format() == QImage::Format_Indexed8) {
        // A bitmap with a colour table stays one: its transparent colour becomes clear in the table.
        QImage picture = image;
        QList<QRgb> colours = picture.colorTable();
        for (QRgb& colour : colours)
            if (colour == transparentColour)
                colour = qRgba(qRed(colour), qGreen(colour), qBlue(colour), 0);
        picture.setColorTable(colours);
        return picture;
    }
    QImage picture = image.convertToFormat(QImage::Format_ARGB32);
    picture.setAlphaChannel(image.createMaskFromColor(transparentColour, Qt::MaskOutColor));
    return picture;
}
