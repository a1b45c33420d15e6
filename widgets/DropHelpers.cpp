#include "widgets/DropHelpers.h"

#include "widgets/EventHook.h"
#include "widgets/ShellListView.h"

#include <QDropEvent>
#include <QWidget>

namespace tegaro {

bool DragSources::accepts(const QObject* source) const
{
    return source && (source == ShellListView1 || source == ShellListView2);
}

QString DraggedItemPath(const QObject* source)
{
    if (auto* list = qobject_cast<const ShellListView*>(source))
        return list->selectedPath();
    return {};
}

void takeListDrops(QWidget* target, std::function<bool(const QObject* source)> accepts,
                   std::function<void(const QObject* source)> dropped)
{
    target->setAcceptDrops(true);
    for (QEvent::Type type : {QEvent::DragEnter, QEvent::DragMove}) {
        onEvent(target, type, [accepts](QEvent* e) {
            auto* drag = static_cast<QDropEvent*>(e);
            if (!drag->source())
                return false; // from another program
            if (accepts(drag->source()))
                drag->acceptProposedAction();
            else
                drag->ignore();
            return true;
        });
    }
    onEvent(target, QEvent::Drop, [dropped](QEvent* e) {
        auto* drop = static_cast<QDropEvent*>(e);
        if (!drop->source())
            return false;
        drop->acceptProposedAction();
        dropped(drop->source());
        return true;
    });
}

} // namespace tegaro
