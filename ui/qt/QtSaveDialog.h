#pragma once

#include <QFileDialog>
#include <QString>
#include <QStringList>

#include <optional>
#include <string>

#include "window/MainView.h"

// SaveDialog1: the save-file dialog of Save As. It adds the default extension to a name typed
// without one and replaces an existing file without asking.
class QtSaveDialog : public QFileDialog {
    Q_OBJECT

public:
    explicit QtSaveDialog(QWidget* parent);

    // Shows the dialog modally, offering the question's initial file. Returns the chosen path, or
    // nothing when the user cancels.
    std::optional<QString> Execute(const kalvo::SaveFileQuestion& question);
};

// The filter's "description|pattern" pairs as Qt name filters, "description (pattern)".
QStringList QtNameFilters(const std::string& filter);
