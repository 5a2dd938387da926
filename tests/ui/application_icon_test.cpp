#include <algorithm>
#include <cstdlib>

#include <QIcon>
#include <QImage>
#include <QList>
#include <QPixmap>

#include <gtest/gtest.h>

#include "ui/qt/ApplicationIcon.h"

namespace {

constexpr QRgb Navy = 0xFF1B3A5C;   // the logo's disc
constexpr QRgb Ember = 0xFFF08A24;  // and its flame

// Opaque and within tolerance of expected on every colour channel: the edges are smoothed.
testing::AssertionResult Near(QRgb actual, QRgb expected, int tolerance = 24)
{
    const bool near = qAlpha(actual) == 255 && std::abs(qRed(actual) - qRed(expected)) <= tolerance
                      && std::abs(qGreen(actual) - qGreen(expected)) <= tolerance
                      && std::abs(qBlue(actual) - qBlue(expected)) <= tolerance;
    if (near)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "pixel #" << std::hex << actual << " is not near #" << expected;
}

QList<int> SideLengths(const QList<QSize>& sizes)
{
    QList<int> sides;
    for (const QSize& size : sizes) {
        EXPECT_EQ(size.width(), size.height()) << "icons are square";
        sides.append(size.width());
    }
    std::sort(sides.begin(), sides.end());
    return sides;
}

TEST(ApplicationIcon, OffersTheWindowSizesAndOneForSoftwareCentres)
{
    EXPECT_EQ(SideLengths(kalvo::ApplicationIcon().availableSizes()), (QList<int>{16, 24, 32, 48, 128}));
}

class ApplicationIconAtSize : public testing::TestWithParam<int> {
protected:
    // The picture delivered for this size (the icon offers every size tested here).
    QImage Picture() const
    {
        const int side = GetParam();
        return kalvo::ApplicationIcon().pixmap(QSize(side, side)).toImage().convertToFormat(QImage::Format_ARGB32);
    }

    // The pixel at a point given as fractions of the side.
    static QRgb At(const QImage& picture, double u, double v)
    {
        return picture.pixel(int(u * picture.width()), int(v * picture.height()));
    }
};

TEST_P(ApplicationIconAtSize, IsARoundEmblemOnATransparentGround)
{
    const QImage picture = Picture();
    const int last = picture.width() - 1;
    for (const QPoint corner : {QPoint(0, 0), QPoint(last, 0), QPoint(0, last), QPoint(last, last)})
        EXPECT_EQ(qAlpha(picture.pixel(corner)), 0) << "corner " << corner.x() << "," << corner.y();
}

TEST_P(ApplicationIconAtSize, ShowsAnEmberFlameInANavyDisc)
{
    const QImage picture = Picture();
    // Between the rim and the flame, left, right and above it.
    EXPECT_TRUE(Near(At(picture, 0.5, 0.1), Navy));
    EXPECT_TRUE(Near(At(picture, 0.12, 0.5), Navy));
    EXPECT_TRUE(Near(At(picture, 0.85, 0.5), Navy));
    // The body of the flame, above its rounded base.
    EXPECT_TRUE(Near(At(picture, 0.5, 0.62), Ember));
}

INSTANTIATE_TEST_SUITE_P(Sizes, ApplicationIconAtSize, testing::Values(16, 24, 32, 48, 128),
                         [](const testing::TestParamInfo<int>& info) { return "Px" + std::to_string(info.param); });

}  // namespace
