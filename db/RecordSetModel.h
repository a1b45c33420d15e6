#pragma once
// A table face of a record set for grids and widget mappers: one row per
// record, one column per field, shown as the bound controls show them.
// Read-only: edits go through the record set and its data sources.
#include <QAbstractTableModel>
#include <QPointer>

namespace tegaro {

class RecordSet;

class RecordSetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit RecordSetModel(RecordSet* set, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void recordSetChanged(int fieldIndex);

    QPointer<RecordSet> set_;
    int generation_ = -1;
    int columns_ = 0;
};

} // namespace tegaro
