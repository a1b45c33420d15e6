#pragma once
// The drawing canvas: every paint recomposes the whole picture.
#include <QImage>
#include <QWidget>

#include <functional>

namespace tegaro {

class PaintBox : public QWidget {
    Q_OBJECT
public:
    explicit PaintBox(QWidget* parent);
    // The picture to show, composed when asked; an empty one leaves the canvas blank.
    std::function<const QImage&()> compose;

signals:
    void mouseDown(Qt::MouseButton button);
    // The window gave the canvas another size; the picture must follow.
    void resized(QSize size);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
};

} // namespace tegaro
