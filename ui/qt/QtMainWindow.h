#pragma once

#include <QMainWindow>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "ui/qt/QtPrinter.h"
#include "window/MainView.h"
#include "window/uMainFrm.h"

class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QTabWidget;
class QTimer;
class QtMemo;
class QtPicture;
class QtPortDialog;
class QtSaveDialog;
class QtStatusBar;
class QtTrendWindow;

// The Qt face of the main window MainFrm: builds the widgets at their places with their fonts and
// pictures, shows what TMainFrm tells it, and passes the window's events to TMainFrm. Widgets
// carry their names as object names.
class QtMainWindow : public QMainWindow, public kalvo::MainView, public kalvo::SystemServices {
    Q_OBJECT

public:
    explicit QtMainWindow(kalvo::ProgramFiles files, QWidget* parent = nullptr);
    ~QtMainWindow() override;

    // The window's behaviour.
    TMainFrm& MainFrm() { return *mainFrm_; }

    // Seams for tests, which must not block in a modal box or dialog: the error box (by default the
    // program-wide box), the save
    // dialog, the port dialog and the printer each can be replaced.
    using ErrorBoxSeam = std::function<void(const std::string& text)>;
    using SaveFileSeam = std::function<std::optional<std::string>(const kalvo::SaveFileQuestion&)>;
    void SetErrorBox(ErrorBoxSeam errorBox);
    void SetSaveFileChooser(SaveFileSeam chooser);
    void SetPortDialog(std::function<void()> showDialog);
    void SetPrintDeviceSource(PrintDeviceSource source);

    std::map<kalvo::MenuCommand, QAction*> MenuActions;

    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;

    QtPicture* ImageMain = nullptr;
    QtPicture* ImageMotor = nullptr;
    QtPicture* ImageVentil1 = nullptr;
    QtPicture* ImageVentil2 = nullptr;
    QtPicture* ImageHeizung = nullptr;
    QtPicture* ImageFlamme = nullptr;
    QtPicture* ImageTrafo = nullptr;
    QtPicture* Image1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QtPicture* Image2 = nullptr;

    QtMemo* Memo1 = nullptr;
    QTabWidget* PageControl2 = nullptr;
    QWidget* TabSheet3 = nullptr;
    QWidget* TabSheet4 = nullptr;
    QWidget* TabSheet5 = nullptr;
    QWidget* TabSheet6 = nullptr;
    QWidget* TabSheet7 = nullptr;
    QWidget* TabSheet8 = nullptr;
    QWidget* TabSheet9 = nullptr;
    QWidget* TabSheet10 = nullptr;
    QtMemo* Memo2 = nullptr;
    QtMemo* Memo3 = nullptr;
    QtMemo* Memo4 = nullptr;
    QtMemo* Memo5 = nullptr;
    QtMemo* Memo6 = nullptr;
    QtMemo* Memo7 = nullptr;
    QtMemo* Memo8 = nullptr;
    QtMemo* Memo9 = nullptr;
    QListWidget* CheckListBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QPushButton* BitBtn3 = nullptr;
    QtMemo* Memo10 = nullptr;

    QtStatusBar* StatusBar1 = nullptr;
    QTimer* Timer1 = nullptr;

    // The port dialog, created hidden after the window and reused at every showing.
    QtPortDialog* ComPortFrm = nullptr;
    // Built at the first Save As: a file dialog is costly to build, and most runs never save.
    QtSaveDialog* SaveDialog1 = nullptr;
    // Built when View > Trend... is first chosen.
    QtTrendWindow* TrendFrm = nullptr;

    // MainView, SystemServices
    void SetMemoLines(int memo, const std::vector<std::string>& lines) override;
    void AddMemoLine(int memo, const std::string& line) override;
    std::vector<std::string> MemoLines(int memo) const override;
    void SetMemoVisible(int memo, bool visible) override;
    void SetLabelCaption(int label, const std::string& caption) override;
    void SetImageVisible(kalvo::ComponentImage image, bool visible) override;
    void SetCheckListItems(const std::vector<std::string>& items) override;
    void SetCheckMark(int item, bool checked) override;
    void SetCheckListEnabled(bool enabled) override;
    void SetActivePage(int tabSheet) override;
    int ActivePage() const override;
    void SetTabCaption(int tabSheet, const std::string& caption) override;
    void SetPanelText(int panel, const std::string& text) override;
    void RepaintStatusBar() override;
    void StartTimer1(std::chrono::milliseconds interval) override;
    void StopTimer1() override;
    void ProcessPendingMessages() override;
    void CloseWindow() override;
    void ShowErrorBox(const std::string& title, const std::string& text) override;
    std::optional<std::string> AskSaveFileName(const kalvo::SaveFileQuestion& question) override;
    std::optional<std::string> AskFolder(const std::string& title, const std::string& initialFolder) override;
    void SetMenuItemChecked(kalvo::MenuCommand command, bool checked) override;
    void SetClipboardText(const std::string& text) override;
    void ShowPortDialog() override;
    void ShowTrendWindow() override;
    kalvo::RegionalDateTime CurrentRegionalDateTime() const override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void BuildMenu();
    void BuildPicturePage();
    void BuildTextPage();
    void BuildErrorPages();
    void BindHandlers();

    QtMemo* Memo(int memo) const;
    QLabel* ValueLabel(int label) const;
    QLabel*& ValueLabelOf(std::string_view name);
    QtPicture* Image(kalvo::ComponentImage image) const;
    QWidget* TabSheet(int tabSheet) const;
    QTabWidget* PageControlOf(int tabSheet) const;
    QWidget* AddPage(QTabWidget* pageControl, int tabSheet);

    QtPrinterView printer_;
    std::unique_ptr<TMainFrm> mainFrm_;
    ErrorBoxSeam errorBox_;
    SaveFileSeam saveFileChooser_;
    std::function<void()> portDialog_;
    bool shown_ = false;
};
