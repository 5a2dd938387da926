#pragma once

#include <QImage>
#include <QString>

// The picture in a file of a format that Qt reads itself (PNG, BMP); a null picture when it is
// missing or damaged. Unlike QImage's own loading it never asks the image format plugins whether
// they know the file, which would load every one of them (and libjpeg with one) for the whole run.
QImage ReadBuiltInImage(const QString& path, const char* format);
