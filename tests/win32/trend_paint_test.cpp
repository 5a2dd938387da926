// The Win32 trend painter under Wine: at 96 and 144 DPI, the lines, the band and the plots show
// where and in the colours the trend model puts them.

#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <vector>

#include "testing/TrendFixtures.h"
#include "ui/win32/Win32TrendFrm.h"
#include "window/TrendModel.h"

namespace {

using kalvo::TrendPicture;

kalvo::TrendModel StartingBurner()
{
    kalvo::TrendModel model{kalvo::record::RecordLanguage(kalvo::LanguageLines{})};
    for (const kalvo::record::DecodedPoll& poll : kalvo::test::StartingBurnerPolls())
        model.Add(poll);
    return model;
}

// The painted pixels, top row first, as 0x00RRGGBB.
std::vector<std::uint32_t> Pixels(HBITMAP bitmap, SIZE size)
{
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), size.cx, -size.cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(size.cx * size.cy));
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap, 0, static_cast<UINT>(size.cy), pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    for (std::uint32_t& pixel : pixels)
        pixel &= 0xFFFFFF;
    return pixels;
}

std::uint32_t Rgb(const kalvo::TrendColour& colour)
{
    return static_cast<std::uint32_t>(colour.red) << 16 | colour.green << 8 | colour.blue;
}

TEST(TrendPaint, LinesAndBandLieWhereTheModelPutsThemAtEachDensity)
{
    const kalvo::TrendModel model = StartingBurner();
    for (int dpi : {96, 144}) {
        const SIZE size{640 * dpi / 96, 480 * dpi / 96};
        const TrendPicture picture = model.Picture(size.cx, size.cy, dpi / 96.0);
        HBITMAP bitmap = kalvo::win32::TrendBitmap(picture, size);
        const std::vector<std::uint32_t> pixels = Pixels(bitmap, size);
        DeleteObject(bitmap);
        const auto at = [&](double x, double y) {
            return pixels[static_cast<std::size_t>(std::lround(y) * size.cx + std::lround(x))];
        };
        // Each poll's point in its line's colour, unless a later line crosses it there.
        std::size_t points = 0, shown = 0;
        for (std::size_t i = 0; i < picture.lines.size(); ++i)
            for (const TrendPicture::Point& point : picture.lines[i].points) {
                ++points;
                shown += at(point.x, point.y) == Rgb(picture.lines[i].colour) ? 1 : 0;
            }
        EXPECT_GT(points, 3 * 118u) << dpi;
        EXPECT_GE(shown * 100, points * 95) << dpi << " DPI: " << shown << " of " << points;
        for (const TrendPicture::Rect& rect : picture.rects) {
            if (rect.width < 100) {  // a band piece: no line over its middle
                EXPECT_EQ(at(rect.left + rect.width / 2.0, rect.top + rect.height / 2.0), Rgb(rect.fill))
                    << dpi << " DPI at " << rect.left;
            }
        }
    }
}

}  // namespace
