#include "ReportExport.h"

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSaveFile>

#include "KalvoError.h"
#include "TMemo.h"
#include "TextCodec.h"

namespace kalvo {

namespace {

constexpr char LineEnd[] = "\r\n";

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
    if (!file.open(QIODevice::WriteOnly))
        throw cannotCreate;
    const auto size = static_cast<qint64>(exportText.size());
    // An uncommitted file is discarded when it goes out of scope; the old file stays as it was.
    if (file.write(exportText.data(), size) != size || !file.commit())
        throw KalvoError("Stream write error");
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
