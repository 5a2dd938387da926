#include "ui/qt/ErrorBox.h"

#include <QFile>
#include <QMessageBox>

namespace kalvo {

void ShowErrorBox(QWidget* parent, const std::string& title, const std::string& text)
{
    // The messages are the program's own ASCII texts and system error texts, some with a file's
    // name in the system's file-name encoding.
    QMessageBox box(QMessageBox::Critical, QString::fromLatin1(title), QFile::decodeName(QByteArray::fromStdString(text)),
                    QMessageBox::Ok, parent);
    // Messages name files and hold system texts; none of it is markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace kalvo
