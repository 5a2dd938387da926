// qt_client_shot: the Linux face's main window at a unit moment, for the Win32 face's tests to
// compare with. It runs the Qt main window on the offscreen platform against the scripted line,
// answering like a unitsim held at the same seed and time, lets it start and poll once and saves
// its client area (below the menu bar) as a PNG with the "Picture" page showing, and one with the
// "Text" page showing.
//
//   qt_client_shot LANGUAGE_FILE COM SEED HOLD_MS PICTURE_PNG TEXT_PNG
//
// Prints "NAME LEFT TOP WIDTH HEIGHT" per control of PlacedControls: the part of it that its
// parents leave in view, in the client area's coordinates, wherever its page.

#include <QApplication>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "testing/FakeSerial.h"
#include "testing/ProgramState.h"
#include "testing/TempDir.h"
#include "tests/win32/HeldUnit.h"
#include "tests/win32/PlacedControls.h"
#include "ui/qt/QtMainWindow.h"

namespace {

// The part of the widget that its ancestors up to the client area leave in view.
QRect ShownRect(const QWidget* widget, const QWidget* client)
{
    QRect shown(widget->mapTo(client, QPoint(0, 0)), widget->size());
    for (const QWidget* ancestor = widget->parentWidget(); ancestor && ancestor != client;
         ancestor = ancestor->parentWidget())
        shown &= QRect(ancestor->mapTo(client, QPoint(0, 0)), ancestor->size());
    return shown;
}

void SaveShot(QWidget* client, const QString& file)
{
    QApplication::processEvents();
    if (!client->grab().save(file, "PNG"))
        throw std::runtime_error("cannot save " + file.toStdString());
}

void Shoot(const std::string& languageFile, int port, std::uint32_t seed, std::chrono::milliseconds holdAt,
    const QString& pictureShot, const QString& textShot)
{
    kalvo::test::TempDir dir;
    const kalvo::ProgramFiles files{dir.file("MY.LNG"), dir.file("kalvo.ini")};
    std::filesystem::copy_file(languageFile, files.languageFile);
    kalvo::test::WriteFileBytes(files.settingsFile, "[Main]\r\nCOM=" + std::to_string(port) + "\r\n");
    kalvo::FakeSerialSystem serial;
    const kalvo::test::ProgramStateGuard state{&serial};
    kalvo::test::AnswerAsHeldUnit(serial, seed, holdAt);

    QtMainWindow window(files);
    std::string errorBox;
    window.SetErrorBox([&errorBox](const std::string& text) { errorBox = text; });
    window.show();  // starts the program, as its first showing does
    window.MainFrm().Timer1Timer();
    if (!errorBox.empty())
        throw std::runtime_error("the window showed the error box \"" + errorBox + "\"");

    QWidget* client = window.centralWidget();
    SaveShot(client, pictureShot);
    window.SetActivePage(2);
    SaveShot(client, textShot);
    for (const std::string_view name : kalvo::test::PlacedControls) {
        const auto* widget = client->findChild<QWidget*>(QString::fromLatin1(name.data(), name.size()));
        if (!widget)
            throw std::runtime_error("no widget " + std::string(name));
        const QRect shown = ShownRect(widget, client);
        std::printf(
            "%s %d %d %d %d\n", std::string(name).c_str(), shown.left(), shown.top(), shown.width(), shown.height());
    }
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc != 7) {
        std::fputs("usage: qt_client_shot LANGUAGE_FILE COM SEED HOLD_MS PICTURE_PNG TEXT_PNG\n", stderr);
        return 2;
    }
    try {
        Shoot(argv[1], std::stoi(argv[2]), static_cast<std::uint32_t>(std::stoul(argv[3])),
            std::chrono::milliseconds(std::stoll(argv[4])), QString::fromLocal8Bit(argv[5]),
            QString::fromLocal8Bit(argv[6]));
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "qt_client_shot: %s\n", error.what());
        return 1;
    }
}
