#pragma once
// The compound-file container around the workbook stream.
#include "sheets/container/LargeBuffer.h"

#include <QByteArray>

namespace tegaro::sheets {

// The workbook stream of an .xls file's bytes: "Workbook" (Excel 97 and
// later) or "Book" (Excel 5 and 95). Old bytes that are a bare record
// stream come back as they are. Throws ENotAWorkbook, ECorruptWorkbook.
QByteArray readWorkbookStream(const QByteArray& fileBytes);
// The same stream for one reading, not copied where it lies in one piece
// (as it nearly always does), else gathered into `room`: valid only while
// fileBytes and room are.
QByteArray workbookStreamView(const QByteArray& fileBytes, LargeBuffer& room);

// A compound file holding `stream` under the name given ("Book" for
// Excel 95 streams).
QByteArray writeWorkbookFile(const QByteArray& stream, const char* name = "Workbook");

} // namespace tegaro::sheets
