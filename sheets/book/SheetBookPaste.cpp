#include "sheets/book/SheetBook.h"
#include "sheets/model/SheetErrors.h"

#include <QHash>

namespace tegaro::sheets {

namespace {

// No paste may make more cells than this; a sheet holds far fewer in practice.
constexpr qint64 kMaxPasted = 4'000'000;

} // namespace

PasteResult TSheetBook::pasteCells(int sheet, const Range& target, const QMimeData& mime, bool moving)
{
    ClipboardCells in = readClipboard(mime);
    // formulas of this workbook move their references with them
    if (moving || !in.origin || in.origin->identity != identity())
        in.origin.reset();
    const int rows = in.rows, cols = in.cols;
    PasteResult result;
    if (rows == 0 || cols == 0)
        return result;
    // repeat over the target when it holds the copy a whole number of times
    const int targetRows = target.lastRow - target.firstRow + 1, targetCols = target.lastCol - target.firstCol + 1;
    const int timesDown = targetRows % rows == 0 ? targetRows / rows : 1;
    const int timesAcross = targetCols % cols == 0 ? targetCols / cols : 1;
    const int lastRow = std::min(target.firstRow + rows * timesDown, kMaxRows) - 1;
    const int lastCol = std::min(target.firstCol + cols * timesAcross, kMaxColumns) - 1;
    if (qint64(lastRow - target.firstRow + 1) * (lastCol - target.firstCol + 1) > kMaxPasted)
        throw ESheetError(QStringLiteral("貼り付ける範囲が大きすぎます。"));
    result.range = {target.firstRow, lastRow, target.firstCol, lastCol};

    const std::optional<CopyOrigin>& origin = in.origin;
    QHash<int, int> formats; // copied format -> ours
    for (int r = target.firstRow; r <= lastRow; ++r) {
        for (int c = target.firstCol; c <= lastCol; ++c) {
            const int sr = (r - target.firstRow) % rows, sc = (c - target.firstCol) % cols;
            if (in.copied) {
                const Cell* src = in.copied->sheets[0].cell(sr, sc);
                if (!src) {
                    result.changes.append({sheet, r, c, std::nullopt});
                    continue;
                }
                Cell cell = *src;
                auto known = formats.constFind(src->xf);
                if (known == formats.constEnd())
                    known = formats.insert(src->xf, book_.importFormat(*in.copied, src->xf));
                cell.xf = quint16(*known);
                if (cell.formula && origin && (r != origin->row + sr || c != origin->col + sc)) {
                    if (auto moved = movedFormula(sheet, *cell.formula, r - origin->row - sr, c - origin->col - sc))
                        cell.formula = moved;
                }
                result.changes.append({sheet, r, c, cell});
            } else {
                const QStringList& line = in.entries[sr];
                const QString entry = sc < line.size() ? line[sc] : QString();
                result.changes.append({sheet, r, c, entryCell(sheet, r, c, entry)});
            }
        }
    }
    return result;
}

} // namespace tegaro::sheets
