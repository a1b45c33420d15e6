#pragma once
// The detail sheet control F5Book1: a spreadsheet that shows a workbook as
// the program that made it shows it, edits it and prints it. Its interface
// counts sheets, rows and columns from 1; everything behind it from 0.
// What the user is to be told it signals; its owner shows it.
#include "sheets/book/SheetBook.h"
#include "widgets/UserSeam.h"

#include <QFrame>

class QLineEdit;
class QTabBar;

namespace tegaro::sheets {

class SheetGrid;

class TF5Book : public QFrame {
    Q_OBJECT
public:
    explicit TF5Book(QWidget* parent = nullptr);
    ~TF5Book() override;

    TSheetBook& book() { return book_; }
    const TSheetBook& book() const { return book_; }
    SheetGrid* grid() const { return grid_; }

    // The text a cell shows; empty for an empty cell. Throws ESheetError
    // for a place outside the workbook.
    QString CellText(int sheet, int row, int col) const;
    void LoadWorkbook(const QString& path, short* fileType = nullptr);
    void SaveWorkbook(const QString& path, short fileType = 4);
    void SaveToMemoryHandle(HGLOBAL& handle, short reserved = 0);
    void LoadFromMemoryHandle(HGLOBAL handle, short reserved = 0);
    void ClearWorkbook();
    // Prints the workbook as its page setup lays it out through `print`
    // (the print dialog); false when the user cancelled, so nothing was
    // printed. ESheetError when there is nothing to print.
    using Printer = std::function<bool(const PrintJob&)>;
    [[nodiscard]] bool PrintWorkbook(const Printer& print);

    int TopRow() const;
    void SetTopRow(int row);
    int LeftCol() const;
    void SetLeftCol(int col);
    bool ShowEditBar() const;
    void SetShowEditBar(bool on);
    bool ShowColHeading() const;
    void SetShowColHeading(bool on);
    bool ShowRowHeading() const;
    void SetShowRowHeading(bool on);
    int ViewScale() const;
    void SetViewScale(int percent);
    // TopRow 1, LeftCol 1, edit bar on, headings off, scale 95%.
    void ApplyStandardView();

    // Whether the workbook holds edits not yet kept (an entry being typed
    // counts), and marking them kept once stored or saved.
    bool hasEdits() const;
    void markKept();

signals:
    // A plain message for the user (a refused entry, a circular reference).
    void told(const QString& text);
    // The error an action of the user ended in.
    void failed(const QString& text);
    // The cells changed, or the workbook was replaced.
    void contentChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void changed(const BookChange& change);
    void fillTabs();
    void showActiveCell(bool always = false); // always: even while the name box is typed in
    void commitEditBar();
    void goToName();
    // An entry made in the edit bar or the grid finishes before another call.
    void finishEditing();

    TSheetBook book_;
    QWidget* editRow_ = nullptr;
    QLineEdit* nameBox_ = nullptr;
    QLineEdit* editBar_ = nullptr;
    SheetGrid* grid_ = nullptr;
    QTabBar* tabs_ = nullptr;
    bool filling_ = false;
};

} // namespace tegaro::sheets
