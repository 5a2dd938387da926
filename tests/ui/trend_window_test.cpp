// The Qt trend window on the offscreen platform: it paints the model's picture where the model
// puts it, follows the pointer, hands out its picture and values, and keeps its place.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMouseEvent>

#include <filesystem>
#include <memory>
#include <optional>

#include "core/Settings.h"
#include "testing/FakeSerial.h"
#include "testing/ProgramFolder.h"
#include "testing/ProgramState.h"
#include "testing/TempDir.h"
#include "testing/TrendFixtures.h"
#include "tests/ui/QtWaitFor.h"
#include "ui/qt/QtMainWindow.h"
#include "ui/qt/QtTrendWindow.h"

namespace {

using kalvo::TrendPicture;
using kalvo::test::WaitFor;

// The distance of two colours, the largest of their channels' differences.
int Distance(QColor a, const kalvo::TrendColour& b)
{
    return std::max({std::abs(a.red() - b.red), std::abs(a.green() - b.green), std::abs(a.blue() - b.blue)});
}

// The line's colour shows at the point or next to it; a line 1.5 pixels wide that falls between
// two rows shows blended with what lies under it.
bool ShowsColourAt(const QImage& image, TrendPicture::Point point, const kalvo::TrendColour& colour)
{
    for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy)
            if (Distance(image.pixelColor(static_cast<int>(point.x) + dx, static_cast<int>(point.y) + dy), colour) < 80)
                return true;
    return false;
}

class TrendWindowTest : public ::testing::Test, protected kalvo::test::ProgramFolder {
protected:
    TrendWindowTest()
    {
        WriteNumberedLanguageFile();
        window = std::make_unique<QtMainWindow>(files);
        window->SetErrorBox([this](const std::string& message) { errors.push_back(message); });
        window->show();
        for (const kalvo::record::DecodedPoll& poll : kalvo::test::StartingBurnerPolls())
            window->MainFrm().Trend()->Model().Add(poll);
        window->MenuActions.at(kalvo::MenuCommand::Trend1)->trigger();
        trend = window->TrendFrm;
    }

    ~TrendWindowTest() override { window.reset(); }

    kalvo::FakeSerialSystem serial;
    kalvo::test::ProgramStateGuard state{&serial};
    std::unique_ptr<QtMainWindow> window;
    QtTrendWindow* trend = nullptr;
    std::vector<std::string> errors;
};

TEST_F(TrendWindowTest, PaintsTheModelsLinesBandAndPointerWhereTheModelPutsThem)
{
    ASSERT_NE(trend, nullptr);
    ASSERT_TRUE(WaitFor([&] { return trend->isVisible(); }));
    EXPECT_GE(trend->geometry().left(), window->frameGeometry().right());  // beside the main window
    EXPECT_TRUE(trend->SpanActions.at(10)->isChecked());
    // Painted as the model says, then again with the pointer over a poll: its marker joins the lines.
    const auto expectPaintedAsTheModelSays = [&] {
        const QImage image = trend->Plot->grab().toImage();
        const TrendPicture picture = trend->Plot->Picture();
        std::size_t points = 0;
        for (const TrendPicture::Line& line : picture.lines)
            for (const TrendPicture::Point& point : line.points) {
                EXPECT_TRUE(ShowsColourAt(image, point, line.colour)) << point.x << ',' << point.y;
                ++points;
            }
        EXPECT_GT(points, 3 * 118u);
        for (const TrendPicture::Rect& rect : picture.rects) {
            const QColor middle = image.pixelColor(rect.left + rect.width / 2, rect.top + rect.height / 2);
            // A line may cross the middle of a plot; the band's pieces have none over them.
            EXPECT_TRUE(Distance(middle, rect.fill) == 0 || rect.width > 100) << rect.left << ',' << rect.top;
        }
        return picture.lines.size();
    };
    const std::size_t lines = expectPaintedAsTheModelSays();
    const double x = trend->Plot->Picture().lines.back().points.at(5).x;
    QMouseEvent move(QEvent::MouseMove, QPointF(x, 100), trend->Plot->mapToGlobal(QPointF(x, 100)), Qt::NoButton,
        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(trend->Plot, &move);
    EXPECT_EQ(expectPaintedAsTheModelSays(), lines + 1);
}

TEST_F(TrendWindowTest, SavesItsPictureCopiesItsValuesAndKeepsItsPlace)
{
    kalvo::test::TempDir out;
    const std::string png = (out.path() / "trend.png").string();
    window->SetSaveFileChooser([&](const kalvo::SaveFileQuestion&) { return std::optional<std::string>(png); });
    trend->SavePicture1->trigger();
    const QImage saved(QString::fromStdString(png));
    EXPECT_EQ(saved.size(), trend->Plot->size() * trend->Plot->devicePixelRatio());

    trend->SpanActions.at(2)->trigger();
    trend->CopyValues1->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), window->MainFrm().Trend()->Model().ShownValuesCsv());
    EXPECT_EQ(QGuiApplication::clipboard()->text().count(QLatin1Char('\n')), 1 + 61);

    trend->setGeometry(50, 60, 500, 400);
    window->close();  // the trend window closes with it and keeps its place
    EXPECT_EQ(kalvo::ReadIniInteger(files.settingsFile, "Trend", "Width", 0), 500);
    EXPECT_EQ(kalvo::ReadIniInteger(files.settingsFile, "Trend", "Span", 0), 2);
    EXPECT_TRUE(errors.empty());
}

}  // namespace
