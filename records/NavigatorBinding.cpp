#include "records/NavigatorBinding.h"

#include "core/ErrorGuard.h"
#include "core/UserSeam.h"
#include "db/DataSource.h"
#include "widgets/DataControls.h"
#include "widgets/NavigatorPanel.h"

#include <QObject>
#include <QToolButton>

using tegaro::NavigatorPanel;

void bindNavigator(NavigatorPanel* nav, tegaro::DataSource* source)
{
    tegaro::bindLineEdit(nav->rowEditor(0), source, QStringLiteral("所有者コード"));
    tegaro::bindLineEdit(nav->rowEditor(1), source, QStringLiteral("所有者氏名"));

    auto enable = [nav, source] {
        tegaro::RecordSet* set = source->dataSet();
        const bool open = set && set->isOpen();
        const bool editing = open && (set->state() == tegaro::DataSetState::Edit || set->state() == tegaro::DataSetState::Insert);
        const bool any = open && !set->isEmpty();
        nav->button(NavigatorPanel::First)->setEnabled(any && !set->bof());
        nav->button(NavigatorPanel::Prior)->setEnabled(any && !set->bof());
        nav->button(NavigatorPanel::Next)->setEnabled(any && !set->eof());
        nav->button(NavigatorPanel::Last)->setEnabled(any && !set->eof());
        nav->button(NavigatorPanel::Insert)->setEnabled(open);
        nav->button(NavigatorPanel::Delete)->setEnabled(any);
        nav->button(NavigatorPanel::Edit)->setEnabled(open && !editing);
        nav->button(NavigatorPanel::Post)->setEnabled(editing);
        nav->button(NavigatorPanel::Cancel)->setEnabled(editing);
        nav->button(NavigatorPanel::Refresh)->setEnabled(open);
    };
    QObject::connect(source, &tegaro::DataSource::stateChanged, nav, enable);
    QObject::connect(source, &tegaro::DataSource::dataChanged, nav, enable);
    enable();

    QObject::connect(nav, &NavigatorPanel::actionTriggered, nav, [source](int action) {
        tegaro::guarded([&] {
            tegaro::RecordSet* set = source->dataSet();
            if (!set)
                return;
            switch (action) {
            case NavigatorPanel::First: set->first(); break;
            case NavigatorPanel::Prior: set->prior(); break;
            case NavigatorPanel::Next: set->next(); break;
            case NavigatorPanel::Last: set->last(); break;
            case NavigatorPanel::Insert: set->insert(); break;
            case NavigatorPanel::Delete:
                if (tegaro::seam().confirm(QStringLiteral("削除"), QStringLiteral("レコードを削除しますか？")))
                    set->deleteRecord();
                break;
            case NavigatorPanel::Edit: set->edit(); break;
            case NavigatorPanel::Post: set->post(); break;
            case NavigatorPanel::Cancel: set->cancel(); break;
            case NavigatorPanel::Refresh: set->refresh(); break;
            }
        });
    });
}
