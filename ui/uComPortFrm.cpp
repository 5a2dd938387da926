#include "uComPortFrm.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QTimer>

#include "SerialLine.h"
#include "uGlobal.h"

namespace {

constexpr int ClientWidth = 140;
constexpr int ClientHeight = 112;

// The access note sits below OK, wrapped within the margins of the other controls.
constexpr int NoteLeft = 16;
constexpr int NoteTop = 105;
constexpr int NoteWidth = 108;
constexpr int NoteBottomMargin = 8;

// Every listed port reads "COM" and one to three digits.
constexpr qsizetype PortPrefixLength = 3;
constexpr qsizetype MaxPortDigits = 3;

QString PortText(int portNumber)
{
    return QStringLiteral("COM%1").arg(portNumber);
}

}  // namespace

TComPortFrm::TComPortFrm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("ComPortFrm"));
    setWindowTitle(QStringLiteral("COM-Port"));
    // The main window's face and button-face background; a dialog does not inherit them by itself.
    if (parent) {
        setFont(parent->font());
        setPalette(parent->palette());
    }
    setFixedSize(ClientWidth, ClientHeight);

    Label1 = new QLabel(QStringLiteral("Select serial COM-Port : "), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    // Up to the dialog's right edge: where "MS Sans Serif" is missing, the fallback face runs a
    // little wider than the 115 pixels the caption was laid out for.
    Label1->setGeometry(16, 16, ClientWidth - 16, 13);

    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(16, 40, 105, 21);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(16, 72, 105, 25);
    // OK comes first in the tab order, so it holds the focus when the dialog opens.
    setTabOrder(Button1, ComboBox1);
    connect(Button1, &QPushButton::clicked, this, &TComPortFrm::Button1Click);

    AccessNote = new QLabel(
        QStringLiteral("No permission to open the serial ports. Join the group \"dialout\" and log in again."), this);
    AccessNote->setObjectName(QStringLiteral("AccessNote"));
    AccessNote->setWordWrap(true);
    AccessNote->hide();

    probePause_ = new QTimer(this);
    probePause_->setSingleShot(true);
    probePause_->setInterval(PauseAfterFoundPortMs);
    connect(probePause_, &QTimer::timeout, this, [this] { ProbePortsFrom(nextPortToProbe_); });
}

void TComPortFrm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // A window restored by the system is shown again spontaneously; only a new showing lists anew.
    if (!event->spontaneous()) {
        PlaceCentred();
        FormShow();
    }
}

void TComPortFrm::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    // Closed while still searching: the rest of the ports stay untried until the next showing.
    if (!event->spontaneous()) {
        probePause_->stop();
        search_.reset();
    }
}

void TComPortFrm::FormShow()
{
    probePause_->stop();
    ComboBox1->clear();
    foundPorts_.clear();
    accessDenied_ = false;
    ShowAccessNote(false);
    SetSearching(true);
    search_ = uGlobal::Serial->StartSearch();
    ProbePortsFrom(FirstPort);
}

// Each port is opened exclusively, as the read cycle would open it, and closed again at once.
// After a port is found the probe pauses and continues from the timer, so the dialog keeps
// painting and answering while it searches.
void TComPortFrm::ProbePortsFrom(int portNumber)
{
    for (int n = portNumber; n <= LastPort; ++n) {
        kalvo::OpenOutcome outcome = search_->Open(n);
        if (!outcome.port) {
            accessDenied_ = accessDenied_ || outcome.accessDenied;
            continue;
        }
        outcome.port.reset();
        foundPorts_.append(PortText(n));
        nextPortToProbe_ = n + 1;
        probePause_->start();
        return;
    }
    FinishListing();
}

void TComPortFrm::FinishListing()
{
    search_.reset();
    ComboBox1->addItems(foundPorts_);
    // The port in use is preselected when it is listed, otherwise the first port found.
    const int current = ComboBox1->findText(PortText(uGlobal::PortNumber));
    ComboBox1->setCurrentIndex(current >= 0 ? current : 0);
    ShowAccessNote(foundPorts_.isEmpty() && accessDenied_);
    SetSearching(false);
    Button1->setFocus();
}

void TComPortFrm::SetSearching(bool searching)
{
    ComboBox1->setPlaceholderText(searching ? QStringLiteral("Searching...") : QString());
    ComboBox1->setEnabled(!searching);
    Button1->setEnabled(!searching);
}

// The dialog grows by the note's height only while the note shows.
void TComPortFrm::ShowAccessNote(bool show)
{
    AccessNote->setVisible(show);
    if (!show) {
        setFixedSize(ClientWidth, ClientHeight);
        return;
    }
    const int noteHeight = AccessNote->heightForWidth(NoteWidth);
    AccessNote->setGeometry(NoteLeft, NoteTop, NoteWidth, noteHeight);
    setFixedSize(ClientWidth, NoteTop + noteHeight + NoteBottomMargin);
}

void TComPortFrm::Button1Click()
{
    QString chosen;
    if (ComboBox1->count() > 0)
        chosen = ComboBox1->currentText();
    if (chosen.size() > PortPrefixLength)
        uGlobal::PortNumber = chosen.mid(PortPrefixLength, MaxPortDigits).toInt();
    accept();
}

void TComPortFrm::PlaceCentred()
{
    if (const QScreen* display = screen()) {
        const QRect frame = QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, frameGeometry().size(),
                                                display->availableGeometry());
        move(frame.topLeft());
    }
}
