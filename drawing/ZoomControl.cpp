#include "drawing/ZoomControl.h"

namespace tegaro {

std::optional<ZoomStep> zoomClick(double& zoom, Qt::MouseButton button)
{
    QString status;
    if (button == Qt::RightButton) {
        zoom = zoom - 0.1;
        if (zoom < 0.3) {
            zoom = 0.5;
            status = QStringLiteral("縮小限度！");
        } else {
            status = QStringLiteral("縮小！");
        }
    } else if (button == Qt::LeftButton || button == Qt::MiddleButton) {
        zoom = zoom + 0.1;
        status = QStringLiteral("拡大！");
    } else {
        return std::nullopt;
    }
    return ZoomStep{QString::asprintf(" %1.2f", zoom), status};
}

int floorForTab(int tabIndex, int currentFloor)
{
    return (tabIndex >= 0 && tabIndex <= 2) ? tabIndex + 1 : currentFloor;
}

} // namespace tegaro
