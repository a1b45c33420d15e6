#pragma once
// Shared by every drop handler of the window.
#include <QString>

class QObject;

namespace tegaro {
class ShellListView;
}

// The two built-in file lists, the only drag sources of the window.
struct DragSources {
    tegaro::ShellListView* ShellListView1 = nullptr;
    tegaro::ShellListView* ShellListView2 = nullptr;
    bool accepts(const QObject* source) const;
};

// Full path of the item selected in the list a drag came from; empty when
// the source is no file list or nothing is selected.
QString DraggedItemPath(const QObject* source);
