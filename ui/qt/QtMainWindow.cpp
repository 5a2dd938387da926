#include "ui/qt/QtMainWindow.h"

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
#include <QTabWidget>
#include <QTimer>

#include <array>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "ui/qt/ErrorBox.h"
#include "ui/qt/PlaceCentred.h"
#include "ui/qt/QtControls.h"
#include "ui/qt/QtMemo.h"
#include "ui/qt/QtPicture.h"
#include "ui/qt/QtPortDialog.h"
#include "ui/qt/QtSaveDialog.h"
#include "ui/qt/QtStatusBar.h"
#include "ui/qt/QtTrendWindow.h"
#include "ui/qt/TextCodec.h"
#include "window/Captions.h"
#include "window/FormLayout.h"

namespace {

namespace layout = kalvo::layout;
using namespace kalvo::qt;

const layout::Control& Control(std::string_view name)
{
    return layout::MainFrm[name];
}

QFont FontOf(layout::FontRole role)
{
    return FormFont(layout::MainFrm.FontPixels(role));
}

// The numbered widgets by their number: Memos[0] is Memo1.
constexpr std::array<QtMemo * QtMainWindow::*, 10> Memos = {&QtMainWindow::Memo1, &QtMainWindow::Memo2,
    &QtMainWindow::Memo3, &QtMainWindow::Memo4, &QtMainWindow::Memo5, &QtMainWindow::Memo6, &QtMainWindow::Memo7,
    &QtMainWindow::Memo8, &QtMainWindow::Memo9, &QtMainWindow::Memo10};
constexpr int FirstValueLabel = 2;
constexpr std::array<QLabel * QtMainWindow::*, 5> ValueLabels = {
    &QtMainWindow::Label2, &QtMainWindow::Label3, &QtMainWindow::Label4, &QtMainWindow::Label5, &QtMainWindow::Label6};
constexpr std::array<QWidget * QtMainWindow::*, 10> TabSheets = {&QtMainWindow::TabSheet1, &QtMainWindow::TabSheet2,
    &QtMainWindow::TabSheet3, &QtMainWindow::TabSheet4, &QtMainWindow::TabSheet5, &QtMainWindow::TabSheet6,
    &QtMainWindow::TabSheet7, &QtMainWindow::TabSheet8, &QtMainWindow::TabSheet9, &QtMainWindow::TabSheet10};

// The picture widgets by their names in the layout.
constexpr std::pair<std::string_view, QtPicture * QtMainWindow::*> PictureWidgets[] = {
    {"ImageMain", &QtMainWindow::ImageMain},
    {"ImageMotor", &QtMainWindow::ImageMotor},
    {"ImageVentil1", &QtMainWindow::ImageVentil1},
    {"ImageVentil2", &QtMainWindow::ImageVentil2},
    {"ImageHeizung", &QtMainWindow::ImageHeizung},
    {"ImageFlamme", &QtMainWindow::ImageFlamme},
    {"ImageTrafo", &QtMainWindow::ImageTrafo},
    {"Image1", &QtMainWindow::Image1},
    {"Image2", &QtMainWindow::Image2},
};

QtPicture* QtMainWindow::*PictureWidget(std::string_view name)
{
    for (const auto& [widgetName, member] : PictureWidgets) {
        if (widgetName == name)
            return member;
    }
    throw std::out_of_range("no picture widget of that name");
}

template <typename Widget, std::size_t Count>
auto Numbered(const std::array<Widget * QtMainWindow::*, Count>& widgets, int first, int number)
    -> Widget* QtMainWindow::*
{
    return number >= first && number < first + static_cast<int>(Count)
        ? widgets[static_cast<std::size_t>(number - first)]
        : nullptr;
}

}  // namespace

QtMainWindow::QtMainWindow(kalvo::ProgramFiles files, QWidget* parent)
    : QMainWindow(parent),
      printer_(
          [](const std::string& documentName) { return PrinterDevice(QPrinterInfo::defaultPrinter(), documentName); }),
      mainFrm_(std::make_unique<TMainFrm>(kalvo::MainFace{*this, *this, printer_}, std::move(files)))
{
    setObjectName(QStringLiteral("MainFrm"));
    setWindowTitle(QString::fromLatin1(kalvo::MainFrmCaption::Window));
    setFont(FontOf(layout::FontRole::Form));
    QPalette buttonFace = palette();
    buttonFace.setColor(QPalette::Window, buttonFace.color(QPalette::Button));
    setPalette(buttonFace);

    BuildMenu();

    auto* client = new QWidget(this);
    client->setFixedSize(layout::MainFrm.client.width, layout::MainFrm.client.height);
    setCentralWidget(client);

    PageControl1 = MakePageControl(Control("PageControl1"), client);
    for (int sheet = 1; sheet < layout::FirstErrorSheet; ++sheet)
        AddPage(PageControl1, sheet);
    BuildPicturePage();
    BuildTextPage();

    StatusBar1 = new QtStatusBar(QStringLiteral("StatusBar1"), Control("Panel0").bounds.width, client);
    StatusBar1->setGeometry(Geometry(Control("StatusBar1").bounds));

    setFixedSize(layout::MainFrm.client.width, layout::MainFrm.client.height + menuBar()->sizeHint().height());

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

// The trend window shows TMainFrm's trend: it goes before TMainFrm does.
QtMainWindow::~QtMainWindow()
{
    delete TrendFrm;
}

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

// The page's rows of the layout in their order, from the bottom of the drawing order up (each later
// widget is drawn over the earlier ones): its pictures, and between them the value labels. A
// picture that two images show is loaded once.
void QtMainWindow::BuildPicturePage()
{
    std::map<std::string_view, QImage> loaded;
    for (const layout::Control& control : layout::MainFrm.controls) {
        if (control.parent != "TabSheet1")
            continue;
        if (const layout::Picture* picture = layout::PictureOf(control.name)) {
            const auto [entry, first] = loaded.try_emplace(picture->file);
            if (first)
                entry->second = PagePicture(*picture);
            this->*PictureWidget(control.name) = MakeImage(control, entry->second, TabSheet1);
        } else {
            ValueLabelOf(control.name) = MakeLabel(control, FontOf(layout::FontRole::ValueText), TabSheet1);
        }
    }
}

// Created in the layout's keyboard order (MainFrmTabOrder), which is the order Tab follows.
void QtMainWindow::BuildTextPage()
{
    QWidget* page = TabSheet2;
    Memo1 = MakeMemo(Control("Memo1"), MemoScrollBars::None, FontOf(layout::FontRole::Report), page);
    BitBtn1 = MakeButton(Control("BitBtn1"), page);
    BitBtn2 = MakeButton(Control("BitBtn2"), page);
    BitBtn3 = MakeButton(Control("BitBtn3"), page);
    Memo10 = MakeMemo(Control("Memo10"), MemoScrollBars::Both, FontOf(layout::FontRole::Form), page);

    PageControl2 = MakePageControl(Control("PageControl2"), page);
    // Narrow tabs, so all eight error tabs show side by side without scroll arrows.
    UseNarrowTabs(PageControl2);
    BuildErrorPages();

    CheckListBox1 = MakeCheckList(Control("CheckListBox1"), page);
    Label1 = MakeLabel(Control("Label1"), FontOf(layout::FontRole::Form), page);
}

// One page per error record, each filled by its memo: TabSheet3 holds Memo2 ... TabSheet10 holds Memo9.
void QtMainWindow::BuildErrorPages()
{
    for (int sheet = layout::FirstErrorSheet; sheet <= layout::TabSheetCount; ++sheet) {
        QWidget* page = AddPage(PageControl2, sheet);
        const int memo = sheet - 1;
        this->*Numbered(Memos, 1, memo) =
            MakeMemo(layout::MainFrm.At("Memo", memo), MemoScrollBars::None, FontOf(layout::FontRole::Form), page);
    }
}

// The page, captioned and made the active one as the layout gives it.
QWidget* QtMainWindow::AddPage(QTabWidget* pageControl, int tabSheet)
{
    const layout::Control& control = layout::MainFrm.At("TabSheet", tabSheet);
    QWidget* page = MakePage(control);
    this->*Numbered(TabSheets, 1, tabSheet) = page;
    pageControl->addTab(page, Caption(control));
    if (control.activePage)
        pageControl->setCurrentWidget(page);
    return page;
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
    printer_.SetDeviceSource(std::move(source));
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
    if (event->spontaneous())
        return;
    // Closed first, so it keeps its place as when the user closes it.
    if (TrendFrm && TrendFrm->isVisible())
        TrendFrm->close();
    mainFrm_->FormHide();
}

QtMemo* QtMainWindow::Memo(int memo) const
{
    QtMemo* QtMainWindow::*member = Numbered(Memos, 1, memo);
    return member ? this->*member : nullptr;
}

QLabel* QtMainWindow::ValueLabel(int label) const
{
    QLabel* QtMainWindow::*member = Numbered(ValueLabels, FirstValueLabel, label);
    return member ? this->*member : nullptr;
}

// A value label's member by its name in the layout, "Label2" .. "Label6".
QLabel*& QtMainWindow::ValueLabelOf(std::string_view name)
{
    for (int label = FirstValueLabel; label < FirstValueLabel + static_cast<int>(ValueLabels.size()); ++label) {
        if (name == "Label" + std::to_string(label))
            return this->*Numbered(ValueLabels, FirstValueLabel, label);
    }
    throw std::out_of_range("no value label of that name");
}

QtPicture* QtMainWindow::Image(kalvo::ComponentImage image) const
{
    return this->*PictureWidget(layout::ImageName(image));
}

QWidget* QtMainWindow::TabSheet(int tabSheet) const
{
    QWidget* QtMainWindow::*member = Numbered(TabSheets, 1, tabSheet);
    return member ? this->*member : nullptr;
}

QTabWidget* QtMainWindow::PageControlOf(int tabSheet) const
{
    return layout::PageControlOf(tabSheet) == 1 ? PageControl1 : PageControl2;
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
        SetLabelText(value, kalvo::AnsiToQString(caption));
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
    PageControlOf(tabSheet)->setCurrentWidget(sheet);
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
    QTabWidget* pages = PageControlOf(tabSheet);
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

void QtMainWindow::ShowTrendWindow()
{
    if (!TrendFrm)
        TrendFrm = new QtTrendWindow(*this);
    TrendFrm->Open();
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
