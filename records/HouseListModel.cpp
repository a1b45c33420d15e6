#include "records/HouseListModel.h"

#include "db/DataSource.h"
#include "db/RecordSet.h"
#include "records/list/ListOrder.h"

#include "core/Errors.h"

#include <algorithm>

namespace tegaro {

HouseListModel::HouseListModel(DataSource* source, QObject* parent) : QAbstractTableModel(parent), source_(source)
{
    source_->addLink(this);
    rebuild();
}

HouseListModel::~HouseListModel()
{
    if (source_)
        source_->removeLink(this);
}

RecordSet* HouseListModel::set() const { return source_ ? source_->dataSet() : nullptr; }

void HouseListModel::rebuild()
{
    RecordSet* s = set();
    generation_ = s ? s->generation() : -1;
    fields_ = s ? s->fieldCount() : 0;
    rows_.reset();
    // No rows until they are counted: a list shows them all.
    if (s && s->isOpen() && wanted_ && !s->recordCountKnown()) {
        rebuilding_ = true;
        try {
            s->recordCount();
        } catch (...) {
            // an empty list; the next move reads them again and says why not
        }
        rebuilding_ = false;
    }
    if (s && s->isOpen() && s->recordCountKnown()) {
        rows_ = std::make_unique<RecordSetRows>(*s);
        try {
            if (sortColumn_ >= 0)
                rows_->setOrder(sortedOrder(ListTable(*s, {sortColumn_}), sortColumn_, sortOrder_));
        } catch (...) {
            // the column could not be read: the query's order, which needs nothing
        }
    }
    totals_.reset();
}

void HouseListModel::recordChanged(int fieldIndex)
{
    RecordSet* s = set();
    const int generation = s ? s->generation() : -1;
    const int fields = s ? s->fieldCount() : 0;
    if (generation != generation_ || fields != fields_ || bool(rows_) != (s && s->isOpen() && s->recordCountKnown())) {
        // Rows came or went, or a new result: start over, sorted as before.
        startOver();
        return;
    }
    const int row = currentRow();
    if (row < 0)
        return;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    // An edit being typed does not count until it is posted or cancelled.
    if (s->state() == DataSetState::Browse || (fieldIndex < 0 && s->state() != DataSetState::Insert)) {
        totals_.reset();
        emit totalsChanged();
    }
}

void HouseListModel::rowsCounted()
{
    if (!rebuilding_)
        startOver();
}

void HouseListModel::startOver()
{
    beginResetModel();
    rebuild();
    endResetModel();
    emit totalsChanged();
    emit currentRowChanged(currentRow());
}

void HouseListModel::afterScroll()
{
    emit currentRowChanged(currentRow());
}

int HouseListModel::currentRow() const
{
    const RecordSet* s = set();
    if (!rows_ || !s || s->recNo() == 0)
        return -1;
    return rows_->listRow(s->recNo() - 1);
}

int HouseListModel::setRowOf(int listRow) const
{
    return rows_ && listRow >= 0 && listRow < rows_->count() ? rows_->setRow(listRow) : -1;
}

void HouseListModel::countRows()
{
    RecordSet* s = set();
    if (s && s->isOpen() && !s->recordCountKnown())
        s->recordCount();
}

void HouseListModel::fetchRows(int first, int last) const
{
    const RecordSet* s = set();
    if (!rows_ || !s || !s->isPaged())
        return;
    first = std::max(first, 0);
    last = std::min(last, rows_->count() - 1);
    if (rows_->order().empty()) {
        s->fetchRows(first, last);
        return;
    }
    std::vector<int> setRows;
    for (int r = first; r <= last; ++r)
        setRows.push_back(rows_->setRow(r));
    s->fetchRows(setRows);
}

ListTable HouseListModel::table(const QList<int>& columns) const
{
    const RecordSet* s = set();
    if (!rows_ || !s)
        throw EDatabaseError(QStringLiteral("一覧がありません。データベースに接続してください。"));
    return ListTable(*s, columns, rows_->order());
}

int HouseListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !rows_ ? 0 : rows_->count();
}

int HouseListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(houseListColumns().size());
}

QVariant HouseListModel::data(const QModelIndex& index, int role) const
{
    if (!rows_ || !index.isValid() || index.row() >= rows_->count())
        return {};
    const ListKind kind = houseListColumns()[index.column()].kind;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: {
        ListCell cell;
        try {
            cell = rows_->cell(index.row(), index.column());
        } catch (...) {
            // a row that cannot be read shows empty; the view paints, where
            // nothing may be thrown
            return {};
        }
        QString text = cellText(cell);
        if (role == Qt::ToolTipRole)
            return kind == ListKind::Text && text.contains(u'\n') ? QVariant(text) : QVariant();
        // a memo's lines side by side in one row
        if (kind == ListKind::Text && (text.contains(u'\n') || text.contains(u'\r')))
            text = text.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace(u'\n', u' ').replace(u'\r', u' ');
        return text;
    }
    case Qt::TextAlignmentRole:
        if (kind == ListKind::Number)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        if (kind == ListKind::Mark)
            return int(Qt::AlignCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    default: return {};
    }
}

QVariant HouseListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return houseListColumns()[section].header;
    if (role == Qt::TextAlignmentRole && houseListColumns()[section].kind == ListKind::Number)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

void HouseListModel::sort(int column, Qt::SortOrder order)
{
    if (column >= columnCount())
        return;
    if (column == sortColumn_ && (column < 0 || order == sortOrder_))
        return;
    // Read and ordered before the view is told: a column that cannot be
    // read leaves the list as it was.
    std::vector<int> sorted;
    RecordSet* s = set();
    if (column >= 0 && rows_ && s)
        sorted = sortedOrder(ListTable(*s, {column}), column, order);
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    sortColumn_ = column;
    sortOrder_ = order;
    if (rows_)
        rows_->setOrder(std::move(sorted));
    // The view's selection follows the current record, not a persistent
    // index: the page selects it again.
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    emit currentRowChanged(currentRow());
}

ListTotals HouseListModel::totals() const
{
    if (!totals_) {
        ListTotals t;
        try {
            if (rows_ && set())
                t = totalsOf(*set());
        } catch (...) {
            t.count = rows_ ? rows_->count() : 0;
        }
        totals_ = t;
    }
    return *totals_;
}

} // namespace tegaro
