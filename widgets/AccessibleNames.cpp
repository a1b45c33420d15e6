#include "widgets/AccessibleNames.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>

namespace tegaro {

void applyAccessibleNames(QWidget* root)
{
    // Buddies first: a label names the control it stands for.
    for (QLabel* label : root->findChildren<QLabel*>()) {
        if (QWidget* buddy = label->buddy(); buddy && buddy->accessibleName().isEmpty())
            buddy->setAccessibleName(label->text().remove(u'&'));
    }
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (!w->accessibleName().isEmpty())
            continue;
        QString name;
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            name = b->text().remove(u'&');
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            name = g->title();
        else if (auto* l = qobject_cast<QLabel*>(w))
            name = l->text();
        if (name.isEmpty())
            name = w->objectName();
        if (!name.isEmpty())
            w->setAccessibleName(name);
    }
}

} // namespace tegaro
