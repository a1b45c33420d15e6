#include "sheets/page/SheetPage.h"

#include "sheets/view/TF5Book.h"
#include "widgets/Hint.h"
#include "widgets/PageMenu.h"

namespace tegaro::sheets {

SheetPage::SheetPage(QWidget* page) : QObject(page)
{
    InspectorBar2 = addPageMenu(page, "InspectorBar2", QStringLiteral("明細メニュー"), SideMenu::ItemStyle::SmallIcons,
                                {{"明細表示", "item-show"}, {"明細消去", "item-clear"},
                                 {"明細登録", "item-register"}, {"明細書出", "item-export"}});
    ShellListView1 = addFileList(InspectorBar2, QStringLiteral("明細ファイル"), "ShellListView1");

    F5Book1 = new TF5Book(page);
    F5Book1->setObjectName(QStringLiteral("F5Book1"));
    F5Book1->setGeometry(148, 8, 710, 433);
    setHint(F5Book1, QStringLiteral("明細シートのドロップが出来ます。"));
}

} // namespace tegaro::sheets
