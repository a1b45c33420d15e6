#include "db/DataSource.h"

namespace tegaro {

DataSource::DataSource(QObject* parent) : QObject(parent) {}

DataSource::~DataSource()
{
    if (set_)
        set_->detach(this);
}

void DataSource::setDataSet(RecordSet* set)
{
    if (set_ == set)
        return;
    if (set_)
        set_->detach(this);
    set_ = set;
    if (set_)
        set_->attach(this);
    notifyStateChanged();
    notifyRecordChanged(-1);
}

void DataSource::addLink(DataLink* link)
{
    if (!links_.contains(link))
        links_.append(link);
}

void DataSource::removeLink(DataLink* link) { links_.removeAll(link); }

bool DataSource::edit()
{
    if (!set_ || !set_->isOpen())
        return false;
    if (set_->state() == DataSetState::Browse && autoEdit_)
        set_->edit();
    return set_->state() == DataSetState::Edit || set_->state() == DataSetState::Insert;
}

void DataSource::notifyRecordChanged(int fieldIndex)
{
    const QList<DataLink*> links = links_;
    for (DataLink* link : links)
        link->recordChanged(fieldIndex);
    emit dataChanged(fieldIndex);
}

void DataSource::notifyStateChanged()
{
    DataSetState s = state();
    const QList<DataLink*> links = links_;
    for (DataLink* link : links)
        link->stateChanged(s);
    emit stateChanged();
}

void DataSource::updateRecord()
{
    if (updating_)
        return;
    updating_ = true;
    try {
        const QList<DataLink*> links = links_;
        for (DataLink* link : links)
            link->updateData();
    } catch (...) {
        updating_ = false;
        throw;
    }
    updating_ = false;
}

} // namespace tegaro
