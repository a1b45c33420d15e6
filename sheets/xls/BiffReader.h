#pragma once
// Reads a BIFF8 (Excel 97-2003) or BIFF5/BIFF7 (Excel 5 and 95) workbook
// stream into the model.
#include "sheets/model/Workbook.h"

#include <QByteArray>

#include <functional>

namespace tegaro::sheets {

// Throws EEncryptedWorkbook, ENotAWorkbook or ECorruptWorkbook.
Workbook readBiffStream(const QByteArray& stream);

// Each cell as it is read: the book so far (its formats are all there),
// row and column (from 0) and the cell.
using CellSink = std::function<void(const Workbook& book, int row, int col, const Cell& cell)>;
// Reads the globals and worksheet `sheet` (from 0), handing its cells to
// `sink` in file order instead of keeping them, for tools that only show
// cells. The book returned holds no cells; ESheetError when there is no such
// sheet.
Workbook readBiffCells(const QByteArray& stream, int sheet, const CellSink& sink);

} // namespace tegaro::sheets
