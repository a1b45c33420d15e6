#pragma once
// A table face of a record set for grids and widget mappers: one row per
// record, one column per field, shown as the bound controls show them.
// Read-only: edits go through the record set and its data sources. It
// listens to a data source like any control bound to one.
#include "db/DataLink.h"

#include <QAbstractTableModel>
#include <QPointer>

namespace tegaro {

class DataSource;
class RecordSet;

class RecordSetModel : public QAbstractTableModel, private DataLink {
    Q_OBJECT
public:
    explicit RecordSetModel(DataSource* source, QObject* parent = nullptr);
    // Over a record set of its own (through a data source of its own).
    explicit RecordSetModel(RecordSet* set, QObject* parent = nullptr);
    ~RecordSetModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void recordChanged(int fieldIndex) override;
    void rowsCounted() override;
    RecordSet* set() const;

    QPointer<DataSource> source_;
    int generation_ = -1;
    int columns_ = 0;
};

} // namespace tegaro
