#include "sheets/render/SheetGeometry.h"

#include "sheets/render/FontFamilies.h"

#include <algorithm>
#include <cmath>

namespace tegaro::sheets {

namespace {

int scaled(int pixels, double scale)
{
    return pixels <= 0 ? 0 : std::max(1, int(std::lround(pixels * scale)));
}

} // namespace

int SheetGeometry::columnPixels(int width256, int digitWidth)
{
    // the stored width counts 1/256 of a digit, padding included
    const int mdw = std::max(digitWidth, 1);
    return int((qint64(width256) + 128 / mdw) * mdw / 256);
}

int SheetGeometry::defaultColumnPixels(int chars, int digitWidth)
{
    // digits, two pixels of margin each side and the gridline, rounded up to 8
    const int raw = chars * digitWidth + 5;
    return (raw + 7) / 8 * 8;
}

int SheetGeometry::rowPixels(int twips)
{
    return int(std::lround(twips / 15.0));
}

SheetGeometry::SheetGeometry(const Workbook& book, int sheet, double scale)
    : scale_(scale), digitWidth_(maxDigitWidth(book.font(0)))
{
    static const Sheet none;
    build(sheet >= 0 && sheet < book.sheets.size() ? book.sheets[sheet] : none);
}

SheetGeometry::SheetGeometry(const Sheet& sheet, int digitWidth, double scale)
    : scale_(scale), digitWidth_(std::max(digitWidth, 1))
{
    build(sheet);
}

void SheetGeometry::build(const Sheet& sheet)
{
    const int standard = defaultColumnPixels(sheet.defaultColumnWidth, digitWidth_);
    for (int c = 0; c < kMaxColumns; ++c)
        widths_[c] = scaled(standard, scale_);
    for (const ColumnInfo& info : sheet.columns) {
        const int w = info.hidden() ? 0 : scaled(columnPixels(info.width, digitWidth_), scale_);
        for (int c = std::max(info.first, 0); c <= std::min(info.last, kMaxColumns - 1); ++c)
            widths_[c] = w;
    }
    xs_[0] = 0;
    for (int c = 0; c < kMaxColumns; ++c)
        xs_[c + 1] = xs_[c] + widths_[c];

    // rows without a record of their own are hidden when the sheet says so
    const bool zeroDefault = sheet.defaultRowOptions & Sheet::kRowsHiddenByDefault;
    defaultRow_ = zeroDefault ? 0 : scaled(rowPixels(sheet.defaultRowHeight), scale_);
    special_.clear();
    qint64 shift = 0;
    for (const auto& [row, info] : sheet.rows) {
        if (row < 0 || row >= kMaxRows)
            continue;
        const int h = info.hidden() ? 0 : scaled(rowPixels(info.twips()), scale_);
        if (h == defaultRow_)
            continue;
        shift += h - defaultRow_;
        special_.push_back({row, h, shift});
    }
}

int SheetGeometry::columnWidth(int col) const
{
    return col >= 0 && col < kMaxColumns ? widths_[col] : 0;
}

int SheetGeometry::columnX(int col) const
{
    return xs_[std::clamp(col, 0, kMaxColumns)];
}

int SheetGeometry::columnAt(int x) const
{
    if (x < 0)
        return 0;
    const auto it = std::upper_bound(xs_.begin(), xs_.end(), x);
    return std::clamp(int(it - xs_.begin()) - 1, 0, kMaxColumns - 1);
}

int SheetGeometry::rowHeight(int row) const
{
    const auto it = std::lower_bound(special_.begin(), special_.end(), row,
                                     [](const Special& s, int r) { return s.row < r; });
    return it != special_.end() && it->row == row ? it->height : defaultRow_;
}

int SheetGeometry::rowY(int row) const
{
    row = std::clamp(row, 0, kMaxRows);
    // the specials above `row` shift it from the plain product
    const auto it = std::lower_bound(special_.begin(), special_.end(), row,
                                     [](const Special& s, int r) { return s.row < r; });
    const qint64 shift = it == special_.begin() ? 0 : std::prev(it)->shiftAfter;
    return int(qint64(row) * defaultRow_ + shift);
}

int SheetGeometry::rowAt(int y) const
{
    if (y < 0)
        return 0;
    int lo = 0, hi = kMaxRows; // rowY(lo) <= y < rowY(hi)
    if (rowY(hi) <= y)
        return kMaxRows - 1;
    while (hi - lo > 1) {
        const int mid = lo + (hi - lo) / 2;
        if (rowY(mid) <= y)
            lo = mid;
        else
            hi = mid;
    }
    return lo;
}

int SheetGeometry::nextColumn(int col, int step) const
{
    for (int c = col + step; c >= 0 && c < kMaxColumns; c += step)
        if (widths_[c] > 0)
            return c;
    return col;
}

int SheetGeometry::nextRow(int row, int step) const
{
    for (int r = row + step; r >= 0 && r < kMaxRows; r += step)
        if (rowHeight(r) > 0)
            return r;
    return row;
}

} // namespace tegaro::sheets
