#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>

// A picture drawn at its own size from the widget's top-left corner, neither stretched nor
// centred; a widget smaller than its picture cuts it off at the right and bottom.
class QtPicture : public QWidget {
    Q_OBJECT

public:
    QtPicture(const QString& name, QWidget* parent);

    void SetPicture(const QPixmap& picture);
    const QPixmap& Picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap picture_;
};

// The picture with every pixel in the colour of its bottom-left pixel left undrawn.
QPixmap TransparentPicture(const QImage& image);
