#include "db/DataSource.h"

namespace tegaro {

// The source's face towards its record set. A class of its own, so that the
// source's signals keep the plain names the link methods have.
class DataSource::SetLink final : public DataLink {
public:
    explicit SetLink(DataSource& source) : source_(source) {}
    void recordChanged(int fieldIndex) override { source_.recordChanged(fieldIndex); }
    void stateChanged(DataSetState state) override { source_.setStateChanged(state); }
    void afterScroll() override { source_.setScrolled(); }
    void rowsCounted() override { source_.setCounted(); }
    void updateData() override { source_.updateData(); }

private:
    DataSource& source_;
};

DataSource::DataSource(QObject* parent) : QObject(parent), setLink_(std::make_unique<SetLink>(*this)) {}

DataSource::~DataSource()
{
    if (set_)
        set_->removeLink(setLink_.get());
}

void DataSource::setDataSet(RecordSet* set)
{
    if (set_ == set)
        return;
    if (set_)
        set_->removeLink(setLink_.get());
    set_ = set;
    if (set_)
        set_->addLink(setLink_.get());
    setStateChanged(state());
    recordChanged(-1);
}

void DataSource::addLink(DataLink* link) { links_.add(link); }
void DataSource::removeLink(DataLink* link) { links_.remove(link); }

bool DataSource::edit()
{
    if (!set_ || !set_->isOpen())
        return false;
    if (set_->state() == DataSetState::Browse && autoEdit_)
        set_->edit();
    return set_->state() == DataSetState::Edit || set_->state() == DataSetState::Insert;
}

void DataSource::recordChanged(int fieldIndex)
{
    links_.tell([fieldIndex](DataLink* link) { link->recordChanged(fieldIndex); });
    emit dataChanged(fieldIndex);
}

void DataSource::setStateChanged(DataSetState state)
{
    links_.tell([state](DataLink* link) { link->stateChanged(state); });
    emit stateChanged();
}

void DataSource::setScrolled()
{
    links_.tell([](DataLink* link) { link->afterScroll(); });
    emit afterScroll();
}

void DataSource::setCounted()
{
    links_.tell([](DataLink* link) { link->rowsCounted(); });
}

void DataSource::updateData()
{
    if (updating_)
        return;
    updating_ = true;
    try {
        links_.tell([](DataLink* link) { link->updateData(); });
    } catch (...) {
        updating_ = false;
        throw;
    }
    updating_ = false;
}

} // namespace tegaro
