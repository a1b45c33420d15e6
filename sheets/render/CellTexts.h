#pragma once
// Which texts a block of cells shows and where, by the rules spreadsheet
// users know: General puts numbers right and texts left; a text runs on
// over empty neighbours and is cut at the first filled one; a number never
// runs on but shows fewer digits, or "###" when it does not fit; a merged
// area shows its first cell's value across the whole area.
#include "sheets/model/MergeIndex.h"
#include "sheets/render/SheetGeometry.h"
#include "sheets/render/SheetStyles.h"

#include <QHash>

namespace tegaro::sheets {

struct TextItem {
    int row = 0, col = 0;          // the cell that holds the value
    Range area;                    // that cell, or its merged area
    int firstCol = 0, lastCol = 0; // columns the text may paint over
    QString text;                  // as shown: formatted, shortened or "###"
    const Cell* cell = nullptr;
    int font = 0;
    QColor color;
    int hAlign = 1; // 1 left, 2 centre, 3 right, 4 fill, 5 justify, 7 distributed
    int vAlign = 2; // 0 top, 1 centre, 2 bottom, 3 justify, 4 distributed
    bool wrap = false;
    bool shrink = false;
    int rotation = 0; // degrees, counter-clockwise; 255 stacked
    int indent = 0;   // device pixels
};

class CellTexts {
public:
    CellTexts(const Workbook& book, int sheet, const SheetGeometry& geometry, const MergeIndex& merges,
              SheetStyles& styles);

    // Every text that paints into the block, including texts of cells
    // outside it that run on into it, and merged areas that reach into it.
    QList<TextItem> layout(const Range& block) const;

    // Space between a cell's edge and its text, in device pixels.
    int padding() const;

private:
    TextItem item(int row, int col, const Cell& cell, const Range& area) const;
    void fitNumber(TextItem& t) const;
    int areaWidth(const Range& area) const;

    const Sheet& sheet() const { return book_.sheets[sheetIndex_]; }

    // A cell's text, formatted numbers kept: the same screen painted again
    // formats no number twice.
    QString shownText(int row, int col, const Cell& cell) const;

    const Workbook& book_;
    int sheetIndex_;
    mutable QHash<std::pair<quint64, quint16>, QString> numberTexts_;
    const SheetGeometry& geo_;
    const MergeIndex& merges_;
    SheetStyles& styles_;
};

// The value kind a cell shows (a formula shows its result's).
CellKind shownKind(const Cell& cell);

} // namespace tegaro::sheets
