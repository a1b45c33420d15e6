#include "drawing/page/PaintBox.h"

#include "core/ErrorGuard.h"

#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>

namespace tegaro {

PaintBox::PaintBox(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PaintBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QImage* image = nullptr;
    if (compose)
        guarded([&] { image = &compose(); });
    if (image && !image->isNull())
        p.drawImage(0, 0, *image);
    else
        p.fillRect(rect(), palette().window()); // no bitmap: an empty canvas
}

void PaintBox::mousePressEvent(QMouseEvent* event)
{
    emit mouseDown(event->button());
}

void PaintBox::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    emit resized(event->size());
}

} // namespace tegaro
