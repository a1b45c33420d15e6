#include "records/list/ListRows.h"

#include "db/RecordSet.h"

#include <algorithm>
#include <cmath>

namespace tegaro {

RecordSetRows::RecordSetRows(const RecordSet& set) : set_(set)
{
    for (const ListColumn& c : houseListColumns())
        fields_.push_back(set.fieldIndex(c.field));
}

int RecordSetRows::count() const
{
    return order_.empty() ? set_.recordCount() : int(order_.size());
}

QList<int> ListRows::columns() const
{
    if (!columns_.isEmpty())
        return columns_;
    QList<int> all;
    for (int c = 0; c < houseListColumns().size(); ++c)
        all << c;
    return all;
}

void RecordSetRows::setOrder(std::vector<int> order)
{
    order_ = std::move(order);
    listRows_.assign(order_.size(), -1);
    for (size_t i = 0; i < order_.size(); ++i)
        if (order_[i] >= 0 && size_t(order_[i]) < listRows_.size())
            listRows_[size_t(order_[i])] = int(i);
}

int RecordSetRows::listRow(int setRow) const
{
    if (order_.empty())
        return setRow;
    return setRow >= 0 && size_t(setRow) < listRows_.size() ? listRows_[size_t(setRow)] : -1;
}

ListCell RecordSetRows::cell(int row, int column) const
{
    const int field = fields_[size_t(column)];
    if (field < 0)
        return {};
    return listCell(houseListColumns()[column].kind, set_.valueAt(setRow(row), field));
}

ListTable::ListTable(const RecordSet& set, const QList<int>& columns, std::vector<int> order)
    : rows_(set.recordCount()), columns_(houseListColumns().size()), order_(std::move(order))
{
    setColumns(columns);
    QList<int> fields, read;
    for (int c : columns) {
        const int field = set.fieldIndex(houseListColumns()[c].field);
        if (field < 0 || read.contains(c))
            continue;
        fields << field;
        read << c;
        Column& column = columns_[size_t(c)];
        column.types.assign(size_t(rows_), quint8(ListCell::Empty));
        const ListKind kind = houseListColumns()[c].kind;
        if (kind == ListKind::Number || kind == ListKind::Date)
            column.numbers.assign(size_t(rows_), 0);
    }
    if (fields.isEmpty())
        return;
    set.readColumns(fields, [&](int row, const QVariantList& values) {
        for (int i = 0; i < read.size(); ++i)
            keep(columns_[size_t(read[i])], houseListColumns()[read[i]].kind, row, values[i]);
    });
}

void ListTable::keep(Column& column, ListKind kind, int row, const QVariant& stored)
{
    const ListCell cell = listCell(kind, stored);
    column.types[size_t(row)] = quint8(cell.type);
    switch (cell.type) {
    case ListCell::Number: column.numbers[size_t(row)] = cell.number; break;
    case ListCell::Date: column.numbers[size_t(row)] = double(cell.date.toMSecsSinceEpoch()); break;
    case ListCell::Text:
        if (column.starts.empty()) {
            column.starts.assign(size_t(rows_), 0);
            column.lengths.assign(size_t(rows_), 0);
        }
        column.starts[size_t(row)] = column.text.size();
        column.lengths[size_t(row)] = int(cell.text.size());
        column.text.append(cell.text);
        break;
    case ListCell::Empty:
    case ListCell::Mark: break;
    }
}

int ListTable::count() const
{
    return order_.empty() ? rows_ : int(order_.size());
}

ListCell ListTable::cell(int row, int column) const
{
    ListCell cell;
    if (column < 0 || size_t(column) >= columns_.size())
        return cell;
    const Column& c = columns_[size_t(column)];
    const size_t r = size_t(order_.empty() ? row : order_[size_t(row)]);
    if (r >= c.types.size())
        return cell;
    cell.type = ListCell::Type(c.types[r]);
    switch (cell.type) {
    case ListCell::Number: cell.number = c.numbers[r]; break;
    case ListCell::Date: cell.date = QDateTime::fromMSecsSinceEpoch(qint64(c.numbers[r]), Qt::UTC); break;
    case ListCell::Text: cell.text = c.text.mid(c.starts[r], c.lengths[r]); break;
    case ListCell::Empty:
    case ListCell::Mark: break;
    }
    return cell;
}

namespace {
// A sum of decimal values, given back with no more decimals than its terms
// had: adding many areas of two decimals must not show binary noise.
class DecimalSum {
public:
    void add(double v)
    {
        // Kahan's compensation keeps the error of 300,000 terms far below
        // the last decimal.
        const double y = v - carry_;
        const double t = sum_ + y;
        carry_ = (t - sum_) - y;
        sum_ = t;
        if (decimals_ < 6) {
            const int d = decimalsOf(v);
            decimals_ = d < 0 ? 6 : std::max(decimals_, std::min(d, 6));
        }
    }
    double value() const
    {
        const double scale = std::pow(10.0, decimals_);
        return std::round(sum_ * scale) / scale;
    }

private:
    double sum_ = 0, carry_ = 0;
    int decimals_ = 0;
};
} // namespace

ListTotals totalsOf(const ListRows& rows)
{
    static const int area = listColumnOf(QStringLiteral("床面積"));
    static const int score = listColumnOf(QStringLiteral("評点数"));
    ListTotals totals;
    totals.count = rows.count();
    DecimalSum areas, scores;
    for (int r = 0; r < totals.count; ++r) {
        const ListCell a = rows.cell(r, area);
        if (a.type == ListCell::Number)
            areas.add(a.number);
        const ListCell s = rows.cell(r, score);
        if (s.type == ListCell::Number)
            scores.add(s.number);
    }
    totals.area = areas.value();
    totals.score = scores.value();
    return totals;
}

ListTotals totalsOf(const RecordSet& set)
{
    static const QList<int> columns{listColumnOf(QStringLiteral("床面積")), listColumnOf(QStringLiteral("評点数"))};
    return totalsOf(ListTable(set, columns));
}

QString totalsText(const ListTotals& totals)
{
    return QStringLiteral("件数 %1　床面積 合計 %2 ㎡　評点数 合計 %3")
        .arg(numberText(totals.count), numberText(totals.area), numberText(totals.score));
}

} // namespace tegaro
