#include "tools/picgen/Schematic.h"

#include "tools/picgen/Layout.h"
#include "tools/picgen/Lettering.h"
#include "tools/picgen/Palette.h"
#include "tools/picgen/Raster.h"
#include "tools/picgen/Signs.h"

using namespace schematic;

namespace {

void HorizontalWall(QPainter& painter, int top, int from, int to)
{
    FillBox(painter, from, top, to, top + Wall - 1);
}

void VerticalWall(QPainter& painter, int left, int from, int to)
{
    FillBox(painter, left, from, left + Wall - 1, to);
}

void DrawFrame(QPainter& painter, const QRect& outer)
{
    HorizontalWall(painter, outer.top(), outer.left(), outer.right());
    HorizontalWall(painter, outer.bottom() - 1, outer.left(), outer.right());
    VerticalWall(painter, outer.left(), outer.top(), outer.bottom());
    VerticalWall(painter, outer.right() - 1, outer.top(), outer.bottom());
}

void DrawFanHousing(QPainter& painter)
{
    FillDisc(painter, FanCentre, FanRadius + 0.5, colour::Black);
    FillDisc(painter, FanCentre, FanRadius - 1.5, colour::White);
}

void DrawAirDuct(QPainter& painter)
{
    const int upperBottom = DuctUpperTop + 3;
    const int lowerBottom = DuctLowerTop + 5;
    FillBox(painter, DuctUpperStart, DuctUpperTop, DuctEndRight, upperBottom);
    FillBox(painter, DuctLowerStart, DuctLowerTop, DuctEndRight, lowerBottom);
    // The closing wall stays open over the bore of the burner tube, which passes through it.
    FillBox(painter, DuctEndLeft, DuctUpperTop, DuctEndRight, Tube.top() + Wall - 1);
    FillBox(painter, DuctEndLeft, Tube.bottom() - Wall + 1, DuctEndRight, lowerBottom);
}

void DrawBurnerTube(QPainter& painter)
{
    HorizontalWall(painter, Tube.top(), Tube.left(), Tube.right());
    HorizontalWall(painter, Tube.bottom() - 1, Tube.left(), Tube.right());
    // Both end walls stand only above and below the tip's walls: the back is open to the riser's elbow,
    // the front narrows into the tip.
    for (int endWall : {Tube.left(), Tube.right() - 1}) {
        VerticalWall(painter, endWall, Tube.top(), TubeTipTop + 1);
        VerticalWall(painter, endWall, TubeTipBottom - 1, Tube.bottom());
    }
    HorizontalWall(painter, TubeTipTop, Tube.right() - 1, TubeTipEnd);
    HorizontalWall(painter, TubeTipBottom - 1, Tube.right() - 1, TubeTipEnd);

    HorizontalWall(painter, Electrode.top(), Electrode.left(), Electrode.right());
    VerticalWall(painter, Electrode.right() - 1, Electrode.top(), Electrode.bottom());
}

// The fuel pipes: the line from the inlet through BV 2 to the riser, the bypass through BV 1, and the riser
// with its elbow into the burner tube. Walls stop where another pipe's bore joins them.
void DrawFuelPipes(QPainter& painter)
{
    const int riserRight = RiserLeft + SecondWall;
    const int bypassRight = BypassLeft + SecondWall;
    const int elbowTop = TubeTipTop;
    const int elbowBottom = TubeTipBottom - 1;

    HorizontalWall(painter, elbowTop, RiserLeft, Tube.left());
    HorizontalWall(painter, elbowBottom, riserRight, Tube.left());
    VerticalWall(painter, RiserLeft, elbowTop, FuelLineTop + 1);
    VerticalWall(painter, RiserLeft, FuelLineTop + SecondWall, BypassTop + 1);
    VerticalWall(painter, riserRight, elbowBottom, RiserBottom);

    const int fuelLower = FuelLineTop + SecondWall;
    HorizontalWall(painter, FuelLineTop, FuelInlet, ValveLeft - 1);
    HorizontalWall(painter, fuelLower, FuelInlet, BypassLeft + 1);
    HorizontalWall(painter, fuelLower, bypassRight, ValveLeft - 1);
    HorizontalWall(painter, FuelLineTop, ValveRight + 1, RiserLeft + 1);
    HorizontalWall(painter, fuelLower, ValveRight + 1, RiserLeft + 1);

    const int bypassLower = BypassTop + SecondWall;
    VerticalWall(painter, BypassLeft, fuelLower, RiserBottom);
    VerticalWall(painter, bypassRight, fuelLower, BypassTop + 1);
    HorizontalWall(painter, BypassTop, bypassRight, ValveLeft - 1);
    HorizontalWall(painter, bypassLower, BypassLeft, ValveLeft - 1);
    HorizontalWall(painter, BypassTop, ValveRight + 1, RiserLeft + 1);
    HorizontalWall(painter, bypassLower, ValveRight + 1, riserRight + 1);
}

// A fuel valve on the run whose first wall is at runTop: solid flanges, the body, stem and actuator
// dotted (they take colour when the valve's picture is shown over them), and its name below.
void DrawValve(QPainter& painter, int runTop, const QString& name)
{
    VerticalWall(painter, ValveLeft, runTop + FlangeFromRun, runTop + FlangeToRun);
    VerticalWall(painter, ValveRight - 1, runTop + FlangeFromRun, runTop + FlangeToRun);

    const int bodyLeft = ValveLeft + Wall;
    const int bodyRight = ValveRight - Wall;
    const int bodyTop = runTop - 4;
    const int bodyBottom = runTop + SecondWall + 5;
    const int stemLeft = (ValveLeft + ValveRight) / 2;
    const QRect actuator(QPoint(ValveLeft, runTop + ActuatorFromRun), QPoint(ValveRight, runTop + ActuatorToRun));
    DrawDotted(painter, [&](QPainter& dots) {
        dots.drawLine(QPoint(bodyLeft, bodyTop), QPoint(bodyRight, bodyBottom));
        dots.drawLine(QPoint(bodyLeft, bodyBottom), QPoint(bodyRight, bodyTop));
        VerticalWall(dots, stemLeft, runTop + 4, actuator.top() - 1);
        DrawFrame(dots, actuator);
        dots.drawLine(actuator.bottomLeft(), actuator.topRight());
    });

    DrawFittedLettering(painter, name,
                        QRect(QPoint(ValveLeft - 8, runTop + ValveNameFromRun),
                              QPoint(ValveRight + 8, runTop + ValveNameToRun)));
}

// Strokes the outline of a sign with a 2 px line; pass the sign's box through InsideStroke so the line
// stays within it.
void StrokeSign(QPainter& painter, const QPainterPath& outline)
{
    painter.save();
    painter.setPen(QPen(Qt::black, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(outline);
    painter.restore();
}

QRectF InsideStroke(const QRect& box)
{
    return QRectF(box).adjusted(1, 1, -1, -1);
}

void FillShape(QPainter& painter, const QPainterPath& shape)
{
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawPath(shape);
    painter.restore();
}

// Top right: a heading row for flame current and alarm current, their values shown beneath by the window.
void DrawReadingsBox(QPainter& painter)
{
    const QRect box(QPoint(423, 4), QPoint(636, 85));
    DrawFrame(painter, box);
    FillShape(painter, FlameSignShape(QRectF(431.5, 7.5, 31, 18)));
    DrawFittedLettering(painter, QString::fromUtf8("µA"), QRect(QPoint(471, 8), QPoint(498, 24)));
    QPainterPath slash;
    slash.addPolygon(QPolygonF({QPointF(534, 8), QPointF(539, 8), QPointF(528, 25), QPointF(523, 25)}));
    FillShape(painter, slash);
    StrokeSign(painter, BellShape(InsideStroke(QRect(QPoint(561, 8), QPoint(584, 24)))));
    DrawDotted(painter, [&](QPainter& dots) { HorizontalWall(dots, 26, box.left() + Wall, box.right() - Wall); });
}

// A colon after each row of the state box, its dots level with the digits the window shows there.
void DrawColon(QPainter& painter, int valueTop)
{
    FillBox(painter, 125, valueTop + 9, 128, valueTop + 12);
    FillBox(painter, 125, valueTop + 19, 128, valueTop + 22);
}

// Bottom left: the on/off, alarm and mains voltage rows; the window shows their values after the colons.
void DrawStateBox(QPainter& painter)
{
    DrawFrame(painter, QRect(QPoint(11, 331), QPoint(248, 460)));

    DrawFittedLettering(painter, QStringLiteral("I/O"), QRect(QPoint(51, 339), QPoint(100, 360)));
    DrawColon(painter, 338);

    StrokeSign(painter, BellShape(InsideStroke(QRect(QPoint(61, 375), QPoint(84, 400)))));
    DrawColon(painter, 374);

    // Mains supply: a box lettered U~ with its two terminals, L above N.
    DrawFrame(painter, QRect(QPoint(19, 411), QPoint(62, 446)));
    DrawFittedLettering(painter, QStringLiteral("U~"), QRect(QPoint(24, 417), QPoint(57, 440)));
    for (int row : {419, 437}) {
        HorizontalWall(painter, row, 63, 74);
        FillDisc(painter, QPointF(78, row + 0.5), 3.5, colour::Black);
        FillDisc(painter, QPointF(78, row + 0.5), 1.5, colour::White);
    }
    DrawFittedLettering(painter, QStringLiteral("L"), QRect(QPoint(86, 412), QPoint(98, 427)));
    DrawFittedLettering(painter, QStringLiteral("N"), QRect(QPoint(86, 430), QPoint(98, 445)));
    DrawColon(painter, 410);
    DrawFittedLettering(painter, QStringLiteral("V"), QRect(QPoint(223, 415), QPoint(236, 432)));
}

}  // namespace

QImage DrawSchematic()
{
    QImage canvas = NewCanvas(Size.width(), Size.height());
    QPainter painter(&canvas);
    painter.setPen(Qt::black);  // the lettering's colour
    DrawFanHousing(painter);
    DrawAirDuct(painter);
    DrawBurnerTube(painter);
    DrawFuelPipes(painter);
    DrawValve(painter, FuelLineTop, QStringLiteral("BV 2"));
    DrawValve(painter, BypassTop, QStringLiteral("BV 1"));
    DrawReadingsBox(painter);
    DrawStateBox(painter);
    painter.end();
    return canvas;
}
