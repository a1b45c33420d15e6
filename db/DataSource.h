#pragma once
// Between one record set and the controls bound to it (DataSource1,
// DataSource2). Controls never talk to the database: they register a
// DataLink and are told when to show the record and when to write.
#include "db/RecordSet.h"

#include <QList>
#include <QObject>
#include <QPointer>

namespace tegaro {

class DataLink {
public:
    virtual ~DataLink() = default;
    // Show the record again: a field (index) or the whole record (-1).
    virtual void recordChanged(int fieldIndex) = 0;
    // Before a post: a control with changed text writes it into its field.
    // A write that fails throws, and the post does not happen.
    virtual void updateData() {}
    virtual void stateChanged(DataSetState) {}
};

class DataSource : public QObject {
    Q_OBJECT
public:
    explicit DataSource(QObject* parent = nullptr);
    ~DataSource() override;

    void setDataSet(RecordSet* set);
    RecordSet* dataSet() const { return set_; }
    DataSetState state() const { return set_ ? set_->state() : DataSetState::Inactive; }

    void addLink(DataLink* link);
    void removeLink(DataLink* link);

    // Typing into a control starts editing when this is on.
    bool autoEdit() const { return autoEdit_; }
    void setAutoEdit(bool on) { autoEdit_ = on; }
    // A control asks to edit: true when the record set is in edit or insert
    // afterwards.
    bool edit();

    // Called by the record set.
    void notifyRecordChanged(int fieldIndex);
    void notifyStateChanged();
    void updateRecord();

signals:
    void dataChanged(int fieldIndex);
    void stateChanged();

private:
    QPointer<RecordSet> set_;
    QList<DataLink*> links_;
    bool autoEdit_ = true;
    bool updating_ = false;
};

} // namespace tegaro
