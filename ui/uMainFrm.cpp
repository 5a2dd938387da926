#include "uMainFrm.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QHideEvent>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QMenuBar>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <array>
#include <exception>
#include <utility>

#include "JpegImage.h"
#include "QtWindowLink.h"
#include "Readings.h"
#include "Settings.h"
#include "TImage.h"
#include "TMemo.h"
#include "TStatusBar.h"
#include "TextCodec.h"
#include "uComPortFrm.h"
#include "uGlobal.h"

// The pictures are compiled into the ui library, and a static library's resources register only
// when asked for. The macro must be used outside any namespace.
static void RegisterPictures()
{
    Q_INIT_RESOURCE(kalvo);
}

namespace kalvo {

ProgramFiles ProgramFilesFor(const std::string& executablePath)
{
#ifdef _WIN32
    constexpr const char* PathSeparators = "\\/";
#else
    constexpr const char* PathSeparators = "/";
#endif
    const std::size_t lastSeparator = executablePath.find_last_of(PathSeparators);
    const std::string folder = lastSeparator == std::string::npos ? std::string()
                                                                   : executablePath.substr(0, lastSeparator + 1);
    return {folder + "MY.LNG", SettingsPathFor(executablePath)};
}

}  // namespace kalvo

namespace {

constexpr int ClientWidth = 643;
constexpr int ClientHeight = 525;
constexpr int StatusBarTop = 504;
constexpr int StatusBarHeight = 21;
constexpr int FirstPanelWidth = 50;
constexpr int PollIntervalMs = 2000;

constexpr int WindowFontPixels = 11;
constexpr int ReportFontPixels = 12;
constexpr int ValueLabelFontPixels = 24;
constexpr int CheckListRowHeight = 13;

constexpr int PicturePanel = 1;
constexpr int TextPanel = 2;
constexpr char SettingsSection[] = "Main";
constexpr char PortKey[] = "COM";
constexpr char PanelKey[] = "Panel";

// Language lines 2..11 caption the ten status indications.
constexpr int FirstCheckListLine = 2;
constexpr int CheckListItemCount = 10;
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

TImage* MakeImage(const char* name, const QRect& geometry, const QPixmap& picture, QWidget* page)
{
    auto* image = new TImage(QString::fromLatin1(name), page);
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

TMemo* MakeMemo(const char* name, MemoScrollBars scrollBars, QWidget* parent)
{
    auto* memo = new TMemo(QString::fromLatin1(name), parent);
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
    FixedRowHeightDelegate(int rowHeight, QObject* parent) : QStyledItemDelegate(parent), rowHeight_(rowHeight) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width(), rowHeight_};
    }

private:
    int rowHeight_;
};

}  // namespace

TMainFrm::TMainFrm(kalvo::ProgramFiles files, QWidget* parent)
    : QMainWindow(parent),
      files_(std::move(files)),
      errorReporter_([this](const std::string& message) { kalvo::ShowErrorBox(this, message); }),
      windowLink_(std::make_unique<kalvo::QtWindowLink>(*this))
{
    setObjectName(QStringLiteral("MainFrm"));
    setWindowTitle(QStringLiteral("Kalvo V2.03"));
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
    PageControl1->addTab(TabSheet1, QStringLiteral("Picture"));
    PageControl1->addTab(TabSheet2, QStringLiteral("Text"));
    RegisterPictures();
    BuildPicturePage();
    BuildTextPage();

    StatusBar1 = new TStatusBar(QStringLiteral("StatusBar1"), FirstPanelWidth, client);
    StatusBar1->setGeometry(0, StatusBarTop, ClientWidth, StatusBarHeight);

    setFixedSize(ClientWidth, ClientHeight + menuBar()->sizeHint().height());

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(PollIntervalMs);
    BindHandlers();
    Timer1->start();

    uGlobal::Window = windowLink_.get();

    saveFileChooser_ = [this] { return ExecuteSaveDialog(); };
    // The port dialog comes after the main window, hidden until the port command shows it.
    ComPortFrm = new TComPortFrm(this);
    portDialog_ = [this] { ComPortFrm->exec(); };
}

TMainFrm::~TMainFrm()
{
    if (uGlobal::Window == windowLink_.get())
        uGlobal::Window = nullptr;
}

void TMainFrm::BuildMenu()
{
    file1 = menuBar()->addMenu(QStringLiteral("&File"));
    file1->setObjectName(QStringLiteral("file1"));
    Quit1 = file1->addAction(QStringLiteral("&Quit"));
    Quit1->setObjectName(QStringLiteral("Quit1"));
    Setup1 = menuBar()->addMenu(QStringLiteral("&Setup"));
    Setup1->setObjectName(QStringLiteral("Setup1"));
    COMPort1 = Setup1->addAction(QStringLiteral("&COM-Port"));
    COMPort1->setObjectName(QStringLiteral("COMPort1"));
}

// Created from the bottom of the drawing order up: each later widget is drawn over the earlier ones.
void TMainFrm::BuildPicturePage()
{
    QWidget* page = TabSheet1;
    const QPixmap valve = LoadPicture(QStringLiteral("valve.bmp"));
    ImageMain = MakeImage("ImageMain", {1, 5, 640, 480}, LoadPicture(QStringLiteral("schematic.bmp")), page);
    ImageMotor = MakeImage("ImageMotor", {161, 114, 73, 73}, LoadPicture(QStringLiteral("motor.bmp")), page);
    ImageVentil1 = MakeImage("ImageVentil1", {261, 287, 33, 65}, valve, page);
    ImageVentil2 = MakeImage("ImageVentil2", {261, 210, 33, 57}, valve, page);
    ImageHeizung = MakeImage("ImageHeizung", {32, 209, 65, 33}, LoadPicture(QStringLiteral("heater.bmp")), page);
    ImageFlamme = MakeImage("ImageFlamme", {400, 88, 129, 57},
                            TransparentPicture(LoadImage(QStringLiteral("flame.bmp"))), page);
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
void TMainFrm::BuildTextPage()
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
    PageControl2->setStyleSheet(QStringLiteral(
        "QTabBar::tab { padding: 3px 7px; border: 1px solid palette(mid); border-bottom: none;"
        " border-top-left-radius: 2px; border-top-right-radius: 2px; background: palette(button); }"
        "QTabBar::tab:selected { background: palette(base); }"
        "QTabBar::tab:!selected { margin-top: 2px; }"));
    BuildErrorPages();

    CheckListBox1 = new QListWidget(page);
    CheckListBox1->setObjectName(QStringLiteral("CheckListBox1"));
    CheckListBox1->setGeometry(440, 328, 193, 145);
    CheckListBox1->setItemDelegate(new FixedRowHeightDelegate(CheckListRowHeight, CheckListBox1));

    BitBtn1 = MakeButton("BitBtn1", QStringLiteral("Copy to Clipboard"), {520, 8, 113, 33}, page);
    BitBtn2 = MakeButton("BitBtn2", QStringLiteral("Print..."), {520, 48, 113, 33}, page);
    BitBtn3 = MakeButton("BitBtn3", QStringLiteral("Save As..."), {520, 88, 113, 33}, page);

    Memo10 = MakeMemo("Memo10", MemoScrollBars::Both, page);
    Memo10->setGeometry(528, 152, 105, 89);

    Label1 = new QLabel(QStringLiteral("Status : "), page);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(440, 304);
    Label1->adjustSize();
}

// One page per error record, each filled by its memo: TabSheet3 holds Memo2 ... TabSheet10 holds Memo9.
void TMainFrm::BuildErrorPages()
{
    struct ErrorPage {
        QWidget* TMainFrm::*sheet;
        const char* sheetName;
        TMemo* TMainFrm::*memo;
        const char* memoName;
    };
    static constexpr std::array<ErrorPage, 8> errorPages = {{
        {&TMainFrm::TabSheet3, "TabSheet3", &TMainFrm::Memo2, "Memo2"},
        {&TMainFrm::TabSheet4, "TabSheet4", &TMainFrm::Memo3, "Memo3"},
        {&TMainFrm::TabSheet5, "TabSheet5", &TMainFrm::Memo4, "Memo4"},
        {&TMainFrm::TabSheet6, "TabSheet6", &TMainFrm::Memo5, "Memo5"},
        {&TMainFrm::TabSheet7, "TabSheet7", &TMainFrm::Memo6, "Memo6"},
        {&TMainFrm::TabSheet8, "TabSheet8", &TMainFrm::Memo7, "Memo7"},
        {&TMainFrm::TabSheet9, "TabSheet9", &TMainFrm::Memo8, "Memo8"},
        {&TMainFrm::TabSheet10, "TabSheet10", &TMainFrm::Memo9, "Memo9"},
    }};
    for (const ErrorPage& errorPage : errorPages) {
        QWidget* sheet = MakePage(errorPage.sheetName);
        TMemo* memo = MakeMemo(errorPage.memoName, MemoScrollBars::None, sheet);
        memo->setGeometry(ErrorMemoGeometry);
        memo->AddLine(errorPage.memoName);
        PageControl2->addTab(sheet, QString::fromLatin1(errorPage.sheetName));
        this->*errorPage.sheet = sheet;
        this->*errorPage.memo = memo;
    }
    PageControl2->setCurrentIndex(InitialErrorTab);
}

void TMainFrm::BindHandlers()
{
    connect(Quit1, &QAction::triggered, this, &TMainFrm::Quit1Click);
    connect(COMPort1, &QAction::triggered, this, &TMainFrm::COMPort1Click);
    connect(BitBtn1, &QPushButton::clicked, this, &TMainFrm::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TMainFrm::BitBtn2Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TMainFrm::BitBtn3Click);
    connect(Timer1, &QTimer::timeout, this, &TMainFrm::Timer1Timer);
}

// Centred by its outer frame, which is known once the window is on screen.
void TMainFrm::PlaceCentred()
{
    if (const QScreen* display = screen()) {
        const QRect frame = QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, frameGeometry().size(),
                                                display->availableGeometry());
        move(frame.topLeft());
    }
}

void TMainFrm::SetErrorReporter(kalvo::ErrorReporter reporter)
{
    errorReporter_ = std::move(reporter);
}

void TMainFrm::SetPortDialog(std::function<void()> showDialog)
{
    portDialog_ = std::move(showDialog);
}

void TMainFrm::SetSaveFileChooser(kalvo::SaveFileChooser chooser)
{
    saveFileChooser_ = std::move(chooser);
}

void TMainFrm::SetPrinterLookup(kalvo::PrinterLookup lookup)
{
    printerLookup_ = std::move(lookup);
}

// An error ends the handler where it occurs; the program goes on with the next event.
template <typename Body>
void TMainFrm::RunHandler(Body&& body)
{
    try {
        body();
    } catch (const std::exception& error) {
        errorReporter_(error.what());
    } catch (...) {
        errorReporter_("Unexpected error");
    }
}

void TMainFrm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!startedUp_) {
        startedUp_ = true;
        PlaceCentred();
        FormShow();
    }
}

void TMainFrm::hideEvent(QHideEvent* event)
{
    QMainWindow::hideEvent(event);
    // Minimising hides the window spontaneously; only taking it down ends the run.
    if (startedUp_ && !shutDown_ && !event->spontaneous()) {
        shutDown_ = true;
        FormHide();
    }
}

void TMainFrm::FormShow()
{
    RunHandler([this] {
        LoadLanguage(files_.languageFile);
        Memo10->hide();
        for (QLabel* label : {Label2, Label3, Label4, Label5, Label6})
            SetValueText(label, {});
        PageControl2->setCurrentWidget(TabSheet3);
        FillCheckList();
        QLocale::setDefault(QLocale::c());
        uGlobal::StopRequested = false;
        CaptionErrorTabs();
        uGlobal::PortNumber = kalvo::ReadIniInteger(files_.settingsFile, SettingsSection, PortKey, uGlobal::NoPort);
        ActivePanel = kalvo::ReadIniInteger(files_.settingsFile, SettingsSection, PanelKey, PicturePanel);
        PageControl1->setCurrentWidget(TabSheet1);
        uGlobal::CheckStoredPort();
        if (uGlobal::PortNumber == uGlobal::NoPort)
            Timer1->stop();
        else
            uGlobal::OpenPort();
        ClearReadings();
    });
}

void TMainFrm::FillCheckList()
{
    CheckListBox1->clear();
    for (int line = FirstCheckListLine; line < FirstCheckListLine + CheckListItemCount; ++line) {
        auto* item = new QListWidgetItem(kalvo::AnsiToQString(uGlobal::LanguageTable[line]), CheckListBox1);
        item->setCheckState(Qt::Unchecked);
    }
    // The marks follow the unit's flags; the user cannot change them.
    CheckListBox1->setEnabled(false);
}

void TMainFrm::CaptionErrorTabs()
{
    for (int tab = 0; tab < PageControl2->count(); ++tab)
        PageControl2->setTabText(tab, QStringLiteral("Error %1").arg(tab + 1));
}

void TMainFrm::FormHide()
{
    RunHandler([this] {
        if (PageControl1->currentWidget() == TabSheet1)
            ActivePanel = PicturePanel;
        else if (PageControl1->currentWidget() == TabSheet2)
            ActivePanel = TextPanel;
        // Written before the port is closed, so the port in use at the end is the one stored.
        kalvo::WriteIniInteger(files_.settingsFile, SettingsSection, PortKey, uGlobal::PortNumber);
        kalvo::WriteIniInteger(files_.settingsFile, SettingsSection, PanelKey, ActivePanel);
        uGlobal::ClosePort();
    });
}

void TMainFrm::Quit1Click()
{
    RunHandler([this] {
        Timer1->stop();
        uGlobal::StopRequested = true;
        close();
    });
}

void TMainFrm::Timer1Timer()
{
    // The port dialog, run inside a waiting poll, switches the timer on again; its ticks must not
    // start a second read cycle on the same port. The running poll restarts the count at its end.
    if (pollRunning_)
        return;
    RunHandler([this] {
        const QScopedValueRollback<bool> running(pollRunning_, true);
        Timer1->stop();
        PollTick();
        // Restarting the timer here spaces the polls from the end of one to the start of the next.
        Timer1->start();
    });
}

void TMainFrm::COMPort1Click()
{
    RunHandler([this] {
        try {
            Timer1->stop();
            // Closed before the dialog probes the ports, so the port in use shows in its list.
            uGlobal::ClosePort();
            ShowPortDialog();
        } catch (...) {
            ReopenPortAndRestartPolling();
            throw;
        }
        ReopenPortAndRestartPolling();
    });
}

void TMainFrm::ShowPortDialog()
{
    if (portDialog_)
        portDialog_();
}

// Polling restarts even when no port could be opened; the read cycles then return at once.
void TMainFrm::ReopenPortAndRestartPolling()
{
    uGlobal::OpenPort();
    Timer1->start();
}

void TMainFrm::BitBtn1Click()
{
    RunHandler([this] {
        kalvo::GatherExportText(*this, *Memo10);
        kalvo::CopyExportText(kalvo::ExportText(*Memo10));
    });
}

// The job prints its own copy of the text gathered here: a click handled while it spools may
// gather again without changing what is printed.
void TMainFrm::BitBtn2Click()
{
    RunHandler([this] {
        kalvo::GatherExportText(*this, *Memo10);
        kalvo::PrintOnDefaultPrinter(kalvo::PrintedReportLines(Memo10->Lines(), QDateTime::currentDateTime()),
                                     printerLookup_);
    });
}

// Gathers only once a file is chosen, so a cancelled dialog leaves Memo10 as it was.
void TMainFrm::BitBtn3Click()
{
    RunHandler([this] {
        const QString fileName = saveFileChooser_();
        if (fileName.isEmpty())
            return;
        kalvo::GatherExportText(*this, *Memo10);
        kalvo::SaveExportText(fileName, kalvo::ExportText(*Memo10));
    });
}

QString TMainFrm::ExecuteSaveDialog()
{
    if (!SaveDialog1)
        SaveDialog1 = new kalvo::TSaveDialog(this);
    return SaveDialog1->Execute();
}

void TMainFrm::PollTick()
{
    if (uGlobal::StopRequested)
        return;
    uGlobal::ReadCycle();
    // Decoding and the report run also after a failed cycle, on what the blocks then hold.
    uGlobal::DecodeReadings();
    BuildReport();
}

void TMainFrm::ProcessPendingMessages()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void TMainFrm::ClearReadings()
{
    HideComponentImages();
    for (TMemo* memo : {Memo1, Memo2, Memo3, Memo4, Memo5, Memo6, Memo7, Memo8, Memo9})
        memo->Clear();
}

void TMainFrm::HideComponentImages()
{
    for (TImage* image : {ImageHeizung, ImageTrafo, ImageMotor, ImageFlamme, ImageVentil1, ImageVentil2})
        image->hide();
}

void TMainFrm::RefreshIndicators()
{
    const kalvo::StatusFlagSet& flags = uGlobal::StatusFlags;
    ImageHeizung->setVisible(flags[5]);
    ImageTrafo->setVisible(flags[4]);
    ImageMotor->setVisible(flags[6]);
    ImageFlamme->setVisible(flags[1]);
    ImageVentil1->setVisible(flags[2]);
    ImageVentil2->setVisible(flags[3]);

    // A list left empty by a start-up that stopped early has no marks to set.
    const int items = std::min(CheckListBox1->count(), static_cast<int>(flags.size()));
    for (int k = 0; k < items; ++k)
        CheckListBox1->item(k)->setCheckState(flags[static_cast<std::size_t>(k)] ? Qt::Checked : Qt::Unchecked);

    const kalvo::ReadingTextSet& texts = uGlobal::ReadingTexts;
    SetValueText(Label2, texts.OnOffText);
    SetValueText(Label3, texts.AlarmFlagText);
    SetValueText(Label4, texts.MainsVoltageText);
    SetValueText(Label5, texts.FlameCurrentText);
    SetValueText(Label6, texts.AlarmCurrentText);
}

void TMainFrm::BuildReport()
{
    Memo1->Clear();
    for (const std::string& line : kalvo::ReportCandidateLines(uGlobal::ReadingTexts, uGlobal::LanguageTable))
        AddReportLine(line);
    RefreshIndicators();
    for (int n = 1; n <= kalvo::ErrorRecordCount; ++n)
        ShowErrorRecord(kalvo::ErrorRecordSize * (n - 1), n);
}

void TMainFrm::AddReportLine(const std::string& line)
{
    if (kalvo::ReportLineFilter(line))
        Memo1->AddLine(line);
}

void TMainFrm::ShowErrorRecord(int offset, int n)
{
    auto* memo = findChild<TMemo*>(QStringLiteral("Memo%1").arg(n + 1));
    if (!memo)
        return;
    memo->Clear();
    for (const std::string& line :
         kalvo::ErrorRecordLines(uGlobal::ErrorHistoryBlock, offset, n, uGlobal::LanguageTable))
        memo->AddLine(line);
}

void TMainFrm::LoadLanguage(const std::string& fileName)
{
    kalvo::LoadLanguage(fileName, uGlobal::LanguageTable);
}
