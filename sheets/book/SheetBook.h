#pragma once
// The spreadsheet engine behind the sheet control: the shown workbook, the
// edits made in it with their undo history, the selection and the control's
// view state.
// Sheets, rows and columns count from 0 here; the control's own interface,
// which counts from 1, converts at its edge. Nothing here needs a window.
#include "sheets/book/CellClipboard.h"
#include "sheets/book/CellMoves.h"
#include "sheets/calc/Calculator.h"
#include "sheets/memory/GlobalMemory.h"
#include "sheets/model/Workbook.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tegaro::sheets {

// One cell as an edit leaves it; no cell means the cell is removed.
struct CellChange {
    int sheet = 0, row = 0, col = 0;
    std::optional<Cell> cell;
};
using CellChanges = QList<CellChange>;

struct PasteResult {
    CellChanges changes;
    Range range; // the cells pasted into
};

// What a change touched, so that views repaint only that.
struct BookChange {
    enum Kind {
        Cells,    // values or formats of `range` on `sheet`
        View,     // scroll position, zoom, active cell, flags
        Workbook, // everything: a load, a clear
    } kind = Workbook;
    int sheet = -1;
    Range range;
};

// The control's own switches: edit bar, column and row headings. A loaded
// workbook sets the headings from its active sheet.
struct ViewFlags {
    bool editBar = true;
    bool colHeading = true;
    bool rowHeading = true;
    bool operator==(const ViewFlags&) const = default;
};

// The selected cells of the active sheet.
struct SheetSelection {
    Range range;    // every selected cell; a merged area is never cut in two
    CellPos anchor; // where it was started
    CellPos end;    // its moving corner
    bool operator==(const SheetSelection&) const = default;
};

// Cells cut and not yet pasted: a paste moves them.
struct CutMark {
    int sheet = 0;
    Range range;
    bool operator==(const CutMark&) const = default;
};

// What became of an edit asked of the selection.
enum class SelectionEdit {
    Done,
    Nothing, // there was nothing to do
    Locked,  // a locked cell of a protected sheet refused it; nothing changed
};

struct SelectionPaste {
    SelectionEdit result = SelectionEdit::Nothing;
    bool cutMoved = false; // a cut was moved: what it put on the clipboard has served
};

class TSheetBook {
public:
    TSheetBook();

    const Workbook& workbook() const { return book_; }
    // New with every workbook shown, in this process: a copy knows by it
    // whether it is pasted back into the workbook it came from.
    quint64 identity() const { return identity_; }
    // Replaces the shown workbook; the undo history starts again.
    void setWorkbook(Workbook book);
    // The path of the last workbook loaded from a file; empty otherwise.
    const QString& fileName() const { return fileName_; }

    // Replaces the shown workbook with the file; fileType is set to 4 (.xls).
    void LoadWorkbook(const QString& path, short* fileType = nullptr);
    // Writes the shown workbook; type 4, the Excel 97-2003 workbook, is the only one.
    void SaveWorkbook(const QString& path, short fileType = 4) const;
    // A new memory block holding the workbook as .xls bytes after `reserved`
    // spare bytes; the caller owns the block.
    void SaveToMemoryHandle(HGLOBAL& handle, short reserved = 0) const;
    // Reads the workbook from the block (after `reserved` bytes); the block
    // stays the caller's. Bytes after the workbook are ignored.
    void LoadFromMemoryHandle(HGLOBAL handle, short reserved = 0);
    void ClearWorkbook();

    // The text a cell shows; empty for an empty cell. ESheetError for a
    // place outside the workbook.
    QString cellText(int sheet, int row, int col) const;

    // The scrolled part's first row and column, and the zoom in percent
    // (10 to 400), of the active sheet.
    int topRow() const;
    void setTopRow(int row);
    int leftCol() const;
    void setLeftCol(int col);
    int zoom() const;
    void setZoom(int percent);
    const ViewFlags& viewFlags() const { return flags_; }
    void setViewFlags(const ViewFlags& flags);

    int activeSheet() const { return book_.activeSheet; }
    // Another sheet shown; its active cell becomes the selection.
    void setActiveSheet(int sheet);
    int activeRow() const;
    int activeCol() const;
    // The same as select(row, col).
    void setActiveCell(int row, int col);

    // The selection of the active sheet. A new workbook or sheet starts it
    // at the active cell.
    const SheetSelection& selection() const { return selection_; }
    // Makes the cell (the merged area holding it) the active cell and the
    // selection; `extend` instead grows the selection from its anchor to it.
    void select(int row, int col, bool extend = false);
    // The range selected, its first cell active.
    void selectRange(const Range& range);
    // Whole columns (or rows) first..last; `extend` keeps the active cell.
    void selectLines(int first, int last, bool columns, bool extend = false);
    // Moves the active cell, or with `extend` the moving corner, as the
    // arrow keys do; `jump` goes to the edge of the values as Ctrl does.
    void moveCursor(int dRow, int dCol, bool jump = false, bool extend = false);
    // Whether the selection is just the active cell (or its merged area).
    bool singleCell() const;
    // The cursor's rules on the active sheet.
    CellMoves moves() const { return CellMoves(active(), merges_); }

    // The cells marked by a cut, until they are pasted, copied over or the
    // mark is dropped (Escape).
    const std::optional<CutMark>& cutMark() const { return cut_; }
    void forgetCut();
    // The selected cells as clipboard data; the cut mark is forgotten.
    std::unique_ptr<QMimeData> copySelection();
    // Marks the selection cut; selectionData() is what goes on the clipboard.
    SelectionEdit cutSelection();
    std::unique_ptr<QMimeData> selectionData() const;
    // Pastes at the selection (as pasteCells) as one step of undo, and
    // selects what was pasted. Cells cut from this workbook leave their
    // old place where the paste does not cover it.
    SelectionPaste pasteSelection(const QMimeData& mime);
    // Empties the selected cells; their formats stay.
    SelectionEdit clearContents();
    // What the user is told when a locked cell refuses an edit.
    static QString lockedMessage();

    // What the user types into a cell (see CellEntry.h): a formula starting
    // with "=" is compiled, and one that does not compile throws
    // EFormulaError naming the place of the fault, nothing changed. An
    // empty entry empties the value and keeps the format.
    void SetEntry(int sheet, int row, int col, const QString& entry);
    // The text the edit bar shows for a cell: the formula, or the value unformatted.
    QString EntryText(int sheet, int row, int col) const;
    // The cell an entry would make, without storing it.
    Cell entryCell(int sheet, int row, int col, const QString& entry);
    // What pasting `mime` at the top-left of `target` would change. A copy
    // smaller than the target is repeated over it when it fits a whole
    // number of times. Formats the copy brings are added to the shown
    // workbook. Formulas copied from this workbook read from their new
    // place, as spreadsheet programs do, unless the cells were cut
    // (`moving`): then they stay as they are.
    PasteResult pasteCells(int sheet, const Range& target, const QMimeData& mime, bool moving = false);
    // A formula of this workbook copied `rows` down and `cols` across (see
    // movedFormula in Formulas.h); nothing when it is copied as it is.
    std::shared_ptr<const Formula> movedFormula(int sheet, const Formula& formula, int rows, int cols);

    // Every formula worked out again (F9); a circular reference already
    // told is not told again.
    void RecalculateAll();
    // What the last edit, undo or recalculation changed, and circular
    // references met.
    const Recalculation& lastRecalculation() const { return recalc_; }

    // Every edit of cells enters the workbook here, as one step of undo.
    void apply(const CellChanges& changes);
    bool canUndo() const { return !undo_.empty(); }
    // Whether the cells were edited (or an edit undone) since the workbook
    // was loaded, cleared or last marked as kept.
    bool edited() const { return edited_; }
    void markKept() { edited_ = false; }
    bool canRedo() const { return !redo_.empty(); }
    // Take back or do again one step; the cells it touched (nothing when
    // there was no step). On the active sheet they become the selection.
    std::optional<BookChange> undo();
    std::optional<BookChange> redo();

    // Whether an edit of the cell is refused: a locked cell of a protected sheet.
    bool isLocked(int sheet, int row, int col) const;
    // Whether any cell of the range is locked so.
    bool anyLocked(int sheet, const Range& range) const;

    // Told after every change of the workbook or the view.
    std::function<void(const BookChange&)> onChanged;

private:
    static quint64 nextIdentity();
    void changed(const BookChange& change);
    void viewChanged();
    void replaced();
    void cellsChanged(const QList<CellAddress>& cells);
    CellChanges applyRaw(const CellChanges& changes); // returns the inverse
    std::optional<BookChange> step(std::vector<CellChanges>& from, std::vector<CellChanges>& to);
    void checkPlace(int sheet, int row, int col) const;
    void checkArrays(const CellChanges& changes) const;
    void sheetShown(); // the active sheet is new: its merges, its selection
    void setSelection(const SheetSelection& selection, bool moveActive);
    Sheet& active();
    const Sheet& active() const;

    Workbook book_;
    quint64 identity_ = nextIdentity();
    Calculator calc_{book_};
    Recalculation recalc_;
    QString fileName_;
    ViewFlags flags_;
    MergeIndex merges_; // of the active sheet
    SheetSelection selection_;
    std::optional<CutMark> cut_;
    // Each step kept as the changes that take it back, most recent last.
    std::vector<CellChanges> undo_;
    std::vector<CellChanges> redo_;
    bool edited_ = false;
};

} // namespace tegaro::sheets
