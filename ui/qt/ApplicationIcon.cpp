#include "ui/qt/ApplicationIcon.h"

#include <QDir>

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
    for (const QString& file : folder.entryList({QStringLiteral("kalvo-*.png")}, QDir::Files))
        icon.addFile(folder.filePath(file));
    return icon;
}

}  // namespace kalvo
