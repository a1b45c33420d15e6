#include "support/LayoutCheck.h"

#include <QLabel>
#include <QWidget>

namespace tegaro {

namespace {

bool isControl(const QWidget* w)
{
    if (w->isHidden() || w->isWindow())
        return false;
    const QString name = w->objectName();
    return qobject_cast<const QLabel*>(w) || (!name.isEmpty() && !name.startsWith(QLatin1String("qt_")));
}

QString nameOf(const QWidget* w)
{
    if (auto* label = qobject_cast<const QLabel*>(w); label && w->objectName().isEmpty())
        return QStringLiteral("label \"%1\"").arg(label->text());
    return w->objectName();
}

QString place(const QRect& r)
{
    return QStringLiteral("(%1, %2, %3 x %4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

void check(const QWidget* parent, QStringList& faults)
{
    QList<const QWidget*> controls;
    for (const QObject* child : parent->children()) {
        auto* w = qobject_cast<const QWidget*>(child);
        if (!w || w->isHidden() || w->isWindow())
            continue;
        check(w, faults);
        if (!isControl(w))
            continue;
        if (!parent->rect().contains(w->geometry()))
            faults << QStringLiteral("%1 %2 sticks out of %3 %4")
                          .arg(nameOf(w), place(w->geometry()), nameOf(parent), place(parent->rect()));
        for (const QWidget* other : std::as_const(controls))
            if (w->geometry().intersects(other->geometry()))
                faults << QStringLiteral("%1 %2 lies over %3 %4")
                              .arg(nameOf(w), place(w->geometry()), nameOf(other), place(other->geometry()));
        controls << w;
    }
}

} // namespace

QStringList layoutFaults(const QWidget* root)
{
    QStringList faults;
    check(root, faults);
    return faults;
}

} // namespace tegaro
