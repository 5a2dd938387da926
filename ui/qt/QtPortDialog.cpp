#include "ui/qt/QtPortDialog.h"

#include <algorithm>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>

#include "ui/qt/PlaceCentred.h"
#include "ui/qt/QtControls.h"
#include "ui/qt/TextCodec.h"
#include "window/Captions.h"
#include "window/FormLayout.h"

namespace {

namespace layout = kalvo::layout;
constexpr int ClientWidth = layout::ComPortFrm.client.width;
constexpr int ClientHeight = layout::ComPortFrm.client.height;

}  // namespace

QtPortDialog::QtPortDialog(QWidget* parent)
    : QDialog(parent,
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
            | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("ComPortFrm"));
    setWindowTitle(QString::fromLatin1(kalvo::ComPortFrmCaption::Window));
    // The main window's face and button-face background; a dialog does not inherit them by itself.
    if (parent) {
        setFont(parent->font());
        setPalette(parent->palette());
    }
    setFixedSize(ClientWidth, ClientHeight);

    const layout::Control& label1 = layout::ComPortFrm["Label1"];
    Label1 = new QLabel(kalvo::qt::Caption(label1), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    // Up to the dialog's right edge: where "MS Sans Serif" is missing, the fallback face runs a
    // little wider than the width the caption was laid out for.
    Label1->setGeometry(label1.bounds.left, label1.bounds.top, ClientWidth - label1.bounds.left, label1.bounds.height);

    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(kalvo::qt::Geometry(layout::ComPortFrm["ComboBox1"].bounds));

    Button1 = kalvo::qt::MakeButton(layout::ComPortFrm["Button1"], this);
    // OK comes first in the tab order, so it holds the focus when the dialog opens.
    setTabOrder(Button1, ComboBox1);
    connect(Button1, &QPushButton::clicked, this, [this] { ComPortFrm.Button1Click(); });

    AccessNote = new QLabel(kalvo::qt::Caption(layout::ComPortFrm["AccessNote"]), this);
    AccessNote->setObjectName(QStringLiteral("AccessNote"));
    AccessNote->setWordWrap(true);
    AccessNote->hide();

    probePause_ = new QTimer(this);
    probePause_->setSingleShot(true);
    connect(probePause_, &QTimer::timeout, this, [this] { ComPortFrm.ProbePauseElapsed(); });
}

void QtPortDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // A window restored by the system is shown again spontaneously; only a new showing lists anew.
    if (!event->spontaneous()) {
        kalvo::PlaceCentred(*this);
        ComPortFrm.FormShow();
    }
}

void QtPortDialog::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    if (!event->spontaneous())
        ComPortFrm.FormHide();
}

void QtPortDialog::SetPortItems(const std::vector<std::string>& items)
{
    ComboBox1->clear();
    for (const std::string& item : items)
        ComboBox1->addItem(kalvo::AnsiToQString(item));
    ComboBox1->setCurrentIndex(-1);
}

int QtPortDialog::SelectedPortItem() const
{
    return ComboBox1->currentIndex();
}

void QtPortDialog::SelectPortItem(int index)
{
    ComboBox1->setCurrentIndex(index);
}

void QtPortDialog::SetSearching(bool searching, const std::string& placeholder)
{
    ComboBox1->setPlaceholderText(kalvo::AnsiToQString(placeholder));
    ComboBox1->setEnabled(!searching);
    Button1->setEnabled(!searching);
}

// The dialog grows by the note's height only while the note shows.
void QtPortDialog::SetAccessNoteVisible(bool visible)
{
    AccessNote->setVisible(visible);
    if (!visible) {
        setFixedSize(ClientWidth, ClientHeight);
        return;
    }
    // The fallback face may need a line more than the design font.
    const layout::Rect& note = layout::ComPortFrm["AccessNote"].bounds;
    const int noteHeight = std::max(note.height, AccessNote->heightForWidth(note.width));
    AccessNote->setGeometry(note.left, note.top, note.width, noteHeight);
    setFixedSize(ClientWidth, layout::HeightWithAccessNote(layout::ComPortFrm, noteHeight));
}

void QtPortDialog::FocusButton1()
{
    Button1->setFocus();
}

void QtPortDialog::StartProbePause(std::chrono::milliseconds pause)
{
    probePause_->start(pause);
}

void QtPortDialog::StopProbePause()
{
    probePause_->stop();
}

void QtPortDialog::CloseDialog()
{
    accept();
}
