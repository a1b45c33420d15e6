#pragma once
// The list as an Excel workbook (.xlsx), streamed: the sheet's XML is made
// row by row and packed into the file on a second thread as it comes, so
// memory stays flat however long the list is and both cores work.
//
// One sheet: a bold heading row, frozen, with an autofilter; columns as wide
// as their longest text; numbers as numbers in the form's digits with
// thousands grouped, dates as dates, everything else as text (codes with
// leading zeros and text that looks like a formula stay text).
#include "records/list/ListRows.h"

namespace tegaro {

// Rows a sheet holds below its heading.
constexpr int kXlsxMaxRows = 1048575;
// Characters a cell holds; longer text is cut there.
constexpr int kXlsxMaxText = 32767;

struct XlsxResult {
    bool written = false; // false: progress asked to stop, nothing kept
    int shortened = 0;    // cells cut to kXlsxMaxText
};

// Writes the workbook to path (replacing it). Throws EInOutError when the
// library fails; the path is then left in whatever state the library left it.
XlsxResult writeXlsx(const ListRows& rows, const QString& path, const ListProgress& progress = {});

// Column width in Excel's units for a text: East Asian wide characters
// count two.
int textWidth(const QString& text);

} // namespace tegaro
