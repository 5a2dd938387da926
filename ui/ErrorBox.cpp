#include "ErrorBox.h"

#include <QMessageBox>

#include "KalvoError.h"
#include "TextCodec.h"

namespace kalvo {

void ShowErrorBox(QWidget* parent, const std::string& message)
{
    QMessageBox box(QMessageBox::Critical, QString::fromLatin1(ApplicationTitle),
                    AnsiToQString(ErrorBoxText(message)), QMessageBox::Ok, parent);
    // Messages name files and hold system texts; none of it is markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace kalvo
