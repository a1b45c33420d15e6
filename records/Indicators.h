#pragma once
// The attachment marks of the current house record: the drawing first,
// then the detail sheet, from the stored sizes only. They follow the record:
// set again after every move of the house record query.
#include "db/DataLink.h"

#include <QPointer>

class QLineEdit;

namespace tegaro {

class DataSource;
class ImageCheckLabel;
class RecordSet;

struct AttachmentIndicators {
    ImageCheckLabel* PCheck1 = nullptr; // drawing
    QLineEdit* zmfile = nullptr;
    ImageCheckLabel* PCheck2 = nullptr; // detail sheet
    QLineEdit* exfile = nullptr;
};

void ADOQuery1AfterScroll(RecordSet& DataSet, const AttachmentIndicators& marks);

class IndicatorLink final : public DataLink {
public:
    IndicatorLink(DataSource* houses, const AttachmentIndicators& marks);
    ~IndicatorLink() override;
    void afterScroll() override;

private:
    QPointer<DataSource> houses_;
    AttachmentIndicators marks_;
};

} // namespace tegaro
