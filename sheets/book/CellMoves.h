#pragma once
// Where the cell cursor goes on a key: one cell on, skipping hidden rows
// and columns and the rest of a merged area, or with Ctrl to the edge of
// the values, as in any spreadsheet.
#include "sheets/model/MergeIndex.h"

namespace tegaro::sheets {

struct CellPos {
    int row = 0, col = 0;
    bool operator==(const CellPos&) const = default;
};

class CellMoves {
public:
    CellMoves(const Sheet& sheet, const MergeIndex& merges);

    CellPos step(CellPos from, int dRow, int dCol) const;
    CellPos jump(CellPos from, int dRow, int dCol) const;
    // The corner of the used cells (Ctrl+End).
    CellPos lastUsed() const;
    // The range grown until it cuts no merged area in two.
    Range cover(Range r) const;
    // The first cell of the merged area holding a cell, or the cell.
    CellPos anchor(CellPos at) const;

    // Whether a row or column takes room on the screen: hidden ones and
    // ones of no height or width are passed over.
    bool rowShown(int row) const;
    bool columnShown(int col) const;

private:
    bool holdsValue(CellPos at) const;
    int nextRow(int row, int step) const;
    int nextColumn(int col, int step) const;

    const Sheet& sheet_;
    const MergeIndex& merges_;
};

} // namespace tegaro::sheets
