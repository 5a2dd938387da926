#include "ui/qt/QtSaveDialog.h"

QtSaveDialog::QtSaveDialog(QWidget* parent) : QFileDialog(parent)
{
    setObjectName(QStringLiteral("SaveDialog1"));
    setAcceptMode(AcceptSave);
    setOption(DontConfirmOverwrite);
}

std::optional<QString> QtSaveDialog::Execute(const kalvo::SaveFileQuestion& question)
{
    setNameFilters(QtNameFilters(question.filter));
    setDefaultSuffix(QString::fromStdString(question.defaultExtension));
    if (!question.initialFileName.empty())
        selectFile(QFile::decodeName(QByteArray::fromStdString(question.initialFileName)));
    if (exec() != Accepted || selectedFiles().isEmpty())
        return std::nullopt;
    return selectedFiles().constFirst();
}

QStringList QtNameFilters(const std::string& filter)
{
    const QStringList parts = QString::fromStdString(filter).split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        const QString patterns = QString(parts[i + 1]).replace(u';', u' ');
        // A description that already names its patterns is shown as it is.
        const QString suffix = QStringLiteral("(") + patterns + QStringLiteral(")");
        filters.append(description.endsWith(suffix) ? description : description + u' ' + suffix);
    }
    return filters;
}
