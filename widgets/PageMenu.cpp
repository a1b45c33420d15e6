#include "widgets/PageMenu.h"

#include "widgets/Anchors.h"
#include "widgets/ShellListView.h"

namespace tegaro {

SideMenu* addPageMenu(QWidget* page, const char* objectName, const QString& caption, SideMenu::ItemStyle style,
                      std::initializer_list<SideMenu::ItemSpec> items)
{
    auto* menu = new SideMenu(page);
    menu->setObjectName(QString::fromLatin1(objectName));
    menu->setGeometry(0, 0, 140, 452);
    setAnchors(menu, Qt::LeftEdge | Qt::TopEdge | Qt::BottomEdge);
    menu->addItems(menu->addItemPanel(caption, style), items);
    return menu;
}

ShellListView* addFileList(SideMenu* menu, const QString& caption, const char* objectName)
{
    auto* list = new ShellListView;
    list->setObjectName(QString::fromLatin1(objectName));
    menu->addHostPanel(caption, list, false);
    QObject::connect(list, &ShellListView::mouseUp, list, [list](Qt::MouseButton button) {
        if (button == Qt::RightButton)
            list->goUp();
    });
    return list;
}

} // namespace tegaro
