#include "ui/qt/QtMemo.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "ui/qt/TextCodec.h"

namespace {

// A carriage return or line feed inside one line (the unit's status text may hold any byte) would
// split the line in the document; it is kept as its control picture and turned back on reading.
constexpr char16_t LineFeedPicture = u'\u240A';
constexpr char16_t CarriageReturnPicture = u'\u240D';

QString ShownLine(const std::string& line)
{
    QString text = kalvo::AnsiToQString(line);
    text.replace(QChar(u'\n'), QChar(LineFeedPicture));
    text.replace(QChar(u'\r'), QChar(CarriageReturnPicture));
    return text;
}

std::string StoredLine(QString text)
{
    text.replace(QChar(LineFeedPicture), QChar(u'\n'));
    text.replace(QChar(CarriageReturnPicture), QChar(u'\r'));
    return kalvo::QStringToAnsi(text);
}

}  // namespace

QtMemo::QtMemo(const QString& name, QWidget* parent)
    : QPlainTextEdit(parent)
{
    setObjectName(name);
    // As in a multi-line edit box of the form's platform, Tab moves the focus on and types nothing.
    setTabChangesFocus(true);
}

void QtMemo::SetLines(const std::vector<std::string>& lines)
{
    clear();
    for (const std::string& line : lines)
        AddLine(line);
}

void QtMemo::AddLine(const std::string& line)
{
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    // Text the user typed after the last line break becomes a line of its own first.
    if (!cursor.block().text().isEmpty())
        cursor.insertBlock();
    cursor.insertText(ShownLine(line));
    cursor.insertBlock();
}

std::vector<std::string> QtMemo::Lines() const
{
    std::vector<std::string> lines;
    const QTextBlock last = document()->lastBlock();
    // Blocks' own text, not toPlainText(), which turns no-break spaces into blanks.
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (block == last && block.text().isEmpty())
            break;
        lines.push_back(StoredLine(block.text()));
    }
    return lines;
}
