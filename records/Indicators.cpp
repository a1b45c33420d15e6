#include "records/Indicators.h"

#include "db/RecordSet.h"
#include "widgets/ImageCheckLabel.h"

#include <QLineEdit>

void ADOQuery1AfterScroll(tegaro::RecordSet& DataSet, const AttachmentIndicators& marks)
{
    const bool drawing = DataSet.fieldByName(QStringLiteral("zumen")).blobSize() > 0;
    marks.PCheck1->setChecked(drawing);
    marks.zmfile->setText(drawing ? QStringLiteral("[*図面あり]") : QStringLiteral("[*図面なし]"));
    const bool sheet = DataSet.fieldByName(QStringLiteral("excel")).blobSize() > 0;
    marks.PCheck2->setChecked(sheet);
    marks.exfile->setText(sheet ? QStringLiteral("[*明細あり]") : QStringLiteral("[*明細なし]"));
}
