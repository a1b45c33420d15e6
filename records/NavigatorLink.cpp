#include "records/NavigatorLink.h"

#include "core/ErrorGuard.h"
#include "widgets/UserSeam.h"
#include "db/DataSource.h"
#include "widgets/data/DataControls.h"
#include "widgets/NavigatorPanel.h"

#include <QToolButton>

namespace tegaro {

NavigatorLink::NavigatorLink(NavigatorPanel* nav, DataSource* source) : nav_(nav), source_(source)
{
    bindLineEdit(nav->rowEditor(0), source, QStringLiteral("所有者コード"));
    bindLineEdit(nav->rowEditor(1), source, QStringLiteral("所有者氏名"));
    source_->addLink(this);
    enableButtons();
    QObject::connect(nav, &NavigatorPanel::actionTriggered, nav,
                     [this](int action) { guarded([&] { run(action); }); });
}

NavigatorLink::~NavigatorLink()
{
    if (source_)
        source_->removeLink(this);
}

void NavigatorLink::enableButtons()
{
    RecordSet* set = source_ ? source_->dataSet() : nullptr;
    const bool open = set && set->isOpen();
    const bool editing = open && (set->state() == DataSetState::Edit || set->state() == DataSetState::Insert);
    const bool any = open && !set->isEmpty();
    nav_->button(NavigatorPanel::First)->setEnabled(any && !set->bof());
    nav_->button(NavigatorPanel::Prior)->setEnabled(any && !set->bof());
    nav_->button(NavigatorPanel::Next)->setEnabled(any && !set->eof());
    nav_->button(NavigatorPanel::Last)->setEnabled(any && !set->eof());
    nav_->button(NavigatorPanel::Insert)->setEnabled(open);
    nav_->button(NavigatorPanel::Delete)->setEnabled(any);
    nav_->button(NavigatorPanel::Edit)->setEnabled(open && !editing);
    nav_->button(NavigatorPanel::Post)->setEnabled(editing);
    nav_->button(NavigatorPanel::Cancel)->setEnabled(editing);
    nav_->button(NavigatorPanel::Refresh)->setEnabled(open);
}

void NavigatorLink::run(int action)
{
    RecordSet* set = source_ ? source_->dataSet() : nullptr;
    if (!set)
        return;
    switch (action) {
    case NavigatorPanel::First: set->first(); break;
    case NavigatorPanel::Prior: set->prior(); break;
    case NavigatorPanel::Next: set->next(); break;
    case NavigatorPanel::Last: set->last(); break;
    case NavigatorPanel::Insert: set->insert(); break;
    case NavigatorPanel::Delete:
        if (seam().confirm(QStringLiteral("削除"), QStringLiteral("レコードを削除しますか？")))
            set->deleteRecord();
        break;
    case NavigatorPanel::Edit: set->edit(); break;
    case NavigatorPanel::Post: set->post(); break;
    case NavigatorPanel::Cancel: set->cancel(); break;
    case NavigatorPanel::Refresh:
        // After a refused post the user chooses: the other user's record,
        // or the values typed (still in edit, to post again or cancel).
        if (!set->hasConflict())
            set->refresh();
        else if (seam().confirm(QStringLiteral("更新"), QStringLiteral("他のユーザーの変更を読み込みますか？入力した内容は破棄されます。")))
            set->refreshRecord();
        break;
    }
}

} // namespace tegaro
