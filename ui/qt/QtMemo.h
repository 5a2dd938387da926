#pragma once

#include <QPlainTextEdit>

#include <string>
#include <vector>

// A multi-line text box holding lines of 8-bit text. Like an edit control's line list, every line
// added ends with a line break, so the empty text after the last break is no line of its own:
// Lines() returns exactly the lines added, empty ones included, plus whatever the user typed.
class QtMemo : public QPlainTextEdit {
    Q_OBJECT

public:
    QtMemo(const QString& name, QWidget* parent);

    // Replaces the whole text by the lines; no lines leave the box empty.
    void SetLines(const std::vector<std::string>& lines);
    void AddLine(const std::string& line);
    std::vector<std::string> Lines() const;
};
