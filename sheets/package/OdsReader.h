#pragma once
// OpenDocument spreadsheets, read by this program itself on the event
// parser of the package scan: one pass over the styles and one over the
// content, which enforce the package limits as they read. Rows and cells
// that stand for several are taken as runs: only the cells that hold
// something are stored, as far as an .xls sheet reaches.
#include "sheets/package/ImportFactory.h"

#include <QByteArray>

namespace tegaro::sheets {

// Fills the factory's workbook from the package and finalizes it. Throws
// ECorruptWorkbook and EEncryptedWorkbook.
void readOdsPackage(const QByteArray& package, ImportContext& ctx, ImportFactory& factory);

} // namespace tegaro::sheets
