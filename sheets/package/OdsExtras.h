#pragma once
// What the package reader passes over in an OpenDocument spreadsheet and
// this program reads itself from the package's XML: merged cells, hidden
// rows and columns, and the number formats of cells.
#include "sheets/package/ImportContext.h"

#include <QByteArray>

namespace tegaro::sheets {

// Adds them to the workbook the reader filled from `package`; does nothing
// for other packages. Throws ECorruptWorkbook.
void addOdsExtras(const QByteArray& package, ImportContext& ctx);

} // namespace tegaro::sheets
