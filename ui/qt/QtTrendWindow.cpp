#include "ui/qt/QtTrendWindow.h"

#include <QActionGroup>
#include <QClipboard>
#include <QCloseEvent>
#include <QFile>
#include <QGuiApplication>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>

#include "core/KalvoError.h"
#include "ui/qt/QtMainWindow.h"
#include "window/Captions.h"

namespace {

// The proposed size at 96 DPI, when no place is kept.
constexpr int ProposedWidth = 640, ProposedHeight = 480;
// Wide enough for any read-out: a text's box reaches this far from its anchor.
constexpr double TextReach = 10000;

QColor ColourOf(const kalvo::TrendColour& colour)
{
    return QColor(colour.red, colour.green, colour.blue);
}

}  // namespace

void PaintTrendPicture(QPainter& painter, const kalvo::TrendPicture& picture)
{
    using Align = kalvo::TrendPicture::Align;
    painter.fillRect(painter.window(), Qt::white);
    for (const auto& rect : picture.rects)
        painter.fillRect(rect.left, rect.top, rect.width, rect.height, ColourOf(rect.fill));
    painter.setRenderHint(QPainter::Antialiasing);
    for (const auto& line : picture.lines) {
        painter.setPen(QPen(ColourOf(line.colour), line.width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPolygonF points;
        for (const auto& point : line.points)
            points << QPointF(point.x, point.y);
        // A single poll between gaps shows as a dot.
        if (points.size() == 1)
            painter.drawPoint(points.front());
        else
            painter.drawPolyline(points);
    }
    QFont font = painter.font();
    font.setPixelSize(picture.fontPixels);
    painter.setFont(font);
    painter.setPen(Qt::black);
    for (const auto& text : picture.texts) {
        const double half = picture.fontPixels;
        const double left = text.align == Align::Left ? text.x
            : text.align == Align::Right               ? text.x - TextReach
                                                       : text.x - TextReach / 2;
        const int flags = Qt::AlignVCenter
            | (text.align == Align::Left ? Qt::AlignLeft : text.align == Align::Right ? Qt::AlignRight : Qt::AlignHCenter);
        painter.drawText(QRectF(left, text.y - half, TextReach, 2 * half), flags, QString::fromStdString(text.text));
    }
}

QtTrendPlot::QtTrendPlot(kalvo::TTrendFrm& trendFrm, QWidget* parent) : QWidget(parent), trendFrm_(trendFrm)
{
    setObjectName(QStringLiteral("TrendPlot"));
    setMouseTracking(true);
}

double QtTrendPlot::Scale() const
{
    return logicalDpiX() / 96.0;
}

kalvo::TrendPicture QtTrendPlot::Picture() const
{
    return trendFrm_.Picture(width(), height(), Scale());
}

void QtTrendPlot::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintTrendPicture(painter, Picture());
}

void QtTrendPlot::mouseMoveEvent(QMouseEvent* event)
{
    trendFrm_.PointerMoved(static_cast<int>(event->position().x()));
}

void QtTrendPlot::leaveEvent(QEvent*)
{
    trendFrm_.PointerMoved(std::nullopt);
}

QtTrendWindow::QtTrendWindow(QtMainWindow& mainWindow)
    : QMainWindow(&mainWindow, Qt::Window),
      mainWindow_(mainWindow),
      trendFrm_(*this, *mainWindow.MainFrm().Trend(), mainWindow.MainFrm().Files().settingsFile)
{
    setObjectName(QStringLiteral("TrendFrm"));
    setWindowTitle(QString::fromLatin1(kalvo::TrendFrmCaption::Window));
    Plot = new QtTrendPlot(trendFrm_, this);
    setCentralWidget(Plot);
    BuildMenu();
}

QtTrendWindow::~QtTrendWindow() = default;

void QtTrendWindow::BuildMenu()
{
    QMenu* menu = menuBar()->addMenu(QString::fromLatin1(kalvo::TrendFrmCaption::Menu));
    auto* spans = new QActionGroup(this);
    for (int minutes : kalvo::TrendSpans) {
        QAction* action = menu->addAction(QString::number(minutes) + QString::fromLatin1(kalvo::TrendFrmCaption::SpanUnit));
        action->setObjectName(QStringLiteral("Span%1").arg(minutes));
        action->setCheckable(true);
        spans->addAction(action);
        connect(action, &QAction::triggered, this, [this, minutes] { trendFrm_.SpanClick(minutes); });
        SpanActions[minutes] = action;
    }
    menu->addSeparator();
    SavePicture1 = menu->addAction(QString::fromLatin1(kalvo::TrendFrmCaption::SavePicture1));
    SavePicture1->setObjectName(QStringLiteral("SavePicture1"));
    connect(SavePicture1, &QAction::triggered, this, [this] { trendFrm_.SavePicture1Click(); });
    CopyValues1 = menu->addAction(QString::fromLatin1(kalvo::TrendFrmCaption::CopyValues1));
    CopyValues1->setObjectName(QStringLiteral("CopyValues1"));
    connect(CopyValues1, &QAction::triggered, this, [this] { trendFrm_.CopyValues1Click(); });
}

void QtTrendWindow::Open()
{
    if (!isVisible()) {
        const QRect main = mainWindow_.frameGeometry();
        const double scale = logicalDpiX() / 96.0;
        const kalvo::TrendPlacement place = trendFrm_.FormCreate({main.right() + 1, main.top(),
            static_cast<int>(ProposedWidth * scale), static_cast<int>(ProposedHeight * scale)});
        setGeometry(place.left, place.top, place.width, place.height);
        SpanActions.at(trendFrm_.Span())->setChecked(true);
        show();
    }
    raise();
    activateWindow();
}

void QtTrendWindow::closeEvent(QCloseEvent* event)
{
    const QRect place = geometry();
    trendFrm_.FormClose({place.left(), place.top(), place.width(), place.height()});
    QMainWindow::closeEvent(event);
}

void QtTrendWindow::RepaintTrend()
{
    Plot->update();
}

std::optional<std::string> QtTrendWindow::AskPictureFileName(const kalvo::SaveFileQuestion& question)
{
    return mainWindow_.AskSaveFileName(question);
}

void QtTrendWindow::SaveTrendPicture(const std::string& fileName)
{
    if (!Plot->grab().save(QFile::decodeName(QByteArray::fromStdString(fileName)), "PNG"))
        throw kalvo::KalvoError("Unable to write to " + fileName);
}

void QtTrendWindow::SetClipboardUtf8Text(const std::string& text)
{
    QGuiApplication::clipboard()->setText(QString::fromStdString(text));
}

void QtTrendWindow::ShowErrorBox(const std::string& title, const std::string& text)
{
    mainWindow_.ShowErrorBox(title, text);
}
