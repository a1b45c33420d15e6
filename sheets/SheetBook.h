#pragma once
// The spreadsheet engine behind the sheet control: the shown workbook and
// the operations the window calls on it. The view widget draws `workbook()`
// and calls these; nothing here needs a window.
#include "sheets/Calculator.h"
#include "sheets/GlobalMemory.h"
#include "sheets/Workbook.h"

#include <functional>

namespace tegaro::sheets {

class TSheetBook {
public:
    TSheetBook();

    const Workbook& workbook() const { return book_; }
    Workbook& workbook() { return book_; } // call Changed() after editing it directly

    // The text cell (row, column) of sheet `sheet` shows; all counted from 1.
    // Empty for an empty cell; ESheetError for a place outside the workbook.
    QString CellText(int sheet, int row, int col) const;

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

    // View properties of the control; rows and columns counted from 1.
    int TopRow() const;
    void SetTopRow(int row);
    int LeftCol() const;
    void SetLeftCol(int col);
    bool ShowEditBar() const { return showEditBar_; }
    void SetShowEditBar(bool on);
    bool ShowColHeading() const { return showColHeading_; }
    void SetShowColHeading(bool on);
    bool ShowRowHeading() const { return showRowHeading_; }
    void SetShowRowHeading(bool on);
    int ViewScale() const;
    void SetViewScale(int percent); // 10 to 400
    // TopRow 1, LeftCol 1, edit bar on, headings off, scale 95.
    void ApplyStandardView();

    // Sheet and cell the user works in (0-based, as in the model).
    int activeSheet() const { return book_.activeSheet; }
    void setActiveSheet(int sheet);
    int activeRow() const;
    int activeCol() const;
    void setActiveCell(int row, int col);

    // What the user types into a cell: a number, TRUE/FALSE, a formula
    // ("=..."), or text; an empty entry empties the value and keeps the
    // format. A formula that does not compile throws EFormulaError naming
    // the place of the fault, and nothing changes. The formulas that read
    // the cell are worked out again.
    void SetEntry(int sheet, int row, int col, const QString& entry);
    // The text the edit bar shows for a cell: the formula, or the value unformatted.
    QString EntryText(int sheet, int row, int col) const;

    // Every formula read and worked out again (F9), changes made to
    // workbook() directly included.
    void RecalculateAll();
    // What the last edit or recalculation changed, and circular references met.
    const Recalculation& lastRecalculation() const { return recalc_; }

    // Called after every change of the workbook or the view.
    std::function<void()> onChanged;

private:
    void Changed();
    Sheet& active();
    const Sheet& active() const;

    Workbook book_;
    Calculator calc_{book_};
    Recalculation recalc_;
    bool showEditBar_ = true;
    bool showColHeading_ = true;
    bool showRowHeading_ = true;
};

} // namespace tegaro::sheets
