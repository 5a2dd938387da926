#include "ui/qt/BuiltInImage.h"

#include <QImageReader>

QImage ReadBuiltInImage(const QString& path, const char* format)
{
    QImageReader reader(path, format);
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}
