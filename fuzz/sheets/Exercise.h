#pragma once
// What the sheet fuzz targets do with a workbook they could read: show
// every cell, and write it as .xls and read that again.
#include "sheets/Workbook.h"
#include "sheets/XlsFile.h"

namespace tegaro::sheets::fuzzing {

inline void exercise(const Workbook& book)
{
    for (int s = 0; s < book.sheets.size(); ++s)
        for (const auto& [key, cell] : book.sheets[s].cells())
            (void)book.cellText(s, Sheet::rowOf(key), Sheet::colOf(key));
    const Workbook again = readXls(writeXls(book));
    (void)again;
}

} // namespace tegaro::sheets::fuzzing
