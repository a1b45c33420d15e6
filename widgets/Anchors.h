#pragma once
// Controls are placed at the window's designed size, which is its smallest.
// Made larger, a control anchored to two opposite edges stretches with them,
// one anchored to the right or bottom edge only moves along with it, and
// the rest keep their places at the top left.
#include <QSize>
#include <Qt>

class QWidget;

namespace tegaro {

// Anchors a control, placed at its designed place, to the given edges of
// its parent. The parent must grow as the window does.
void setAnchors(QWidget* control, Qt::Edges edges);

// Places every anchored control below root for a window `growth` larger
// than designed (a negative growth counts as none).
void growAnchored(QWidget* root, QSize growth);

} // namespace tegaro
