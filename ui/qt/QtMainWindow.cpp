#include "QtMainWindow.h"

#include <QAction>
#include <QClipboard>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHideEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QShowEvent>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include <array>
#include <utility>

#include "Captions.h"
#include "ErrorBox.h"
#include "JpegImage.h"
#include "PlaceCentred.h"
#include "QtMemo.h"
#include "QtPicture.h"
#include "QtPortDialog.h"
#include "QtSaveDialog.h"
#include "QtStatusBar.h"
#include "TextCodec.h"

// The pictures are compiled into the ui library, and a static library's resources register only
// when asked for. The macro must be used outside any namespace.
static void RegisterPictures()
{
    Q_INIT_RESOURCE(kalvo);
}

namespace {

constexpr int ClientWidth = 643;
constexpr int ClientHeight = 525;
constexpr int StatusBarTop = 504;
constexpr int StatusBarHeight = 21;
constexpr int FirstPanelWidth = 50;

constexpr int WindowFontPixels = 11;
constexpr int ReportFontPixels = 12;
constexpr int ValueLabelFontPixels = 24;
constexpr int CheckListRowHeight = 13;

// The error tab shown before start-up has run.
constexpr int InitialErrorTab = 6;
// Each error memo fills its page's client area, at a fixed size whatever the style's tab frame.
constexpr QRect ErrorMemoGeometry(0, 0, 409, 141);

// "MS Sans Serif" where the system has it; elsewhere a plain sans-serif face of the same height.
// Liberation Sans and Arial run about as narrow, so the fixed-width captions still fit.
QFont WindowFont(int pixelSize)
{
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    return font;
}

QString PicturePath(const QString& fileName)
{
    return QStringLiteral(":/pictures/") + fileName;
}

QImage LoadImage(const QString& fileName)
{
    return QImage(PicturePath(fileName));
}

QPixmap LoadPicture(const QString& fileName)
{
    return QPixmap::fromImage(LoadImage(fileName));
}

QPixmap LoadJpegPicture(const QString& fileName)
{
    QFile file(PicturePath(fileName));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QPixmap::fromImage(DecodeJpeg(file.readAll()));
}

QtPicture* MakeImage(const char* name, const QRect& geometry, const QPixmap& picture, QWidget* page)
{
    auto* image = new QtPicture(QString::fromLatin1(name), page);
    image->setGeometry(geometry);
    image->SetPicture(picture);
    return image;
}

// The large value texts over the schematic: transparent, sized to their text.
QLabel* MakeValueLabel(const char* name, int left, int top, QWidget* page)
{
    auto* label = new QLabel(QString::fromLatin1(name), page);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setFont(WindowFont(ValueLabelFontPixels));
    label->move(left, top);
    label->adjustSize();
    return label;
}

void SetValueText(QLabel* label, const std::string& text)
{
    label->setText(kalvo::AnsiToQString(text));
    label->adjustSize();
}

enum class MemoScrollBars { None, Both };

QtMemo* MakeMemo(const char* name, MemoScrollBars scrollBars, QWidget* parent)
{
    auto* memo = new QtMemo(QString::fromLatin1(name), parent);
    // Set outright: an error page has no parent yet when its memo is made, so nothing to inherit.
    memo->setFont(WindowFont(WindowFontPixels));
    const bool scrolls = scrollBars == MemoScrollBars::Both;
    const Qt::ScrollBarPolicy policy = scrolls ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    memo->setHorizontalScrollBarPolicy(policy);
    memo->setVerticalScrollBarPolicy(policy);
    memo->setLineWrapMode(scrolls ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
    return memo;
}

QPushButton* MakeButton(const char* name, const QString& caption, const QRect& geometry, QWidget* page)
{
    auto* button = new QPushButton(caption, page);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    return button;
}

// A page control with many tabs shows scroll arrows; like a native page control's, they take clicks
// but no keyboard focus, so Tab goes from the tabs straight into the page.
void KeepScrollArrowsOutOfTabOrder(QTabWidget* pageControl)
{
    for (QToolButton* arrow : pageControl->tabBar()->findChildren<QToolButton*>())
        arrow->setFocusPolicy(Qt::NoFocus);
}

QWidget* MakePage(const char* name)
{
    auto* page = new QWidget;
    page->setObjectName(QString::fromLatin1(name));
    return page;
}

// Every row of the status check list is the same fixed height.
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

}  // namespace

QtMainWindow::QtMainWindow(kalvo::ProgramFiles files, QWidget* parent)
    : QMainWindow(parent),
      mainFrm_(std::make_unique<TMainFrm>(*this, std::move(files))),
      printDeviceSource_(
          [](const std::string& documentName) { return PrinterDevice(QPrinterInfo::defaultPrinter(), documentName); })
{
    setObjectName(QStringLiteral("MainFrm"));
    setWindowTitle(QString::fromLatin1(kalvo::MainFrmCaption::Window));
    setFont(WindowFont(WindowFontPixels));
    QPalette buttonFace = palette();
    buttonFace.setColor(QPalette::Window, buttonFace.color(QPalette::Button));
    setPalette(buttonFace);

    BuildMenu();

    auto* client = new QWidget(this);
    client->setFixedSize(ClientWidth, ClientHeight);
    setCentralWidget(client);

    PageControl1 = new QTabWidget(client);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(0, 0, ClientWidth, StatusBarTop);
    TabSheet1 = MakePage("TabSheet1");
    TabSheet2 = MakePage("TabSheet2");
    PageControl1->addTab(TabSheet1, QString::fromLatin1(kalvo::MainFrmCaption::TabSheet1));
    PageControl1->addTab(TabSheet2, QString::fromLatin1(kalvo::MainFrmCaption::TabSheet2));
    RegisterPictures();
    BuildPicturePage();
    BuildTextPage();

    StatusBar1 = new QtStatusBar(QStringLiteral("StatusBar1"), FirstPanelWidth, client);
    StatusBar1->setGeometry(0, StatusBarTop, ClientWidth, StatusBarHeight);

    setFixedSize(ClientWidth, ClientHeight + menuBar()->sizeHint().height());

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    BindHandlers();

    saveFileChooser_ = [this](const kalvo::SaveFileQuestion& question) -> std::optional<std::string> {
        if (!SaveDialog1)
            SaveDialog1 = new QtSaveDialog(this);
        const std::optional<QString> chosen = SaveDialog1->Execute(question);
        if (!chosen)
            return std::nullopt;
        return QFile::encodeName(*chosen).toStdString();
    };
    // The port dialog comes after the main window, hidden until the port command shows it.
    ComPortFrm = new QtPortDialog(this);
    portDialog_ = [this] { ComPortFrm->exec(); };
    mainFrm_->FormCreate();
}

QtMainWindow::~QtMainWindow() = default;

void QtMainWindow::BuildMenu()
{
    std::map<std::string, QMenu*> menus;
    for (const kalvo::MenuItem& item : kalvo::MainMenu1) {
        QMenu*& menu = menus[item.menuName];
        if (!menu) {
            menu = menuBar()->addMenu(QString::fromLatin1(item.menuCaption));
            menu->setObjectName(QString::fromLatin1(item.menuName));
        }
        QAction* action = menu->addAction(QString::fromLatin1(item.caption));
        action->setObjectName(QString::fromLatin1(item.name));
        action->setCheckable(item.checkable);
        MenuActions[item.command] = action;
    }
}

// Created from the bottom of the drawing order up: each later widget is drawn over the earlier ones.
void QtMainWindow::BuildPicturePage()
{
    QWidget* page = TabSheet1;
    const QPixmap valve = LoadPicture(QStringLiteral("valve.bmp"));
    ImageMain = MakeImage("ImageMain", {1, 5, 640, 480}, LoadPicture(QStringLiteral("schematic.bmp")), page);
    ImageMotor = MakeImage("ImageMotor", {161, 114, 73, 73}, LoadPicture(QStringLiteral("motor.bmp")), page);
    ImageVentil1 = MakeImage("ImageVentil1", {261, 287, 33, 65}, valve, page);
    ImageVentil2 = MakeImage("ImageVentil2", {261, 210, 33, 57}, valve, page);
    ImageHeizung = MakeImage("ImageHeizung", {32, 209, 65, 33}, LoadPicture(QStringLiteral("heater.bmp")), page);
    ImageFlamme =
        MakeImage("ImageFlamme", {400, 88, 129, 57}, TransparentPicture(LoadImage(QStringLiteral("flame.bmp"))), page);
    ImageTrafo = MakeImage("ImageTrafo", {323, 41, 65, 65}, LoadPicture(QStringLiteral("transformer.bmp")), page);
    Image1 = MakeImage("Image1", {328, 416, 305, 49}, LoadJpegPicture(QStringLiteral("logo.jpg")), page);
    Label2 = MakeValueLabel("Label2", 138, 343, page);
    Label3 = MakeValueLabel("Label3", 138, 379, page);
    Label4 = MakeValueLabel("Label4", 138, 415, page);
    Label5 = MakeValueLabel("Label5", 434, 45, page);
    Label6 = MakeValueLabel("Label6", 545, 45, page);
    const QPixmap warning = LoadPicture(QStringLiteral("warning.bmp"));
    Image2 = MakeImage("Image2", {QPoint(336, 352), warning.size()}, warning, page);
}

// Created in focus order.
void QtMainWindow::BuildTextPage()
{
    QWidget* page = TabSheet2;
    Memo1 = MakeMemo("Memo1", MemoScrollBars::None, page);
    Memo1->setGeometry(8, 8, 505, 289);
    Memo1->setFont(WindowFont(ReportFontPixels));
    Memo1->AddLine("Memo1");

    PageControl2 = new QTabWidget(page);
    PageControl2->setObjectName(QStringLiteral("PageControl2"));
    PageControl2->setGeometry(8, 312, 417, 169);
    KeepScrollArrowsOutOfTabOrder(PageControl2);
    // Narrow tabs, so all eight error tabs show side by side without scroll arrows.
    PageControl2->setStyleSheet(
        QStringLiteral("QTabBar::tab { padding: 3px 7px; border: 1px solid palette(mid); border-bottom: none;"
                       " border-top-left-radius: 2px; border-top-right-radius: 2px; background: palette(button); }"
                       "QTabBar::tab:selected { background: palette(base); }"
                       "QTabBar::tab:!selected { margin-top: 2px; }"));
    BuildErrorPages();

    CheckListBox1 = new QListWidget(page);
    CheckListBox1->setObjectName(QStringLiteral("CheckListBox1"));
    CheckListBox1->setGeometry(440, 328, 193, 145);
    CheckListBox1->setItemDelegate(new FixedRowHeightDelegate(CheckListRowHeight, CheckListBox1));

    BitBtn1 = MakeButton("BitBtn1", QString::fromLatin1(kalvo::MainFrmCaption::BitBtn1), {520, 8, 113, 33}, page);
    BitBtn2 = MakeButton("BitBtn2", QString::fromLatin1(kalvo::MainFrmCaption::BitBtn2), {520, 48, 113, 33}, page);
    BitBtn3 = MakeButton("BitBtn3", QString::fromLatin1(kalvo::MainFrmCaption::BitBtn3), {520, 88, 113, 33}, page);

    Memo10 = MakeMemo("Memo10", MemoScrollBars::Both, page);
    Memo10->setGeometry(528, 152, 105, 89);

    Label1 = new QLabel(QString::fromLatin1(kalvo::MainFrmCaption::Label1), page);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(440, 304);
    Label1->adjustSize();
}

// One page per error record, each filled by its memo: TabSheet3 holds Memo2 ... TabSheet10 holds Memo9.
void QtMainWindow::BuildErrorPages()
{
    struct ErrorPage {
        QWidget* QtMainWindow::*sheet;
        const char* sheetName;
        QtMemo* QtMainWindow::*memo;
        const char* memoName;
    };
    static constexpr std::array<ErrorPage, 8> errorPages = {{
        {&QtMainWindow::TabSheet3, "TabSheet3", &QtMainWindow::Memo2, "Memo2"},
        {&QtMainWindow::TabSheet4, "TabSheet4", &QtMainWindow::Memo3, "Memo3"},
        {&QtMainWindow::TabSheet5, "TabSheet5", &QtMainWindow::Memo4, "Memo4"},
        {&QtMainWindow::TabSheet6, "TabSheet6", &QtMainWindow::Memo5, "Memo5"},
        {&QtMainWindow::TabSheet7, "TabSheet7", &QtMainWindow::Memo6, "Memo6"},
        {&QtMainWindow::TabSheet8, "TabSheet8", &QtMainWindow::Memo7, "Memo7"},
        {&QtMainWindow::TabSheet9, "TabSheet9", &QtMainWindow::Memo8, "Memo8"},
        {&QtMainWindow::TabSheet10, "TabSheet10", &QtMainWindow::Memo9, "Memo9"},
    }};
    for (const ErrorPage& errorPage : errorPages) {
        QWidget* sheet = MakePage(errorPage.sheetName);
        QtMemo* memo = MakeMemo(errorPage.memoName, MemoScrollBars::None, sheet);
        memo->setGeometry(ErrorMemoGeometry);
        memo->AddLine(errorPage.memoName);
        PageControl2->addTab(sheet, QString::fromLatin1(errorPage.sheetName));
        this->*errorPage.sheet = sheet;
        this->*errorPage.memo = memo;
    }
    PageControl2->setCurrentIndex(InitialErrorTab);
}
void QtMainWindow::BindHandlers()
{
    for (const auto& [command, action] : MenuActions)
        connect(action, &QAction::triggered, this, [this, command = command] { mainFrm_->MenuClick(command); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { mainFrm_->BitBtn1Click(); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { mainFrm_->BitBtn2Click(); });
    connect(BitBtn3, &QPushButton::clicked, this, [this] { mainFrm_->BitBtn3Click(); });
    connect(Timer1, &QTimer::timeout, this, [this] { mainFrm_->Timer1Timer(); });
}

void QtMainWindow::SetErrorBox(ErrorBoxSeam errorBox)
{
    errorBox_ = std::move(errorBox);
}

void QtMainWindow::SetSaveFileChooser(SaveFileSeam chooser)
{
    saveFileChooser_ = std::move(chooser);
}

void QtMainWindow::SetPortDialog(std::function<void()> showDialog)
{
    portDialog_ = std::move(showDialog);
}

void QtMainWindow::SetPrintDeviceSource(PrintDeviceSource source)
{
    printDeviceSource_ = std::move(source);
}

void QtMainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        kalvo::PlaceCentred(*this);
        mainFrm_->FormShow();
    }
}

void QtMainWindow::hideEvent(QHideEvent* event)
{
    QMainWindow::hideEvent(event);
    // Minimising hides the window spontaneously; only taking it down ends the run.
    if (!event->spontaneous())
        mainFrm_->FormHide();
}

QtMemo* QtMainWindow::Memo(int memo) const
{
    static constexpr std::array<QtMemo * QtMainWindow::*, 10> memos = {&QtMainWindow::Memo1, &QtMainWindow::Memo2,
        &QtMainWindow::Memo3, &QtMainWindow::Memo4, &QtMainWindow::Memo5, &QtMainWindow::Memo6, &QtMainWindow::Memo7,
        &QtMainWindow::Memo8, &QtMainWindow::Memo9, &QtMainWindow::Memo10};
    return memo >= 1 && memo <= 10 ? this->*memos[static_cast<std::size_t>(memo - 1)] : nullptr;
}

QLabel* QtMainWindow::ValueLabel(int label) const
{
    static constexpr std::array<QLabel * QtMainWindow::*, 5> labels = {&QtMainWindow::Label2, &QtMainWindow::Label3,
        &QtMainWindow::Label4, &QtMainWindow::Label5, &QtMainWindow::Label6};
    return label >= 2 && label <= 6 ? this->*labels[static_cast<std::size_t>(label - 2)] : nullptr;
}

QtPicture* QtMainWindow::Image(kalvo::ComponentImage image) const
{
    switch (image) {
    case kalvo::ComponentImage::ImageHeizung:
        return ImageHeizung;
    case kalvo::ComponentImage::ImageTrafo:
        return ImageTrafo;
    case kalvo::ComponentImage::ImageMotor:
        return ImageMotor;
    case kalvo::ComponentImage::ImageFlamme:
        return ImageFlamme;
    case kalvo::ComponentImage::ImageVentil1:
        return ImageVentil1;
    case kalvo::ComponentImage::ImageVentil2:
        return ImageVentil2;
    }
    return nullptr;
}

QWidget* QtMainWindow::TabSheet(int tabSheet) const
{
    static constexpr std::array<QWidget * QtMainWindow::*, 10> sheets = {&QtMainWindow::TabSheet1,
        &QtMainWindow::TabSheet2, &QtMainWindow::TabSheet3, &QtMainWindow::TabSheet4, &QtMainWindow::TabSheet5,
        &QtMainWindow::TabSheet6, &QtMainWindow::TabSheet7, &QtMainWindow::TabSheet8, &QtMainWindow::TabSheet9,
        &QtMainWindow::TabSheet10};
    return tabSheet >= 1 && tabSheet <= 10 ? this->*sheets[static_cast<std::size_t>(tabSheet - 1)] : nullptr;
}

void QtMainWindow::SetMemoLines(int memo, const std::vector<std::string>& lines)
{
    if (QtMemo* box = Memo(memo))
        box->SetLines(lines);
}

void QtMainWindow::AddMemoLine(int memo, const std::string& line)
{
    if (QtMemo* box = Memo(memo))
        box->AddLine(line);
}

std::vector<std::string> QtMainWindow::MemoLines(int memo) const
{
    const QtMemo* box = Memo(memo);
    return box ? box->Lines() : std::vector<std::string>();
}

void QtMainWindow::SetMemoVisible(int memo, bool visible)
{
    if (QtMemo* box = Memo(memo))
        box->setVisible(visible);
}

void QtMainWindow::SetLabelCaption(int label, const std::string& caption)
{
    if (QLabel* value = ValueLabel(label))
        SetValueText(value, caption);
}

void QtMainWindow::SetImageVisible(kalvo::ComponentImage image, bool visible)
{
    Image(image)->setVisible(visible);
}

void QtMainWindow::SetCheckListItems(const std::vector<std::string>& items)
{
    CheckListBox1->clear();
    for (const std::string& text : items) {
        auto* item = new QListWidgetItem(kalvo::AnsiToQString(text), CheckListBox1);
        item->setCheckState(Qt::Unchecked);
    }
}

void QtMainWindow::SetCheckMark(int item, bool checked)
{
    if (QListWidgetItem* row = CheckListBox1->item(item))
        row->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void QtMainWindow::SetCheckListEnabled(bool enabled)
{
    CheckListBox1->setEnabled(enabled);
}

void QtMainWindow::SetActivePage(int tabSheet)
{
    QWidget* sheet = TabSheet(tabSheet);
    if (!sheet)
        return;
    QTabWidget* pages = tabSheet <= TMainFrm::TextPage ? PageControl1 : PageControl2;
    pages->setCurrentWidget(sheet);
}

int QtMainWindow::ActivePage() const
{
    return PageControl1->currentWidget() == TabSheet2 ? TMainFrm::TextPage : TMainFrm::PicturePage;
}

void QtMainWindow::SetTabCaption(int tabSheet, const std::string& caption)
{
    QWidget* sheet = TabSheet(tabSheet);
    if (!sheet)
        return;
    QTabWidget* pages = tabSheet <= TMainFrm::TextPage ? PageControl1 : PageControl2;
    pages->setTabText(pages->indexOf(sheet), kalvo::AnsiToQString(caption));
}

void QtMainWindow::SetPanelText(int panel, const std::string& text)
{
    StatusBar1->SetPanelText(panel, kalvo::AnsiToQString(text));
}

void QtMainWindow::RepaintStatusBar()
{
    StatusBar1->repaint();
}

void QtMainWindow::StartTimer1(std::chrono::milliseconds interval)
{
    Timer1->start(interval);
}

void QtMainWindow::StopTimer1()
{
    Timer1->stop();
}

void QtMainWindow::ProcessPendingMessages()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtMainWindow::CloseWindow()
{
    close();
}

void QtMainWindow::ShowErrorBox(const std::string& title, const std::string& text)
{
    if (errorBox_)
        errorBox_(text);
    else
        kalvo::ShowErrorBox(this, title, text);
}

std::optional<std::string> QtMainWindow::AskSaveFileName(const kalvo::SaveFileQuestion& question)
{
    return saveFileChooser_(question);
}

std::optional<std::string> QtMainWindow::AskFolder(const std::string& title, const std::string& initialFolder)
{
    const QString chosen =
        QFileDialog::getExistingDirectory(this, kalvo::AnsiToQString(title), QFile::decodeName(initialFolder.c_str()));
    if (chosen.isEmpty())
        return std::nullopt;
    return QFile::encodeName(chosen).toStdString();
}

void QtMainWindow::SetMenuItemChecked(kalvo::MenuCommand command, bool checked)
{
    MenuActions.at(command)->setChecked(checked);
}

void QtMainWindow::SetClipboardText(const std::string& text)
{
    QGuiApplication::clipboard()->setText(kalvo::AnsiToQString(text));
}

void QtMainWindow::ShowPortDialog()
{
    if (portDialog_)
        portDialog_();
}

kalvo::RegionalDateTime QtMainWindow::CurrentRegionalDateTime() const
{
    return QtRegionalDateTime(QDateTime::currentDateTime());
}

kalvo::PrintJobOpening QtMainWindow::OpenPrintJob(const std::string& documentName)
{
    PrintDevice device = printDeviceSource_(documentName);
    if (device.status != kalvo::PrintJobStatus::Opened)
        return {device.status, {}};
    auto job = std::make_unique<QtPrintJob>(std::move(device.device));
    if (!job->Begin())
        return {kalvo::PrintJobStatus::PrinterNotValid, {}};
    printJob_ = std::move(job);
    return {kalvo::PrintJobStatus::Opened, printJob_->Page()};
}

double QtMainWindow::PrintTextWidth(const std::string& text)
{
    return printJob_->TextWidth(text);
}

void QtMainWindow::PrintLine(double top, const std::string& text)
{
    printJob_->PrintLine(top, text);
}

bool QtMainWindow::NewPrintPage()
{
    return printJob_->NewPage();
}

bool QtMainWindow::EndPrintJob()
{
    const bool ended = printJob_->End();
    printJob_.reset();
    return ended;
}
