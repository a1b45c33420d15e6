#include "sheets/view/CellEditor.h"

#include "sheets/view/SheetGrid.h"

#include <QKeyEvent>

namespace tegaro::sheets {

CellEditor::CellEditor(SheetGrid* grid) : QLineEdit(grid->viewport()), grid_(grid)
{
    setObjectName(QStringLiteral("CellEditor"));
    setAccessibleName(QStringLiteral("セルの入力"));
    setFrame(false);
    hide();
    connect(this, &QLineEdit::textEdited, grid, &SheetGrid::editTextChanged);
    connect(this, &QLineEdit::textChanged, this, [this] { grid_->run([this] { grid_->placeEditor(); }); });
}

bool CellEditor::event(QEvent* event)
{
    // Tab ends the entry here instead of moving the focus on
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            keyPressEvent(key);
            return true;
        }
    }
    return QLineEdit::event(event);
}

void CellEditor::keyPressEvent(QKeyEvent* event)
{
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    int dRow = 0, dCol = 0;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: dRow = shift ? -1 : 1; break;
    case Qt::Key_Tab: dCol = 1; break;
    case Qt::Key_Backtab: dCol = -1; break;
    case Qt::Key_Escape:
        grid_->run([this] { grid_->cancelEdit(); });
        return;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
        if (grid_->editByTyping_) {
            dRow = event->key() == Qt::Key_Up ? -1 : event->key() == Qt::Key_Down ? 1
                                                                                  : 0;
            dCol = event->key() == Qt::Key_Left ? -1 : event->key() == Qt::Key_Right ? 1
                                                                                     : 0;
            break;
        }
        QLineEdit::keyPressEvent(event);
        return;
    default:
        QLineEdit::keyPressEvent(event);
        return;
    }
    grid_->run([&] { grid_->commitEdit(dRow, dCol); });
}

} // namespace tegaro::sheets
