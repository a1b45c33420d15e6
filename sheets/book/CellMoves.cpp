#include "sheets/book/CellMoves.h"

namespace tegaro::sheets {

CellMoves::CellMoves(const Sheet& sheet, const MergeIndex& merges) : sheet_(sheet), merges_(merges) {}

bool CellMoves::rowShown(int row) const
{
    const auto it = sheet_.rows.find(row);
    if (it == sheet_.rows.end())
        return !(sheet_.defaultRowOptions & 0x02) && sheet_.defaultRowHeight >= 8;
    // less than half a pixel high draws as nothing
    return !it->second.hidden() && (it->second.height & 0x7FFF) >= 8;
}

bool CellMoves::columnShown(int col) const
{
    for (const ColumnInfo& info : sheet_.columns)
        if (col >= info.first && col <= info.last)
            return !info.hidden() && info.width > 0;
    return true;
}

int CellMoves::nextRow(int row, int step) const
{
    for (int r = row + step; r >= 0 && r < kMaxRows; r += step)
        if (rowShown(r))
            return r;
    return row;
}

int CellMoves::nextColumn(int col, int step) const
{
    for (int c = col + step; c >= 0 && c < kMaxColumns; c += step)
        if (columnShown(c))
            return c;
    return col;
}

CellPos CellMoves::anchor(CellPos at) const
{
    const Range* m = merges_.at(at.row, at.col);
    return m ? CellPos{m->firstRow, m->firstCol} : at;
}

CellPos CellMoves::step(CellPos from, int dRow, int dCol) const
{
    // leave a merged area from its far side
    CellPos start = from;
    if (const Range* m = merges_.at(from.row, from.col)) {
        if (dRow > 0) start.row = m->lastRow;
        if (dRow < 0) start.row = m->firstRow;
        if (dCol > 0) start.col = m->lastCol;
        if (dCol < 0) start.col = m->firstCol;
    }
    CellPos to = start;
    if (dRow)
        to.row = nextRow(start.row, dRow > 0 ? 1 : -1);
    if (dCol)
        to.col = nextColumn(start.col, dCol > 0 ? 1 : -1);
    if (to == start)
        return from; // at the edge
    return anchor(to);
}

bool CellMoves::holdsValue(CellPos at) const
{
    const Cell* c = sheet_.cell(at.row, at.col);
    return c && c->kind != CellKind::Empty;
}

CellPos CellMoves::jump(CellPos from, int dRow, int dCol) const
{
    CellPos at = from;
    CellPos next = step(at, dRow, dCol);
    if (next == at)
        return at;
    if (holdsValue(at) && holdsValue(next)) {
        // along the values to the last one
        while (true) {
            at = next;
            next = step(at, dRow, dCol);
            if (next == at || !holdsValue(next))
                return at;
        }
    }
    // over the empty cells to the next value, or to the edge
    at = next;
    while (!holdsValue(at)) {
        next = step(at, dRow, dCol);
        if (next == at)
            return at;
        at = next;
    }
    return at;
}

CellPos CellMoves::lastUsed() const
{
    return {std::max(sheet_.lastRow(), 0), std::max(sheet_.lastColumn(), 0)};
}

Range CellMoves::cover(Range r) const
{
    for (bool grown = true; grown;) {
        grown = false;
        for (const Range& m : merges_.within(r)) {
            const Range wider{std::min(r.firstRow, m.firstRow), std::max(r.lastRow, m.lastRow),
                              std::min(r.firstCol, m.firstCol), std::max(r.lastCol, m.lastCol)};
            if (!(wider == r)) {
                r = wider;
                grown = true;
            }
        }
    }
    return r;
}

} // namespace tegaro::sheets
