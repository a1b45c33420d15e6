// The selection and the edits made on it: cut, paste, clearing.
#include "sheets/book/SheetBook.h"

namespace tegaro::sheets {

namespace {

Range spanOf(CellPos a, CellPos b)
{
    return {std::min(a.row, b.row), std::max(a.row, b.row), std::min(a.col, b.col), std::max(a.col, b.col)};
}

CellPos clamped(int row, int col)
{
    return {std::clamp(row, 0, kMaxRows - 1), std::clamp(col, 0, kMaxColumns - 1)};
}

Range clamped(Range r)
{
    const CellPos first = clamped(r.firstRow, r.firstCol), last = clamped(r.lastRow, r.lastCol);
    return spanOf(first, last);
}

} // namespace

QString TSheetBook::lockedMessage()
{
    return QStringLiteral("保護されたシートのセルです。変更するにはシートの保護を解除してください。");
}

void TSheetBook::sheetShown()
{
    merges_ = MergeIndex(active().merged);
    const CellPos at = moves().anchor(clamped(activeRow(), activeCol()));
    selection_ = {moves().cover(spanOf(at, at)), at, at};
}

void TSheetBook::setSelection(const SheetSelection& selection, bool moveActive)
{
    selection_ = selection;
    if (moveActive) {
        active().view.activeRow = selection.anchor.row;
        active().view.activeCol = selection.anchor.col;
    }
    viewChanged();
}

void TSheetBook::select(int row, int col, bool extend)
{
    const CellMoves m = moves();
    const CellPos at = m.anchor(clamped(row, col));
    if (extend)
        setSelection({m.cover(spanOf(selection_.anchor, at)), selection_.anchor, at}, false);
    else
        setSelection({m.cover(spanOf(at, at)), at, at}, true);
}

void TSheetBook::selectRange(const Range& range)
{
    const Range r = clamped(range);
    setSelection({moves().cover(r), {r.firstRow, r.firstCol}, {r.lastRow, r.lastCol}}, true);
}

void TSheetBook::selectLines(int first, int last, bool columns, bool extend)
{
    const int limit = columns ? kMaxColumns - 1 : kMaxRows - 1;
    first = std::clamp(first, 0, limit);
    last = std::clamp(last, first, limit);
    SheetSelection s = selection_;
    s.range = columns ? Range{0, kMaxRows - 1, first, last} : Range{first, last, 0, kMaxColumns - 1};
    if (!extend)
        s.anchor = columns ? CellPos{0, first} : CellPos{first, 0};
    s.end = columns ? CellPos{kMaxRows - 1, last} : CellPos{last, kMaxColumns - 1};
    setSelection(s, !extend);
}

void TSheetBook::moveCursor(int dRow, int dCol, bool jump, bool extend)
{
    const CellMoves m = moves();
    const CellPos from = extend ? selection_.end : CellPos{activeRow(), activeCol()};
    const CellPos to = jump ? m.jump(from, dRow, dCol) : m.step(from, dRow, dCol);
    select(to.row, to.col, extend);
}

bool TSheetBook::singleCell() const
{
    const int row = activeRow(), col = activeCol();
    return selection_.range == moves().cover({row, row, col, col});
}

void TSheetBook::forgetCut()
{
    if (!cut_)
        return;
    cut_.reset();
    viewChanged();
}

std::unique_ptr<QMimeData> TSheetBook::selectionData() const
{
    return copyCells(book_, activeSheet(), selection_.range, identity());
}

std::unique_ptr<QMimeData> TSheetBook::copySelection()
{
    forgetCut();
    return selectionData();
}

SelectionEdit TSheetBook::cutSelection()
{
    if (anyLocked(activeSheet(), selection_.range))
        return SelectionEdit::Locked;
    cut_ = CutMark{activeSheet(), selection_.range};
    viewChanged();
    return SelectionEdit::Done;
}

SelectionPaste TSheetBook::pasteSelection(const QMimeData& mime)
{
    const int sheet = activeSheet();
    const bool moving = cut_ && mime.hasFormat(kCellsMimeType);
    PasteResult pasted = pasteCells(sheet, selection_.range, mime, moving);
    if (pasted.changes.isEmpty())
        return {};
    if (anyLocked(sheet, pasted.range))
        return {SelectionEdit::Locked, false};
    if (moving && cut_->sheet < book_.sheets.size()) {
        // what the paste does not cover leaves the old place
        const Sheet& s = book_.sheets[cut_->sheet];
        const Range from = cut_->range;
        for (auto it = s.cells().lower_bound(Sheet::key(from.firstRow, 0));
             it != s.cells().end() && Sheet::rowOf(it->first) <= from.lastRow; ++it) {
            const int r = Sheet::rowOf(it->first), c = Sheet::colOf(it->first);
            if (from.contains(r, c) && !(cut_->sheet == sheet && pasted.range.contains(r, c)))
                pasted.changes.prepend({cut_->sheet, r, c, std::nullopt});
        }
    }
    apply(pasted.changes);
    if (moving)
        cut_.reset();
    selectRange(pasted.range);
    return {SelectionEdit::Done, moving};
}

SelectionEdit TSheetBook::clearContents()
{
    const int sheet = activeSheet();
    const Range sel = selection_.range;
    if (anyLocked(sheet, sel))
        return SelectionEdit::Locked;
    const Sheet& s = book_.sheets[sheet];
    CellChanges changes;
    for (auto it = s.cells().lower_bound(Sheet::key(sel.firstRow, 0));
         it != s.cells().end() && Sheet::rowOf(it->first) <= sel.lastRow; ++it) {
        const int r = Sheet::rowOf(it->first), c = Sheet::colOf(it->first);
        if (!sel.contains(r, c) || it->second.kind == CellKind::Empty)
            continue;
        Cell emptied;
        emptied.xf = it->second.xf; // the format stays
        changes.append({sheet, r, c, emptied});
    }
    if (changes.isEmpty())
        return SelectionEdit::Nothing;
    apply(changes);
    return SelectionEdit::Done;
}

} // namespace tegaro::sheets
