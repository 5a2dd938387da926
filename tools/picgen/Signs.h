#pragma once

#include <QPainterPath>
#include <QRectF>

// Outlines shared by the schematic's small signs and the component pictures.

// A flame lying on its side, its root at the left middle of box and its tongues pointing right.
QPainterPath FlameShape(const QRectF& box);

// The flame sign of the readings heading: three tongues rising from a rounded base, filling box.
QPainterPath FlameSignShape(const QRectF& box);

// A bell with its clapper, filling box.
QPainterPath BellShape(const QRectF& box);
