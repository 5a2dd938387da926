#include "ui/qt/QtControls.h"

#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

#include "ui/qt/BuiltInImage.h"
#include "ui/qt/JpegImage.h"
#include "ui/qt/QtMemo.h"
#include "ui/qt/QtPicture.h"

// The pictures are compiled into the ui library, and a static library's resources register only
// when asked for. The macro must be used outside any namespace.
static void RegisterPictures()
{
    Q_INIT_RESOURCE(kalvo);
}

namespace kalvo::qt {

namespace {

QString Name(const layout::Control& control)
{
    return QString::fromLatin1(control.name.data(), static_cast<qsizetype>(control.name.size()));
}

QString PicturePath(const QString& fileName)
{
    static const bool registered = (RegisterPictures(), true);
    Q_UNUSED(registered);
    return QStringLiteral(":/pictures/") + fileName;
}

// Every row of a check list is the same fixed height.
class FixedRowHeightDelegate : public QStyledItemDelegate {
public:
    FixedRowHeightDelegate(int rowHeight, QObject* parent) : QStyledItemDelegate(parent), rowHeight_(rowHeight) { }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width(), rowHeight_};
    }

private:
    int rowHeight_;
};

// The style's tabs with 7 pixels of space beside the caption and 9 in all above and below it (3 of
// padding each side, the frame and the selected tab's rise) instead of its wider margins: the error
// pages then lie where the layout puts them. A style sheet would say the same, but weighs nearly a
// megabyte once the window is up.
class NarrowTabStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        if (metric == PM_TabBarTabHSpace)
            return 2 * 7;
        if (metric == PM_TabBarTabVSpace)
            return 9;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

}  // namespace

QRect Geometry(const layout::Rect& bounds)
{
    return {bounds.left, bounds.top, bounds.width, bounds.height};
}

QString Caption(const layout::Control& control)
{
    return QString::fromLatin1(control.caption.data(), static_cast<qsizetype>(control.caption.size()));
}

QFont FormFont(int pixelSize)
{
    QFont font;
    font.setFamilies(
        {QString::fromLatin1(layout::FontFace), QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    return font;
}

QFont FontFittingLineHeight(QFont font, int lineHeight)
{
    while (font.pixelSize() > 1 && QFontMetrics(font).lineSpacing() > lineHeight)
        font.setPixelSize(font.pixelSize() - 1);
    return font;
}

namespace {

QImage ResourcePicture(const QString& fileName)
{
    return ReadBuiltInImage(PicturePath(fileName), "BMP");
}

QImage ResourceJpegPicture(const QString& fileName)
{
    QFile file(PicturePath(fileName));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return DecodeJpeg(file.readAll());
}

}  // namespace

QImage PagePicture(const layout::Picture& picture)
{
    const QString file = QString::fromLatin1(picture.file.data(), static_cast<qsizetype>(picture.file.size()));
    if (layout::IsJpeg(picture))
        return ResourceJpegPicture(file);
    return picture.transparent ? TransparentPicture(ResourcePicture(file)) : ResourcePicture(file);
}

QWidget* MakePage(const layout::Control& control)
{
    auto* page = new QWidget;
    page->setObjectName(Name(control));
    return page;
}

QtPicture* MakeImage(const layout::Control& control, const QImage& picture, QWidget* page)
{
    auto* image = new QtPicture(Name(control), page);
    image->setGeometry(Geometry(control.bounds));
    image->SetPicture(picture);
    return image;
}

QLabel* MakeLabel(const layout::Control& control, const QFont& font, QWidget* page)
{
    auto* label = new QLabel(Caption(control), page);
    label->setObjectName(Name(control));
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    label->move(control.bounds.left, control.bounds.top);
    label->adjustSize();
    return label;
}

void SetLabelText(QLabel* label, const QString& text)
{
    label->setText(text);
    label->adjustSize();
}

QPushButton* MakeButton(const layout::Control& control, QWidget* page)
{
    auto* button = new QPushButton(Caption(control), page);
    button->setObjectName(Name(control));
    button->setGeometry(Geometry(control.bounds));
    button->setAutoDefault(true);  // Enter presses it when it has the focus, as Space does
    return button;
}

QtMemo* MakeMemo(const layout::Control& control, MemoScrollBars scrollBars, const QFont& font, QWidget* parent)
{
    auto* memo = new QtMemo(Name(control), parent);
    // Set outright: an error page has no parent yet when its memo is made, so nothing to inherit.
    memo->setFont(control.itemHeight > 0 ? FontFittingLineHeight(font, control.itemHeight) : font);
    const bool scrolls = scrollBars == MemoScrollBars::Both;
    const Qt::ScrollBarPolicy policy = scrolls ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    memo->setHorizontalScrollBarPolicy(policy);
    memo->setVerticalScrollBarPolicy(policy);
    memo->setLineWrapMode(scrolls ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
    memo->setGeometry(Geometry(control.bounds));
    if (!control.caption.empty())
        memo->AddLine(std::string(control.caption));
    return memo;
}

QTabWidget* MakePageControl(const layout::Control& control, QWidget* parent)
{
    auto* pageControl = new QTabWidget(parent);
    pageControl->setObjectName(Name(control));
    pageControl->setGeometry(Geometry(control.bounds));
    for (QToolButton* arrow : pageControl->tabBar()->findChildren<QToolButton*>())
        arrow->setFocusPolicy(Qt::NoFocus);
    return pageControl;
}

void UseNarrowTabs(QTabWidget* pageControl)
{
    auto* style = new NarrowTabStyle;
    style->setParent(pageControl->tabBar());
    pageControl->tabBar()->setStyle(style);
}

QListWidget* MakeCheckList(const layout::Control& control, QWidget* page)
{
    auto* list = new QListWidget(page);
    list->setObjectName(Name(control));
    list->setGeometry(Geometry(control.bounds));
    list->setItemDelegate(new FixedRowHeightDelegate(control.itemHeight, list));
    return list;
}

}  // namespace kalvo::qt
