#pragma once
// .xlsx and .ods workbooks read into the workbook model by our own readers
// (XlsxReader.h, OdsReader.h).
#include "sheets/model/Workbook.h"

#include <QByteArray>

namespace tegaro::sheets {

// Reads the bytes of an .xlsx or .ods file; bytes after the package are
// ignored. What an .xls workbook cannot hold is left out and listed in the
// workbook's `leftOut`. Throws ENotAWorkbook for other packages and
// ECorruptWorkbook for damaged or oversized ones.
Workbook readPackage(const QByteArray& bytes);

} // namespace tegaro::sheets
