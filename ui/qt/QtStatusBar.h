#pragma once

#include <QLabel>
#include <QWidget>

#include <array>

// A status bar of two panels: the first of fixed width, the second running to the right end.
class QtStatusBar : public QWidget {
    Q_OBJECT

public:
    static constexpr int PanelCount = 2;

    QtStatusBar(const QString& name, int firstPanelWidth, QWidget* parent);

    // Out-of-range panel numbers are ignored.
    void SetPanelText(int panel, const QString& text);
    QString PanelText(int panel) const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    bool HasPanel(int panel) const { return panel >= 0 && panel < PanelCount; }

    int firstPanelWidth_;
    std::array<QLabel*, PanelCount> panels_{};
};
