#pragma once
// Cells on the clipboard. Copied cells go out twice: as the shown texts,
// tab-separated, for other programs, and as a small workbook with their
// formats for pasting back in. Pasting takes either; plain text is read
// cell by cell as typed entries.
#include "sheets/model/Workbook.h"

#include <QMimeData>

#include <memory>
#include <optional>

namespace tegaro::sheets {

// The MIME type of our own copies (the .xls bytes of the copied range).
extern const QString kCellsMimeType;

// `source` is the identity of the TSheetBook copied from (0: none): pasted
// back into it, formulas move their relative references.
std::unique_ptr<QMimeData> copyCells(const Workbook& book, int sheet, const Range& range, quint64 source = 0);

// Where one of our own copies came from: the identity of the TSheetBook
// copied from, and the copied range's first cell.
struct CopyOrigin {
    quint64 identity = 0;
    int sheet = 0, row = 0, col = 0;
};

// What the clipboard holds: our own copy as a small workbook (with where it
// came from), or else text read as rows of typed entries.
struct ClipboardCells {
    std::optional<Workbook> copied;
    std::optional<CopyOrigin> origin;
    QList<QStringList> entries;
    int rows = 0, cols = 0; // the size of what is pasted once
};
ClipboardCells readClipboard(const QMimeData& mime);

// Tab-separated text: fields with tabs, line breaks or quotes are quoted.
QString tabText(const QList<QStringList>& rows);
QList<QStringList> parseTabText(const QString& text);

} // namespace tegaro::sheets
