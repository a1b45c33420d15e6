#pragma once
// The attachment marks of the current house record: the drawing first,
// then the detail sheet, from the stored sizes only.
namespace tegaro {
class RecordSet;
class ImageCheckLabel;
} // namespace tegaro
class QLineEdit;

struct AttachmentIndicators {
    tegaro::ImageCheckLabel* PCheck1 = nullptr; // drawing
    QLineEdit* zmfile = nullptr;
    tegaro::ImageCheckLabel* PCheck2 = nullptr; // detail sheet
    QLineEdit* exfile = nullptr;
};

void ADOQuery1AfterScroll(tegaro::RecordSet& DataSet, const AttachmentIndicators& marks);
