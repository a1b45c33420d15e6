#pragma once
// What screen readers see of the grid: a table whose cells say the text
// they show, with their place ("B3") as the description and the active
// cell as the focus.
#include "sheets/model/Workbook.h"

#include <QAccessibleWidget>

namespace tegaro::sheets {

class SheetGrid;

// Registers the grid's accessible table with Qt once.
void installSheetAccessibility();

class AccessibleSheet : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit AccessibleSheet(SheetGrid* grid);
    ~AccessibleSheet() override;

    // QAccessibleInterface
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;
    QString text(QAccessible::Text t) const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    // QAccessibleTableInterface
    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override;
    int columnCount() const override;
    int rowCount() const override;
    QString columnDescription(int column) const override;
    QString rowDescription(int row) const override;
    int selectedCellCount() const override;
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return 0; }
    QList<QAccessibleInterface*> selectedCells() const override;
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override { return {}; }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int) const override { return false; }
    bool selectRow(int) override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent*) override {}

    SheetGrid* grid() const;
    // Tells readers that the texts of these cells changed.
    void cellsChanged(const Range& range);

private:
    // The cells told about: the used ones, those in sight and the active one.
    std::pair<int, int> extent() const;
    int cellCount() const;
    mutable QHash<quint32, QAccessible::Id> cells_;
};

} // namespace tegaro::sheets
