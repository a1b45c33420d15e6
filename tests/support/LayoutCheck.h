#pragma once
// Looks for what a user would see as a broken layout: a control sticking out
// of the widget that holds it (so part of it is cut off), or two controls
// lying over each other. Controls are the widgets with a name of our own and
// every label; hidden ones and Qt's inner parts are left out.
#include <QStringList>

class QWidget;

namespace tegaro {

QStringList layoutFaults(const QWidget* root);

} // namespace tegaro
