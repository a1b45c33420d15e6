// The grid's work: the cell cursor and selection, keys and mouse, editing
// in the cell, the clipboard and undo.
#include "sheets/view/SheetGrid.h"

#include "core/ErrorGuard.h"
#include "sheets/calc/Calculator.h"
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

void SheetGrid::failedNow()
{
    emit failed(currentExceptionText());
}

void SheetGrid::select(int row, int col, bool extend)
{
    book_.select(row, col, extend);
    const CellPos end = book_.selection().end;
    ensureVisible(end.row, end.col);
}

void SheetGrid::selectRange(const Range& range)
{
    book_.selectRange(range);
    ensureVisible(book_.activeRow(), book_.activeCol());
}

void SheetGrid::selectLines(int first, int last, bool columns, bool extend)
{
    // the view stays where it is, as the click was on what is shown
    book_.selectLines(first, last, columns, extend);
}

void SheetGrid::moveCursor(int dRow, int dCol, bool jump, bool extend)
{
    book_.moveCursor(dRow, dCol, jump, extend);
    const CellPos end = book_.selection().end;
    ensureVisible(end.row, end.col);
}

void SheetGrid::pageMove(int direction, bool extend, bool across)
{
    const Layout l = layout();
    const CellPos from = extend ? book_.selection().end : CellPos{book_.activeRow(), book_.activeCol()};
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

bool SheetGrid::refused(SelectionEdit result)
{
    if (result != SelectionEdit::Locked)
        return false;
    emit told(TSheetBook::lockedMessage());
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
    if (book_.isLocked(book_.activeSheet(), row, col)) {
        emit told(TSheetBook::lockedMessage());
        return;
    }
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
        emit told(e.message());
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
        emit told(Calculator::circularMessage(book_.workbook(), r.circular));
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
    QApplication::clipboard()->setMimeData(book_.copySelection().release());
}

void SheetGrid::cut()
{
    if (refused(book_.cutSelection()))
        return;
    QApplication::clipboard()->setMimeData(book_.selectionData().release());
}

void SheetGrid::paste()
{
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    if (!mime)
        return;
    const SelectionPaste pasted = book_.pasteSelection(*mime);
    if (refused(pasted.result))
        return;
    if (pasted.cutMoved)
        QApplication::clipboard()->clear(); // a cut moves once
    if (pasted.result == SelectionEdit::Done) {
        ensureVisible(book_.activeRow(), book_.activeCol());
        reportRecalculation();
    }
}

void SheetGrid::clearContents()
{
    if (!refused(book_.clearContents()))
        reportRecalculation();
}

void SheetGrid::undo()
{
    if (book_.undo())
        ensureVisible(book_.activeRow(), book_.activeCol());
    reportRecalculation();
}

void SheetGrid::redo()
{
    if (book_.redo())
        ensureVisible(book_.activeRow(), book_.activeCol());
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
    run([&] {
        if (isEditing() && !commitEdit())
            return;
        setFocus();
        if (event->button() == Qt::RightButton) {
            const auto at = cellAt(event->pos());
            if (at && selection().contains(at->row, at->col))
                return; // a right click inside the selection keeps it for the menu
        }
        const bool extend = event->modifiers() & Qt::ShiftModifier;
        bool column = false, row = false;
        if (const auto heading = headingAt(event->pos(), column, row)) {
            // whole columns or rows, from the anchor when extending
            dragKind_ = column ? 1 : 2;
            dragging_ = true;
            const int at = column ? heading->col : heading->row;
            const int from = extend ? (column ? book_.selection().anchor.col : book_.selection().anchor.row) : at;
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
    run([&] {
        const Layout l = layout();
        const QPoint inside(std::max(event->pos().x(), l.barW), std::max(event->pos().y(), l.barH));
        const auto at = cellAt(inside);
        if (!at)
            return;
        if (dragKind_ == 1)
            selectLines(std::min(book_.selection().anchor.col, at->col), std::max(book_.selection().anchor.col, at->col), true, true);
        else if (dragKind_ == 2)
            selectLines(std::min(book_.selection().anchor.row, at->row), std::max(book_.selection().anchor.row, at->row), false, true);
        else if (!(*at == book_.selection().end))
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
    run([&] {
        if (cellAt(event->pos()))
            startEdit({}, false);
    });
}

void SheetGrid::wheelEvent(QWheelEvent* event)
{
    const int notches = event->angleDelta().y() / 120;
    if (event->modifiers() & Qt::ControlModifier) {
        if (notches)
            run([&] { zoomBy(notches); });
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
    run([&] {
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
            return select(shift ? book_.selection().end.row : book_.activeRow(), l.frozenCols, shift);
        case Qt::Key_End:
            if (ctrl) {
                const CellPos last = book_.moves().lastUsed();
                return select(last.row, last.col, shift);
            }
            return;
        case Qt::Key_F2: return startEdit({}, false);
        case Qt::Key_F9: return recalculateAll();
        case Qt::Key_Delete: return clearContents();
        case Qt::Key_Backspace: return startEdit({}, true);
        case Qt::Key_Escape:
            return book_.forgetCut();
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
    run([&] {
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
    auto add = [&](const QString& text, QKeySequence keys, void (SheetGrid::*step)()) {
        QAction* a = menu_->addAction(text);
        a->setShortcut(keys);
        a->setShortcutVisibleInContextMenu(true);
        connect(a, &QAction::triggered, this, [this, step] { run([&] { (this->*step)(); }); });
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
