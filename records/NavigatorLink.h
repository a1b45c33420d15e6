#pragma once
// The record navigator below the pages: its two rows are bound like the
// form's edit boxes, its ten buttons run the record operations and are
// enabled by what the record set can do.
#include "db/DataLink.h"

#include <QPointer>

namespace tegaro {

class DataSource;
class NavigatorPanel;

class NavigatorLink final : public DataLink {
public:
    NavigatorLink(NavigatorPanel* DBInspectorBar1, DataSource* DataSource1);
    ~NavigatorLink() override;

    void recordChanged(int) override { enableButtons(); }
    void stateChanged(DataSetState) override { enableButtons(); }
    void afterScroll() override { enableButtons(); }

private:
    void enableButtons();
    void run(int action);

    NavigatorPanel* nav_;
    QPointer<DataSource> source_;
};

} // namespace tegaro
