#pragma once
// The side menu every page has at its left edge, and the file list that the
// sheet and drawing pages keep in it.
#include "widgets/SideMenu.h"

namespace tegaro {

class ShellListView;

// A side menu over the page's full height, 140 pixels wide, with one open
// panel of items.
SideMenu* addPageMenu(QWidget* page, const char* objectName, const QString& caption, SideMenu::ItemStyle style,
                      std::initializer_list<SideMenu::ItemSpec> items);

// A closed panel below the items hosting a file list; a right-button release
// in the list goes up one folder.
ShellListView* addFileList(SideMenu* menu, const QString& caption, const char* objectName);

} // namespace tegaro
