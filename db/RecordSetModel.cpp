#include "db/RecordSetModel.h"

#include "db/RecordSet.h"

namespace tegaro {

RecordSetModel::RecordSetModel(RecordSet* set, QObject* parent) : QAbstractTableModel(parent), set_(set)
{
    if (set_) {
        generation_ = set_->generation();
        columns_ = set_->fieldCount();
        connect(set_, &RecordSet::dataChanged, this, &RecordSetModel::recordSetChanged);
    }
}

void RecordSetModel::recordSetChanged(int fieldIndex)
{
    // Rows came or went: start over. Otherwise only the current row changed.
    if (set_->generation() != generation_ || set_->fieldCount() != columns_) {
        beginResetModel();
        generation_ = set_->generation();
        columns_ = set_->fieldCount();
        endResetModel();
        return;
    }
    int row = set_->recNo() - 1;
    if (row < 0 || columns_ == 0)
        return;
    emit dataChanged(index(row, fieldIndex < 0 ? 0 : fieldIndex),
                     index(row, fieldIndex < 0 ? columns_ - 1 : fieldIndex));
}

int RecordSetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !set_ ? 0 : set_->recordCount();
}

int RecordSetModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columns_; }

QVariant RecordSetModel::data(const QModelIndex& index, int role) const
{
    if (!set_ || !index.isValid() || index.column() >= columns_ || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    ColumnKind kind = set_->column(index.column()).kind;
    QVariant stored = set_->valueAt(index.row(), index.column());
    if (kind == ColumnKind::Blob && !stored.isNull() && stored.metaType().id() != QMetaType::QByteArray)
        return stored.toLongLong() > 0 ? QStringLiteral("(BLOB)") : QString(); // a size, not the bytes
    return displayText(kind, stored);
}

QVariant RecordSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || !set_)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    return section < columns_ ? QVariant(set_->column(section).name) : QVariant();
}

} // namespace tegaro
