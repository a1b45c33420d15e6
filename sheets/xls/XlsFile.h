#pragma once
// .xls files: bytes or files in, a workbook model out, and back.
#include "sheets/xls/BiffReader.h"
#include "sheets/model/Workbook.h"

#include <QByteArray>
#include <QString>

namespace tegaro::sheets {

// Reads the bytes of an .xls file (Excel 5 to 2003). Bytes after the end
// of the file proper are ignored. Throws ESheetError and its kinds.
Workbook readXls(const QByteArray& bytes);
Workbook readXlsFile(const QString& path); // EInOutError when it cannot be opened
// The cells of one worksheet (from 0) handed to `sink` as they are read,
// without keeping them: the quick way to list a sheet.
Workbook readXlsFileCells(const QString& path, int sheet, const CellSink& sink);

// The workbook as the bytes of an Excel 97-2003 file.
QByteArray writeXls(const Workbook& book);
void writeXlsFile(const Workbook& book, const QString& path); // EInOutError on failure

} // namespace tegaro::sheets
