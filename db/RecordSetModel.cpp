#include "db/RecordSetModel.h"

#include "db/DataSource.h"
#include "db/RecordSet.h"

namespace tegaro {

RecordSetModel::RecordSetModel(DataSource* source, QObject* parent) : QAbstractTableModel(parent), source_(source)
{
    if (RecordSet* s = set()) {
        generation_ = s->generation();
        columns_ = s->fieldCount();
    }
    source_->addLink(this);
}

RecordSetModel::RecordSetModel(RecordSet* set, QObject* parent) : RecordSetModel(new DataSource, parent)
{
    source_->setParent(this);
    source_->setDataSet(set);
}

RecordSetModel::~RecordSetModel()
{
    if (source_)
        source_->removeLink(this);
}

RecordSet* RecordSetModel::set() const { return source_ ? source_->dataSet() : nullptr; }

void RecordSetModel::recordChanged(int fieldIndex)
{
    RecordSet* s = set();
    const int generation = s ? s->generation() : -1;
    const int columns = s ? s->fieldCount() : 0;
    // Rows came or went: start over. Otherwise only the current row changed.
    if (generation != generation_ || columns != columns_) {
        beginResetModel();
        generation_ = generation;
        columns_ = columns;
        endResetModel();
        return;
    }
    int row = s ? s->recNo() - 1 : -1;
    if (row < 0 || columns_ == 0)
        return;
    emit dataChanged(index(row, fieldIndex < 0 ? 0 : fieldIndex),
                     index(row, fieldIndex < 0 ? columns_ - 1 : fieldIndex));
}

void RecordSetModel::rowsCounted()
{
    beginResetModel();
    endResetModel();
}

int RecordSetModel::rowCount(const QModelIndex& parent) const
{
    // None until they are counted; a reset follows then.
    return parent.isValid() || !set() || !set()->recordCountKnown() ? 0 : set()->recordCount();
}

int RecordSetModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columns_; }

QVariant RecordSetModel::data(const QModelIndex& index, int role) const
{
    const RecordSet* s = set();
    if (!s || !index.isValid() || index.column() >= columns_ || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    ColumnKind kind = s->column(index.column()).kind;
    QVariant stored;
    try {
        // Read with its page; a page that cannot be read shows empty cells
        // (a view asks while it paints, where nothing may be thrown).
        stored = s->valueAt(index.row(), index.column());
    } catch (...) {
        return {};
    }
    if (kind == ColumnKind::Blob && !stored.isNull() && stored.metaType().id() != QMetaType::QByteArray)
        return stored.toLongLong() > 0 ? QStringLiteral("(BLOB)") : QString(); // a size, not the bytes
    return displayText(kind, stored);
}

QVariant RecordSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || !set())
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    return section < columns_ ? QVariant(set()->column(section).name) : QVariant();
}

} // namespace tegaro
