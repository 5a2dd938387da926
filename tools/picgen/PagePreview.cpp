#include "tools/picgen/PagePreview.h"

#include <iterator>
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

// The page's rows of the layout in their drawing order: every component lit, and sample values in
// the value labels, Label2 .. Label6.
QImage ComposePagePreview(const QString& folder)
{
    QImage pageImage(page::Size, QImage::Format_RGB32);
    pageImage.fill(QColor(240, 240, 240));
    QPainter painter(&pageImage);
    const QString sampleValues[] = {QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("231"),
        QStringLiteral("12.5"), QStringLiteral("0.0")};
    const QString* sampleValue = std::begin(sampleValues);
    for (const kalvo::layout::Control& control : kalvo::layout::MainFrm.controls) {
        if (control.parent != "TabSheet1")
            continue;
        const QRect widget = page::Widget(control.name);
        if (const kalvo::layout::Picture* picture = kalvo::layout::PictureOf(control.name)) {
            const QImage loaded = LoadPicture(
                folder, QString::fromLatin1(picture->file.data(), static_cast<qsizetype>(picture->file.size())));
            DrawInWidget(painter, picture->transparent ? WithTransparentColour(loaded) : loaded, widget);
        } else if (sampleValue != std::end(sampleValues)) {
            DrawSampleValue(painter, widget.topLeft(), *sampleValue++);
        }
    }
    painter.end();
    return pageImage;
}
