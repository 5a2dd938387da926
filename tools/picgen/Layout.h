#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <string_view>

#include "window/FormLayout.h"

// Where the parts of the burner lie on the schematic, in the schematic's own pixel coordinates. The
// schematic is drawn from these, and each component picture is drawn so that it covers its part when laid
// on the page. Ranges are inclusive, as in "x = 264 to 265".
namespace schematic {

inline constexpr QSize Size{640, 480};

inline constexpr QPoint FanCentre{193, 141};
inline constexpr int FanRadius = 59;

inline constexpr int DuctUpperTop = 82;    // upper duct line, 4 px
inline constexpr int DuctUpperStart = 184;
inline constexpr int DuctLowerTop = 136;   // lower duct line, 6 px
inline constexpr int DuctLowerStart = 250;
inline constexpr int DuctEndLeft = 396;    // closing wall, 4 px
inline constexpr int DuctEndRight = 399;

inline constexpr QRect Tube{QPoint(332, 106), QPoint(403, 117)};
inline constexpr int TubeTipTop = 108;
inline constexpr int TubeTipBottom = 115;
inline constexpr int TubeTipEnd = 409;
inline constexpr QRect Electrode{QPoint(382, 94), QPoint(407, 98)};

// A pipe is drawn as two walls of 2 px around a bore of 4 px; a run is placed by its first wall.
inline constexpr int Wall = 2;
inline constexpr int SecondWall = 6;  // offset of the second wall from the first

inline constexpr int FuelLineTop = 212;
inline constexpr int FuelInlet = 94;
inline constexpr int RiserLeft = 318;
inline constexpr int RiserBottom = 297;
inline constexpr int BypassLeft = 230;
inline constexpr int BypassTop = 290;

// A fuel valve sits on a horizontal run; its parts are placed relative to the run's first wall.
inline constexpr int ValveLeft = 264;
inline constexpr int ValveRight = 285;
inline constexpr int FlangeFromRun = -6;
inline constexpr int FlangeToRun = 15;
inline constexpr int ActuatorFromRun = 32;
inline constexpr int ActuatorToRun = 49;
inline constexpr int ValveNameFromRun = 56;
inline constexpr int ValveNameToRun = 67;

}  // namespace schematic

// The picture widgets on the picture page, from the window's layout: top-left corner and size. A picture is
// drawn at its own size from the corner, cut off where the widget is smaller. A schematic point (x, y) lies at
// page (x + 1, y + 5).
namespace page {

constexpr QRect Widget(std::string_view name)
{
    const kalvo::layout::Rect& at = kalvo::layout::MainFrm[name].bounds;
    return {at.left, at.top, at.width, at.height};
}

// The preview shows the page across the window's width, down to the schematic's bottom edge.
inline constexpr QSize Size{kalvo::layout::MainFrm.client.width, Widget("ImageMain").bottom() + 1};
inline constexpr QPoint SchematicAt = Widget("ImageMain").topLeft();
inline constexpr QRect Motor = Widget("ImageMotor");
inline constexpr QRect Valve1 = Widget("ImageVentil1");
inline constexpr QRect Valve2 = Widget("ImageVentil2");
inline constexpr QRect Heater = Widget("ImageHeizung");
inline constexpr QRect Flame = Widget("ImageFlamme");
inline constexpr QRect Transformer = Widget("ImageTrafo");

// The schematic point under the top-left pixel of a picture shown in widget.
constexpr QPoint SchematicPointAt(const QRect& widget)
{
    return widget.topLeft() - SchematicAt;
}

}  // namespace page
