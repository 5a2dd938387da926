#pragma once

#include <QByteArray>
#include <QImage>

// Decodes a JPEG picture held in memory through libjpeg. Any damage that libjpeg notices, including
// corrupt or missing data it would otherwise paper over, gives a null image; it never ends the program.
QImage DecodeJpeg(const QByteArray& bytes);
