#pragma once

#include <QByteArray>
#include <QImage>

// Encodes an indexed picture (Format_Indexed8, at most 2^bitsPerPixel colours) as an uncompressed BMP of
// exactly bitsPerPixel bits a pixel: 1, 4 or 8. Qt's own writer chooses the depth itself and would store a
// two-colour 8-bit picture with 4 bits, so the pictures are written here to keep their depths exact.
// Throws std::invalid_argument for a picture that does not fit the depth.
QByteArray EncodeIndexedBmp(const QImage& picture, int bitsPerPixel);
