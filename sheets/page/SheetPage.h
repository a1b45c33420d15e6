#pragma once
// Page 評点明細: the sheet side menu with its file list, and the sheet
// control F5Book1.
#include <QObject>

class QWidget;

namespace tegaro {
class ShellListView;
class SideMenu;
} // namespace tegaro

namespace tegaro::sheets {

class TF5Book;

class SheetPage : public QObject {
    Q_OBJECT
public:
    explicit SheetPage(QWidget* page);

    SideMenu* sideMenu() const { return InspectorBar2; }
    ShellListView* fileList() const { return ShellListView1; }
    TF5Book* book() const { return F5Book1; }

private:
    SideMenu* InspectorBar2 = nullptr;
    ShellListView* ShellListView1 = nullptr;
    TF5Book* F5Book1 = nullptr;
};

} // namespace tegaro::sheets
