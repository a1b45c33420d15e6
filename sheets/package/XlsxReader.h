#pragma once
// .xlsx workbooks, read by this program itself on the event parser of the
// package scan: each part unpacked once and parsed once, the package limits
// enforced as it reads, and its cells, styles, names, views and print
// settings handed to the import.
#include "sheets/package/ImportFactory.h"
#include "sheets/package/PackageCheck.h"

#include <QByteArray>
#include <QList>

namespace tegaro::sheets {

// Fills the factory's workbook from the package and finalizes it; returns
// how many cells the parts state a value for. Throws ECorruptWorkbook.
qint64 readXlsxPackage(const QByteArray& package, const QList<PackageEntry>& entries, ImportContext& ctx,
                       ImportFactory& factory);

} // namespace tegaro::sheets
