#pragma once
// What the sheet fuzz targets do with a workbook they could read: show
// every cell and formula, work the formulas out, and write it as .xls and
// read that again.
#include "sheets/calc/Calculator.h"
#include "sheets/formula/Formulas.h"
#include "sheets/model/Workbook.h"
#include "sheets/xls/XlsFile.h"

namespace tegaro::sheets::fuzzing {

inline void exercise(const Workbook& read)
{
    Workbook book = read;
    for (int s = 0; s < book.sheets.size(); ++s)
        for (const auto& [key, cell] : book.sheets[s].cells()) {
            (void)book.cellText(s, Sheet::rowOf(key), Sheet::colOf(key));
            (void)formulaText(book, s, Sheet::rowOf(key), Sheet::colOf(key));
        }
    Calculator(book).recalculateAll();
    const Workbook again = readXls(writeXls(book));
    (void)again;
}

} // namespace tegaro::sheets::fuzzing
