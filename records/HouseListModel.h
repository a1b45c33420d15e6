#pragma once
// The house record query as the 一覧 page's table: one row per record, the
// list's columns, read-only. It listens to DataSource1 like any bound
// control: a new result starts it over, a posted change shows at once, and
// a move of the record is told so that the page selects its row.
//
// Sorting orders the list only; the record set and its navigator keep the
// query's order.
#include "db/DataLink.h"
#include "records/list/ListRows.h"

#include <QAbstractTableModel>
#include <QPointer>

#include <memory>
#include <optional>

namespace tegaro {

class DataSource;
class RecordSet;

class HouseListModel : public QAbstractTableModel, private DataLink {
    Q_OBJECT
public:
    explicit HouseListModel(DataSource* source, QObject* parent = nullptr);
    ~HouseListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // column -1: the query's order again.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    int sortColumn() const { return sortColumn_; }

    RecordSet* set() const;
    // The rows in the list's order, for export and printing; null while the
    // query is closed.
    RecordSetRows* rows() const { return rows_.get(); }
    // The list row of the current record, or -1; and the record set row of
    // a list row.
    int currentRow() const;
    int setRowOf(int listRow) const;
    // Over the whole query, worked out when first asked after a change.
    ListTotals totals() const;
    // Reads the rows first..last of the list that are not at hand, in as
    // few statements as it takes: a view asks before it paints them.
    void fetchRows(int first, int last) const;
    // Counts the query's rows when it has not yet (the list starts over
    // then). Throws EDatabaseError.
    void countRows();
    // While the list is shown, every new result is counted at once.
    void setRowsWanted(bool wanted) { wanted_ = wanted; }
    // These columns of every row in the list's order, read at once, for
    // writing and printing. Throws when the query is closed.
    ListTable table(const QList<int>& columns) const;

signals:
    // The current record moved (or the list started over): select this row.
    void currentRowChanged(int listRow);
    void totalsChanged();

private:
    void recordChanged(int fieldIndex) override;
    void afterScroll() override;
    void rowsCounted() override;
    void startOver();
    void rebuild();

    QPointer<DataSource> source_;
    std::unique_ptr<RecordSetRows> rows_;
    int generation_ = -1;
    int fields_ = 0;
    bool wanted_ = false;     // the list is shown
    bool rebuilding_ = false; // counting its rows inside rebuild
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    mutable std::optional<ListTotals> totals_;
};

} // namespace tegaro
