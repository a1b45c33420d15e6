#pragma once
// Cells on the clipboard. Copied cells go out twice: as the shown texts,
// tab-separated, for other programs, and as a small workbook with their
// formats for pasting back in. Pasting takes either; plain text is read
// cell by cell as typed entries.
#include "sheets/SheetBook.h"

#include <QMimeData>

#include <memory>

namespace tegaro::sheets {

// The MIME type of our own copies (the .xls bytes of the copied range).
extern const QString kCellsMimeType;

// `source` is the identity of the TSheetBook copied from (0: none): pasted
// back into it, formulas move their relative references.
std::unique_ptr<QMimeData> copyCells(const Workbook& book, int sheet, const Range& range, quint64 source = 0);

struct PasteResult {
    CellChanges changes;
    Range range; // the cells pasted into
};

// What pasting `mime` at the top-left of `target` changes. A copy smaller
// than the target is repeated over it when it fits a whole number of
// times. Formats the copy brings are added to the shown workbook. Formulas
// copied from this workbook read from their new place, as spreadsheet
// programs do, unless the cells were cut (`moving`): then they stay as they are.
PasteResult pasteCells(TSheetBook& book, int sheet, const Range& target, const QMimeData& mime, bool moving = false);

// Tab-separated text: fields with tabs, line breaks or quotes are quoted.
QString tabText(const QList<QStringList>& rows);
QList<QStringList> parseTabText(const QString& text);

// The index in `to` of a format of `from`, with its font and number format.
int importFormat(Workbook& to, const Workbook& from, int xf);

} // namespace tegaro::sheets
