#pragma once

#include <QImage>
#include <QWidget>

// A picture drawn at its own size from the widget's top-left corner, neither stretched nor
// centred; a widget smaller than its picture cuts it off at the right and bottom. The picture is
// kept as it was read (a 16-colour bitmap at a byte a pixel, not the display's four), and only the
// part a paint asks for is converted for the display.
class QtPicture : public QWidget {
    Q_OBJECT

public:
    QtPicture(const QString& name, QWidget* parent);

    void SetPicture(const QImage& picture);
    const QImage& Picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
};

// The picture with every pixel in the colour of its bottom-left pixel transparent.
QImage TransparentPicture(const QImage& image);
