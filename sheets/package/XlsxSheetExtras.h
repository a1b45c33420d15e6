#pragma once
// What the package reader does not hand over of an .xlsx worksheet, read
// from its part: the sheet view's zoom and gridlines, and how it prints
// (paper, orientation, margins, scale, fitting, order, centring, gridlines
// and headings, headers and footers, manual page breaks).
#include "sheets/package/ImportContext.h"

#include <QByteArray>

#include <functional>
#include <set>

namespace tegaro::sheets {

class ImportSheet;

// The cells of the parts named (see PreparedPackage::cellPass) that the
// reader takes wrongly, read again into the sheets `sheetAt` gives by
// place. Called before the import is finished.
void addXlsxCells(const QByteArray& package, const std::set<QByteArray>& parts, ImportContext& ctx,
                  const std::function<ImportSheet*(int)>& sheetAt);

// Does nothing for other packages. Throws ECorruptWorkbook for parts that
// cannot be read.
void addXlsxSheetExtras(const QByteArray& package, ImportContext& ctx);

} // namespace tegaro::sheets
