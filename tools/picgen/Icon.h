#pragma once

#include <QImage>
#include <QList>
#include <QPainter>
#include <QRectF>

// The emblem shared by the logo and the program icon: an ember-coloured flame in a navy disc.
void PaintEmblem(QPainter& painter, const QRectF& disc);

// The program icon at size x size pixels: the emblem on a transparent ground.
QImage DrawIcon(int size);

// The sizes a window shows the program icon in: the Windows program carries these in its .ico.
QList<int> WindowIconSizes();

// The sizes the program icon is delivered in: the window's four, and one for software centres and
// large desktop views.
QList<int> IconSizes();
