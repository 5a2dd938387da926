#include <ostream>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QtEndian>

#include <gtest/gtest.h>

#include "ui/qt/JpegImage.h"
#include "ui/qt/QtControls.h"
#include "window/FormLayout.h"

// The pictures are compiled into the static ui library, whose resources register only when asked for;
// the macro must stand outside any namespace.
static void RegisterPictures()
{
    Q_INIT_RESOURCE(kalvo);
}

namespace {

QByteArray ResourceBytes(const QString& name)
{
    static const bool registered = (RegisterPictures(), true);
    Q_UNUSED(registered);
    QFile file(QStringLiteral(":/pictures/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QImage ResourcePicture(const QString& name)
{
    return QImage::fromData(ResourceBytes(name));
}

QRect Placed(std::string_view control)
{
    return kalvo::qt::Geometry(kalvo::layout::MainFrm[control].bounds);
}

// A picture widget on the picture page, where the schematic lies in ImageMain.
struct Widget {
    QString picture;
    QRect geometry;
};

const Widget Motor{QStringLiteral("motor.bmp"), Placed("ImageMotor")};
const Widget Valve1{QStringLiteral("valve.bmp"), Placed("ImageVentil1")};
const Widget Valve2{QStringLiteral("valve.bmp"), Placed("ImageVentil2")};
const Widget Heater{QStringLiteral("heater.bmp"), Placed("ImageHeizung")};
const Widget Flame{QStringLiteral("flame.bmp"), Placed("ImageFlamme")};
const Widget Transformer{QStringLiteral("transformer.bmp"), Placed("ImageTrafo")};

// The pixel of a widget's picture that lies over schematic point p.
QPoint OverSchematic(const Widget& widget, QPoint p)
{
    return p + Placed("ImageMain").topLeft() - widget.geometry.topLeft();
}

constexpr QRgb Black = 0xFF000000;
constexpr QRgb White = 0xFFFFFFFF;

// ---- Stored form: size and exact colour depth of every picture ----

struct StoredBmp {
    const char* name;
    int width;
    int height;
    int bitsPerPixel;
};

void PrintTo(const StoredBmp& bmp, std::ostream* out)
{
    *out << bmp.name;
}

class StoredBmpTest : public testing::TestWithParam<StoredBmp> {};

TEST_P(StoredBmpTest, HeaderGivesSizeAndDepthAndQtReadsIt)
{
    const StoredBmp expected = GetParam();
    const QByteArray bytes = ResourceBytes(QString::fromLatin1(expected.name));
    ASSERT_GE(bytes.size(), 54) << "missing or too short";
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    EXPECT_EQ(bytes.left(2), QByteArray("BM"));
    EXPECT_EQ(qFromLittleEndian<qint32>(data + 18), expected.width);
    EXPECT_EQ(qFromLittleEndian<qint32>(data + 22), expected.height);
    EXPECT_EQ(qFromLittleEndian<quint16>(data + 28), expected.bitsPerPixel);
    EXPECT_EQ(qFromLittleEndian<quint32>(data + 30), 0u) << "compressed";
    EXPECT_EQ(qFromLittleEndian<quint32>(data + 2), quint32(bytes.size())) << "file size field";

    const QImage picture = QImage::fromData(bytes);
    EXPECT_EQ(picture.size(), QSize(expected.width, expected.height));
}

INSTANTIATE_TEST_SUITE_P(Pictures, StoredBmpTest,
                         testing::Values(StoredBmp{"schematic.bmp", 640, 480, 1}, StoredBmp{"motor.bmp", 68, 68, 4},
                                         StoredBmp{"valve.bmp", 32, 60, 4}, StoredBmp{"heater.bmp", 64, 32, 4},
                                         StoredBmp{"flame.bmp", 128, 58, 4},
                                         StoredBmp{"transformer.bmp", 64, 64, 4},
                                         StoredBmp{"warning.bmp", 299, 46, 8}),
                         [](const testing::TestParamInfo<StoredBmp>& info) {
                             return std::string(info.param.name).substr(0, std::string(info.param.name).find('.'));
                         });

// ---- The schematic's drawing ----

TEST(Schematic, LinesWhereTheDrawingHasThemAndWhiteBetween)
{
    const QImage schematic = ResourcePicture(QStringLiteral("schematic.bmp"));
    ASSERT_FALSE(schematic.isNull());
    const struct {
        QPoint at;
        QRgb colour;
        const char* what;
    } spots[] = {
        {{193, 82}, Black, "top of the fan housing"},
        {{134, 141}, Black, "left of the fan housing"},
        {{193, 200}, Black, "bottom of the fan housing"},
        {{193, 141}, White, "centre of the fan housing"},
        {{300, 82}, Black, "upper duct line"},
        {{300, 85}, Black, "upper duct line, last row"},
        {{300, 136}, Black, "lower duct line"},
        {{300, 141}, Black, "lower duct line, last row"},
        {{300, 110}, White, "inside the duct"},
        {{398, 90}, Black, "duct's closing wall"},
        {{340, 106}, Black, "burner tube"},
        {{409, 108}, Black, "tip of the burner tube"},
        {{370, 111}, White, "bore of the burner tube"},
        {{382, 94}, Black, "ignition electrode"},
        {{150, 212}, Black, "fuel line"},
        {{150, 215}, White, "bore of the fuel line"},
        {{264, 206}, Black, "flange of BV 2"},
        {{285, 227}, Black, "flange of BV 2"},
        {{265, 284}, Black, "flange of BV 1"},
        {{318, 250}, Black, "riser"},
        {{325, 297}, Black, "bottom of the riser"},
        {{237, 260}, Black, "bypass"},
        {{423, 4}, Black, "corner of the readings box"},
        {{636, 85}, Black, "corner of the readings box"},
        {{530, 60}, White, "inside the readings box"},
        {{11, 460}, Black, "corner of the state box"},
        {{126, 348}, Black, "colon of the I/O row"},
        {{180, 350}, White, "value place of the I/O row"},
        {{600, 300}, White, "empty right half"},
    };
    for (const auto& spot : spots) {
        SCOPED_TRACE(spot.what);
        EXPECT_EQ(schematic.pixel(spot.at), spot.colour) << spot.at.x() << "," << spot.at.y();
    }
}

TEST(Schematic, DottedRuleAndInactiveValveAlternatePixels)
{
    const QImage schematic = ResourcePicture(QStringLiteral("schematic.bmp"));
    ASSERT_FALSE(schematic.isNull());
    for (int x = 430; x < 440; ++x)
        EXPECT_NE(schematic.pixel(x, 26), schematic.pixel(x + 1, 26)) << "rule at x " << x;
    // The bottom of BV 2's actuator box is dotted, not solid.
    EXPECT_NE(schematic.pixel(270, 261), schematic.pixel(271, 261));
}

// ---- Component pictures over the schematic ----

// How many pixels of the 5 x 5 square around centre have the colour; hatching, stippling and the letter
// on a symbol leave the main colour in the majority.
int CountAround(const QImage& picture, QPoint centre, QRgb colour)
{
    int count = 0;
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx)
            count += picture.pixel(centre + QPoint(dx, dy)) == colour;
    return count;
}

TEST(ComponentPictures, ShowTheirColourOverTheirPartOfTheSchematic)
{
    const struct {
        Widget widget;
        QPoint schematicPoint;
        QRgb colour;
    } spots[] = {
        {Motor, {193, 162}, 0xFF0000FF},       // blue disc around the fan's centre
        {Valve2, {270, 252}, 0xFF00FF00},      // green actuator over BV 2's
        {Valve1, {270, 330}, 0xFF00FF00},      // and over BV 1's
        {Heater, {60, 215}, 0xFFFF00FF},       // magenta bar at the inlet end
        {Flame, {440, 111}, 0xFFFFFF00},       // yellow flame in line with the tube
        {Transformer, {340, 60}, 0xFFFF0000},  // red box above the duct
    };
    for (const auto& spot : spots) {
        SCOPED_TRACE(spot.widget.picture.toStdString());
        const QImage picture = ResourcePicture(spot.widget.picture);
        ASSERT_FALSE(picture.isNull());
        const QPoint at = OverSchematic(spot.widget, spot.schematicPoint);
        ASSERT_TRUE(QRect(QPoint(2, 2), spot.widget.geometry.size() - QSize(4, 4)).contains(at));
        EXPECT_GT(CountAround(picture, at, spot.colour), 12);
    }
}

// An opaque picture hides the schematic under it, so wherever a line of the schematic runs into the
// picture's visible edge, the picture must carry it on.
TEST(ComponentPictures, OpaquePicturesContinueTheLinesTheyCover)
{
    const QImage schematic = ResourcePicture(QStringLiteral("schematic.bmp"));
    ASSERT_FALSE(schematic.isNull());
    for (const Widget& widget : {Motor, Valve1, Valve2, Heater, Transformer}) {
        SCOPED_TRACE(widget.picture.toStdString() + " at " + std::to_string(widget.geometry.top()));
        const QImage picture = ResourcePicture(widget.picture);
        ASSERT_FALSE(picture.isNull());
        const QRect shown = QRect(QPoint(0, 0), widget.geometry.size()).intersected(picture.rect());
        int linesCrossing = 0;
        for (int y = shown.top(); y <= shown.bottom(); ++y) {
            for (int x = shown.left(); x <= shown.right(); ++x) {
                const bool onEdge = x == shown.left() || x == shown.right() || y == shown.top() || y == shown.bottom();
                const QPoint under = widget.geometry.topLeft() - QPoint(1, 5) + QPoint(x, y);
                if (!onEdge || schematic.pixel(under) != Black)
                    continue;
                ++linesCrossing;
                EXPECT_EQ(picture.pixel(x, y), Black) << "edge pixel " << x << "," << y;
            }
        }
        if (widget.picture != Motor.picture) {
            EXPECT_GT(linesCrossing, 0) << "expected the pipes, duct or electrode to cross this picture's edge";
        }
    }
}

TEST(ComponentPictures, FlameIsTransparentAroundButSolidNearTheTube)
{
    const QImage flame = ResourcePicture(Flame.picture);
    ASSERT_FALSE(flame.isNull());
    const QRgb transparent = flame.pixel(0, flame.height() - 1);
    EXPECT_EQ(flame.pixel(0, 0), transparent);
    EXPECT_EQ(flame.pixel(flame.width() - 1, 0), transparent);
    EXPECT_EQ(flame.pixel(OverSchematic(Flame, {400, 111})), transparent) << "the tube's tip must show through";

    // Along the tube's bore, from just past the tip well into the flame, nothing may let the schematic through.
    for (int x = 411; x <= 450; ++x) {
        for (int y = 110; y <= 113; ++y)
            EXPECT_NE(flame.pixel(OverSchematic(Flame, {x, y})), transparent) << "schematic " << x << "," << y;
    }
}

TEST(WarningPicture, DarkRedLetteringOnWhiteInBothHalves)
{
    const QImage warning = ResourcePicture(QStringLiteral("warning.bmp"));
    ASSERT_FALSE(warning.isNull());
    int redInUpperHalf = 0;
    int redInLowerHalf = 0;
    for (int y = 0; y < warning.height(); ++y) {
        for (int x = 0; x < warning.width(); ++x) {
            const QRgb pixel = warning.pixel(x, y);
            ASSERT_TRUE(pixel == White || pixel == qRgb(204, 0, 0)) << x << "," << y;
            if (pixel != White)
                ++(y < warning.height() / 2 ? redInUpperHalf : redInLowerHalf);
        }
    }
    EXPECT_GT(redInUpperHalf, 200);
    EXPECT_GT(redInLowerHalf, 200);
}

// ---- JPEG decoding ----

TEST(DecodeJpeg, LogoDecodesAtItsSizeInItsColours)
{
    const QImage logo = DecodeJpeg(ResourceBytes(QStringLiteral("logo.jpg")));
    ASSERT_FALSE(logo.isNull());
    EXPECT_EQ(logo.size(), QSize(280, 36));
    const QColor corner = logo.pixelColor(logo.width() - 1, logo.height() - 1);
    EXPECT_GT(corner.lightness(), 240) << "white background";
    const QColor emblem = logo.pixelColor(18, 5);  // the navy disc, so red and blue are not swapped
    EXPECT_GT(emblem.blue(), emblem.red() + 40);
}

TEST(DecodeJpeg, GreyscalePictureComesOutAsRgb)
{
    QImage grey(24, 16, QImage::Format_Grayscale8);
    grey.fill(100);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    // Qt's JPEG plugin comes with libqt6gui6, so a missing writer is a broken setup, not a reason to skip.
    ASSERT_TRUE(writer.canWrite()) << "Qt has no JPEG writer here to make the sample";
    ASSERT_TRUE(writer.write(grey));

    const QImage decoded = DecodeJpeg(bytes);
    ASSERT_EQ(decoded.size(), grey.size());
    const QColor middle = decoded.pixelColor(12, 8);
    EXPECT_NEAR(middle.red(), 100, 3);
    EXPECT_EQ(middle.red(), middle.blue());
}

TEST(DecodeJpeg, DamagedDataGivesNullImageAndTheProgramGoesOn)
{
    const QByteArray logo = ResourceBytes(QStringLiteral("logo.jpg"));
    ASSERT_GT(logo.size(), 1000);
    QByteArray noWidth = logo;
    const int frame = noWidth.indexOf("\xFF\xC0");  // start of frame: length, precision, height, width
    ASSERT_GT(frame, 0);
    noWidth[frame + 7] = 0;
    noWidth[frame + 8] = 0;

    const struct {
        const char* what;
        QByteArray bytes;
    } damaged[] = {
        {"empty", QByteArray()},
        {"not a JPEG", QByteArray("BM this is something else entirely")},
        {"only the start marker", logo.left(2)},
        {"cut inside the header", logo.left(100)},
        {"cut inside the picture data", logo.left(logo.size() / 2)},
        {"frame of width zero", noWidth},
    };
    for (const auto& sample : damaged) {
        SCOPED_TRACE(sample.what);
        EXPECT_TRUE(DecodeJpeg(sample.bytes).isNull());
    }
    EXPECT_FALSE(DecodeJpeg(logo).isNull()) << "a good picture still decodes after the failures";
}

}  // namespace
