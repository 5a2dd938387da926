#pragma once

#include <QMainWindow>

#include <functional>
#include <memory>
#include <string>

#include "ErrorBox.h"
#include "ReportExport.h"
#include "ReportPrinter.h"

class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QTabWidget;
class QTimer;
class TComPortFrm;
class TImage;
class TMemo;
class TStatusBar;

namespace kalvo {

class QtWindowLink;

// The files the program reads and writes beside its executable.
struct ProgramFiles {
    std::string languageFile;  // the executable's folder, its trailing separator, then "MY.LNG"
    std::string settingsFile;  // the executable's path with the extension ".ini"
};

ProgramFiles ProgramFilesFor(const std::string& executablePath);

}  // namespace kalvo

// The main window: the "Picture" page with the burner schematic, the "Text" page with the report,
// the error records and the status check list, and the status bar. Its timer drives the polls.
// Widgets carry their names as object names, so "Memo" + n finds a memo by name.
class TMainFrm : public QMainWindow {
    Q_OBJECT

public:
    explicit TMainFrm(kalvo::ProgramFiles files, QWidget* parent = nullptr);
    ~TMainFrm() override;

    // Receives the message of an error that ended a handler; the error box by default.
    void SetErrorReporter(kalvo::ErrorReporter reporter);
    // Replaces the showing of the port selection dialog, ComPortFrm by default. Without one, the
    // port command only closes and reopens the port in use.
    void SetPortDialog(std::function<void()> showDialog);
    // Replaces the choice of the file that Save As writes, SaveDialog1 by default.
    void SetSaveFileChooser(kalvo::SaveFileChooser chooser);
    // Replaces the lookup of the printer that Print uses, the system's default printer by default.
    void SetPrinterLookup(kalvo::PrinterLookup lookup);

    // Event handlers. Each runs to its end or stops at the first error, which the error box shows.
    void FormShow();
    void FormHide();
    void Quit1Click();
    void Timer1Timer();
    void COMPort1Click();
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();

    // Operations; errors leave them and end the handler that called them.
    void PollTick();
    void ProcessPendingMessages();
    void ClearReadings();
    void HideComponentImages();
    void RefreshIndicators();
    void BuildReport();
    void AddReportLine(const std::string& line);
    void ShowErrorRecord(int offset, int n);
    void LoadLanguage(const std::string& fileName);

    // The page kept in the settings: 1 = "Picture", 2 = "Text".
    int ActivePanel = 1;

    QMenu* file1 = nullptr;
    QAction* Quit1 = nullptr;
    QMenu* Setup1 = nullptr;
    QAction* COMPort1 = nullptr;

    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;

    TImage* ImageMain = nullptr;
    TImage* ImageMotor = nullptr;
    TImage* ImageVentil1 = nullptr;
    TImage* ImageVentil2 = nullptr;
    TImage* ImageHeizung = nullptr;
    TImage* ImageFlamme = nullptr;
    TImage* ImageTrafo = nullptr;
    TImage* Image1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    TImage* Image2 = nullptr;

    TMemo* Memo1 = nullptr;
    QTabWidget* PageControl2 = nullptr;
    QWidget* TabSheet3 = nullptr;
    QWidget* TabSheet4 = nullptr;
    QWidget* TabSheet5 = nullptr;
    QWidget* TabSheet6 = nullptr;
    QWidget* TabSheet7 = nullptr;
    QWidget* TabSheet8 = nullptr;
    QWidget* TabSheet9 = nullptr;
    QWidget* TabSheet10 = nullptr;
    TMemo* Memo2 = nullptr;
    TMemo* Memo3 = nullptr;
    TMemo* Memo4 = nullptr;
    TMemo* Memo5 = nullptr;
    TMemo* Memo6 = nullptr;
    TMemo* Memo7 = nullptr;
    TMemo* Memo8 = nullptr;
    TMemo* Memo9 = nullptr;
    QListWidget* CheckListBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QPushButton* BitBtn3 = nullptr;
    TMemo* Memo10 = nullptr;

    TStatusBar* StatusBar1 = nullptr;
    QTimer* Timer1 = nullptr;

    // The port dialog, created hidden after the window and reused at every showing.
    TComPortFrm* ComPortFrm = nullptr;
    // Built at the first Save As: a file dialog is costly to build, and most runs never save.
    kalvo::TSaveDialog* SaveDialog1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void BuildMenu();
    void BuildPicturePage();
    void BuildTextPage();
    void BuildErrorPages();
    void BindHandlers();
    void PlaceCentred();

    void FillCheckList();
    void CaptionErrorTabs();
    void ShowPortDialog();
    void ReopenPortAndRestartPolling();
    QString ExecuteSaveDialog();

    template <typename Body>
    void RunHandler(Body&& body);

    kalvo::ProgramFiles files_;
    kalvo::ErrorReporter errorReporter_;
    std::function<void()> portDialog_;
    kalvo::SaveFileChooser saveFileChooser_;
    kalvo::PrinterLookup printerLookup_ = &QPrinterInfo::defaultPrinter;
    std::unique_ptr<kalvo::QtWindowLink> windowLink_;
    bool startedUp_ = false;
    bool shutDown_ = false;
    bool pollRunning_ = false;
};
