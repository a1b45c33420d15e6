#include "records/RecordPage.h"

#include "db/DataAccess.h"
#include "records/NavigatorLink.h"
#include "records/RecordForm.h"
#include "records/RecordSearch.h"
#include "core/ErrorGuard.h"
#include "widgets/data/DataControls.h"
#include "widgets/UserSeam.h"
#include "widgets/EventHook.h"
#include "widgets/NavigatorPanel.h"
#include "widgets/PageMenu.h"

#include <QPushButton>

namespace tegaro {

RecordPage::RecordPage(QWidget* page, DataAccess& data, const AttachmentIndicators& marks)
    : QObject(page), data_(data)
{
    InspectorBar1 = addPageMenu(page, "InspectorBar1", QStringLiteral("メニュー"), SideMenu::ItemStyle::LargeIcons,
                                {{"基本項目", "menu-record"}, {"評点明細", "menu-sheet"}, {"家屋図面", "menu-drawing"}, {"サーバー接続", "menu-connect"}, {"システム終了", "menu-exit"}});
    form_ = new RecordForm(page, data.DataSource1, data.DataSource2);
    indicators_ = std::make_unique<IndicatorLink>(data.DataSource1, marks);
    // Told once the operation that found it is over, not in its middle.
    connect(
        data.ADOQuery1, &RecordSet::notice, this, [](const QString& text) { seam().message(text); }, Qt::QueuedConnection);
}

// The links let go of their data sources before the controls go.
RecordPage::~RecordPage() = default;

void RecordPage::buildStrip(QWidget* strip)
{
    DBInspectorBar1 = new NavigatorPanel(strip);
    DBInspectorBar1->setObjectName(QStringLiteral("DBInspectorBar1"));
    DBInspectorBar1->addRow(QStringLiteral("所有者コード"));
    DBInspectorBar1->addRow(QStringLiteral("氏名"));
    navigatorLink_ = std::make_unique<NavigatorLink>(DBInspectorBar1, data_.DataSource1);

    buildSearchTabs(strip);
    wireSearch();
}

void RecordPage::connectTransfer(CellTextSource cellText)
{
    transfer_ = std::make_unique<SheetTransfer>(*form_, std::move(cellText));
    SheetTransfer* transfer = transfer_.get();
    connect(form_->transferButton(), &QPushButton::clicked, this,
            [transfer] { guarded([=] { transfer->FlatButton1Click(); }); });
    const struct {
        const char* box;
        void (SheetTransfer::*handler)();
    } copies[] = {
        {"DBEdit19", &SheetTransfer::DBEdit19DblClick},
        {"DBEdit20", &SheetTransfer::DBEdit20DblClick},
        {"DBEdit22", &SheetTransfer::DBEdit22DblClick},
    };
    for (const auto& c : copies) {
        onEvent(form_->control(QString::fromLatin1(c.box)), QEvent::MouseButtonDblClick,
                [transfer, handler = c.handler](QEvent*) {
                    (transfer->*handler)();
                    return false;
                });
    }
}

} // namespace tegaro
