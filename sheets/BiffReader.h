#pragma once
// Reads a BIFF8 (Excel 97-2003) or BIFF5/BIFF7 (Excel 5 and 95) workbook
// stream into the model.
#include "sheets/Workbook.h"

#include <QByteArray>

namespace tegaro::sheets {

// Throws EEncryptedWorkbook, ENotAWorkbook or ECorruptWorkbook.
Workbook readBiffStream(const QByteArray& stream);

// The areas a defined name's tokens refer to (print areas, print titles);
// `tab` gets the sheet named in Excel 95 tokens, -1 when none.
QList<Range> nameAreas(const QByteArray& tokens, int biff, int* tab = nullptr);

} // namespace tegaro::sheets
