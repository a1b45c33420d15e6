#include "sheets/view/SheetAccessible.h"

#include "sheets/view/SheetGrid.h"

namespace tegaro::sheets {

namespace {

// One cell as a screen reader sees it; it keeps only its place, so it
// always tells what the cell shows now.
class AccessibleCell : public QAccessibleInterface, public QAccessibleTableCellInterface {
public:
    AccessibleCell(SheetGrid* grid, int row, int col) : grid_(grid), row_(row), col_(col) {}

    bool isValid() const override { return !grid_.isNull(); }
    QObject* object() const override { return nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(grid_); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::Cell; }
    void setText(QAccessible::Text, const QString&) override {}

    QString text(QAccessible::Text t) const override
    {
        if (!grid_)
            return {};
        // Read as item views' cells are: the text shown as the name, where
        // the cell is as the description.
        switch (t) {
        case QAccessible::Name:
        case QAccessible::Value: return grid_->shownText(row_, col_);
        case QAccessible::Description: return cellName(row_, col_);
        default: return {};
        }
    }

    QRect rect() const override
    {
        if (!grid_)
            return {};
        const QRect r = grid_->cellRect(row_, col_);
        return r.isEmpty() ? QRect() : QRect(grid_->viewport()->mapToGlobal(r.topLeft()), r.size());
    }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        s.focusable = true;
        s.selectable = true;
        if (!grid_)
            return s;
        s.selected = isSelected();
        s.focused = grid_->hasFocus() && grid_->activeCell() == CellPos{row_, col_};
        s.invisible = grid_->cellRect(row_, col_).isEmpty();
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::TableCellInterface ? static_cast<QAccessibleTableCellInterface*>(this) : nullptr;
    }

    bool isSelected() const override { return grid_ && grid_->selection().contains(row_, col_); }
    QList<QAccessibleInterface*> columnHeaderCells() const override { return {}; }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return col_; }
    int rowIndex() const override { return row_; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

private:
    QPointer<SheetGrid> grid_;
    int row_, col_;
};

QAccessibleInterface* factory(const QString& className, QObject* object)
{
    if (className == QLatin1String("tegaro::sheets::SheetGrid") && object && object->isWidgetType())
        return new AccessibleSheet(static_cast<SheetGrid*>(object));
    return nullptr;
}

} // namespace

void installSheetAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    Q_UNUSED(installed);
}

AccessibleSheet::AccessibleSheet(SheetGrid* grid) : QAccessibleWidget(grid, QAccessible::Table) {}

AccessibleSheet::~AccessibleSheet()
{
    for (QAccessible::Id id : std::as_const(cells_))
        QAccessible::deleteAccessibleInterface(id);
}

SheetGrid* AccessibleSheet::grid() const
{
    return static_cast<SheetGrid*>(widget());
}

std::pair<int, int> AccessibleSheet::extent() const
{
    const SheetGrid* g = grid();
    const CellPos active = g->activeCell();
    const Range shown = g->shownCells();
    const int rows = std::max({g->lastUsedRow(), active.row, shown.lastRow}) + 1;
    const int cols = std::max({active.col, shown.lastCol, 25}) + 1;
    return {std::min(rows, kMaxRows), std::min(cols, kMaxColumns)};
}

int AccessibleSheet::rowCount() const { return extent().first; }
int AccessibleSheet::columnCount() const { return extent().second; }

int AccessibleSheet::cellCount() const
{
    const auto [rows, cols] = extent();
    return rows * cols;
}

// The cells come first, then the grid's own parts: the scroll bars, the
// sheet tabs beside them, the editor over a cell.
int AccessibleSheet::childCount() const
{
    return cellCount() + QAccessibleWidget::childCount();
}

QAccessibleInterface* AccessibleSheet::cellAt(int row, int column) const
{
    if (row < 0 || column < 0 || row >= kMaxRows || column >= kMaxColumns)
        return nullptr;
    const quint32 key = Sheet::key(row, column);
    auto it = cells_.constFind(key);
    if (it == cells_.constEnd())
        it = cells_.insert(key, QAccessible::registerAccessibleInterface(new AccessibleCell(grid(), row, column)));
    return QAccessible::accessibleInterface(*it);
}

QAccessibleInterface* AccessibleSheet::child(int index) const
{
    const int cols = columnCount(), cells = cellCount();
    if (index >= cells)
        return QAccessibleWidget::child(index - cells);
    return index < 0 ? nullptr : cellAt(index / cols, index % cols);
}

int AccessibleSheet::indexOfChild(const QAccessibleInterface* child) const
{
    const auto* cell = dynamic_cast<const AccessibleCell*>(child);
    if (!cell) {
        const int part = QAccessibleWidget::indexOfChild(child);
        return part < 0 ? -1 : cellCount() + part;
    }
    if (cell->table() != static_cast<const QAccessibleInterface*>(this))
        return -1; // a cell of another grid
    return cell->rowIndex() * columnCount() + cell->columnIndex();
}

QAccessibleInterface* AccessibleSheet::childAt(int x, int y) const
{
    if (QAccessibleInterface* part = QAccessibleWidget::childAt(x, y);
        part && part->object() != grid()->viewport())
        return part; // a scroll bar, a sheet tab
    const auto at = grid()->cellAt(grid()->viewport()->mapFromGlobal(QPoint(x, y)));
    return at ? cellAt(at->row, at->col) : nullptr;
}

QAccessibleInterface* AccessibleSheet::focusChild() const
{
    const CellPos active = grid()->activeCell();
    return cellAt(active.row, active.col);
}

QString AccessibleSheet::text(QAccessible::Text t) const
{
    if (t == QAccessible::Name)
        return grid()->accessibleName();
    return QAccessibleWidget::text(t);
}

void* AccessibleSheet::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TableInterface)
        return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

void AccessibleSheet::cellsChanged(const Range& range)
{
    // cells a reader has asked for may keep their old texts in its cache
    for (auto it = cells_.constBegin(); it != cells_.constEnd(); ++it) {
        const int row = Sheet::rowOf(it.key()), col = Sheet::colOf(it.key());
        if (!range.contains(row, col))
            continue;
        QAccessibleEvent event(QAccessible::accessibleInterface(*it), QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
}

QString AccessibleSheet::columnDescription(int column) const
{
    return columnName(column);
}

QString AccessibleSheet::rowDescription(int row) const
{
    return QString::number(row + 1);
}

int AccessibleSheet::selectedCellCount() const
{
    const Range r = grid()->selection();
    return int(std::min<qint64>(qint64(r.lastRow - r.firstRow + 1) * (r.lastCol - r.firstCol + 1), INT_MAX));
}

QList<QAccessibleInterface*> AccessibleSheet::selectedCells() const
{
    // a whole sheet selected is too much to hand out: the cells in sight
    const Range r = grid()->selection();
    const Range shown = grid()->shownCells();
    QList<QAccessibleInterface*> out;
    for (int row = std::max(r.firstRow, shown.firstRow); row <= std::min(r.lastRow, shown.lastRow); ++row)
        for (int col = std::max(r.firstCol, shown.firstCol); col <= std::min(r.lastCol, shown.lastCol); ++col)
            out << cellAt(row, col);
    return out;
}

} // namespace tegaro::sheets
