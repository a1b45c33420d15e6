#include "widgets/HintTracker.h"

#include "widgets/Hint.h"

#include <QApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QWidget>

namespace tegaro {

HintTracker::HintTracker(QObject* parent) : QObject(parent) {}

void HintTracker::install() { qApp->installEventFilter(this); }

void HintTracker::hover(QWidget* widget)
{
    last_ = widget;
    const QString hint = effectiveHint(widget);
    if (hint == hint_ && !first_)
        return;
    first_ = false;
    hint_ = hint;
    emit hintChanged(hint_);
}

bool HintTracker::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Enter:
    case QEvent::MouseMove:
        if (auto* w = qobject_cast<QWidget*>(watched)) {
            // Enter arrives for parents too; the widget that counts is the
            // innermost one under the pointer.
            QWidget* under = QApplication::widgetAt(QCursor::pos());
            if (!under || !w->isAncestorOf(under))
                under = w;
            if (under != last_)
                hover(under);
        }
        break;
    default:
        break;
    }
    return false;
}

} // namespace tegaro
