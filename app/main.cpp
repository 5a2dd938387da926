#include <QApplication>
#include <QFile>

#include <memory>

#include "core/SerialLine.h"
#include "ui/qt/ApplicationIcon.h"
#include "ui/qt/QtMainWindow.h"
#include "window/Captions.h"
#ifndef _WIN32
#include "ui/qt/TerminationSignals.h"
#endif
#include "core/uGlobal.h"

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    // Only the name: a display name would make some desktops append it to the window caption.
    QApplication::setApplicationName(QString::fromLatin1(kalvo::ApplicationTitle));
    QApplication::setWindowIcon(kalvo::ApplicationIcon());
    // Lets the desktop match the window to its menu entry, kalvo.desktop, and show that entry's icon.
    QApplication::setDesktopFileName(QStringLiteral("kalvo"));

    const std::string executablePath = QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString();
    const kalvo::ProgramFiles files = kalvo::ProgramFilesFor(executablePath);
    const std::unique_ptr<kalvo::SerialSystem> serial = kalvo::MakePlatformSerialSystem(files.settingsFile);
    uGlobal::Serial = serial.get();

    QtMainWindow MainFrm(files);
#ifndef _WIN32
    // Log-out, shut-down and Ctrl-C end the run as File > Quit does, saving the settings.
    const kalvo::TerminationSignals terminationSignals([&MainFrm] { kalvo::QuitAfterDialogs(MainFrm); });
#endif
    MainFrm.show();
    const int exitCode = QApplication::exec();

    // A port left open (the settings could not be written at shutdown) goes before the system that opened it.
    uGlobal::ResetProgramState();
    return exitCode;
}
