#include "tools/picgen/Lettering.h"

#include <QFontMetrics>
#include <QImage>

QFont LetteringFont(int pixelSize, QFont::Weight weight)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    font.setStyleStrategy(QFont::NoAntialias);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

QRect InkBounds(const QString& text, const QFont& font)
{
    const QFontMetrics metrics(font);
    const int margin = font.pixelSize();
    QImage scratch(metrics.horizontalAdvance(text) + 2 * margin, metrics.height() + 2 * margin,
                   QImage::Format_ARGB32);
    scratch.fill(Qt::transparent);
    const QPoint origin(margin, margin + metrics.ascent());
    {
        QPainter painter(&scratch);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(origin, text);
    }
    QRect ink;
    for (int y = 0; y < scratch.height(); ++y) {
        for (int x = 0; x < scratch.width(); ++x) {
            if (qAlpha(scratch.pixel(x, y)) != 0)
                ink |= QRect(x, y, 1, 1);
        }
    }
    return ink.translated(-origin);
}

namespace {

bool InkFits(const QStringList& lines, const QFont& font, QSize room)
{
    for (const QString& line : lines) {
        const QSize ink = InkBounds(line, font).size();
        if (ink.width() > room.width() || ink.height() > room.height())
            return false;
    }
    return true;
}

}  // namespace

QFont FittingFont(const QStringList& lines, QSize room, QFont::Weight weight)
{
    constexpr int MaxStretch = 133;
    int size = 2 * room.height();
    while (size > 1 && !InkFits(lines, LetteringFont(size, weight), room))
        --size;
    QFont font = LetteringFont(size, weight);
    for (int stretch = 105; stretch <= MaxStretch; stretch += 5) {
        QFont wider = font;
        wider.setStretch(stretch);
        if (!InkFits(lines, wider, room))
            break;
        font = wider;
    }
    return font;
}

void DrawLettering(QPainter& painter, const QString& text, const QFont& font, const QRect& box)
{
    const QRect ink = InkBounds(text, font);
    const QPoint origin(box.left() + (box.width() - ink.width()) / 2 - ink.left(),
                        box.top() + (box.height() - ink.height()) / 2 - ink.top());
    painter.setFont(font);
    painter.drawText(origin, text);
}

void DrawFittedLettering(QPainter& painter, const QString& text, const QRect& box, QFont::Weight weight)
{
    DrawLettering(painter, text, FittingFont({text}, box.size(), weight), box);
}
