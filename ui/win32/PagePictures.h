#pragma once

#include <windows.h>

#include <string_view>

#include "ui/win32/ResourceIds.h"

namespace kalvo::win32 {

// The pictures of the "Picture" page, bottom to top; the value labels lie between the two lists.
struct PagePicture {
    std::string_view name;
    int resource;
    bool transparent;
};
inline constexpr PagePicture PicturesBelowLabels[] = {
    {"ImageMain", IDB_SCHEMATIC, false},
    {"ImageMotor", IDB_MOTOR, false},
    {"ImageVentil1", IDB_VALVE, false},
    {"ImageVentil2", IDB_VALVE, false},
    {"ImageHeizung", IDB_HEATER, false},
    {"ImageFlamme", IDB_FLAME, true},
    {"ImageTrafo", IDB_TRANSFORMER, false},
    {"Image1", IDR_LOGO, false},
};
inline constexpr PagePicture PicturesAboveLabels[] = {{"Image2", IDB_WARNING, false}};

// The picture from the program's resources at the density; a transparent one with its coverage
// (TransparentPicture).
HBITMAP LoadPagePicture(HINSTANCE instance, const PagePicture& picture, int dpi);

}  // namespace kalvo::win32
