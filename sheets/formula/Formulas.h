#pragma once
// Formulas of cells, for the sheet control and the tools: the text the edit
// bar shows, typed formulas compiled for storing, the program behind a cell.
#include "sheets/formula/FormulaCode.h"
#include "sheets/formula/FormulaProgram.h"
#include "sheets/model/Workbook.h"

#include <optional>

namespace tegaro::sheets {

// The formula behind a cell, with shared and array formulas resolved.
struct CellFormula {
    FormulaShape shape = FormulaShape::Plain;
    Program program;
    Range range;                      // the cells an array formula or table fills
    QString tableText;                // a data table: "TABLE(B1,)"
    int anchorRow = 0, anchorCol = 0; // the cell that holds it
};

// Nothing when the cell holds no formula; EFormulaError when its tokens
// cannot be read. `dialect` gives what Excel 95 tokens need (their strings'
// code page, their sheet numbers); the book's own tokens need nothing.
std::optional<CellFormula> cellFormula(const Workbook& book, int sheet, int row, int col,
                                       const TokenInput* dialect = nullptr);

// What the edit bar shows for a formula cell: "=ROUND(SUM(I6:K6),0)", or
// "{=...}" inside an array formula. Empty when the cell holds no formula or
// one that cannot be read.
QString formulaText(const Workbook& book, int sheet, int row, int col);

// What the user typed ("=..."), compiled for cell (row, col) of `sheet`.
// Throws EFormulaError naming the place of the fault; the book gains names
// or links only when the formula compiles.
std::shared_ptr<const Formula> compileFormula(Workbook& book, int sheet, const QString& entry);

// A formula of `sheet` as it reads copied `rows` down and `cols` across:
// relative references move, absolute ones stay, and one that would leave
// the sheet becomes #REF!. Nothing for formulas that do not move so (array
// formulas, and tokens that cannot be taken apart); they are copied as they are.
std::shared_ptr<const Formula> movedFormula(Workbook& book, int sheet, const Formula& formula, int rows, int cols);

// Formula text read from .xlsx and .ods files (`source` without tokens)
// compiled in place: defined names first, then every cell's formula, array
// formulas with the cells they fill. Cached results stay as read. What does
// not compile keeps its text and result, and is saved as its value.
void compileSources(Workbook& book);

// The areas a defined name's stored tokens refer to, as print areas and
// print titles are stored: cells, areas, or a union of them. `sheet` gets
// the 0-based sheet that Excel 95 tokens name (as the file counts its tabs),
// or -1. Nothing when the tokens are something else.
QList<Range> nameAreas(const QByteArray& tokens, int biff, int* sheet = nullptr);

// A typed formula entry: "=" followed by something.
bool isFormulaEntry(const QString& entry);

} // namespace tegaro::sheets
