#pragma once
// Paints any block of a sheet's cells onto a QPainter: fills, gridlines,
// texts and borders, as the spreadsheet program that made the workbook
// shows them. Only the block's own cells are visited (and the one cell
// around it whose borders and texts reach in), never the whole sheet.
#include "sheets/render/CellTexts.h"

#include <QPainter>

#include <functional>

namespace tegaro::sheets {

struct PaintOptions {
    bool gridlines = true;
    QColor gridColor = QColor(0xD4, 0xD4, 0xD4);
    QColor background = Qt::white;
    // Told of every text as it is painted, for checks of what the screen shows.
    std::function<void(const TextItem&)> textPainted;
};

// The gridline colour a sheet asks for.
QColor gridColorOf(const Workbook& book, const Sheet& sheet);

class SheetPainter {
public:
    SheetPainter(const Workbook& book, int sheet, const SheetGeometry& geometry, const MergeIndex& merges,
                 SheetStyles& styles);

    // The block's rectangle when its first cell's top-left corner is at `origin`.
    QRect blockRect(const Range& block, QPoint origin) const;
    // Paints the block there; nothing outside blockRect is touched.
    void paint(QPainter& p, const Range& block, QPoint origin, const PaintOptions& options) const;

private:
    class Formats;
    // `base` is where the top-left corner of cell A1 would lie.
    void paintFills(QPainter& p, const Range& block, const Formats& formats, QPoint base) const;
    void paintGridlines(QPainter& p, const Range& block, const QList<TextItem>& texts, QPoint base,
                        const PaintOptions& options) const;
    void paintText(QPainter& p, const TextItem& t, QPoint base, const QRect& clip) const;
    void paintBorders(QPainter& p, const Range& block, const Formats& formats, QPoint base) const;
    void paintEdge(QPainter& p, const Border& border, QPointF from, QPointF to) const;
    QRect cellRect(const Range& area, QPoint base) const;

    const Workbook& book_;
    int sheet_;
    const SheetGeometry& geo_;
    const MergeIndex& merges_;
    SheetStyles& styles_;
    CellTexts texts_;
};

} // namespace tegaro::sheets
