#include "widgets/Hint.h"

#include <QVariant>
#include <QWidget>

namespace tegaro {

static const char* const kHintProperty = "tegaroHint";

void setHint(QWidget* widget, const QString& hint, bool tooltip)
{
    widget->setProperty(kHintProperty, hint);
    if (tooltip)
        widget->setToolTip(hint);
}

QString ownHint(const QWidget* widget)
{
    return widget ? widget->property(kHintProperty).toString() : QString();
}

QString effectiveHint(const QWidget* widget)
{
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        const QString hint = ownHint(w);
        if (!hint.isEmpty())
            return hint;
        if (w->isWindow())
            break;
    }
    return {};
}

} // namespace tegaro
