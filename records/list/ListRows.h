#pragma once
// The rows of the house list: the house record query read through its
// record set, in the query's order or in a sorted order of the list's own,
// and the totals line over all of them.
#include "records/list/ListColumns.h"

#include <functional>
#include <vector>

namespace tegaro {

class RecordSet;

class ListRows {
public:
    virtual ~ListRows() = default;
    virtual int count() const = 0;
    // column: an index of houseListColumns().
    virtual ListCell cell(int row, int column) const = 0;

    // The columns written and printed, in their order (indexes of
    // houseListColumns()); all of them unless set.
    QList<int> columns() const;
    void setColumns(const QList<int>& columns) { columns_ = columns; }

private:
    QList<int> columns_;
};

// The rows of a record set: the current record as it is being edited, the
// others as they were read. A list column the result lacks is empty.
class RecordSetRows : public ListRows {
public:
    explicit RecordSetRows(const RecordSet& set);

    // The rows in this order (record set rows, from 0); empty for the
    // query's own order.
    void setOrder(std::vector<int> order);
    const std::vector<int>& order() const { return order_; }
    // The record set's row shown at a list row, and back (-1 when the
    // order leaves it out).
    int setRow(int row) const { return order_.empty() ? row : order_[size_t(row)]; }
    int listRow(int setRow) const;

    int count() const override;
    ListCell cell(int row, int column) const override;

private:
    const RecordSet& set_;
    std::vector<int> fields_; // per list column, -1 when missing
    std::vector<int> order_;
    std::vector<int> listRows_; // order_ inverted
};

// The cells of some list columns for every row of a record set, read at
// once (RecordSet::readColumns: one statement, never row by row through the
// pages) and kept compactly. The passes over the whole list work on this:
// sorting, totals, writing and printing.
class ListTable : public ListRows {
public:
    // columns: indexes of houseListColumns(), also the ones written; order
    // as RecordSetRows::setOrder. Throws EDatabaseError.
    ListTable(const RecordSet& set, const QList<int>& columns, std::vector<int> order = {});

    int count() const override;
    // A column that was not read is empty.
    ListCell cell(int row, int column) const override;

private:
    struct Column {
        std::vector<quint8> types;   // ListCell::Type by record set row
        std::vector<double> numbers; // numbers; dates as ms since the epoch, UTC
        std::vector<qsizetype> starts;
        std::vector<int> lengths;
        QString text; // the texts one after another
    };
    void keep(Column& column, ListKind kind, int row, const QVariant& stored);

    int rows_ = 0;
    std::vector<Column> columns_; // by list column; unread ones hold no rows
    std::vector<int> order_;
};

// Count, and the sums of 床面積 and 評点数 where they hold numbers.
struct ListTotals {
    int count = 0;
    double area = 0;
    double score = 0;
};
ListTotals totalsOf(const ListRows& rows);
// The totals of a record set's rows, its columns read at once.
ListTotals totalsOf(const RecordSet& set);
// "件数 N　床面積 合計 … ㎡　評点数 合計 …"
QString totalsText(const ListTotals& totals);

// Told after each row written or read (done of total); false stops the work.
using ListProgress = std::function<bool(int done, int total)>;

} // namespace tegaro
