#pragma once
// What the package reader does not hand over of an .xlsx worksheet, read
// from its part: the sheet view's zoom and gridlines, and how it prints
// (paper, orientation, margins, scale, fitting, order, centring, gridlines
// and headings, headers and footers, manual page breaks).
#include "sheets/package/ImportContext.h"

#include <QByteArray>

namespace tegaro::sheets {

// Does nothing for other packages. Throws ECorruptWorkbook for parts that
// cannot be read.
void addXlsxSheetExtras(const QByteArray& package, ImportContext& ctx);

} // namespace tegaro::sheets
