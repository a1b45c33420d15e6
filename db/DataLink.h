#pragma once
// The one way a record set tells of its changes. Data sources listen to
// their record set through it, and everything bound to a data source
// (controls, navigator, indicators, table models) listens to the source
// through it too.
#include <QList>

namespace tegaro {

enum class DataSetState {
    Inactive,
    Browse,
    Edit,
    Insert
};

class DataLink {
public:
    virtual ~DataLink() = default;
    // Show the record again: one field (its index) or the whole record (-1).
    virtual void recordChanged(int fieldIndex) { (void)fieldIndex; }
    virtual void stateChanged(DataSetState state) { (void)state; }
    // The current record is another one (also after an open and an insert).
    virtual void afterScroll() {}
    // The count of the rows is known now: it came after the first rows.
    virtual void rowsCounted() {}
    // Before a post: write pending changes into the record. A write that
    // fails throws, and the post does not happen.
    virtual void updateData() {}
};

// The links of a record set or a data source, told in the order they came.
class DataLinks {
public:
    void add(DataLink* link)
    {
        if (!links_.contains(link))
            links_.append(link);
    }
    void remove(DataLink* link) { links_.removeAll(link); }
    void clear() { links_.clear(); }

    // A link removed while the others are told (a control going away) is
    // skipped.
    template <class Tell>
    void tell(Tell tellOne) const
    {
        const QList<DataLink*> links = links_;
        for (DataLink* link : links)
            if (links_.contains(link))
                tellOne(link);
    }

private:
    QList<DataLink*> links_;
};

} // namespace tegaro
