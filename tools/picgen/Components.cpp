#include "tools/picgen/Components.h"

#include <cmath>

#include "tools/picgen/Layout.h"
#include "tools/picgen/Lettering.h"
#include "tools/picgen/Palette.h"
#include "tools/picgen/Raster.h"
#include "tools/picgen/Signs.h"

namespace {

// A schematic point in the coordinates of a picture shown in widget.
QPoint InPicture(QPoint schematicPoint, const QRect& widget)
{
    return schematicPoint - page::SchematicPointAt(widget);
}

// A filled box with a 2 px black outline.
void FramedBox(QPainter& painter, const QRect& box, QRgb fill)
{
    FillBox(painter, box.left(), box.top(), box.right(), box.bottom());
    FillBox(painter, box.left() + 2, box.top() + 2, box.right() - 2, box.bottom() - 2, fill);
}

void DrawThickLine(QPainter& painter, QPoint from, QPoint to)
{
    painter.save();
    painter.setPen(QPen(Qt::black, 2));
    painter.drawLine(from, to);
    painter.restore();
}

}  // namespace

QImage DrawMotor()
{
    QImage canvas = NewCanvas(68, 68);
    QPainter painter(&canvas);
    const QPoint centre = InPicture(schematic::FanCentre, page::Motor);
    FillDisc(painter, centre, 30.5, colour::Black);
    FillDisc(painter, centre, 28.5, colour::Blue);
    painter.setPen(Qt::black);
    DrawFittedLettering(painter, QStringLiteral("M"), QRect(centre - QPoint(10, 9), QSize(21, 19)), QFont::Bold);
    painter.end();
    return canvas;
}

QImage DrawValve()
{
    using namespace schematic;
    // One picture serves both valves, drawn to fit BV 2. BV 1's run lies lower in the picture by a row, so
    // the pipe stubs and flanges reach that much further down and close the joins under both valves; the
    // actuator ends on the last row that BV 2's widget shows.
    const QPoint run = InPicture(QPoint(ValveLeft, FuelLineTop), page::Valve2);
    const int runTop = run.y();
    const int bv1Lower = InPicture(QPoint(ValveLeft, BypassTop), page::Valve1).y() - runTop;
    const int left = run.x();
    const int right = left + (ValveRight - ValveLeft);
    QImage canvas = NewCanvas(32, 60);
    QPainter painter(&canvas);

    for (int wall : {runTop, runTop + SecondWall}) {
        FillBox(painter, 0, wall, left - 1, wall + Wall - 1 + bv1Lower);
        FillBox(painter, right + 1, wall, canvas.width() - 1, wall + Wall - 1 + bv1Lower);
    }
    FillBox(painter, left, runTop + FlangeFromRun, left + 1, runTop + FlangeToRun + bv1Lower);
    FillBox(painter, right - 1, runTop + FlangeFromRun, right, runTop + FlangeToRun + bv1Lower);

    // The body: two solid triangles meeting at the middle of the bore.
    const double middleX = (left + right) / 2.0;
    const double middleY = runTop + (SecondWall + Wall - 1) / 2.0;
    for (int x = left + Wall; x <= right - Wall; ++x) {
        const double halfHeight = 0.9 * std::abs(x - middleX) + 0.5;
        FillBox(painter, x, int(std::ceil(middleY - halfHeight)), x, int(std::floor(middleY + halfHeight)));
    }

    const QRect actuator(QPoint(left, runTop + ActuatorFromRun), QPoint(right, runTop + ActuatorToRun));
    const int stemLeft = int(middleX);
    FillBox(painter, stemLeft, int(middleY), stemLeft + 1, actuator.top() - 1);
    FramedBox(painter, actuator, colour::Green);
    DrawThickLine(painter, actuator.bottomLeft(), actuator.topRight());
    painter.end();
    return canvas;
}

QImage DrawHeater()
{
    using namespace schematic;
    QImage canvas = NewCanvas(64, 32);
    QPainter painter(&canvas);
    const QPoint inlet = InPicture(QPoint(FuelInlet, FuelLineTop), page::Heater);
    const int barRight = inlet.x() - 3;
    const QRect bar(QPoint(1, inlet.y() - 6), QPoint(barRight, inlet.y() + SecondWall + Wall + 5));

    FramedBox(painter, bar, colour::Magenta);
    const QRect inside = bar.adjusted(2, 2, -2, -2);
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if ((x + y) % 6 == 0)
                FillBox(painter, x, y, x, y);
        }
    }
    // Stubs of the fuel line, which starts at the picture's right edge.
    for (int wall : {inlet.y(), inlet.y() + SecondWall})
        FillBox(painter, barRight + 1, wall, canvas.width() - 1, wall + Wall - 1);
    painter.end();
    return canvas;
}

QImage DrawFlame()
{
    using namespace schematic;
    QImage canvas = NewCanvas(128, 58);
    const QPoint tip = InPicture(QPoint(TubeTipEnd, TubeTipTop), page::Flame);
    // The flame's root, at the left middle of its box, sits on the tip's mouth.
    constexpr double FlameLength = 115;
    constexpr double FlameHeight = 45;
    const double tipMiddle = tip.y() + (TubeTipBottom - TubeTipTop) / 2.0;
    const QRectF box(tip.x() + 1, tipMiddle - FlameHeight / 2, FlameLength, FlameHeight);
    {
        QPainter painter(&canvas);
        painter.setPen(QPen(Qt::black, 2));
        painter.setBrush(QColor::fromRgb(colour::Yellow));
        painter.drawPath(FlameShape(box));
    }
    // Stipple: black dots on a staggered grid, only where all eight neighbours are yellow, so the dots
    // never touch the outline.
    const QImage flame = canvas.copy();
    auto allYellowAround = [&](int x, int y) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (flame.pixel(x + dx, y + dy) != colour::Yellow)
                    return false;
        return true;
    };
    for (int y = 1; y < canvas.height() - 1; y += 3) {
        for (int x = 1 + (y / 3 % 2) * 2; x < canvas.width() - 1; x += 4) {
            if (allYellowAround(x, y))
                canvas.setPixel(x, y, colour::Black);
        }
    }
    return canvas;
}

QImage DrawTransformer()
{
    using namespace schematic;
    QImage canvas = NewCanvas(64, 64);
    QPainter painter(&canvas);
    const int ductTop = InPicture(QPoint(0, DuctUpperTop), page::Transformer).y();
    const QPoint electrode = InPicture(Electrode.topLeft(), page::Transformer);
    FillBox(painter, 0, ductTop, canvas.width() - 1, ductTop + 3);

    const QRect box(QPoint(4, 14), QPoint(35, 39));
    FramedBox(painter, box, colour::Red);
    for (int post : {10, 26}) {
        FillBox(painter, post, 9, post + 3, box.top() - 1);
        FillBox(painter, post - 1, 7, post + 4, 8);
    }

    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawPolygon(QPolygon({QPoint(47, 6), QPoint(56, 6), QPoint(50, 19), QPoint(57, 19), QPoint(42, 40),
                                  QPoint(46, 24), QPoint(40, 24)}));

    // High-voltage lead down to the electrode; the other lead goes to the burner body at the duct.
    const int leadLeft = 28;
    FillBox(painter, leadLeft, box.bottom() + 1, leadLeft + 1, electrode.y() + 1);
    FillBox(painter, leadLeft, electrode.y(), canvas.width() - 1, electrode.y() + 1);
    FillBox(painter, 10, box.bottom() + 1, 11, ductTop - 1);
    painter.end();
    return canvas;
}
