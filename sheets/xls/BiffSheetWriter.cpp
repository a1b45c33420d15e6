#include "sheets/xls/BiffWriteContext.h"

#include <cmath>
#include <tuple>

namespace tegaro::sheets {

namespace {

// What one record holds at most: merged areas of a MERGEDCELLS record, and
// the page breaks Excel keeps.
constexpr qsizetype kMergedPerRecord = 1027, kMaxPageBreaks = 1026;

// An RK value when the number fits one without loss.
std::optional<quint32> rkOf(double v)
{
    // 30 bits of integer
    constexpr double kLeast = -536870912.0, kMost = 536870911.0;
    if (v == std::floor(v) && v >= kLeast && v <= kMost)
        return (quint32(qint32(v)) << 2) | rk::Integer;
    quint64 bits;
    std::memcpy(&bits, &v, sizeof bits);
    if ((bits & 0x3FFFFFFFFULL) == 0) // nothing in the low word, nor where the flags go
        return quint32(bits >> 32);
    const double h = v * 100;
    if (h == std::floor(h) && h >= kLeast && h <= kMost && double(qint64(h)) / 100 == v)
        return (quint32(qint32(h)) << 2) | rk::Integer | rk::Hundredths;
    return std::nullopt;
}

class SheetWriter {
public:
    SheetWriter(WriteContext& ctx, const Sheet& s) : ctx_(ctx), s_(s) {}
    QByteArray write(bool active);

private:
    void pageSetup();
    void cells();
    void cell(int row, int col, const Cell& c);
    void valueCell(int row, int col, quint16 xf, CellKind kind, const Cell& c);
    void view(bool active);

    WriteContext& ctx_;
    const Sheet& s_;
    RecordWriter w_;
};

void SheetWriter::pageSetup()
{
    const PageSetup& p = s_.page;
    w_.add(rec::PrintHeaders, ByteWriter().u16(p.printHeadings));
    w_.add(rec::PrintGridlines, ByteWriter().u16(p.printGridlines));
    w_.add(rec::GridSet, ByteWriter().u16(1));
    w_.add(rec::Guts, ByteWriter().u16(0).u16(0).u16(0).u16(0)); // no outline
    w_.add(rec::DefaultRowHeight, ByteWriter().u16(s_.defaultRowOptions).u16(s_.defaultRowHeight));
    quint16 wsBool = s_.wsBool & ~Sheet::kFitToPage;
    if (p.fitToPage)
        wsBool |= Sheet::kFitToPage;
    w_.add(rec::WsBool, ByteWriter().u16(wsBool));
    // a row break runs across every column, a column break down every row
    const std::tuple<quint16, const QList<int>*, int> breaks[] = {{rec::HorizontalPageBreaks, &p.rowBreaks, kMaxColumns - 1},
                                                                  {rec::VerticalPageBreaks, &p.columnBreaks, kMaxRows - 1}};
    for (const auto& [type, list, last] : breaks) {
        if (list->isEmpty())
            continue;
        ByteWriter b;
        const qsizetype n = std::min<qsizetype>(list->size(), kMaxPageBreaks);
        b.u16(quint16(n));
        for (qsizetype i = 0; i < n; ++i)
            b.u16(quint16(list->at(i))).u16(0).u16(quint16(last));
        w_.add(type, b);
    }
    if (!p.header.isEmpty())
        w_.add(rec::Header, ByteWriter().string(p.header.left(255), 2));
    if (!p.footer.isEmpty())
        w_.add(rec::Footer, ByteWriter().string(p.footer.left(255), 2));
    w_.add(rec::HCenter, ByteWriter().u16(p.hCenter));
    w_.add(rec::VCenter, ByteWriter().u16(p.vCenter));
    const std::pair<quint16, std::optional<double>> margins[] = {
        {rec::LeftMargin, p.leftMargin}, {rec::RightMargin, p.rightMargin}, {rec::TopMargin, p.topMargin}, {rec::BottomMargin, p.bottomMargin}};
    for (const auto& [type, value] : margins)
        if (value)
            w_.add(type, ByteWriter().f64(*value));
    ByteWriter b;
    b.u16(p.paperSize).u16(p.scale).u16(quint16(p.pageStart)).u16(p.fitWidth).u16(p.fitHeight).u16(p.options);
    b.u16(p.hResolution).u16(p.vResolution).f64(p.headerMargin).f64(p.footerMargin).u16(p.copies);
    w_.add(rec::Setup, b);
    w_.out += s_.protection;
}

void SheetWriter::valueCell(int row, int col, quint16 xf, CellKind kind, const Cell& c)
{
    ByteWriter b;
    b.u16(quint16(row)).u16(quint16(col)).u16(xf);
    switch (kind) {
    case CellKind::Empty:
        w_.add(rec::Blank, b);
        break;
    case CellKind::Number:
        if (auto rk = rkOf(c.number)) {
            w_.add(rec::Rk, b.u32(*rk));
        } else {
            w_.add(rec::Number, b.f64(c.number));
        }
        break;
    case CellKind::Text:
        w_.add(rec::LabelSst, b.u32(ctx_.strings.add(c.text, c.runs)));
        break;
    case CellKind::Boolean:
    case CellKind::Error:
        w_.add(rec::BoolErr, b.u8(quint8(c.number)).u8(kind == CellKind::Error));
        break;
    case CellKind::Formula:
        break;
    }
}

void SheetWriter::cell(int row, int col, const Cell& c)
{
    const quint16 xf = ctx_.xf(c.xf);
    if (c.kind != CellKind::Formula || !c.formula || c.formula->biff != 8 || !c.formula->compiled()) {
        // Excel 95 formula tokens do not carry over, nor does formula text
        // that was never compiled; the last result stays
        valueCell(row, col, xf, c.kind == CellKind::Formula ? c.result : c.kind, c);
        return;
    }
    const Formula& f = *c.formula;
    ByteWriter b;
    b.u16(quint16(row)).u16(quint16(col)).u16(xf);
    switch (c.result) {
    case CellKind::Number: b.f64(c.number); break;
    case CellKind::Text: b.u8(c.text.isEmpty() ? result::EmptyText : result::Text).zeros(5).u16(result::Marker); break;
    case CellKind::Boolean: b.u8(result::Boolean).u8(0).u8(c.number != 0).zeros(3).u16(result::Marker); break;
    case CellKind::Error: b.u8(result::Error).u8(0).u8(quint8(c.number)).zeros(3).u16(result::Marker); break;
    default: b.u8(result::EmptyText).zeros(5).u16(result::Marker); break; // no result yet
    }
    b.u16(f.options).u32(0).u16(quint16(f.tokens.size())).bytes(f.tokens).bytes(f.extra);
    w_.add(rec::Formula, b);
    w_.out += f.anchored;
    if (c.result == CellKind::Text && !c.text.isEmpty())
        w_.add(rec::String, ByteWriter().string(c.text, 2));
}

void SheetWriter::cells()
{
    const auto& all = s_.cells();
    // ROW records of a block of 32 rows, then the cells of that block.
    auto cellIt = all.begin();
    auto rowIt = s_.rows.begin();
    while (cellIt != all.end() || rowIt != s_.rows.end()) {
        int first = kMaxRows;
        if (cellIt != all.end())
            first = Sheet::rowOf(cellIt->first);
        if (rowIt != s_.rows.end())
            first = std::min(first, rowIt->first);
        const int blockEnd = (first / 32 + 1) * 32;
        for (; rowIt != s_.rows.end() && rowIt->first < blockEnd; ++rowIt) {
            const int row = rowIt->first;
            int firstCol = 0, lastCol = 0;
            auto lo = all.lower_bound(Sheet::key(row, 0));
            auto hi = all.lower_bound(Sheet::key(row + 1, 0));
            if (lo != hi) {
                firstCol = Sheet::colOf(lo->first);
                lastCol = Sheet::colOf(std::prev(hi)->first) + 1;
            }
            ByteWriter b;
            b.u16(quint16(row)).u16(quint16(firstCol)).u16(quint16(lastCol)).u16(rowIt->second.height);
            b.u16(0).u16(0).u16(quint16(rowIt->second.options)).u16(quint16(rowIt->second.options >> 16));
            w_.add(rec::Row, b);
        }
        for (; cellIt != all.end() && Sheet::rowOf(cellIt->first) < blockEnd; ++cellIt)
            cell(Sheet::rowOf(cellIt->first), Sheet::colOf(cellIt->first), cellIt->second);
    }
}

void SheetWriter::view(bool active)
{
    const SheetView& v = s_.view;
    quint16 options = v.options;
    constexpr quint16 kActive = SheetView::kSelected | SheetView::kShown;
    if (active)
        options |= kActive;
    else
        options &= ~kActive;
    ByteWriter b;
    b.u16(options).u16(quint16(v.topRow)).u16(quint16(v.leftCol)).u16(v.gridColor).u16(0);
    b.u16(0).u16(v.zoom == 100 ? 0 : v.zoom).u32(0); // 0: the normal zoom
    w_.add(rec::Window2, b);
    if (v.zoom != 100)
        w_.add(rec::Scl, ByteWriter().u16(v.zoom).u16(100));
    quint8 activePane = pane::TopLeft;
    if (v.pane.size() >= pane::Size) {
        w_.add(rec::Pane, v.pane);
        activePane = quint8(v.pane[pane::ActivePaneAt]);
    }
    ByteWriter sel;
    sel.u8(activePane).u16(quint16(v.activeRow)).u16(quint16(v.activeCol)).u16(0).u16(1);
    sel.u16(quint16(v.activeRow)).u16(quint16(v.activeRow)).u8(quint8(v.activeCol)).u8(quint8(v.activeCol));
    w_.add(rec::Selection, sel);
}

QByteArray SheetWriter::write(bool active)
{
    writeBof(w_, bof::Worksheet);
    // calculation: automatic, A1 references, no iteration (were it on: at
    // most 100 rounds, until a change below 0.001), recalculated before saving
    w_.add(rec::CalcMode, ByteWriter().u16(1));
    w_.add(rec::CalcCount, ByteWriter().u16(100));
    w_.add(rec::RefMode, ByteWriter().u16(1));
    w_.add(rec::Iteration, ByteWriter().u16(0));
    w_.add(rec::Delta, ByteWriter().f64(0.001));
    w_.add(rec::SaveRecalc, ByteWriter().u16(1));
    pageSetup();
    w_.add(rec::DefColWidth, ByteWriter().u16(s_.defaultColumnWidth));
    for (const ColumnInfo& c : s_.columns) {
        ByteWriter b;
        b.u16(quint16(c.first)).u16(quint16(c.last)).u16(c.width).u16(ctx_.xf(c.xf)).u16(c.options).u16(0);
        w_.add(rec::ColInfo, b);
    }
    {
        ByteWriter b;
        const int lastRow = s_.lastRow(), lastCol = s_.lastColumn();
        int firstRow = 0, firstCol = 0;
        if (!s_.cells().empty()) {
            firstRow = Sheet::rowOf(s_.cells().begin()->first);
            firstCol = kMaxColumns;
            for (const auto& [k, c] : s_.cells())
                firstCol = std::min(firstCol, Sheet::colOf(k));
        }
        b.u32(quint32(firstRow)).u32(quint32(lastRow + 1)).u16(quint16(firstCol)).u16(quint16(lastCol + 1)).u16(0);
        w_.add(rec::Dimensions, b);
    }
    cells();
    view(active);
    for (qsizetype at = 0; at < s_.merged.size(); at += kMergedPerRecord) {
        const qsizetype n = std::min<qsizetype>(kMergedPerRecord, s_.merged.size() - at);
        ByteWriter b;
        b.u16(quint16(n));
        for (qsizetype i = at; i < at + n; ++i) {
            const Range& m = s_.merged[i];
            b.u16(quint16(m.firstRow)).u16(quint16(m.lastRow)).u16(quint16(m.firstCol)).u16(quint16(m.lastCol));
        }
        w_.add(rec::MergedCells, b);
    }
    w_.out += s_.rules;
    w_.add(rec::Eof, QByteArray());
    return w_.out;
}

} // namespace

QByteArray writeSheetStream(WriteContext& ctx, const Sheet& sheet, bool active)
{
    return SheetWriter(ctx, sheet).write(active);
}

} // namespace tegaro::sheets
