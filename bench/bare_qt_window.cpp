// The least a Qt program that polls and shows text can cost: one window of the main window's client
// size (so its backing store weighs what kalvo's does) with one line of text (the first text loads
// the font machinery, which any window with a caption in it pays) and a 2000 ms timer that does
// nothing. The yardstick qt_face_bench.sh measures kalvo beside; it ends when sent SIGTERM.

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include "window/FormLayout.h"

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare Qt window"));
    window.resize(kalvo::layout::MainFrm.client.width, kalvo::layout::MainFrm.client.height);
    const QLabel text(QStringLiteral("Bare Qt window"), &window);
    window.show();
    QTimer poll;
    poll.start(2000);
    return QApplication::exec();
}
