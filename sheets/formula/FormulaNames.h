#pragma once
// Names in formulas: sheet names as formulas spell them, defined names, the
// link table entries that 3-D references and newer functions go through.
#include "sheets/model/CellReference.h" // quotedSheetName
#include "sheets/model/Workbook.h"

namespace tegaro::sheets {

// A defined name as formulas show it; built-in ones by their English name
// ("Print_Area").
QString definedNameText(const DefinedName& n);

// The number (from 1) of the defined name a formula on `sheet` means: the
// sheet's own name first, then the workbook's; 0 when there is none.
int findDefinedName(const Workbook& book, const QString& name, int sheet);

// "[other.xls]Sheet1!" for a reference into another workbook.
QString externSheetPrefix(const Workbook& book, int ixti);
// The name an external-name token points to, "#REF!" when there is none.
QString externNameText(const Workbook& book, int ixti, int nameIndex);

// The link-table entry for sheets first..last of this workbook, made when
// there is none yet.
int sheetRefIndex(Workbook& book, int first, int last);

// The number (from 1) of the hidden name through which .xls files call an
// Excel 2007 function ("_xlfn.IFERROR"), made when there is none yet.
int newerFunctionName(Workbook& book, const QString& function);

} // namespace tegaro::sheets
