// picgen: draws Kalvo's pictures and program icons and writes them into the resource folders (or the folder
// given), and on request a preview of the picture page composed from the written files.

#include <cstdio>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <QDir>
#include <QGuiApplication>
#include <QImageWriter>
#include <QSaveFile>

#include "tools/picgen/BmpFile.h"
#include "tools/picgen/Components.h"
#include "tools/picgen/Icon.h"
#include "tools/picgen/Notices.h"
#include "tools/picgen/PagePreview.h"
#include "tools/picgen/Palette.h"
#include "tools/picgen/Raster.h"
#include "tools/picgen/Schematic.h"
#include "window/FormLayout.h"

namespace {

void MakeFolder(const QString& folder)
{
    if (!QDir().mkpath(folder))
        throw std::runtime_error("cannot create " + folder.toStdString());
}

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw std::runtime_error("cannot write " + path.toStdString() + ": " + file.errorString().toStdString());
}

void WriteBmp(const QString& folder, const QString& name, const QImage& indexed, int bitsPerPixel)
{
    WriteBytes(QDir(folder).filePath(name), EncodeIndexedBmp(indexed, bitsPerPixel));
}

void WriteJpeg(const QString& folder, const QString& name, const QImage& picture)
{
    QImageWriter writer(QDir(folder).filePath(name), "jpeg");
    writer.setQuality(92);
    if (!writer.write(picture))
        throw std::runtime_error("cannot write " + name.toStdString() + ": " + writer.errorString().toStdString());
}

// How each picture of the layout's picture table is drawn, and stored: indexed in the palette's
// colours at the bits per pixel, or as a JPEG where the table's file is one. A picture that two
// images show is drawn for the first of them.
struct PictureDrawing {
    std::string_view image;
    QImage (*draw)();
    QList<QRgb> palette;
    int bitsPerPixel;
};

std::vector<PictureDrawing> PictureDrawings()
{
    const QList<QRgb> sixteen = SixteenColourPalette();
    return {
        {"ImageMain", DrawSchematic, {colour::Black, colour::White}, 1},
        {"ImageMotor", DrawMotor, sixteen, 4},
        {"ImageVentil1", DrawValve, sixteen, 4},
        {"ImageHeizung", DrawHeater, sixteen, 4},
        {"ImageFlamme", DrawFlame, sixteen, 4},
        {"ImageTrafo", DrawTransformer, sixteen, 4},
        {"Image1", DrawLogo, {}, 0},
        {"Image2", DrawWarning, {colour::White, colour::WarningRed}, 8},
    };
}

void WritePictures(const QString& folder)
{
    MakeFolder(folder);
    std::set<std::string_view> written;
    for (const PictureDrawing& drawing : PictureDrawings()) {
        const kalvo::layout::Picture& picture = *kalvo::layout::PictureOf(drawing.image);
        const QString name = QString::fromLatin1(picture.file.data(), static_cast<qsizetype>(picture.file.size()));
        if (kalvo::layout::IsJpeg(picture))
            WriteJpeg(folder, name, drawing.draw());
        else
            WriteBmp(folder, name, ToIndexed(drawing.draw(), drawing.palette), drawing.bitsPerPixel);
        written.insert(picture.file);
    }
    for (const kalvo::layout::Picture& picture : kalvo::layout::MainFrmPictures) {
        if (!written.contains(picture.file))
            throw std::runtime_error("no drawing for " + std::string(picture.image));
    }
}

void WriteIcons(const QString& folder)
{
    MakeFolder(folder);
    for (const int size : IconSizes()) {
        const QString name = QStringLiteral("kalvo-%1.png").arg(size);
        QImageWriter writer(QDir(folder).filePath(name), "png");
        if (!writer.write(DrawIcon(size)))
            throw std::runtime_error("cannot write " + name.toStdString() + ": " + writer.errorString().toStdString());
    }
    QList<QImage> windowIcons;
    for (const int size : WindowIconSizes())
        windowIcons.append(DrawIcon(size));
    WriteBytes(QDir(folder).filePath(QStringLiteral("kalvo.ico")), EncodeIcon(windowIcons));
}

}  // namespace

int main(int argc, char** argv)
{
    // Drawing needs fonts but no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QStringList arguments = app.arguments().mid(1);
    QString previewPath;
    if (arguments.size() >= 2 && arguments.first() == QLatin1String("--preview")) {
        previewPath = arguments.at(1);
        arguments = arguments.mid(2);
    }
    if (arguments.size() > 1 || (!arguments.isEmpty() && arguments.first().startsWith(QLatin1Char('-')))) {
        std::fprintf(stderr, "usage: picgen [--preview page.png] [output folder]\n");
        return 2;
    }
    // A folder given on the command line receives the pictures and the icons side by side.
    const QString folder = arguments.isEmpty() ? QStringLiteral(KALVO_PICTURES_DIR) : arguments.first();
    const QString iconFolder = arguments.isEmpty() ? QStringLiteral(KALVO_ICONS_DIR) : folder;

    try {
        WritePictures(folder);
        WriteIcons(iconFolder);
        if (!previewPath.isEmpty() && !ComposePagePreview(folder).save(previewPath))
            throw std::runtime_error("cannot write " + previewPath.toStdString());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "picgen: %s\n", error.what());
        return 1;
    }
    return 0;
}
