// The grid's work: the cell cursor and selection, keys and mouse, editing
// in the cell, the clipboard and undo.
#include "sheets/view/SheetGrid.h"

#include "core/ErrorGuard.h"
#include "widgets/UserSeam.h"
#include "sheets/calc/Calculator.h"
#include "sheets/book/CellClipboard.h"
#include "sheets/model/SheetErrors.h"
#include "sheets/view/CellEditor.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>

namespace tegaro::sheets {

namespace {

const QString kLockedText = QStringLiteral("保護されたシートのセルです。変更するにはシートの保護を解除してください。");

Range spanOf(CellPos a, CellPos b)
{
    return {std::min(a.row, b.row), std::max(a.row, b.row), std::min(a.col, b.col), std::max(a.col, b.col)};
}

} // namespace

void SheetGrid::select(int row, int col, bool extend)
{
    const CellMoves& moves = *pictures().moves;
    const CellPos at = moves.anchor({std::clamp(row, 0, kMaxRows - 1), std::clamp(col, 0, kMaxColumns - 1)});
    end_ = at;
    if (extend) {
        selection_ = moves.cover(spanOf(anchor_, end_));
    } else {
        anchor_ = at;
        selection_ = moves.cover(spanOf(at, at));
        book_.setActiveCell(at.row, at.col);
    }
    ensureVisible(end_.row, end_.col);
    viewport()->update();
    emit activeCellChanged();
}

void SheetGrid::selectRange(const Range& range)
{
    anchor_ = {range.firstRow, range.firstCol};
    end_ = {range.lastRow, range.lastCol};
    selection_ = pictures().moves->cover(range);
    book_.setActiveCell(range.firstRow, range.firstCol);
    ensureVisible(range.firstRow, range.firstCol);
    viewport()->update();
    emit activeCellChanged();
}

bool SheetGrid::singleCell() const
{
    const int row = book_.activeRow(), col = book_.activeCol();
    return selection_ == pictures().moves->cover({row, row, col, col});
}

void SheetGrid::selectLines(int first, int last, bool columns, bool extend)
{
    // the view stays where it is, as the click was on what is shown
    selection_ = columns ? Range{0, kMaxRows - 1, first, last} : Range{first, last, 0, kMaxColumns - 1};
    if (!extend) {
        anchor_ = columns ? CellPos{0, first} : CellPos{first, 0};
        book_.setActiveCell(anchor_.row, anchor_.col);
    }
    end_ = columns ? CellPos{kMaxRows - 1, last} : CellPos{last, kMaxColumns - 1};
    viewport()->update();
    emit activeCellChanged();
}

void SheetGrid::moveCursor(int dRow, int dCol, bool jump, bool extend)
{
    const CellMoves& moves = *pictures().moves;
    const CellPos from = extend ? end_ : CellPos{book_.activeRow(), book_.activeCol()};
    const CellPos to = jump ? moves.jump(from, dRow, dCol) : moves.step(from, dRow, dCol);
    select(to.row, to.col, extend);
}

void SheetGrid::pageMove(int direction, bool extend, bool across)
{
    const Layout l = layout();
    const CellPos from = extend ? end_ : CellPos{book_.activeRow(), book_.activeCol()};
    if (across) {
        const int cols = visibleCols() * direction;
        book_.setLeftCol(std::clamp(l.scrollCol + cols, l.frozenCols, kMaxColumns - 1));
        select(from.row, std::clamp(from.col + cols, 0, kMaxColumns - 1), extend);
    } else {
        const int rows = visibleRows() * direction;
        book_.setTopRow(std::clamp(l.scrollRow + rows, l.frozenRows, kMaxRows - 1));
        select(std::clamp(from.row + rows, 0, kMaxRows - 1), from.col, extend);
    }
}

bool SheetGrid::refuseLocked(const Range& range)
{
    if (!book_.anyLocked(book_.activeSheet(), range))
        return false;
    seam().message(kLockedText);
    return true;
}

bool SheetGrid::isEditing() const
{
    return editor_ && editor_->isVisible();
}

QString SheetGrid::editText() const
{
    return isEditing() ? editor_->text() : book_.EntryText(book_.activeSheet(), book_.activeRow(), book_.activeCol());
}

void SheetGrid::setEditText(const QString& text)
{
    if (isEditing())
        editor_->setText(text);
}

void SheetGrid::startEdit(const QString& text, bool replace)
{
    const int row = book_.activeRow(), col = book_.activeCol();
    if (refuseLocked({row, row, col, col}))
        return;
    ensureVisible(row, col);
    editByTyping_ = replace;
    const Workbook& book = book_.workbook();
    const Cell* cell = book.sheets[book_.activeSheet()].cell(row, col);
    const int font = book.format(cell ? cell->xf : book.sheets[book_.activeSheet()].xfAt(row, col)).font;
    editor_->setFont(pictures().styles->font(font));
    editor_->setText(replace ? text : book_.EntryText(book_.activeSheet(), row, col));
    editor_->end(false);
    placeEditor();
    editor_->show();
    editor_->setFocus();
    emit editTextChanged(editor_->text());
}

void SheetGrid::placeEditor()
{
    if (!editor_ || !editor_->isVisible())
        return;
    QRect r = cellRect(book_.activeRow(), book_.activeCol());
    if (r.isEmpty()) {
        editor_->setGeometry(QRect(-1000, -1000, 10, 10)); // scrolled away: keep it, out of sight
        return;
    }
    // grows to the right with the text, as far as the window goes
    const int wanted = editor_->fontMetrics().horizontalAdvance(editor_->text()) + 8;
    r.setWidth(std::min(std::max(r.width(), wanted), viewport()->width() - r.left()));
    editor_->setGeometry(r);
}

void SheetGrid::storeEdit()
{
    try {
        book_.SetEntry(book_.activeSheet(), book_.activeRow(), book_.activeCol(), editor_->text());
    } catch (const EFormulaError& e) {
        // the entry stays in the editor, the caret at the fault, to be put right
        editor_->setFocus();
        if (e.position() >= 0)
            editor_->setCursorPosition(std::min(int(e.position()), int(editor_->text().size())));
        throw;
    }
    reportRecalculation();
}

void SheetGrid::finishEdit()
{
    if (isEditing())
        commitAndMove(0, 0);
}

bool SheetGrid::commitEdit(int dRow, int dCol)
{
    if (!isEditing())
        return true;
    try {
        commitAndMove(dRow, dCol);
    } catch (const EFormulaError& e) {
        seam().message(e.message());
        return false;
    }
    return true;
}

void SheetGrid::commitAndMove(int dRow, int dCol)
{
    storeEdit();
    editor_->hide();
    setFocus();
    if (dRow || dCol)
        moveCursor(dRow, dCol, false, false);
    emit activeCellChanged();
}

void SheetGrid::reportRecalculation()
{
    const Recalculation& r = book_.lastRecalculation();
    if (r.newCircular)
        seam().message(Calculator::circularMessage(book_.workbook(), r.circular));
}

void SheetGrid::recalculateAll()
{
    book_.RecalculateAll();
    reportRecalculation();
}

void SheetGrid::cancelEdit()
{
    if (!editor_ || !editor_->isVisible())
        return;
    editor_->hide();
    setFocus();
    emit activeCellChanged();
}

void SheetGrid::copy()
{
    QApplication::clipboard()->setMimeData(
        copyCells(book_.workbook(), book_.activeSheet(), selection_, book_.identity()).release());
    cutRange_.reset();
    viewport()->update();
}

void SheetGrid::cut()
{
    if (refuseLocked(selection_))
        return;
    copy();
    cutRange_ = selection_;
    cutSheet_ = book_.activeSheet();
}

void SheetGrid::paste()
{
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    if (!mime)
        return;
    const int sheet = book_.activeSheet();
    const bool moving = cutRange_ && mime->hasFormat(kCellsMimeType);
    PasteResult pasted = book_.pasteCells(sheet, selection_, *mime, moving);
    if (pasted.changes.isEmpty() || refuseLocked(pasted.range))
        return;
    // a cut moves: what is not pasted over leaves its old place
    if (moving && cutSheet_ < book_.workbook().sheets.size()) {
        const Sheet& s = book_.workbook().sheets[cutSheet_];
        const Range from = *cutRange_;
        for (auto it = s.cells().lower_bound(Sheet::key(from.firstRow, 0));
             it != s.cells().end() && Sheet::rowOf(it->first) <= from.lastRow; ++it) {
            const int r = Sheet::rowOf(it->first), c = Sheet::colOf(it->first);
            if (from.contains(r, c) && !(cutSheet_ == sheet && pasted.range.contains(r, c)))
                pasted.changes.prepend({cutSheet_, r, c, std::nullopt});
        }
        cutRange_.reset();
        QApplication::clipboard()->clear();
    }
    book_.apply(pasted.changes);
    selectRange(pasted.range);
    reportRecalculation();
}

void SheetGrid::clearContents()
{
    if (refuseLocked(selection_))
        return;
    const int sheet = book_.activeSheet();
    const Sheet& s = book_.workbook().sheets[sheet];
    CellChanges changes;
    for (auto it = s.cells().lower_bound(Sheet::key(selection_.firstRow, 0));
         it != s.cells().end() && Sheet::rowOf(it->first) <= selection_.lastRow; ++it) {
        const int r = Sheet::rowOf(it->first), c = Sheet::colOf(it->first);
        if (!selection_.contains(r, c) || it->second.kind == CellKind::Empty)
            continue;
        Cell emptied;
        emptied.xf = it->second.xf; // the format stays
        changes.append({sheet, r, c, emptied});
    }
    book_.apply(changes);
    reportRecalculation();
}

void SheetGrid::undo()
{
    if (const auto step = book_.undo(); step && step->sheet == book_.activeSheet() && step->range.lastRow >= 0)
        selectRange(step->range);
    reportRecalculation();
}

void SheetGrid::redo()
{
    if (const auto step = book_.redo(); step && step->sheet == book_.activeSheet() && step->range.lastRow >= 0)
        selectRange(step->range);
    reportRecalculation();
}

void SheetGrid::zoomBy(int steps)
{
    book_.setZoom(book_.zoom() + steps * 10);
}

std::optional<CellPos> SheetGrid::headingAt(QPoint at, bool& column, bool& row) const
{
    const Layout l = layout();
    column = at.y() < l.barH && at.x() >= l.barW;
    row = at.x() < l.barW && at.y() >= l.barH;
    if (!column && !row)
        return std::nullopt;
    // the cell in line with the heading
    const QPoint inside(std::max(at.x(), l.barW), std::max(at.y(), l.barH));
    return cellAt(inside);
}

void SheetGrid::mousePressEvent(QMouseEvent* event)
{
    guarded([&] {
        if (isEditing() && !commitEdit())
            return;
        setFocus();
        if (event->button() == Qt::RightButton) {
            const auto at = cellAt(event->pos());
            if (at && selection_.contains(at->row, at->col))
                return; // a right click inside the selection keeps it for the menu
        }
        const bool extend = event->modifiers() & Qt::ShiftModifier;
        bool column = false, row = false;
        if (const auto heading = headingAt(event->pos(), column, row)) {
            // whole columns or rows, from the anchor when extending
            dragKind_ = column ? 1 : 2;
            dragging_ = true;
            const int at = column ? heading->col : heading->row;
            const int from = extend ? (column ? anchor_.col : anchor_.row) : at;
            selectLines(std::min(from, at), std::max(from, at), column, extend);
            return;
        }
        const Layout l = layout();
        if (event->pos().x() < l.barW && event->pos().y() < l.barH) {
            selectLines(0, kMaxColumns - 1, true, false); // the corner selects all
            return;
        }
        if (const auto at = cellAt(event->pos())) {
            dragKind_ = 0;
            dragging_ = event->button() == Qt::LeftButton;
            select(at->row, at->col, extend);
        }
    });
}

void SheetGrid::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragging_)
        return;
    guarded([&] {
        const Layout l = layout();
        const QPoint inside(std::max(event->pos().x(), l.barW), std::max(event->pos().y(), l.barH));
        const auto at = cellAt(inside);
        if (!at)
            return;
        if (dragKind_ == 1)
            selectLines(std::min(anchor_.col, at->col), std::max(anchor_.col, at->col), true, true);
        else if (dragKind_ == 2)
            selectLines(std::min(anchor_.row, at->row), std::max(anchor_.row, at->row), false, true);
        else if (!(*at == end_))
            select(at->row, at->col, true);
        viewport()->update();
    });
}

void SheetGrid::mouseReleaseEvent(QMouseEvent*)
{
    dragging_ = false;
}

void SheetGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    guarded([&] {
        if (cellAt(event->pos()))
            startEdit({}, false);
    });
}

void SheetGrid::wheelEvent(QWheelEvent* event)
{
    const int notches = event->angleDelta().y() / 120;
    if (event->modifiers() & Qt::ControlModifier) {
        if (notches)
            guarded([&] { zoomBy(notches); });
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

bool SheetGrid::focusNextPrevChild(bool)
{
    return false; // Tab moves the cell cursor
}

void SheetGrid::keyPressEvent(QKeyEvent* event)
{
    if (isEditing()) {
        QCoreApplication::sendEvent(editor_, event); // keys belong to the entry being typed
        return;
    }
    guarded([&] {
        const bool shift = event->modifiers() & Qt::ShiftModifier;
        const bool ctrl = event->modifiers() & Qt::ControlModifier;
        if (event->matches(QKeySequence::Copy))
            return copy();
        if (event->matches(QKeySequence::Cut))
            return cut();
        if (event->matches(QKeySequence::Paste))
            return paste();
        if (event->matches(QKeySequence::Undo))
            return undo();
        if (event->matches(QKeySequence::Redo) || (ctrl && event->key() == Qt::Key_Y))
            return redo();
        if (event->matches(QKeySequence::SelectAll))
            return selectLines(0, kMaxColumns - 1, true, false);
        const Layout l = layout();
        switch (event->key()) {
        case Qt::Key_Up: return moveCursor(-1, 0, ctrl, shift);
        case Qt::Key_Down: return moveCursor(1, 0, ctrl, shift);
        case Qt::Key_Left: return moveCursor(0, -1, ctrl, shift);
        case Qt::Key_Right: return moveCursor(0, 1, ctrl, shift);
        case Qt::Key_Tab: return moveCursor(0, 1, false, false);
        case Qt::Key_Backtab: return moveCursor(0, -1, false, false);
        case Qt::Key_Return:
        case Qt::Key_Enter: return moveCursor(shift ? -1 : 1, 0, false, false);
        case Qt::Key_PageUp: return pageMove(-1, shift, event->modifiers() & Qt::AltModifier);
        case Qt::Key_PageDown: return pageMove(1, shift, event->modifiers() & Qt::AltModifier);
        case Qt::Key_Home:
            if (ctrl)
                return select(l.frozenRows > 0 ? l.frozenRows : 0, l.frozenCols > 0 ? l.frozenCols : 0, shift);
            return select(shift ? end_.row : book_.activeRow(), l.frozenCols, shift);
        case Qt::Key_End:
            if (ctrl) {
                const CellPos last = pictures().moves->lastUsed();
                return select(last.row, last.col, shift);
            }
            return;
        case Qt::Key_F2: return startEdit({}, false);
        case Qt::Key_F9: return recalculateAll();
        case Qt::Key_Delete: return clearContents();
        case Qt::Key_Backspace: return startEdit({}, true);
        case Qt::Key_Escape:
            cutRange_.reset();
            viewport()->update();
            return;
        default: break;
        }
        const QString text = event->text();
        if (!ctrl && !text.isEmpty() && text[0].isPrint())
            return startEdit(text, true);
        event->ignore();
    });
}

void SheetGrid::inputMethodEvent(QInputMethodEvent* event)
{
    // an input method's first characters start an entry, as typing does
    guarded([&] {
        if (!isEditing()) {
            if (event->commitString().isEmpty() && event->preeditString().isEmpty())
                return;
            startEdit({}, true);
        }
        if (isEditing())
            QCoreApplication::sendEvent(editor_, event);
    });
}

QVariant SheetGrid::inputMethodQuery(Qt::InputMethodQuery query) const
{
    if (query == Qt::ImCursorRectangle || query == Qt::ImAnchorRectangle) {
        const QRect r = cellRect(book_.activeRow(), book_.activeCol());
        return QRect(viewport()->mapToParent(r.bottomLeft()), QSize(1, 1));
    }
    return QAbstractScrollArea::inputMethodQuery(query);
}

QMenu* SheetGrid::contextMenu()
{
    if (menu_)
        return menu_;
    menu_ = new QMenu(this);
    menu_->setObjectName(QStringLiteral("SheetMenu"));
    auto add = [&](const QString& text, QKeySequence keys, void (SheetGrid::*run)()) {
        QAction* a = menu_->addAction(text);
        a->setShortcut(keys);
        a->setShortcutVisibleInContextMenu(true);
        connect(a, &QAction::triggered, this, [this, run] { guarded([&] { (this->*run)(); }); });
        return a;
    };
    add(QStringLiteral("切り取り(&T)"), QKeySequence::Cut, &SheetGrid::cut);
    add(QStringLiteral("コピー(&C)"), QKeySequence::Copy, &SheetGrid::copy);
    add(QStringLiteral("貼り付け(&P)"), QKeySequence::Paste, &SheetGrid::paste);
    add(QStringLiteral("数式と値のクリア(&N)"), QKeySequence::Delete, &SheetGrid::clearContents);
    menu_->addSeparator();
    add(QStringLiteral("元に戻す(&U)"), QKeySequence::Undo, &SheetGrid::undo)->setObjectName(QStringLiteral("Undo"));
    add(QStringLiteral("やり直し(&R)"), QKeySequence(Qt::CTRL | Qt::Key_Y), &SheetGrid::redo)->setObjectName(QStringLiteral("Redo"));
    return menu_;
}

void SheetGrid::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = contextMenu();
    for (QAction* a : menu->actions()) {
        if (a->objectName() == u"Undo")
            a->setEnabled(book_.canUndo());
        else if (a->objectName() == u"Redo")
            a->setEnabled(book_.canRedo());
    }
    menu->popup(event->globalPos());
}

} // namespace tegaro::sheets
