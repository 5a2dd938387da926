#pragma once

#include <QList>
#include <QRgb>

// Colours of the pictures. The component pictures use the classic sixteen-colour palette, in its usual order.
namespace colour {
inline constexpr QRgb Black = 0xFF000000;
inline constexpr QRgb White = 0xFFFFFFFF;
inline constexpr QRgb Red = 0xFFFF0000;
inline constexpr QRgb Green = 0xFF00FF00;
inline constexpr QRgb Yellow = 0xFFFFFF00;
inline constexpr QRgb Blue = 0xFF0000FF;
inline constexpr QRgb Magenta = 0xFFFF00FF;
inline constexpr QRgb WarningRed = 0xFFCC0000;  // the lettering of the start-up warning
inline constexpr QRgb EmblemNavy = 0xFF1B3A5C;  // the emblem of the logo and the program icon: its disc
inline constexpr QRgb EmblemEmber = 0xFFF08A24; // and its flame
}  // namespace colour

QList<QRgb> SixteenColourPalette();
