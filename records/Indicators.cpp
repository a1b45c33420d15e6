#include "records/Indicators.h"

#include "core/ErrorGuard.h"
#include "db/DataSource.h"
#include "widgets/ImageCheckLabel.h"

#include <QLineEdit>

namespace tegaro {

void ADOQuery1AfterScroll(RecordSet& DataSet, const AttachmentIndicators& marks)
{
    const bool drawing = DataSet.fieldByName(QStringLiteral("zumen")).blobSize() > 0;
    marks.PCheck1->setChecked(drawing);
    marks.zmfile->setText(drawing ? QStringLiteral("[*図面あり]") : QStringLiteral("[*図面なし]"));
    const bool sheet = DataSet.fieldByName(QStringLiteral("excel")).blobSize() > 0;
    marks.PCheck2->setChecked(sheet);
    marks.exfile->setText(sheet ? QStringLiteral("[*明細あり]") : QStringLiteral("[*明細なし]"));
}

IndicatorLink::IndicatorLink(DataSource* houses, const AttachmentIndicators& marks) : houses_(houses), marks_(marks)
{
    houses_->addLink(this);
}

IndicatorLink::~IndicatorLink()
{
    if (houses_)
        houses_->removeLink(this);
}

void IndicatorLink::afterScroll()
{
    // A record without the columns must not stop the move that showed it.
    if (RecordSet* set = houses_->dataSet())
        guarded([&] { ADOQuery1AfterScroll(*set, marks_); });
}

} // namespace tegaro
