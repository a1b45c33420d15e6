// The grid's pictures: layout of panes and headings, painting, scrolling.
#include "sheets/view/SheetGrid.h"

#include "sheets/view/CellEditor.h"
#include "sheets/view/SheetAccessible.h"

#include <QAccessible>

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

namespace tegaro::sheets {

namespace {

const QColor kOutside(0xE4, 0xE4, 0xE4); // beyond the last row or column
const QColor kSelectionLine(0x21, 0x73, 0x46);
const QColor kSelectionTint(0x21, 0x73, 0x46, 0x26);
const QColor kFrozenLine(0x80, 0x80, 0x80);

} // namespace

SheetGrid::SheetGrid(TSheetBook& book, QWidget* parent) : QAbstractScrollArea(parent), book_(book)
{
    // before the accessible name, which may already ask for the grid's interface
    installSheetAccessibility();
    setObjectName(QStringLiteral("SheetGrid"));
    setAccessibleName(QStringLiteral("セル"));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setMouseTracking(false);
    viewport()->setAutoFillBackground(false);
    editor_ = new CellEditor(this);
    connect(this, &SheetGrid::activeCellChanged, this, &SheetGrid::tellScreenReaders);
    rebuild();
}

SheetGrid::~SheetGrid() = default;

SheetGrid::Pictures& SheetGrid::pictures() const
{
    const int sheet = book_.activeSheet(), zoom = book_.zoom(), dpi = viewport()->logicalDpiY();
    if (!pictures_ || pictures_->sheet != sheet || pictures_->zoom != zoom || pictures_->dpi != dpi) {
        auto made = std::make_unique<Pictures>();
        const Workbook& book = book_.workbook();
        const double scale = zoom / 100.0 * dpi / 96.0;
        made->sheet = sheet;
        made->zoom = zoom;
        made->dpi = dpi;
        made->geo = std::make_unique<SheetGeometry>(book, sheet, scale);
        made->merges = std::make_unique<MergeIndex>(book.sheets[sheet].merged);
        made->styles = std::make_unique<SheetStyles>(book, scale, dpi);
        made->painter = std::make_unique<SheetPainter>(book, sheet, *made->geo, *made->merges, *made->styles);
        made->headings = std::make_unique<Headings>(book, *made->geo, dpi);
        pictures_ = std::move(made);
    }
    return *pictures_;
}

void SheetGrid::rebuild()
{
    pictures_.reset();
    syncScrollBars();
    viewport()->update();
}

void SheetGrid::bookChanged(const BookChange& change)
{
    switch (change.kind) {
    case BookChange::Workbook:
        if (isEditing())
            cancelEdit();
        rebuild();
        tellTextsChanged({0, kMaxRows - 1, 0, kMaxColumns - 1});
        emit activeCellChanged();
        break;
    case BookChange::View: {
        const bool otherSheet = pictures_ && pictures_->sheet != book_.activeSheet();
        if (otherSheet) {
            if (isEditing())
                cancelEdit();
            rebuild();
            tellTextsChanged({0, kMaxRows - 1, 0, kMaxColumns - 1});
        }
        syncScrollBars();
        if (isEditing())
            placeEditor();
        viewport()->update();
        emit activeCellChanged();
        break;
    }
    case BookChange::Cells:
        if (change.sheet == book_.activeSheet()) {
            tellTextsChanged(change.range);
            viewport()->update();
            syncScrollBars();
            if (change.range.contains(book_.activeRow(), book_.activeCol()))
                emit activeCellChanged();
        }
        break;
    }
}

SheetGrid::Layout SheetGrid::layout() const
{
    Pictures& pic = pictures();
    const Sheet& sheet = book_.workbook().sheets[book_.activeSheet()];
    const ViewFlags& flags = book_.viewFlags();
    Layout l;
    l.scrollRow = sheet.view.scrollRow();
    l.scrollCol = sheet.view.scrollCol();
    l.barH = flags.colHeading ? pic.headings->columnBarHeight() : 0;
    // wide enough for the row numbers a screen further down too
    l.barW = flags.rowHeading ? pic.headings->rowBarWidth(std::max(l.scrollRow + 200, 999)) : 0;
    // a frozen part larger than the window is cut to it
    const int rowsInSight = pic.geo->rowAt(std::max(viewport()->height() - l.barH, 0)) + 1;
    const int colsInSight = pic.geo->columnAt(std::max(viewport()->width() - l.barW, 0)) + 1;
    l.frozenRows = std::min(sheet.view.frozenRows(), rowsInSight);
    l.frozenCols = std::min(sheet.view.frozenCols(), colsInSight);
    l.frozenW = pic.geo->columnX(l.frozenCols);
    l.frozenH = pic.geo->rowY(l.frozenRows);
    return l;
}

Range SheetGrid::shownCells() const
{
    const Layout l = layout();
    const SheetGeometry& g = *pictures().geo;
    const int height = viewport()->height() - l.barH - l.frozenH;
    const int width = viewport()->width() - l.barW - l.frozenW;
    // where the headings take all the room, no cell of the scrolled part is in sight
    const int lastRow = height > 0 ? g.rowAt(g.rowY(l.scrollRow) + height) : l.scrollRow - 1;
    const int lastCol = width > 0 ? g.columnAt(g.columnX(l.scrollCol) + width) : l.scrollCol - 1;
    return {l.scrollRow, lastRow, l.scrollCol, lastCol};
}

int SheetGrid::lastUsedRow() const
{
    return book_.workbook().sheets[book_.activeSheet()].lastRow();
}

QString SheetGrid::shownText(int row, int col) const
{
    return book_.workbook().cellText(book_.activeSheet(), row, col);
}

void SheetGrid::tellTextsChanged(const Range& range)
{
    if (!QAccessible::isActive())
        return;
    if (auto* table = dynamic_cast<AccessibleSheet*>(QAccessible::queryAccessibleInterface(this)))
        table->cellsChanged(range);
}

void SheetGrid::tellScreenReaders()
{
    if (!QAccessible::isActive() || !hasFocus())
        return;
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(this);
    if (QAccessibleInterface* cell = table && table->tableInterface()
            ? table->tableInterface()->cellAt(book_.activeRow(), book_.activeCol())
            : nullptr) {
        QAccessibleEvent focus(cell, QAccessible::Focus);
        QAccessible::updateAccessibility(&focus);
    }
}

int SheetGrid::visibleRows() const
{
    const Layout l = layout();
    const SheetGeometry& g = *pictures().geo;
    const int room = viewport()->height() - l.barH - l.frozenH;
    const int last = g.rowAt(g.rowY(l.scrollRow) + std::max(room, 0));
    int rows = 0;
    for (int r = l.scrollRow; r <= last && g.rowY(r + 1) - g.rowY(l.scrollRow) <= room; ++r)
        ++rows;
    return std::max(rows, 1);
}

int SheetGrid::visibleCols() const
{
    const Layout l = layout();
    const SheetGeometry& g = *pictures().geo;
    const int room = viewport()->width() - l.barW - l.frozenW;
    int cols = 0;
    for (int c = l.scrollCol; c < kMaxColumns && g.columnX(c + 1) - g.columnX(l.scrollCol) <= room; ++c)
        ++cols;
    return std::max(cols, 1);
}

QRect SheetGrid::cellRect(int row, int col) const
{
    const Pictures& pic = pictures();
    const Layout l = layout();
    const Range* merged = pic.merges->at(row, col);
    const Range area = merged ? *merged : Range{row, row, col, col};
    const SheetGeometry& g = *pic.geo;
    auto x = [&](int c) {
        return c < l.frozenCols ? l.barW + g.columnX(c) : l.barW + l.frozenW + g.columnX(c) - g.columnX(l.scrollCol);
    };
    auto y = [&](int r) {
        return r < l.frozenRows ? l.barH + g.rowY(r) : l.barH + l.frozenH + g.rowY(r) - g.rowY(l.scrollRow);
    };
    const QRect r(QPoint(x(area.firstCol), y(area.firstRow)),
                  QPoint(x(area.lastCol) + g.columnWidth(area.lastCol) - 1, y(area.lastRow) + g.rowHeight(area.lastRow) - 1));
    const QRect cells(l.barW, l.barH, viewport()->width() - l.barW, viewport()->height() - l.barH);
    return r.intersects(cells) ? r : QRect();
}

std::optional<CellPos> SheetGrid::cellAt(QPoint at) const
{
    const Layout l = layout();
    if (at.x() < l.barW || at.y() < l.barH)
        return std::nullopt;
    const SheetGeometry& g = *pictures().geo;
    const int x = at.x() - l.barW, y = at.y() - l.barH;
    const int col = x < l.frozenW ? g.columnAt(x) : g.columnAt(x - l.frozenW + g.columnX(l.scrollCol));
    const int row = y < l.frozenH ? g.rowAt(y) : g.rowAt(y - l.frozenH + g.rowY(l.scrollRow));
    return CellPos{row, col};
}

void SheetGrid::syncScrollBars()
{
    const Layout l = layout();
    const Sheet& sheet = book_.workbook().sheets[book_.activeSheet()];
    const int rows = visibleRows(), cols = visibleCols();
    // the bar reaches a screen beyond what is used, and grows as one scrolls on
    const int far = std::max({sheet.lastRow(), book_.activeRow(), l.scrollRow, book_.selection().end.row});
    QScrollBar* v = verticalScrollBar();
    QScrollBar* h = horizontalScrollBar();
    const QSignalBlocker bv(v), bh(h);
    v->setRange(l.frozenRows, std::clamp(far + rows, l.frozenRows, kMaxRows - 1));
    v->setPageStep(rows);
    v->setSingleStep(1);
    v->setValue(l.scrollRow);
    h->setRange(l.frozenCols, kMaxColumns - 1);
    h->setPageStep(cols);
    h->setSingleStep(1);
    h->setValue(l.scrollCol);
}

void SheetGrid::scrollContentsBy(int, int)
{
    const int row = verticalScrollBar()->value(), col = horizontalScrollBar()->value();
    const Layout l = layout();
    if (row != l.scrollRow)
        book_.setTopRow(row);
    if (col != l.scrollCol)
        book_.setLeftCol(col);
}

void SheetGrid::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    syncScrollBars();
    if (isEditing())
        placeEditor();
}

void SheetGrid::ensureVisible(int row, int col)
{
    const Layout l = layout();
    const SheetGeometry& g = *pictures().geo;
    int top = l.scrollRow, left = l.scrollCol;
    if (row >= l.frozenRows) {
        const int room = viewport()->height() - l.barH - l.frozenH;
        if (row < top)
            top = row;
        else if (g.rowY(row + 1) - g.rowY(top) > room) {
            top = row;
            while (top > l.frozenRows && g.rowY(row + 1) - g.rowY(top - 1) <= room)
                --top;
        }
    }
    if (col >= l.frozenCols) {
        const int room = viewport()->width() - l.barW - l.frozenW;
        if (col < left)
            left = col;
        else if (g.columnX(col + 1) - g.columnX(left) > room) {
            left = col;
            while (left > l.frozenCols && g.columnX(col + 1) - g.columnX(left - 1) <= room)
                --left;
        }
    }
    if (top != l.scrollRow)
        book_.setTopRow(top);
    if (left != l.scrollCol)
        book_.setLeftCol(left);
}

void SheetGrid::paintEvent(QPaintEvent* event)
{
    QPainter p(viewport());
    const QRect dirty = event->rect();
    p.fillRect(dirty, kOutside);
    const Layout l = layout();
    paintPanes(p, l, dirty);
    paintSelection(p, l);
    paintHeadings(p, l);
}

void SheetGrid::paintPanes(QPainter& p, const Layout& l, const QRect& dirty) const
{
    const Pictures& pic = pictures();
    const SheetGeometry& g = *pic.geo;
    const Sheet& sheet = book_.workbook().sheets[pic.sheet];
    PaintOptions options;
    options.gridlines = sheet.view.gridlines();
    options.gridColor = gridColorOf(book_.workbook(), sheet);
    options.textPainted = textPainted;
    const int w = viewport()->width(), h = viewport()->height();
    const int x0 = l.barW + l.frozenW, y0 = l.barH + l.frozenH;
    const int lastRow = g.rowAt(g.rowY(l.scrollRow) + std::max(h - y0, 0));
    const int lastCol = g.columnAt(g.columnX(l.scrollCol) + std::max(w - x0, 0));
    struct Pane {
        Range block;
        QPoint origin;
        QRect clip;
    };
    const Pane panes[] = {
        {{0, l.frozenRows - 1, 0, l.frozenCols - 1}, {l.barW, l.barH}, {l.barW, l.barH, l.frozenW, l.frozenH}},
        {{0, l.frozenRows - 1, l.scrollCol, lastCol}, {x0, l.barH}, {x0, l.barH, w - x0, l.frozenH}},
        {{l.scrollRow, lastRow, 0, l.frozenCols - 1}, {l.barW, y0}, {l.barW, y0, l.frozenW, h - y0}},
        {{l.scrollRow, lastRow, l.scrollCol, lastCol}, {x0, y0}, {x0, y0, w - x0, h - y0}},
    };
    for (const Pane& pane : panes) {
        const QRect clip = pane.clip.intersected(dirty);
        if (pane.block.lastRow < pane.block.firstRow || pane.block.lastCol < pane.block.firstCol || clip.isEmpty())
            continue;
        p.save();
        p.setClipRect(clip);
        pic.painter->paint(p, pane.block, pane.origin, options);
        p.restore();
    }
    if (l.frozenRows > 0)
        p.fillRect(QRect(l.barW, y0 - 1, w - l.barW, 1), kFrozenLine);
    if (l.frozenCols > 0)
        p.fillRect(QRect(x0 - 1, l.barH, 1, h - l.barH), kFrozenLine);
}

void SheetGrid::paintSelection(QPainter& p, const Layout& l) const
{
    const SheetGeometry& g = *pictures().geo;
    const int w = viewport()->width(), h = viewport()->height();
    const int x0 = l.barW + l.frozenW, y0 = l.barH + l.frozenH;
    // a range's rectangle in the coordinates of one pane
    auto rectIn = [&](const Range& r, bool frozenRows, bool frozenCols) {
        const int dx = frozenCols ? l.barW : x0 - g.columnX(l.scrollCol);
        const int dy = frozenRows ? l.barH : y0 - g.rowY(l.scrollRow);
        return QRect(QPoint(dx + g.columnX(r.firstCol), dy + g.rowY(r.firstRow)),
                     QPoint(dx + g.columnX(r.lastCol + 1) - 1, dy + g.rowY(r.lastRow + 1) - 1));
    };
    const QRect clips[2][2] = {{{x0, y0, w - x0, h - y0}, {l.barW, y0, l.frozenW, h - y0}},
                               {{x0, l.barH, w - x0, l.frozenH}, {l.barW, l.barH, l.frozenW, l.frozenH}}};
    const CellPos active{book_.activeRow(), book_.activeCol()};
    const Range activeArea = book_.moves().cover({active.row, active.row, active.col, active.col});
    const Range selection = book_.selection().range;
    const auto& cut = book_.cutMark();
    const bool single = singleCell();
    for (int fr = 0; fr < 2; ++fr) {
        for (int fc = 0; fc < 2; ++fc) {
            const QRect clip = clips[fr][fc];
            if (clip.isEmpty())
                continue;
            p.save();
            p.setClipRect(clip);
            const QRect range = rectIn(selection, fr, fc);
            if (!single) {
                // the range tinted, the active cell left clear
                QRegion tint(range);
                tint -= QRegion(rectIn(activeArea, fr, fc));
                p.setClipRegion(tint.intersected(clip));
                p.fillRect(range, kSelectionTint);
                p.setClipRect(clip);
            }
            p.setPen(QPen(kSelectionLine, 2));
            p.setBrush(Qt::NoBrush);
            p.drawRect(range.adjusted(0, 0, -1, -1));
            if (cut && cut->sheet == book_.activeSheet()) {
                p.setPen(QPen(kSelectionLine, 1, Qt::DashLine));
                p.drawRect(rectIn(cut->range, fr, fc).adjusted(0, 0, -1, -1));
            }
            p.restore();
        }
    }
}

void SheetGrid::paintHeadings(QPainter& p, const Layout& l) const
{
    if (l.barW == 0 && l.barH == 0)
        return;
    const Pictures& pic = pictures();
    const SheetGeometry& g = *pic.geo;
    const int w = viewport()->width(), h = viewport()->height();
    const int x0 = l.barW + l.frozenW, y0 = l.barH + l.frozenH;
    const int lastRow = g.rowAt(g.rowY(l.scrollRow) + std::max(h - y0, 0));
    const int lastCol = g.columnAt(g.columnX(l.scrollCol) + std::max(w - x0, 0));
    const Range selection = book_.selection().range;
    const std::pair cols{selection.firstCol, selection.lastCol}, rows{selection.firstRow, selection.lastRow};
    if (l.barH > 0) {
        p.save();
        p.setClipRect(QRect(l.barW, 0, l.frozenW, l.barH));
        pic.headings->paintColumns(p, 0, l.frozenCols - 1, QPoint(l.barW, 0), l.barH, cols);
        p.setClipRect(QRect(x0, 0, w - x0, l.barH));
        pic.headings->paintColumns(p, l.scrollCol, lastCol, QPoint(x0, 0), l.barH, cols);
        p.restore();
    }
    if (l.barW > 0) {
        p.save();
        p.setClipRect(QRect(0, l.barH, l.barW, l.frozenH));
        pic.headings->paintRows(p, 0, l.frozenRows - 1, QPoint(0, l.barH), l.barW, rows);
        p.setClipRect(QRect(0, y0, l.barW, h - y0));
        pic.headings->paintRows(p, l.scrollRow, lastRow, QPoint(0, y0), l.barW, rows);
        p.restore();
    }
    if (l.barW > 0 && l.barH > 0)
        pic.headings->paintCorner(p, QRect(0, 0, l.barW, l.barH));
}

} // namespace tegaro::sheets
