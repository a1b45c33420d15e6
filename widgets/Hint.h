#pragma once
// Hints: every control may carry one; the hint of the control under the
// mouse goes to status panel 2. Some hints also pop up as tooltips.
#include <QString>

class QWidget;

namespace tegaro {

void setHint(QWidget* widget, const QString& hint, bool tooltip = false);
QString ownHint(const QWidget* widget);
// The hint shown for a widget: its own, else the nearest parent's.
QString effectiveHint(const QWidget* widget);

} // namespace tegaro
