#pragma once
// Small workbooks written in a few lines, for the picture tests.
#include "sheets/model/Workbook.h"

#include <functional>

namespace tegaro::sheets::testing {

struct MiniBook {
    Workbook book;

    Sheet& sheet() { return book.sheets[0]; }
    // A cell format made from the default one by `change`.
    int format(const std::function<void(CellFormat&)>& change)
    {
        CellFormat f = book.formats[15];
        change(f);
        return book.addFormat(f);
    }
    int numberFormat(const QString& code)
    {
        return format([&](CellFormat& f) { f.numberFormat = quint16(book.addNumberFormat(code)); });
    }
    Cell& text(int row, int col, const QString& text, int xf = 15)
    {
        Cell& c = sheet().cellRef(row, col);
        c.kind = CellKind::Text;
        c.text = text;
        c.xf = quint16(xf);
        return c;
    }
    Cell& number(int row, int col, double value, int xf = 15)
    {
        Cell& c = sheet().cellRef(row, col);
        c.kind = CellKind::Number;
        c.number = value;
        c.xf = quint16(xf);
        return c;
    }
    Cell& blank(int row, int col, int xf)
    {
        Cell& c = sheet().cellRef(row, col);
        c.xf = quint16(xf);
        return c;
    }
    void columns(int first, int last, int width256, bool hidden = false)
    {
        ColumnInfo info;
        info.first = first;
        info.last = last;
        info.width = quint16(width256);
        info.options = hidden ? 1 : 0;
        sheet().columns << info;
    }
    void row(int row, int twips, bool hidden = false)
    {
        RowInfo info;
        info.height = quint16(twips);
        info.options = 0x140 | (hidden ? 0x20 : 0);
        sheet().rows[row] = info;
    }
};

} // namespace tegaro::sheets::testing
