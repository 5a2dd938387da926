#include <gtest/gtest.h>

#include <QImage>
#include <QRect>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/uGlobal.h"
#include "testing/FakeSerial.h"
#include "testing/TempDir.h"
#include "ui/qt/QtMainWindow.h"
#include "ui/qt/QtPicture.h"

// What the technician sees on the picture page: each component picture lights up over its part of
// the schematic and nowhere else, the flame lets the schematic show through, and cleared readings
// leave the schematic alone.
namespace {

struct Component {
    int flag;
    QtPicture* QtMainWindow::*image;
};

const std::vector<Component> Components = {
    {5, &QtMainWindow::ImageHeizung}, {4, &QtMainWindow::ImageTrafo},   {6, &QtMainWindow::ImageMotor},
    {1, &QtMainWindow::ImageFlamme},  {2, &QtMainWindow::ImageVentil1}, {3, &QtMainWindow::ImageVentil2},
};

class PicturePageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        uGlobal::ResetProgramState();
        uGlobal::Serial = &serial;
        window = std::make_unique<QtMainWindow>(kalvo::ProgramFiles{dir.file("MY.LNG"), dir.file("kalvo.ini")});
        window->SetErrorBox([](const std::string&) {});
    }

    void TearDown() override
    {
        window.reset();
        uGlobal::ResetProgramState();
    }

    QImage PageWithFlags(const std::vector<int>& flags)
    {
        uGlobal::StatusFlags = {};
        for (int flag : flags)
            uGlobal::StatusFlags[static_cast<std::size_t>(flag)] = true;
        window->MainFrm().RefreshIndicators();
        return Page();
    }

    QImage Page() { return window->TabSheet1->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    // The smallest rectangle holding every pixel in which the two pages differ.
    static QRect Difference(const QImage& a, const QImage& b)
    {
        QRect changed;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                if (a.pixel(x, y) != b.pixel(x, y))
                    changed |= QRect(x, y, 1, 1);
        return changed;
    }

    kalvo::test::TempDir dir;
    kalvo::FakeSerialSystem serial;
    std::unique_ptr<QtMainWindow> window;
};

TEST_F(PicturePageTest, EachFlagLightsItsComponentOverItsPartOfTheSchematicOnly)
{
    const QImage schematicOnly = PageWithFlags({});
    for (const Component& component : Components) {
        const QRect widget = (window.get()->*component.image)->geometry();
        const QRect changed = Difference(schematicOnly, PageWithFlags({component.flag}));
        EXPECT_FALSE(changed.isEmpty()) << "flag " << component.flag << " shows nothing";
        EXPECT_TRUE(widget.contains(changed)) << "flag " << component.flag << " draws outside its picture";
    }
}

TEST_F(PicturePageTest, FlagsWithoutAPictureChangeNothingOnThePage)
{
    const QImage schematicOnly = PageWithFlags({});
    EXPECT_EQ(PageWithFlags({0, 7, 8, 9}), schematicOnly);
}

TEST_F(PicturePageTest, SchematicShowsThroughTheFlamesTransparentColour)
{
    const QImage schematicOnly = PageWithFlags({});
    const QImage withFlame = PageWithFlags({1});
    const QImage flame = QImage(QStringLiteral(":/pictures/flame.bmp")).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(flame.isNull());
    const QRgb transparent = flame.pixel(0, flame.height() - 1);
    const QRect widget = window->ImageFlamme->geometry();
    int seeThrough = 0;
    for (int y = 0; y < std::min(flame.height(), widget.height()); ++y)
        for (int x = 0; x < std::min(flame.width(), widget.width()); ++x) {
            const QPoint onPage = widget.topLeft() + QPoint(x, y);
            const bool clear = flame.pixel(x, y) == transparent;
            seeThrough += clear;
            const QRgb expected = clear ? schematicOnly.pixel(onPage) : flame.pixel(x, y);
            ASSERT_EQ(withFlame.pixel(onPage), expected) << "at " << x << "," << y << " of the flame picture";
        }
    EXPECT_GT(seeThrough, 0);
}

TEST_F(PicturePageTest, BothValvesShowTogether)
{
    const QImage schematicOnly = PageWithFlags({});
    const QRect changed = Difference(schematicOnly, PageWithFlags({2, 3}));
    EXPECT_TRUE(changed.intersects(window->ImageVentil1->geometry()));
    EXPECT_TRUE(changed.intersects(window->ImageVentil2->geometry()));
}

TEST_F(PicturePageTest, ClearedReadingsLeaveTheSchematicAlone)
{
    const QImage schematicOnly = PageWithFlags({});
    PageWithFlags({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    window->MainFrm().ClearReadings();
    EXPECT_EQ(Page(), schematicOnly);
}

}  // namespace
