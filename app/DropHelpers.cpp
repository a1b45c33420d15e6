#include "app/DropHelpers.h"

#include "widgets/ShellListView.h"

bool DragSources::accepts(const QObject* source) const
{
    return source && (source == ShellListView1 || source == ShellListView2);
}

QString DraggedItemPath(const QObject* source)
{
    if (auto* list = qobject_cast<const tegaro::ShellListView*>(source))
        return list->selectedPath();
    return {};
}
