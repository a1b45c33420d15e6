#include "sheets/view/CellMoves.h"

namespace tegaro::sheets {

CellMoves::CellMoves(const Sheet& sheet, const SheetGeometry& geometry, const MergeIndex& merges)
    : sheet_(sheet), geo_(geometry), merges_(merges)
{
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
        to.row = geo_.nextRow(start.row, dRow > 0 ? 1 : -1);
    if (dCol)
        to.col = geo_.nextColumn(start.col, dCol > 0 ? 1 : -1);
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
