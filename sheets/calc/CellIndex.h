#pragma once
// Where each cell of a workbook lies in memory, found by row and column in
// constant time, where the sheets' own maps cost a tree search a cell. It
// holds while no cell is added or removed and the sheets stay where they
// are; current() tells.
#include "sheets/model/Workbook.h"

#include <vector>

namespace tegaro::sheets {

class CellIndex {
public:
    void build(Workbook& book);
    // Whether the index still holds for the book: the same sheets, in the
    // same place, with the same cells.
    bool current(Workbook& book) const;
    void clear() { sheets_.clear(); }
    bool empty() const { return sheets_.empty(); }

    Cell* find(int sheet, int row, int col) const
    {
        if (sheet < 0 || size_t(sheet) >= sheets_.size())
            return nullptr;
        const SheetIndex& s = sheets_[size_t(sheet)];
        if (row < 0 || size_t(row) >= s.rows.size())
            return nullptr;
        const Span& span = s.rows[size_t(row)];
        const int k = col - span.firstCol;
        return k >= 0 && k < span.count ? s.cells[size_t(span.offset + k)] : nullptr;
    }

private:
    struct Span {
        int firstCol = 0, count = 0, offset = 0;
    };
    struct SheetIndex {
        const Sheet* sheet = nullptr;
        quint64 revision = 0;
        std::vector<Span> rows;   // by row: the columns from the first to the last cell
        std::vector<Cell*> cells; // those columns, row after row; empty places null
    };
    std::vector<SheetIndex> sheets_;
};

} // namespace tegaro::sheets
