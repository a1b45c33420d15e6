#pragma once
// Zoom clicks on the drawing canvas and the floor chosen with the tabs.
#include <QString>
#include <Qt>

#include <optional>

namespace tegaro {

// What ZoomDisp shows before the first zoom click.
inline const QString kInitialZoomText = QStringLiteral("0.5");

struct ZoomStep {
    QString zoomText;   // for ZoomDisp, " %1.2f"
    QString statusText; // for status panel 2, set after the redraw
};

// One click on the canvas: the left or middle button zooms in by 0.1, the
// right one out by 0.1 (below 0.3 it goes back to 0.5). Other buttons change
// nothing and give no step. The caller redraws, then shows the status text.
std::optional<ZoomStep> zoomClick(double& zoom, Qt::MouseButton button);

// The floor for the active tab index of the floor tabs (0..2 = 1F..3F);
// any other index keeps the current floor.
int floorForTab(int tabIndex, int currentFloor);

} // namespace tegaro
