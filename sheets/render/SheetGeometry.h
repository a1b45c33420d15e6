#pragma once
// Where the rows and columns of a sheet lie, in device pixels at one scale.
// Widths come from the default font's widest digit as the spreadsheet
// programs compute them, heights from twips; hidden rows and columns are
// zero wide. Rows are kept sparse: only rows of their own height cost
// memory, so a sheet of 65,536 rows is never walked.
#include "sheets/model/Workbook.h"

#include <array>
#include <vector>

namespace tegaro::sheets {

class SheetGeometry {
public:
    // `scale`: device pixels for one pixel of the sheet at 100% on a
    // 96-dpi screen, zoom included (0.95 for 95% on screen, 12.5 for a
    // 1200-dpi page).
    SheetGeometry(const Workbook& book, int sheet, double scale);
    // The same with the widest digit given, for a sheet without fonts at hand.
    SheetGeometry(const Sheet& sheet, int digitWidth, double scale);

    double scale() const { return scale_; }
    int digitWidth() const { return digitWidth_; } // at 100%

    int columnWidth(int col) const;
    int rowHeight(int row) const;
    int columnX(int col) const; // left edge from the left of column A; col may be 256
    int rowY(int row) const;    // top edge from the top of row 1; row may be 65536
    int columnAt(int x) const;  // the column holding x (clamped to the sheet)
    int rowAt(int y) const;
    int defaultRowHeight() const { return defaultRow_; }

    // Visible neighbours, skipping hidden ones; the edge when there is none.
    int nextColumn(int col, int step) const;
    int nextRow(int row, int step) const;

    // The conversions themselves, at 100%.
    static int columnPixels(int width256, int digitWidth);     // a column's stored width
    static int defaultColumnPixels(int chars, int digitWidth); // the sheet's default width
    static int rowPixels(int twips);

private:
    void build(const Sheet& sheet);

    double scale_ = 1;
    int digitWidth_ = 7;
    std::array<int, kMaxColumns> widths_{};
    std::array<int, kMaxColumns + 1> xs_{};
    int defaultRow_ = 0;
    struct Special {
        int row;
        int height;
        qint64 shiftAfter; // sum of (height - default) over specials up to this one
    };
    std::vector<Special> special_; // rows of their own height, by row
};

} // namespace tegaro::sheets
