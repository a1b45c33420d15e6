#include "widgets/Anchors.h"

#include <QRect>
#include <QVariant>
#include <QWidget>

#include <algorithm>

namespace tegaro {

namespace {
const char* const kEdges = "tegaroAnchorEdges";
const char* const kPlace = "tegaroAnchorPlace";
} // namespace

void setAnchors(QWidget* control, Qt::Edges edges)
{
    control->setProperty(kEdges, int(edges));
    control->setProperty(kPlace, control->geometry());
}

void growAnchored(QWidget* root, QSize growth)
{
    const int dx = std::max(growth.width(), 0), dy = std::max(growth.height(), 0);
    for (QWidget* w : root->findChildren<QWidget*>()) {
        const QVariant edges = w->property(kEdges);
        if (!edges.isValid())
            continue;
        const Qt::Edges e(edges.toInt());
        QRect r = w->property(kPlace).toRect();
        if (e & Qt::RightEdge) {
            if (e & Qt::LeftEdge)
                r.setWidth(r.width() + dx);
            else
                r.translate(dx, 0);
        }
        if (e & Qt::BottomEdge) {
            if (e & Qt::TopEdge)
                r.setHeight(r.height() + dy);
            else
                r.translate(0, dy);
        }
        if (w->geometry() != r)
            w->setGeometry(r);
    }
}

} // namespace tegaro
