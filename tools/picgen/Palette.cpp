#include "tools/picgen/Palette.h"

QList<QRgb> SixteenColourPalette()
{
    return {colour::Black, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF800080, 0xFF008080, 0xFF808080,
            0xFFC0C0C0,    colour::Red, colour::Green, colour::Yellow, colour::Blue, colour::Magenta, 0xFF00FFFF,
            colour::White};
}
