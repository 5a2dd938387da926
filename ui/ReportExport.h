#pragma once

#include <QFileDialog>
#include <QString>

#include <functional>
#include <string>

class QObject;
class TMemo;

// Gathering the report and the error records into one plain text, and handing it to the
// clipboard or a file.
namespace kalvo {

// The boxes gathered: the report Memo1, then the error records Memo2 .. Memo9.
inline constexpr int ExportedMemoCount = 9;

// Empties the scratch box, then appends the lines of the window's boxes "Memo1" .. "Memo9" in that
// order, each box followed by one empty line (a box without lines gives the empty line alone).
void GatherExportText(const QObject& window, TMemo& scratch);

// Every line of the scratch box ended by CR LF, as 8-bit text: what the clipboard and a saved file
// hold.
std::string ExportText(const TMemo& scratch);

// Puts the export text on the clipboard as plain text, replacing what it held.
void CopyExportText(const std::string& exportText);

// Writes the export text exactly (no byte-order mark, nothing more) into the file, replacing a file
// of that name. The text goes into a new file beside it that takes the name only once it is
// written, flushed and synced, so any failure (a full disk among them) leaves an earlier file whole
// and no new file. Throws KalvoError "Cannot create file <name>" for every failure.
void SaveExportText(const QString& fileName, const std::string& exportText);

// Picks the file that Save As writes to; empty when the user cancels.
using SaveFileChooser = std::function<QString()>;

// SaveDialog1: the save-file dialog of Save As, for text files, adding ".txt" to a name typed
// without an extension and replacing an existing file without asking.
class TSaveDialog : public QFileDialog {
    Q_OBJECT

public:
    explicit TSaveDialog(QWidget* parent);

    // Shows the dialog modally, offering the file chosen at its previous use. Returns the chosen
    // path, or empty when the user cancels.
    QString Execute();

private:
    QString previousChoice_;
};

}  // namespace kalvo
