#include "ui/qt/ApplicationIcon.h"

#include <QDir>
#include <QPixmap>

#include "ui/qt/BuiltInImage.h"

// The icons are compiled into the ui library, whose resources register only when asked for. The
// macro must be used outside any namespace; registering twice is harmless.
static void RegisterIcons()
{
    Q_INIT_RESOURCE(kalvo);
}

namespace kalvo {

QIcon ApplicationIcon()
{
    RegisterIcons();
    QIcon icon;
    const QDir folder(QStringLiteral(":/icons"));
    // The folder holds the icon's PNG files alone, so no name pattern (a regular expression) is needed.
    for (const QString& file : folder.entryList(QDir::Files))
        icon.addPixmap(QPixmap::fromImage(ReadBuiltInImage(folder.filePath(file), "PNG")));
    return icon;
}

}  // namespace kalvo
