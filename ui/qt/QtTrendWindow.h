#pragma once

#include <QMainWindow>
#include <QWidget>

#include <map>
#include <memory>

#include "window/uTrendFrm.h"

class QAction;
class QPainter;
class QtMainWindow;

// Paints a trend picture as the window layer worked it out: rectangles, then lines, then texts.
void PaintTrendPicture(QPainter& painter, const kalvo::TrendPicture& picture);

// The trend window's client area: paints TTrendFrm's picture at its size and density and passes
// the pointer on.
class QtTrendPlot : public QWidget {
    Q_OBJECT

public:
    QtTrendPlot(kalvo::TTrendFrm& trendFrm, QWidget* parent);
    // Device-independent pixels per 96 DPI pixel, which scales the picture's fonts and margins.
    double Scale() const;
    kalvo::TrendPicture Picture() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    kalvo::TTrendFrm& trendFrm_;
};

// The Qt face of the trend window, beside the main window. It shows the main window's trend and
// asks the main window's seams for the save question and the error box.
class QtTrendWindow : public QMainWindow, public kalvo::TrendView {
    Q_OBJECT

public:
    explicit QtTrendWindow(QtMainWindow& mainWindow);
    ~QtTrendWindow() override;

    // Shows the window at its kept place, or beside the main window; raises it when it shows.
    void Open();

    QtTrendPlot* Plot = nullptr;
    // The span items by minutes, "Save picture..." and "Copy values".
    std::map<int, QAction*> SpanActions;
    QAction* SavePicture1 = nullptr;
    QAction* CopyValues1 = nullptr;

    // TrendView
    void RepaintTrend() override;
    std::optional<std::string> AskPictureFileName(const kalvo::SaveFileQuestion& question) override;
    void SaveTrendPicture(const std::string& fileName) override;
    void SetClipboardUtf8Text(const std::string& text) override;
    void ShowErrorBox(const std::string& title, const std::string& text) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenu();

    QtMainWindow& mainWindow_;
    kalvo::TTrendFrm trendFrm_;
};
