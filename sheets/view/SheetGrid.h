#pragma once
// The cells of the active sheet in a scroll area: headings, frozen panes,
// the cell cursor and selection, editing in the cell, the clipboard, undo
// and zoom. It paints only what is visible and turns keys and the mouse
// into requests to the book, which holds the selection and makes the edits.
// What the user is to be told it signals to the control's owner.
#include "sheets/book/SheetBook.h"
#include "sheets/render/Headings.h"
#include "sheets/render/SheetPainter.h"

#include <QAbstractScrollArea>
#include <QPointer>

#include <memory>

class QLineEdit;
class QMenu;

namespace tegaro::sheets {

class CellEditor;

class SheetGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit SheetGrid(TSheetBook& book, QWidget* parent = nullptr);
    ~SheetGrid() override;

    // Told by the control after every change of the book.
    void bookChanged(const BookChange& change);

    // The selected range; the selection and the active cell are the book's.
    Range selection() const { return book_.selection().range; }
    // Selects in the book, and scrolls the cell into sight.
    void select(int row, int col, bool extend = false);
    void selectRange(const Range& range);
    bool singleCell() const { return book_.singleCell(); }
    // Moves the active cell as the arrow keys do.
    void moveBy(int dRow, int dCol) { moveCursor(dRow, dCol, false, false); }
    // Where a cell (or the merged area holding it) lies in the viewport;
    // empty when it is out of sight.
    QRect cellRect(int row, int col) const;
    // The cell under a viewport point, or nothing on the headings.
    std::optional<CellPos> cellAt(QPoint at) const;
    CellPos activeCell() const { return {book_.activeRow(), book_.activeCol()}; }
    // The cells in sight in the scrolled part (none, last before first, when
    // the headings fill the grid), and the last row holding a cell.
    Range shownCells() const;
    int lastUsedRow() const;
    // What a cell shows, for screen readers.
    QString shownText(int row, int col) const;
    // Rows and columns that fit in the viewport below and right of the frozen part.
    int visibleRows() const;
    int visibleCols() const;

    bool isEditing() const;
    // Starts editing the active cell: `text` replaces its entry when
    // `replace`, else the entry is edited with the caret at its end.
    void startEdit(const QString& text, bool replace);
    // Stores the edit and moves the cursor by (dRow, dCol); false when
    // the entry was refused. A formula that does not compile is told to the
    // user and stays in the editor.
    bool commitEdit(int dRow = 0, int dCol = 0);
    // Stores the edit before the workbook is saved or printed; a formula
    // that does not compile stays in the editor and throws EFormulaError,
    // so that nothing goes on without it.
    void finishEdit();
    void cancelEdit();
    // The text being typed, for the edit bar.
    QString editText() const;
    void setEditText(const QString& text);

    void copy();
    void cut();
    void paste();
    void clearContents(); // values go, formats stay
    void undo();
    void redo();
    void zoomBy(int steps);
    // Every formula worked out again (F9).
    void recalculateAll();
    // Tells the user of a circular reference the last change made.
    void reportRecalculation();

    // Told of every text the grid paints (checks of what the screen shows).
    std::function<void(const TextItem&)> textPainted;

    // Runs a step of an event: what it throws is signalled as `failed`,
    // never passed on to Qt.
    template <class F>
    void run(F&& step) noexcept
    {
        try {
            std::forward<F>(step)();
        } catch (...) {
            failedNow();
        }
    }

signals:
    void activeCellChanged();
    void editTextChanged(const QString& text);
    // For the user: a plain message, and the error an edit ended in.
    void told(const QString& text);
    void failed(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    friend class CellEditor;
    void failedNow(); // inside a catch block
    void storeEdit();
    // Hands a key or input method event to the cell editor, once.
    void passDown(QEvent* event);
    void commitAndMove(int dRow, int dCol);
    // Geometry, styles and painters of the shown sheet at its zoom.
    struct Pictures {
        int sheet = -1;
        int zoom = 0;
        int dpi = 96;
        std::unique_ptr<SheetGeometry> geo;
        std::unique_ptr<MergeIndex> merges;
        std::unique_ptr<SheetStyles> styles;
        std::unique_ptr<SheetPainter> painter;
        std::unique_ptr<Headings> headings;
    };
    struct Layout {
        int barW = 0, barH = 0; // heading bars
        int frozenRows = 0, frozenCols = 0;
        int frozenW = 0, frozenH = 0; // pixels of the frozen part
        int scrollRow = 0, scrollCol = 0;
    };
    Layout layout() const;
    Pictures& pictures() const;
    void rebuild();
    void syncScrollBars();
    void ensureVisible(int row, int col);
    void moveCursor(int dRow, int dCol, bool jump, bool extend);
    void selectLines(int first, int last, bool columns, bool extend);
    void pageMove(int direction, bool extend, bool across);
    bool refused(SelectionEdit result); // tells a locked cell
    std::optional<CellPos> headingAt(QPoint at, bool& column, bool& row) const;
    void paintPanes(QPainter& p, const Layout& l, const QRect& dirty) const;
    void paintSelection(QPainter& p, const Layout& l) const;
    void paintHeadings(QPainter& p, const Layout& l) const;
    void placeEditor();
    void tellScreenReaders();
    void tellTextsChanged(const Range& range);
    QMenu* contextMenu();

    TSheetBook& book_;
    mutable std::unique_ptr<Pictures> pictures_;
    bool dragging_ = false;
    int dragKind_ = 0; // 0 cells, 1 columns, 2 rows
    CellEditor* editor_ = nullptr;
    bool passingDown_ = false;
    bool editByTyping_ = false; // arrows end the edit, as when typing over a cell
    QMenu* menu_ = nullptr;
};

} // namespace tegaro::sheets
