#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>

// Encodes an indexed picture (Format_Indexed8, at most 2^bitsPerPixel colours) as an uncompressed BMP of
// exactly bitsPerPixel bits a pixel: 1, 4 or 8. Qt's own writer chooses the depth itself and would store a
// two-colour 8-bit picture with 4 bits, so the pictures are written here to keep their depths exact.
// Throws std::invalid_argument for a picture that does not fit the depth.
QByteArray EncodeIndexedBmp(const QImage& picture, int bitsPerPixel);

// Encodes pictures of at most 255 x 255 pixels as one Windows icon file (.ico): each entry an uncompressed
// 32-bit picture with its alpha channel and an AND mask that is set where the picture is fully transparent, the
// form every Windows version and the resource compiler read.
QByteArray EncodeIcon(const QList<QImage>& pictures);
