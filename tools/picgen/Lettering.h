#pragma once

#include <QFont>
#include <QPainter>
#include <QRect>
#include <QString>
#include <QStringList>

// Crisp lettering placed by its ink: the drawings give the extents of the letters themselves, not of the
// font's line box, so text is measured pixel by pixel and centred on what it actually paints.

// DejaVu Sans at a pixel size, drawn without smoothing so it stays sharp in a one-bit or few-colour picture.
QFont LetteringFont(int pixelSize, QFont::Weight weight = QFont::Normal);

// The painted pixels of text drawn with its baseline origin at (0, 0); empty for blank text.
QRect InkBounds(const QString& text, const QFont& font);

// The largest lettering font whose ink fits every line into room: the largest pixel size that fits, then
// widened by up to a third where room is wider than the lines, so short words fill their place.
QFont FittingFont(const QStringList& lines, QSize room, QFont::Weight weight = QFont::Normal);

// Draws text in the painter's pen colour with its ink centred in box.
void DrawLettering(QPainter& painter, const QString& text, const QFont& font, const QRect& box);

// Draws text as large as fits into box (see FittingFont), centred there.
void DrawFittedLettering(QPainter& painter, const QString& text, const QRect& box,
                         QFont::Weight weight = QFont::Normal);
