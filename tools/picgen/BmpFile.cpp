#include "tools/picgen/BmpFile.h"

#include <stdexcept>

namespace {

constexpr int FileHeaderSize = 14;  // BITMAPFILEHEADER
constexpr int InfoHeaderSize = 40;  // BITMAPINFOHEADER
constexpr quint32 PixelsPerMetreAt96Dpi = 3780;

void AppendU16(QByteArray& out, quint16 value)
{
    out.append(char(value & 0xFF));
    out.append(char(value >> 8));
}

void AppendU32(QByteArray& out, quint32 value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.append(char((value >> shift) & 0xFF));
}

// One row of colour indexes packed most significant bits first, padded with zeros to a multiple of 4 bytes.
QByteArray PackRow(const QImage& picture, int y, int bitsPerPixel, int rowBytes)
{
    QByteArray row(rowBytes, '\0');
    const uchar* indexes = picture.constScanLine(y);
    const int pixelsPerByte = 8 / bitsPerPixel;
    for (int x = 0; x < picture.width(); ++x) {
        const int shift = 8 - bitsPerPixel * (x % pixelsPerByte + 1);
        row[x / pixelsPerByte] = char(uchar(row[x / pixelsPerByte]) | (indexes[x] << shift));
    }
    return row;
}

}  // namespace

QByteArray EncodeIndexedBmp(const QImage& picture, int bitsPerPixel)
{
    if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8)
        throw std::invalid_argument("a BMP picture here has 1, 4 or 8 bits a pixel");
    const int paletteSize = 1 << bitsPerPixel;
    if (picture.format() != QImage::Format_Indexed8 || picture.colorCount() > paletteSize)
        throw std::invalid_argument("the picture has more colours than its depth holds");

    const int rowBytes = (picture.width() * bitsPerPixel + 31) / 32 * 4;
    const quint32 pixelOffset = FileHeaderSize + InfoHeaderSize + paletteSize * 4;
    const quint32 pixelBytes = quint32(rowBytes) * quint32(picture.height());

    QByteArray out;
    out.reserve(int(pixelOffset + pixelBytes));
    out.append("BM");
    AppendU32(out, pixelOffset + pixelBytes);
    AppendU32(out, 0);  // two reserved words
    AppendU32(out, pixelOffset);

    AppendU32(out, InfoHeaderSize);
    AppendU32(out, quint32(picture.width()));
    AppendU32(out, quint32(picture.height()));  // positive: rows are stored bottom-up
    AppendU16(out, 1);                          // planes
    AppendU16(out, quint16(bitsPerPixel));
    AppendU32(out, 0);  // BI_RGB, uncompressed
    AppendU32(out, pixelBytes);
    AppendU32(out, PixelsPerMetreAt96Dpi);
    AppendU32(out, PixelsPerMetreAt96Dpi);
    AppendU32(out, quint32(paletteSize));  // colours used: the whole palette
    AppendU32(out, 0);                     // all colours important

    // Palette entries are blue, green, red, reserved; unused entries stay black.
    for (int i = 0; i < paletteSize; ++i) {
        const QRgb colour = i < picture.colorCount() ? picture.color(i) : qRgb(0, 0, 0);
        out.append(char(qBlue(colour)));
        out.append(char(qGreen(colour)));
        out.append(char(qRed(colour)));
        out.append('\0');
    }

    for (int y = picture.height() - 1; y >= 0; --y)
        out.append(PackRow(picture, y, bitsPerPixel, rowBytes));
    return out;
}

QByteArray EncodeIcon(const QList<QImage>& pictures)
{
    constexpr int DirectoryHeaderSize = 6;
    constexpr int DirectoryEntrySize = 16;
    QList<QByteArray> images;
    for (const QImage& source : pictures) {
        if (source.width() > 255 || source.height() > 255)
            throw std::invalid_argument("an icon entry here is at most 255 x 255 pixels");
        const QImage picture = source.convertToFormat(QImage::Format_ARGB32);
        const int maskRowBytes = (picture.width() + 31) / 32 * 4;
        QByteArray image;
        AppendU32(image, InfoHeaderSize);
        AppendU32(image, quint32(picture.width()));
        AppendU32(image, quint32(picture.height() * 2));  // the colour rows and the mask rows
        AppendU16(image, 1);
        AppendU16(image, 32);
        AppendU32(image, 0);  // uncompressed
        AppendU32(image, quint32(picture.width() * picture.height() * 4 + maskRowBytes * picture.height()));
        for (int i = 0; i < 4; ++i)
            AppendU32(image, 0);  // resolution and palette: unused
        for (int y = picture.height() - 1; y >= 0; --y) {
            const auto* row = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
            for (int x = 0; x < picture.width(); ++x)
                AppendU32(image, row[x]);  // ARGB in a little-endian word is B, G, R, A
        }
        for (int y = picture.height() - 1; y >= 0; --y) {
            QByteArray mask(maskRowBytes, '\0');
            const auto* row = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
            for (int x = 0; x < picture.width(); ++x) {
                if (qAlpha(row[x]) == 0)
                    mask[x / 8] = char(uchar(mask[x / 8]) | (0x80 >> (x % 8)));
            }
            image.append(mask);
        }
        images.append(image);
    }

    QByteArray out;
    AppendU16(out, 0);
    AppendU16(out, 1);  // an icon, not a cursor
    AppendU16(out, quint16(images.size()));
    quint32 offset = DirectoryHeaderSize + DirectoryEntrySize * quint32(images.size());
    for (qsizetype i = 0; i < images.size(); ++i) {
        out.append(char(pictures[i].width()));
        out.append(char(pictures[i].height()));
        out.append(char(0));  // no palette
        out.append(char(0));
        AppendU16(out, 1);   // planes
        AppendU16(out, 32);  // bits a pixel
        AppendU32(out, quint32(images[i].size()));
        AppendU32(out, offset);
        offset += quint32(images[i].size());
    }
    for (const QByteArray& image : images)
        out.append(image);
    return out;
}
