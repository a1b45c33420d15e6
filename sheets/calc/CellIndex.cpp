#include "sheets/calc/CellIndex.h"

namespace tegaro::sheets {

void CellIndex::build(Workbook& book)
{
    sheets_.assign(size_t(book.sheets.size()), {});
    for (int s = 0; s < book.sheets.size(); ++s) {
        Sheet& sheet = book.sheets[s];
        SheetIndex& index = sheets_[size_t(s)];
        index.sheet = &sheet;
        index.revision = sheet.layoutRevision();
        index.rows.resize(size_t(sheet.lastRow() + 1));
        index.cells.reserve(size_t(sheet.cellCount()));
        // cells come row by row, each row from left to right
        int row = -1, nextCol = 0;
        sheet.forEachCell([&](quint32 key, Cell& cell) {
            const int r = Sheet::rowOf(key), c = Sheet::colOf(key);
            Span& span = index.rows[size_t(r)];
            if (r != row) {
                row = r;
                span.firstCol = nextCol = c;
                span.offset = int(index.cells.size());
            }
            index.cells.insert(index.cells.end(), size_t(c - nextCol), nullptr);
            index.cells.push_back(&cell);
            nextCol = c + 1;
            span.count = nextCol - span.firstCol;
        });
    }
}

bool CellIndex::current(Workbook& book) const
{
    if (sheets_.empty() || sheets_.size() != size_t(book.sheets.size()))
        return false;
    for (int s = 0; s < book.sheets.size(); ++s) {
        // taken for writing: a book shared with a copy gets its own sheets now, not later
        const Sheet& sheet = book.sheets[s];
        if (sheets_[size_t(s)].sheet != &sheet || sheets_[size_t(s)].revision != sheet.layoutRevision())
            return false;
    }
    return true;
}

} // namespace tegaro::sheets
