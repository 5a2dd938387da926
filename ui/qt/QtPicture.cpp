#include "ui/qt/QtPicture.h"

#include <QBitmap>
#include <QPainter>

QtPicture::QtPicture(const QString& name, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(name);
}

void QtPicture::SetPicture(const QPixmap& picture)
{
    picture_ = picture;
    update();
}

void QtPicture::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // On a display scaled past 100%, a transparent picture is stretched by blending its neighbouring
    // pixels with their coverage, so its edges blend into what lies below.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, picture_.hasAlphaChannel());
    painter.drawPixmap(0, 0, picture_);
}

QPixmap TransparentPicture(const QImage& image)
{
    QPixmap picture = QPixmap::fromImage(image);
    if (image.isNull())
        return picture;
    const QRgb transparentColour = image.pixel(0, image.height() - 1);
    picture.setMask(QBitmap::fromImage(image.createMaskFromColor(transparentColour, Qt::MaskInColor)));
    return picture;
}
