#include "widgets/NavigatorPanel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>
#include <QVBoxLayout>

namespace tegaro {

namespace {

// Small pictures of our own for the ten buttons.
QIcon navigatorIcon(int action)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(0x20, 0x20, 0x60);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    auto triangle = [&](bool left, int x) {
        QPainterPath t;
        if (left) {
            t.moveTo(x + 5, 3);
            t.lineTo(x, 8);
            t.lineTo(x + 5, 13);
        } else {
            t.moveTo(x, 3);
            t.lineTo(x + 5, 8);
            t.lineTo(x, 13);
        }
        t.closeSubpath();
        p.drawPath(t);
    };
    switch (action) {
    case NavigatorPanel::First:
        p.drawRect(3, 3, 2, 10);
        triangle(true, 6);
        break;
    case NavigatorPanel::Prior: triangle(true, 5); break;
    case NavigatorPanel::Next: triangle(false, 6); break;
    case NavigatorPanel::Last:
        triangle(false, 5);
        p.drawRect(11, 3, 2, 10);
        break;
    case NavigatorPanel::Insert:
        p.drawRect(7, 3, 2, 10);
        p.drawRect(3, 7, 10, 2);
        break;
    case NavigatorPanel::Delete: p.drawRect(3, 7, 10, 2); break;
    case NavigatorPanel::Edit:
        p.drawRect(3, 12, 10, 1);
        p.drawPolygon(QPolygonF({{4, 11}, {11, 3}, {13, 5}, {6, 11}}));
        break;
    case NavigatorPanel::Post:
        p.setPen(QPen(ink, 2));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({{3, 8}, {7, 12}, {13, 4}}));
        break;
    case NavigatorPanel::Cancel:
        p.setPen(QPen(ink, 2));
        p.drawLine(4, 4, 12, 12);
        p.drawLine(12, 4, 4, 12);
        break;
    case NavigatorPanel::Refresh:
        p.setPen(QPen(ink, 2));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(3, 3, 10, 10), 30 * 16, 300 * 16);
        break;
    }
    return QIcon(pm);
}

const char* const kHints[NavigatorPanel::ActionCount] = {
    "First record", "Prior record", "Next record", "Last record", "Insert record",
    "Delete record", "Edit record", "Post edit", "Cancel edit", "Refresh data"};

} // namespace

NavigatorPanel::NavigatorPanel(QWidget* parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    rowsArea_ = new QWidget(this);
    auto* rowsLayout = new QVBoxLayout(rowsArea_);
    rowsLayout->setContentsMargins(0, 0, 0, 0);
    rowsLayout->setSpacing(0);
    layout->addWidget(rowsArea_);

    auto* bar = new QWidget(this);
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(0, 1, 0, 0);
    barLayout->setSpacing(0);
    for (int i = 0; i < ActionCount; ++i) {
        auto* b = new QToolButton(bar);
        b->setIcon(navigatorIcon(i));
        b->setToolTip(QString::fromLatin1(kHints[i]));
        b->setProperty("tegaroHint", QString::fromLatin1(kHints[i]));
        b->setAccessibleName(QString::fromLatin1(kHints[i]));
        b->setAutoRaise(false);
        connect(b, &QToolButton::clicked, this, [this, i] { emit actionTriggered(i); });
        buttons_.append(b);
        barLayout->addWidget(b);
    }
    barLayout->addStretch(1);
    layout->addWidget(bar);
    layout->addStretch(1);
}

QLineEdit* NavigatorPanel::addRow(const QString& caption)
{
    auto* row = new QWidget(rowsArea_);
    row->setFixedHeight(RowHeight);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(0);
    auto* label = new QLabel(caption, row);
    label->setFixedWidth(CaptionWidth);
    // Grid lines between the cells.
    label->setStyleSheet(QStringLiteral("QLabel { border: 1px solid #a0a0a0; padding-left: 2px; background: #f0f0f0; }"));
    auto* edit = new QLineEdit(row);
    edit->setFrame(false);
    edit->setStyleSheet(QStringLiteral("QLineEdit { border: 1px solid #a0a0a0; border-left: none; }"));
    label->setBuddy(edit);
    edit->setAccessibleName(caption);
    h->addWidget(label);
    h->addWidget(edit, 1);
    rowsArea_->layout()->addWidget(row);
    rows_.append(edit);
    captions_.append(caption);
    return edit;
}

QString NavigatorPanel::rowCaption(int row) const { return captions_.value(row); }

void NavigatorPanel::setButtonSize(int pixels)
{
    buttonSize_ = pixels;
    for (QToolButton* b : buttons_) {
        b->setFixedSize(pixels, pixels);
        b->setIconSize({pixels - 6, pixels - 6});
    }
}

} // namespace tegaro
