#pragma once
// Formula text as the packaged file formats store it, brought into Excel's
// grammar (the text the formula compiler takes), without the leading "=".
#include <QString>

namespace tegaro::sheets {

// The formula of one cell written as it reads in a cell `rows` down and
// `cols` across: relative references move, absolute ones stay. A reference
// that would leave the grid becomes #REF!. This is how one shared formula
// of an .xlsx file gives the formulas of all the cells it covers.
QString shiftFormula(const QString& text, int rows, int cols);

// An OpenDocument formula ("[.A1]*2", "SUM([$Sheet2.B1:.B3];1)") in Excel's
// grammar ("A1*2", "SUM(Sheet2!B1:B3,1)").
QString odfToExcelFormula(const QString& odf);

} // namespace tegaro::sheets
