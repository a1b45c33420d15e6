#pragma once
// Between one record set and what is bound to it (DataSource1,
// DataSource2). Controls never talk to the database: they register a
// DataLink with the source and are told when to show the record and when to
// write. The source is also the one that speaks Qt signals, for anything
// that only watches.
#include "db/DataLink.h"
#include "db/RecordSet.h"

#include <QObject>
#include <QPointer>

#include <memory>

namespace tegaro {

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

signals:
    void dataChanged(int fieldIndex);
    void stateChanged();
    void afterScroll();

private:
    class SetLink;
    void recordChanged(int fieldIndex);
    void setStateChanged(DataSetState state);
    void setScrolled();
    void setCounted();
    void updateData();

    QPointer<RecordSet> set_;
    std::unique_ptr<SetLink> setLink_; // how the record set reaches this source
    DataLinks links_;
    bool autoEdit_ = true;
    bool updating_ = false;
};

} // namespace tegaro
