#pragma once
// The columns of the house list and the texts of its cells: numbers with the
// form's digits grouped by thousands, dates as the form's date pickers show
// them, and a mark for a stored detail sheet or drawing (from its size).
#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>

namespace tegaro {

enum class ListKind {
    Text,
    Number,
    Date,
    Mark
};

struct ListColumn {
    QString field;  // the column of 基本データ
    QString header; // the list's heading
    ListKind kind;
};

// 所有者コード … 登記面積, 備考, then the marks 明細 and 図面.
const QList<ListColumn>& houseListColumns();
// The list's column of a field name, or -1.
int listColumnOf(const QString& field);

// One value of the list, typed as the writers need it.
struct ListCell {
    enum Type {
        Empty,
        Text,
        Number,
        Date,
        Mark
    };
    Type type = Empty;
    QString text;
    double number = 0;
    QDateTime date;

    bool isEmpty() const { return type == Empty; }
};

// A stored value of a column of this kind as a cell. A value that is not
// what its column holds (text in a number column) stays text.
ListCell listCell(ListKind kind, const QVariant& stored);

// The form's digits: up to 15 significant, no trailing zeros.
QString plainNumberText(double value);
// Digits after the point in the form's text, 0 to 15; -1 when the form
// writes the value with an exponent.
int decimalsOf(double value);
// The same, the whole part grouped by thousands: 12,345.5.
QString numberText(double value);
// As the form's date pickers show a date: 2003年4月1日.
QString dateText(const QDateTime& value);
QString markText();

// The text of a cell in the list on screen and on paper.
QString cellText(const ListCell& cell);

} // namespace tegaro
