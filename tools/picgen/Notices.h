#pragma once

#include <QImage>

// The start-up warning: two centred lines of dark red text on white, 299 x 46, in those two colours.
QImage DrawWarning();

// The program's logo, 280 x 36, in full colour for storage as JPEG.
QImage DrawLogo();
