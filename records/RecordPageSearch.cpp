// The search tabs of the record page: owner name, district, survey dates
// and memo.
#include "records/RecordPage.h"

#include "core/ErrorGuard.h"
#include "db/DataAccess.h"
#include "records/RecordSearch.h"
#include "widgets/data/DataControls.h"
#include "widgets/DateTimePicker.h"
#include "widgets/EventHook.h"
#include "widgets/Hint.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>

namespace tegaro {

namespace {
QLabel* labelFor(QWidget* parent, const QString& text, QWidget* buddy, int x, int y)
{
    auto* label = new QLabel(text, parent);
    label->move(x, y);
    label->adjustSize();
    label->setBuddy(buddy);
    return label;
}
} // namespace

void RecordPage::buildSearchTabs(QWidget* strip)
{
    PageControl2 = new QTabWidget(strip);
    PageControl2->setObjectName(QStringLiteral("PageControl2"));
    PageControl2->setTabPosition(QTabWidget::South);
    PageControl2->setDocumentMode(false);
    PageControl2->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 1px 5px; height: 18px; }"));
    setHint(PageControl2, QStringLiteral("検索！"));

    auto* name = new QWidget;
    name->setObjectName(QStringLiteral("TabSheet4"));
    setHint(name, QStringLiteral("実行[Ret]で検索開始！"));
    Edit1 = new QLineEdit(name);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(64, 8, 133, 20);
    setHint(Edit1, QStringLiteral("実行ｷｰで曖昧検索/空白で最初に戻ります。"));
    labelFor(name, QStringLiteral("[氏名]"), Edit1, 16, 11);

    auto* district = new QWidget;
    district->setObjectName(QStringLiteral("TabSheet5"));
    DBLookupComboPlus1 = new QComboBox(district);
    DBLookupComboPlus1->setObjectName(QStringLiteral("DBLookupComboPlus1"));
    DBLookupComboPlus1->setEditable(true);
    DBLookupComboPlus1->setMaxVisibleItems(12);
    // Each typed character is a search of its own; no completion in between.
    DBLookupComboPlus1->setCompleter(nullptr);
    DBLookupComboPlus1->setGeometry(80, 7, 150, 22);
    setHint(DBLookupComboPlus1, QStringLiteral("所在区検索!/ダブルクリックで全体を表示します。"), true);
    labelFor(district, QStringLiteral("[行政区名]"), DBLookupComboPlus1, 10, 11);

    auto* dates = new QWidget;
    dates->setObjectName(QStringLiteral("TabSheet6"));
    DateTimePicker1 = new DateTimePicker(QDateTime(QDate(2002, 10, 13), QTime(22, 22, 32)), dates);
    DateTimePicker1->setObjectName(QStringLiteral("DateTimePicker1"));
    DateTimePicker2 = new DateTimePicker(QDateTime(QDate(2002, 10, 13), QTime(22, 22, 55)), dates);
    DateTimePicker2->setObjectName(QStringLiteral("DateTimePicker2"));
    setHint(DateTimePicker2, QStringLiteral("ここをクリックで検索開始！"));
    DateTimePicker1->setGeometry(36, 8, 85, 20);
    DateTimePicker2->setGeometry(164, 8, 85, 20);
    labelFor(dates, QStringLiteral("開始:"), DateTimePicker1, 6, 11);
    labelFor(dates, QStringLiteral("終了:"), DateTimePicker2, 134, 11);

    auto* memo = new QWidget;
    memo->setObjectName(QStringLiteral("TabSheet7"));
    setHint(memo, QStringLiteral("実行キーで開始！"));
    Edit2 = new QLineEdit(memo);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setGeometry(64, 8, 153, 20);
    labelFor(memo, QStringLiteral("[備考]"), Edit2, 16, 11);

    PageControl2->addTab(name, QStringLiteral("氏名検索"));
    PageControl2->addTab(district, QStringLiteral("行政区検索"));
    PageControl2->addTab(dates, QStringLiteral("日付検索"));
    PageControl2->addTab(memo, QStringLiteral("備考検索"));
    PageControl2->setCurrentIndex(0);
}

void RecordPage::wireSearch()
{
    search_ = std::make_unique<RecordSearch>(*data_.ADOQuery1);
    RecordSearch* search = search_.get();
    // Enter, whatever the shift state, is key code 13 to the search.
    auto keyDown = [](QLineEdit* edit, void (RecordSearch::*handler)(int, const QString&), RecordSearch* target) {
        onEvent(edit, QEvent::KeyPress, [=](QEvent* e) {
            const int key = static_cast<QKeyEvent*>(e)->key();
            (target->*handler)(key == Qt::Key_Return || key == Qt::Key_Enter ? 13 : key, edit->text());
            return false;
        });
    };
    keyDown(Edit1, &RecordSearch::Edit1KeyDown, search);
    keyDown(Edit2, &RecordSearch::Edit2KeyDown, search);

    // The district list comes from the district table whenever it opens.
    districtList_ = std::make_unique<ColumnListLink>(DBLookupComboPlus1, data_.DataSource2, QStringLiteral("所在区"));
    // Every change of the text searches: a chosen entry, each typed character.
    connect(DBLookupComboPlus1, &QComboBox::currentTextChanged, this, [search](const QString& text) {
        guarded([&] { search->DBLookupComboPlus1Change(text); });
    });
    onEvent(DBLookupComboPlus1->lineEdit(), QEvent::MouseButtonDblClick, [search](QEvent*) {
        search->DBLookupComboPlus1DblClick();
        return false;
    });
    // A click lands on the picker's arrow or on its text.
    auto dateClick = [this, search](QEvent*) {
        search->DateTimePicker2Click(DateTimePicker1->value(), DateTimePicker2->value());
        return false;
    };
    onEvent(DateTimePicker2, QEvent::MouseButtonRelease, dateClick);
    if (QLineEdit* pickerText = DateTimePicker2->findChild<QLineEdit*>())
        onEvent(pickerText, QEvent::MouseButtonRelease, dateClick);
}

} // namespace tegaro
