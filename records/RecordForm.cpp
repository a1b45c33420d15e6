#include "records/RecordForm.h"

#include "widgets/data/DataControls.h"
#include "widgets/Hint.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace tegaro {

namespace {

enum class Kind {
    Edit,
    Memo,
    FreeList,
    FixedList,
    Lookup,
    Date
};
enum class Colour {
    Window,
    Menu,
    Light3D
};

struct ControlSpec {
    const char* name;
    Kind kind;
    const char* column;
    const char* label;
    const char* hint;
    Colour colour = Colour::Window;
    QStringList items = {};
    QTime time = {};
};

struct GroupLayout {
    const char* name;
    const char* caption;
    QRect rect;
    int columns;                 // controls per column before the next column starts
    QList<ControlSpec> controls; // in place order
    QStringList tabOrder;        // object names
};

QColor colourOf(Colour c)
{
    // The system menu colour and the light 3D colour of the classic scheme.
    switch (c) {
    case Colour::Menu: return QColor(0xD4, 0xD0, 0xC8);
    case Colour::Light3D: return QColor(0xE8, 0xE6, 0xE0);
    case Colour::Window: break;
    }
    return {};
}

QStringList yearList()
{
    QStringList years;
    for (int y = 11; y <= 20; ++y)
        years << QString::number(y);
    return years;
}

QList<GroupLayout> groups()
{
    const QStringList kinds = {"専住", "共住", "事務所", "店舗"};
    return {
        {"GroupBox12", "基本項目", {196, 18, 229, 197}, 6, {{"DBEdit27", Kind::Edit, "No", "No", "整理番号"}, {"DBEdit9", Kind::Edit, "所有者コード", "所有者コード", "住民基本所有者コード"}, {"DBLookupComboBox1", Kind::Lookup, "所在区", "所在区", "行政区"}, {"DBEdit10", Kind::Edit, "所有者氏名", "所有者氏名", "家屋所有者", Colour::Menu}, {"DBEdit11", Kind::Edit, "所有者住所", "所有者住所", "所有者住所", Colour::Light3D}, {"DBEdit16", Kind::Edit, "所在地番", "所在地番", "家屋の所在地", Colour::Light3D}}, {"DBEdit9", "DBEdit10", "DBEdit11", "DBEdit16", "DBEdit27", "DBLookupComboBox1"}},
        {"GroupBox15", "調査項目", {196, 232, 229, 129}, 2, {{"DBDateTimePicker1", Kind::Date, "日付", "日付", "家屋調査日", Colour::Window, {}, QTime(16, 1, 0)}, {"DBMemo1", Kind::Memo, "備考", "備考", "メモ"}}, {"DBMemo1", "DBDateTimePicker1"}},
        {"GroupBox13", "家屋項目", {480, 18, 333, 197}, 5, {{"DBEdit1", Kind::Edit, "１Ｆ", "１Ｆ", "１Ｆ面積", Colour::Menu}, {"DBEdit2", Kind::Edit, "２Ｆ", "２Ｆ", "２Ｆ面積", Colour::Menu}, {"DBEdit26", Kind::Edit, "床面積", "床面積", "延床面積", Colour::Menu}, {"DBComboBox3", Kind::FixedList, "新増改築", "新増改", "新増改築区分", Colour::Window, {"新", "増", "改"}}, {"DBComboBox6", Kind::FreeList, "構造", "構造", "家屋構造", Colour::Window, RecordForm::structureList()}, {"DBComboBox5", Kind::FreeList, "種類", "種類", "家屋種類", Colour::Window, kinds}, {"DBComboBox1", Kind::FreeList, "除外", "除外", "棟数除外", Colour::Window, {"0", "1"}}, {"DBComboBox2", Kind::FreeList, "新築軽減", "新築軽減", "１６条新築家屋軽減区分"}, {"DBEdit25", Kind::Edit, "評点数", "評点数", "再建築評点数/㎡", Colour::Menu}, {"DBComboBox4", Kind::FreeList, "建年", "建年", "建築年", Colour::Window, yearList()}}, {"DBEdit1", "DBEdit2", "DBEdit25", "DBEdit26", "DBComboBox3", "DBComboBox1", "DBComboBox2", "DBComboBox4", "DBComboBox5", "DBComboBox6"}},
        {"GroupBox14", "登記項目", {480, 232, 333, 196}, 4, {{"DBEdit3", Kind::Edit, "家屋番号", "家屋番号", "登記の家屋番号"}, {"DBComboBox7", Kind::FreeList, "持分１", "持分１", "登記持ち分", Colour::Window, RecordForm::shareList()}, {"DBComboBox8", Kind::FreeList, "持分２", "持分２", "登記持ち分", Colour::Window, RecordForm::shareList()}, {"DBComboBox9", Kind::FreeList, "持分３", "持分３", "登記持ち分", Colour::Window, RecordForm::shareList()}, {"DBEdit19", Kind::Edit, "登記１Ｆ", "登記１Ｆ", "ダブルクリックで１Ｆを転記！", Colour::Light3D}, {"DBEdit20", Kind::Edit, "登記２Ｆ", "登記２Ｆ", "ダブルクリックで２Ｆを転記！", Colour::Light3D}, {"DBEdit22", Kind::Edit, "登記面積", "登記面積", "ダブルクリックで床面積を転記！", Colour::Light3D}, {"DBComboBox10", Kind::FreeList, "登記種類", "登記種類", "登記種類", Colour::Window, {"居宅", "共同住宅", "事務所", "店舗"}}, {"DBDateTimePicker2", Kind::Date, "有効開始", "有効開始", "有効開始日", Colour::Window, {}, QTime(16, 8, 6)}, {"DBDateTimePicker3", Kind::Date, "登記日", "登記日", "登記日", Colour::Window, {}, QTime(16, 9, 13)}}, {"DBEdit3", "DBEdit19", "DBEdit20", "DBEdit22", "DBComboBox7", "DBComboBox8", "DBComboBox9", "DBComboBox10", "DBDateTimePicker2", "DBDateTimePicker3"}},
    };
}

} // namespace

const QStringList& RecordForm::structureList()
{
    static const QStringList list = {
        "木ス２", "木瓦２", "木セ２", "木ス平", "木瓦平", "木セ平", "---",
        "木ﾌﾟﾚｽ２", "木ﾌﾟﾚ瓦２", "木ﾌﾟﾚセ２", "木ﾌﾟﾚ亜２", "木ﾌﾟﾚｽ平", "木ﾌﾟﾚ瓦平", "木ﾌﾟﾚセ平", "木ﾌﾟﾚ亜平", "---",
        "LGﾌﾟﾚｽ２", "LGﾌﾟﾚ瓦２", "LGﾌﾟﾚセ２", "LGﾌﾟﾚ亜２", "LGﾌﾟﾚｽ平", "LGﾌﾟﾚ瓦平", "LGﾌﾟﾚセ平", "LGﾌﾟﾚ亜平", "---",
        "RCﾌﾟﾚ陸２", "RCﾌﾟﾚ亜２", "RCﾌﾟﾚ陸平", "RCﾌﾟﾚ亜平"};
    return list;
}

const QStringList& RecordForm::shareList()
{
    static const QStringList list = {"1/2", "1/3", "1/4", "1/5", "2/3", "3/4", "2/5", "3/5", "4/5"};
    return list;
}

RecordForm::RecordForm(QWidget* page, DataSource* DataSource1, DataSource* DataSource2) : QObject(page)
{
    QList<QWidget*> pageOrder;
    for (const GroupLayout& g : groups()) {
        auto* box = new QGroupBox(QString::fromUtf8(g.caption), page);
        box->setObjectName(QString::fromLatin1(g.name));
        box->setGeometry(g.rect);
        setHint(box, box->title());
        // Columns of g.columns controls side by side; what is left over goes
        // in rows below them, two to a row.
        const int count = int(g.controls.size());
        const bool twoColumns = count > g.columns;
        const int columnWidth = twoColumns ? g.rect.width() / 2 : g.rect.width();
        const int rows = count <= 2 * g.columns ? g.columns : g.columns + (count - 2 * g.columns + 1) / 2;
        const int pitch = std::min(34, (g.rect.height() - 28) / rows);
        for (int i = 0; i < count; ++i) {
            const ControlSpec& c = g.controls[i];
            int row = i % g.columns, column = i / g.columns;
            if (i >= 2 * g.columns) {
                row = g.columns + (i - 2 * g.columns) / 2;
                column = (i - 2 * g.columns) % 2;
            }
            const QString name = QString::fromLatin1(c.name);
            const QString field = QString::fromUtf8(c.column);
            QWidget* w = nullptr;
            TextLink* link = nullptr;
            switch (c.kind) {
            case Kind::Edit: {
                auto* e = new DBEdit(DataSource1, field, box);
                link = e->link();
                w = e;
                break;
            }
            case Kind::Memo: {
                auto* m = new DBMemo(DataSource1, field, box);
                link = m->link();
                w = m;
                break;
            }
            case Kind::FreeList:
            case Kind::FixedList: {
                auto* cb = new DBComboBox(DataSource1, field, c.kind == Kind::FreeList ? DBComboBox::FreeText : DBComboBox::FixedList,
                                          c.items, box);
                link = cb->link();
                w = cb;
                break;
            }
            case Kind::Lookup: {
                auto* cb = new DBLookupComboBox(DataSource1, field, DataSource2, QStringLiteral("所在区"), box);
                link = cb->link();
                w = cb;
                break;
            }
            case Kind::Date:
                w = new DBDateTimePicker(DataSource1, field, QDateTime(QDate::currentDate(), c.time), box);
                break;
            }
            w->setObjectName(name);
            setHint(w, QString::fromUtf8(c.hint));
            if (c.colour != Colour::Window) {
                QPalette pal = w->palette();
                pal.setColor(QPalette::Base, colourOf(c.colour));
                w->setPalette(pal);
            }
            auto* label = new QLabel(QString::fromUtf8(c.label), box);
            label->setBuddy(w);
            const int x = column * columnWidth + 8;
            const int labelWidth = twoColumns ? 50 : 70;
            const int top = 20 + row * pitch;
            label->setGeometry(x, top + 3, labelWidth, 16);
            int width = columnWidth - labelWidth - 16;
            int height = 22;
            if (c.kind == Kind::Memo) {
                width = 149;
                height = 43;
            } else if (name == QLatin1String("DBEdit27")) {
                width = 53;
            }
            w->setGeometry(x + labelWidth, top, width, height);
            controls_.insert(name, w);
            if (link)
                links_.insert(name, link);
        }
        for (const QString& n : g.tabOrder)
            pageOrder << controls_.value(n);
        if (g.name == QLatin1String("GroupBox15")) {
            FlatButton1 = new QPushButton(QStringLiteral("明細から転記"), page);
            FlatButton1->setObjectName(QStringLiteral("FlatButton1"));
            FlatButton1->setGeometry(205, 387, 120, 36);
            FlatButton1->setFlat(true);
            setHint(FlatButton1, QStringLiteral("氏名・面積・評点数の転記!"), true);
            pageOrder << FlatButton1;
        }
    }
    for (int i = 0; i + 1 < pageOrder.size(); ++i)
        QWidget::setTabOrder(pageOrder[i], pageOrder[i + 1]);
}

} // namespace tegaro
