#include "tools/picgen/Notices.h"

#include <QPainter>

#include "tools/picgen/Icon.h"
#include "tools/picgen/Lettering.h"
#include "tools/picgen/Palette.h"
#include "tools/picgen/Raster.h"

QImage DrawWarning()
{
    const QStringList lines = {QStringLiteral("Ombrel RZ nicht im PC Modus starten !"),
                               QStringLiteral("Don't start Ombrel RZ in PC mode !")};
    QImage canvas = NewCanvas(299, 46);
    const int lineHeight = canvas.height() / 2;
    const QSize room(canvas.width() - 8, lineHeight - 4);
    const QFont font = FittingFont(lines, room, QFont::Bold);
    QPainter painter(&canvas);
    painter.setPen(QColor::fromRgb(colour::WarningRed));
    for (int i = 0; i < lines.size(); ++i)
        DrawLettering(painter, lines[i], font, QRect(0, i * lineHeight, canvas.width(), lineHeight));
    painter.end();
    return canvas;
}

QImage DrawLogo()
{
    const QColor navy = QColor::fromRgb(colour::EmblemNavy);
    const QColor ember = QColor::fromRgb(colour::EmblemEmber);
    QImage canvas = NewCanvas(280, 36);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);

    PaintEmblem(painter, QRectF(2, 2, 32, 32));

    QFont wordmark(QStringLiteral("DejaVu Sans"));
    wordmark.setPixelSize(27);
    wordmark.setWeight(QFont::Bold);
    painter.setFont(wordmark);
    painter.setPen(navy);
    const int baseline = 28;
    painter.drawText(QPoint(42, baseline), QStringLiteral("Kalvo"));
    const int wordmarkEnd = 42 + QFontMetrics(wordmark).horizontalAdvance(QStringLiteral("Kalvo"));

    QFont tagline(QStringLiteral("DejaVu Sans"));
    tagline.setPixelSize(12);
    painter.setFont(tagline);
    painter.setPen(QColor(0x5A, 0x6B, 0x7D));
    painter.drawText(QPoint(wordmarkEnd + 10, baseline), QStringLiteral("burner monitor"));
    painter.fillRect(QRectF(wordmarkEnd + 10, baseline + 3, 92, 2), ember);
    painter.end();
    return canvas;
}
