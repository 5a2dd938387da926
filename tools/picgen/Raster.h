#pragma once

#include <functional>

#include <QImage>
#include <QList>
#include <QPainter>
#include <QPointF>

// Pixel-exact drawing helpers. The pictures are drawn without smoothing on a white 32-bit canvas, so every
// pixel keeps one of the few colours of its palette, and then reduced to indexed colour for storage.

QImage NewCanvas(int width, int height);

// Fills the box between two corners, both included, as the drawings give their extents.
void FillBox(QPainter& painter, int left, int top, int right, int bottom, QRgb colour = 0xFF000000);

// Sets every pixel whose centre lies within radius of centre: a disc without smoothing.
void FillDisc(QPainter& painter, QPointF centre, double radius, QRgb colour);

// Runs drawShapes on a blank layer of the painter's device size with a black 2 px pen, and copies what it
// drew onto the painter's device on every other pixel only, in a checkerboard: the dotted look of parts
// shown inactive.
void DrawDotted(QPainter& painter, const std::function<void(QPainter&)>& drawShapes);

// The drawing as an indexed picture with the given palette; throws std::runtime_error when a pixel has a
// colour outside the palette, which would mean smoothing or a stray colour crept into the drawing.
QImage ToIndexed(const QImage& drawing, const QList<QRgb>& palette);
