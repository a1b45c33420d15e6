#include "widgets/ImageCheckLabel.h"

#include "widgets/ClickSound.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace tegaro {

ImageCheckLabel::ImageCheckLabel(const QString& caption, QWidget* parent)
    : QWidget(parent), caption_(caption)
{
    setAccessibleName(caption);
}

void ImageCheckLabel::setChecked(bool checked)
{
    if (checked_ == checked)
        return;
    checked_ = checked;
    update();
}

QSize ImageCheckLabel::sizeHint() const
{
    return {fontMetrics().horizontalAdvance(caption_) + 26, 22};
}

void ImageCheckLabel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRect box(3, (height() - 16) / 2, 16, 16);
    p.setPen(QColor(0x60, 0x60, 0x60));
    p.setBrush(isEnabled() ? Qt::white : palette().window().color());
    p.drawRoundedRect(box, 2, 2);
    if (checked_) {
        QPainterPath mark;
        mark.moveTo(box.left() + 3, box.center().y());
        mark.lineTo(box.left() + 7, box.bottom() - 3);
        mark.lineTo(box.right() - 2, box.top() + 3);
        p.setPen(QPen(QColor(0xC0, 0x10, 0x10), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(mark);
    }
    p.setPen(palette().windowText().color());
    p.drawText(QRect(box.right() + 6, 0, width() - box.right() - 6, height()),
               Qt::AlignVCenter | Qt::AlignLeft, caption_);
}

void ImageCheckLabel::mousePressEvent(QMouseEvent* event) { event->accept(); }

void ImageCheckLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (!isEnabled())
        return;
    if (event->button() == Qt::LeftButton) {
        checked_ = !checked_;
        repaint();
        playClick();
    }
    emit mouseUp(event->button());
}

} // namespace tegaro
