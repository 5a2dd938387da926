#pragma once

#include <windows.h>

#include "window/FormLayout.h"

namespace kalvo::win32 {

// The picture from the program's resources, which carry each under its file's name, at the
// density; a transparent one with its coverage (TransparentPicture).
HBITMAP LoadPagePicture(HINSTANCE instance, const layout::Picture& picture, int dpi);

}  // namespace kalvo::win32
