#pragma once
// Workbook files of every kind the program reads, told apart by their
// bytes rather than their names: .xls (Excel 5 to 2003), .xlsx (Excel 2007
// and later) and .ods (OpenDocument, as LibreOffice writes it).
#include "sheets/model/Workbook.h"

#include <QByteArray>
#include <QString>

namespace tegaro::sheets {

// Reads a workbook from the bytes of any of the three kinds; bytes after
// the file proper are ignored. Throws ESheetError and its kinds.
Workbook readWorkbook(const QByteArray& bytes);
Workbook readWorkbookFile(const QString& path); // EInOutError when it cannot be opened

// The one message that lists what reading left out, for the user to see
// after loading; empty when nothing was.
QString leftOutMessage(const Workbook& book);

} // namespace tegaro::sheets
