#include "ui/qt/QtStatusBar.h"

QtStatusBar::QtStatusBar(const QString& name, int firstPanelWidth, QWidget* parent)
    : QWidget(parent), firstPanelWidth_(firstPanelWidth)
{
    setObjectName(name);
    for (int i = 0; i < PanelCount; ++i) {
        auto* panel = new QLabel(this);
        panel->setObjectName(QStringLiteral("Panel%1").arg(i));
        // Panel texts come from the unit's port and transfer state, never markup.
        panel->setTextFormat(Qt::PlainText);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panels_[static_cast<std::size_t>(i)] = panel;
    }
}

void QtStatusBar::SetPanelText(int panel, const QString& text)
{
    if (HasPanel(panel))
        panels_[static_cast<std::size_t>(panel)]->setText(text);
}

QString QtStatusBar::PanelText(int panel) const
{
    return HasPanel(panel) ? panels_[static_cast<std::size_t>(panel)]->text() : QString();
}

void QtStatusBar::resizeEvent(QResizeEvent*)
{
    panels_[0]->setGeometry(0, 0, firstPanelWidth_, height());
    panels_[1]->setGeometry(firstPanelWidth_, 0, width() - firstPanelWidth_, height());
}
