#include "tools/picgen/Signs.h"

namespace {

// Maps a point given as fractions of box into box.
QPointF At(const QRectF& box, double u, double v)
{
    return {box.left() + u * box.width(), box.top() + v * box.height()};
}

}  // namespace

QPainterPath FlameShape(const QRectF& box)
{
    QPainterPath flame(At(box, 0.0, 0.42));
    flame.cubicTo(At(box, 0.08, 0.25), At(box, 0.18, 0.08), At(box, 0.30, 0.08));
    // Upper tongue
    flame.cubicTo(At(box, 0.45, 0.08), At(box, 0.58, 0.0), At(box, 0.72, 0.0));
    flame.cubicTo(At(box, 0.62, 0.08), At(box, 0.58, 0.18), At(box, 0.62, 0.26));
    // Main tongue, the longest
    flame.cubicTo(At(box, 0.78, 0.28), At(box, 0.90, 0.36), At(box, 1.0, 0.46));
    flame.cubicTo(At(box, 0.88, 0.58), At(box, 0.76, 0.64), At(box, 0.66, 0.70));
    // Lower tongue
    flame.cubicTo(At(box, 0.68, 0.80), At(box, 0.74, 0.92), At(box, 0.84, 1.0));
    flame.cubicTo(At(box, 0.62, 0.98), At(box, 0.45, 0.94), At(box, 0.30, 0.90));
    flame.cubicTo(At(box, 0.16, 0.86), At(box, 0.06, 0.72), At(box, 0.0, 0.58));
    flame.closeSubpath();
    return flame;
}

QPainterPath FlameSignShape(const QRectF& box)
{
    QPainterPath sign(At(box, 0.2, 1.0));
    sign.cubicTo(At(box, 0.0, 0.85), At(box, 0.0, 0.6), At(box, 0.14, 0.3));
    sign.cubicTo(At(box, 0.2, 0.5), At(box, 0.3, 0.55), At(box, 0.34, 0.5));
    sign.cubicTo(At(box, 0.3, 0.3), At(box, 0.4, 0.12), At(box, 0.52, 0.0));
    sign.cubicTo(At(box, 0.56, 0.2), At(box, 0.66, 0.3), At(box, 0.68, 0.52));
    sign.cubicTo(At(box, 0.74, 0.5), At(box, 0.8, 0.42), At(box, 0.86, 0.28));
    sign.cubicTo(At(box, 1.0, 0.55), At(box, 1.0, 0.85), At(box, 0.8, 1.0));
    sign.closeSubpath();
    return sign;
}

QPainterPath BellShape(const QRectF& box)
{
    QPainterPath bell(At(box, 0.5, 0.0));
    bell.cubicTo(At(box, 0.22, 0.0), At(box, 0.2, 0.3), At(box, 0.18, 0.5));
    bell.cubicTo(At(box, 0.16, 0.66), At(box, 0.08, 0.74), At(box, 0.0, 0.82));
    bell.lineTo(At(box, 1.0, 0.82));
    bell.cubicTo(At(box, 0.92, 0.74), At(box, 0.84, 0.66), At(box, 0.82, 0.5));
    bell.cubicTo(At(box, 0.8, 0.3), At(box, 0.78, 0.0), At(box, 0.5, 0.0));
    bell.closeSubpath();
    // The clapper hangs below the rim.
    bell.addEllipse(QRectF(At(box, 0.38, 0.84), At(box, 0.62, 1.0)));
    return bell;
}
