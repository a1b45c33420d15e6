#pragma once
// Shared by every drop handler of the window: the two file lists are the
// only sources of drags inside it.
#include <QString>

#include <functional>

class QObject;
class QWidget;

namespace tegaro {

class ShellListView;

// The two built-in file lists (sheet files, drawing files).
struct DragSources {
    ShellListView* ShellListView1 = nullptr;
    ShellListView* ShellListView2 = nullptr;
    bool accepts(const QObject* source) const;
};

// Full path of the item selected in the list a drag came from; empty when
// the source is no file list or nothing is selected.
QString DraggedItemPath(const QObject* source);

// Makes target take drags from inside the window: accepts decides while the
// drag moves over it, dropped runs (inside the error guard) on the drop.
// Drags from other programs are left to other handlers.
void takeListDrops(QWidget* target, std::function<bool(const QObject* source)> accepts,
                   std::function<void(const QObject* source)> dropped);

} // namespace tegaro
