#include "ReportExport.h"

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSaveFile>

#include <unistd.h>

#include "KalvoError.h"
#include "TMemo.h"
#include "TextCodec.h"

namespace kalvo {

namespace {

constexpr char LineEnd[] = "\r\n";

// Writes the whole text and makes sure it reached the disk: Qt buffers small writes and its commit
// renames the file even when flushing that buffer failed, so every step is checked here first.
bool WriteWhole(QSaveFile& file, const std::string& text)
{
    const auto size = static_cast<qint64>(text.size());
    return file.write(text.data(), size) == size && file.flush() && ::fsync(file.handle()) == 0;
}

}  // namespace

void GatherExportText(const QObject& window, TMemo& scratch)
{
    scratch.Clear();
    for (int n = 1; n <= ExportedMemoCount; ++n) {
        if (const auto* memo = window.findChild<const TMemo*>(QStringLiteral("Memo%1").arg(n))) {
            for (const std::string& line : memo->Lines())
                scratch.AddLine(line);
        }
        scratch.AddLine({});
    }
}

std::string ExportText(const TMemo& scratch)
{
    std::string text;
    for (const std::string& line : scratch.Lines()) {
        text += line;
        text += LineEnd;
    }
    return text;
}

void CopyExportText(const std::string& exportText)
{
    QGuiApplication::clipboard()->setText(AnsiToQString(exportText));
}

// Any failure leaves the chosen file as it was and no new file behind, so the user is told that the
// file was not created, by its name, whichever step failed.
void SaveExportText(const QString& fileName, const std::string& exportText)
{
    const KalvoError cannotCreate("Cannot create file " +
                                  QFile::encodeName(QDir::toNativeSeparators(fileName)).toStdString());
    // Only a plain file is replaced: a device or pipe of that name would otherwise be swapped for a
    // regular file, and a folder cannot take the text at all.
    const QFileInfo existing(fileName);
    if (existing.exists() && !existing.isFile())
        throw cannotCreate;

    QSaveFile file(fileName);
    // An uncommitted file is removed when it goes out of scope; the earlier file stays as it was.
    if (!file.open(QIODevice::WriteOnly) || !WriteWhole(file, exportText) || !file.commit())
        throw cannotCreate;
}

TSaveDialog::TSaveDialog(QWidget* parent)
    : QFileDialog(parent)
{
    setObjectName(QStringLiteral("SaveDialog1"));
    setAcceptMode(AcceptSave);
    setNameFilter(QStringLiteral("Text (*.txt)"));
    setDefaultSuffix(QStringLiteral("txt"));
    setOption(DontConfirmOverwrite);
}

QString TSaveDialog::Execute()
{
    if (!previousChoice_.isEmpty())
        selectFile(previousChoice_);
    if (exec() != Accepted || selectedFiles().isEmpty())
        return {};
    previousChoice_ = selectedFiles().constFirst();
    return previousChoice_;
}

}  // namespace kalvo
