#pragma once

#include <QFont>
#include <QImage>
#include <QRect>

#include "window/FormLayout.h"

class QLabel;
class QListWidget;
class QPushButton;
class QTabWidget;
class QWidget;
class QtMemo;
class QtPicture;

// The widgets of the main window, each made at its place in the layout table, named after its
// control, with the font it is given.
namespace kalvo::qt {

QRect Geometry(const layout::Rect& bounds);
QString Caption(const layout::Control& control);

// "MS Sans Serif" where the system has it; elsewhere a plain sans-serif face of the same height.
// Liberation Sans and Arial run about as narrow, so the fixed-width captions still fit.
QFont FormFont(int pixelSize);

// The font at the largest pixel size up to its own whose lines are at most the line height apart:
// a fallback face runs taller than "MS Sans Serif", and a memo without scroll bars must still
// show all the lines it was laid out for.
QFont FontFittingLineHeight(QFont font, int lineHeight);

// The picture from the program's resources as it is stored (a bitmap keeps its colour table),
// transparent where the layout says so; a null picture when it is missing.
QImage PagePicture(const layout::Picture& picture);

QWidget* MakePage(const layout::Control& control);
QtPicture* MakeImage(const layout::Control& control, const QImage& picture, QWidget* page);
// A plain label or a large value text over the schematic: transparent, sized to its text.
QLabel* MakeLabel(const layout::Control& control, const QFont& font, QWidget* page);
void SetLabelText(QLabel* label, const QString& text);
QPushButton* MakeButton(const layout::Control& control, QWidget* page);

enum class MemoScrollBars { None, Both };
// A memo with a line height in the layout takes a font whose lines fit it.
QtMemo* MakeMemo(const layout::Control& control, MemoScrollBars scrollBars, const QFont& font, QWidget* parent);

// A page control with its tab bar's scroll arrows out of the tab order: like a native page
// control's, they take clicks but no keyboard focus, so Tab goes from the tabs into the page.
QTabWidget* MakePageControl(const layout::Control& control, QWidget* parent);

// A check list whose rows are all the control's item height.
// Tabs just wider than their captions, so that many fit side by side.
void UseNarrowTabs(QTabWidget* pageControl);
QListWidget* MakeCheckList(const layout::Control& control, QWidget* page);

}  // namespace kalvo::qt
