#pragma once
// Column letters above the cells and row numbers beside them, as the
// control shows them and as a page prints them when the sheet asks.
#include "sheets/render/SheetGeometry.h"

#include <QFont>
#include <QPainter>

namespace tegaro::sheets {

class Headings {
public:
    // Fonts at `scale` for a device of `dpi`, as for SheetStyles.
    Headings(const Workbook& book, const SheetGeometry& geometry, int dpi);

    int columnBarHeight() const;        // device pixels
    int rowBarWidth(int lastRow) const; // wide enough for the numbers up to lastRow
    // The letters of columns first..last in a bar of the given height whose
    // left edge (the left of column `first`) is at `origin`; `marked`
    // columns are shown as selected.
    void paintColumns(QPainter& p, int first, int last, QPoint origin, int height, std::pair<int, int> marked = {-1, -2}) const;
    void paintRows(QPainter& p, int first, int last, QPoint origin, int width, std::pair<int, int> marked = {-1, -2}) const;
    // The blank corner where the two bars meet.
    void paintCorner(QPainter& p, const QRect& rect) const;

private:
    void paintBox(QPainter& p, const QRect& r, const QString& text, bool marked) const;

    const SheetGeometry& geo_;
    QFont font_;
    int unit_;
};

} // namespace tegaro::sheets
