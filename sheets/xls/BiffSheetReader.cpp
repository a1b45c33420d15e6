#include "sheets/xls/BiffReadContext.h"
#include "sheets/model/SheetErrors.h"

#include <QtEndian>

#include <algorithm>

#include <cstring>

namespace tegaro::sheets {

namespace {

double rkValue(quint32 rk)
{
    double v;
    if (rk & rk::Integer) {
        v = double(qint32(rk) >> 2);
    } else {
        const quint64 bits = quint64(rk & rk::ValueBits) << 32;
        std::memcpy(&v, &bits, sizeof v);
    }
    return (rk & rk::Hundredths) ? v / 100 : v;
}

class SheetReader {
public:
    SheetReader(ReadContext& ctx, Sheet& sheet) : ctx_(ctx), sheet_(sheet) {}
    void record(const BiffRecord& r);
    void finish() { deliver(); }

    static const RecordHandler<SheetReader> kHandlers[];

private:
    bool b8() const { return ctx_.biff == 8; }
    Cell* place(int row, int col, quint16 xf);
    void deliver();
    void setNumber(int row, int col, quint16 xf, double v);
    QList<int> pageBreaks(Cursor& c) const;
    QString headerText(Cursor& c, const BiffRecord& r) const;

    void number(Cursor& c, const BiffRecord&);
    void rk(Cursor& c, const BiffRecord&);
    void mulRk(Cursor& c, const BiffRecord&);
    void blank(Cursor& c, const BiffRecord&);
    void mulBlank(Cursor& c, const BiffRecord&);
    void boolErr(Cursor& c, const BiffRecord&);
    void label(Cursor& c, const BiffRecord& r);
    void labelSst(Cursor& c, const BiffRecord&);
    void formula(Cursor& c, const BiffRecord&);
    void string(Cursor& c, const BiffRecord&);
    void anchor(Cursor&, const BiffRecord& r);
    void row(Cursor& c, const BiffRecord&);
    void colInfo(Cursor& c, const BiffRecord&);
    void defColWidth(Cursor& c, const BiffRecord&) { sheet_.defaultColumnWidth = c.u16(); }
    void defaultRowHeight(Cursor& c, const BiffRecord&);
    void wsBool(Cursor& c, const BiffRecord&);
    void mergedCells(Cursor& c, const BiffRecord&);
    void window2(Cursor& c, const BiffRecord&);
    void scl(Cursor& c, const BiffRecord&);
    void pane(Cursor&, const BiffRecord& r) { sheet_.view.pane = r.data.left(10); }
    void selection(Cursor& c, const BiffRecord&);
    void setup(Cursor& c, const BiffRecord&);
    void leftMargin(Cursor& c, const BiffRecord&) { sheet_.page.leftMargin = c.f64(); }
    void rightMargin(Cursor& c, const BiffRecord&) { sheet_.page.rightMargin = c.f64(); }
    void topMargin(Cursor& c, const BiffRecord&) { sheet_.page.topMargin = c.f64(); }
    void bottomMargin(Cursor& c, const BiffRecord&) { sheet_.page.bottomMargin = c.f64(); }
    void header(Cursor& c, const BiffRecord& r)
    {
        if (!r.data.isEmpty()) sheet_.page.header = headerText(c, r);
    }
    void footer(Cursor& c, const BiffRecord& r)
    {
        if (!r.data.isEmpty()) sheet_.page.footer = headerText(c, r);
    }
    void rowBreaks(Cursor& c, const BiffRecord&) { sheet_.page.rowBreaks = pageBreaks(c); }
    void columnBreaks(Cursor& c, const BiffRecord&) { sheet_.page.columnBreaks = pageBreaks(c); }
    void rule(Cursor&, const BiffRecord& r);
    void hCenter(Cursor& c, const BiffRecord&) { sheet_.page.hCenter = c.u16() != 0; }
    void vCenter(Cursor& c, const BiffRecord&) { sheet_.page.vCenter = c.u16() != 0; }
    void printGridlines(Cursor& c, const BiffRecord&) { sheet_.page.printGridlines = c.u16() != 0; }
    void printHeaders(Cursor& c, const BiffRecord&) { sheet_.page.printHeadings = c.u16() != 0; }
    void protection(Cursor&, const BiffRecord& r) { sheet_.protection += rawRecord(r); }

    ReadContext& ctx_;
    Sheet& sheet_;
    Cell* lastFormula_ = nullptr;
    // with a sink: the cell being read, handed over once complete (a
    // formula's text result comes in the record after it)
    Cell pending_;
    int pendingRow_ = -1, pendingCol_ = 0;
};

// Sorted by record type for the binary search in record(); records not
// listed mean nothing to the model.
constexpr RecordHandler<SheetReader> SheetReader::kHandlers[] = {
    {rec::Formula, &SheetReader::formula},
    {rec::Protect, &SheetReader::protection},
    {rec::Password, &SheetReader::protection},
    {rec::Header, &SheetReader::header},
    {rec::Footer, &SheetReader::footer},
    {rec::WindowProtect, &SheetReader::protection},
    {rec::VerticalPageBreaks, &SheetReader::columnBreaks},
    {rec::HorizontalPageBreaks, &SheetReader::rowBreaks},
    {rec::Selection, &SheetReader::selection},
    {rec::LeftMargin, &SheetReader::leftMargin},
    {rec::RightMargin, &SheetReader::rightMargin},
    {rec::TopMargin, &SheetReader::topMargin},
    {rec::BottomMargin, &SheetReader::bottomMargin},
    {rec::PrintHeaders, &SheetReader::printHeaders},
    {rec::PrintGridlines, &SheetReader::printGridlines},
    {rec::Pane, &SheetReader::pane},
    {rec::DefColWidth, &SheetReader::defColWidth},
    {rec::ObjProtect, &SheetReader::protection},
    {rec::ColInfo, &SheetReader::colInfo},
    {rec::WsBool, &SheetReader::wsBool},
    {rec::HCenter, &SheetReader::hCenter},
    {rec::VCenter, &SheetReader::vCenter},
    {rec::Scl, &SheetReader::scl},
    {rec::Setup, &SheetReader::setup},
    {rec::MulRk, &SheetReader::mulRk},
    {rec::MulBlank, &SheetReader::mulBlank},
    {rec::RString, &SheetReader::label},
    {rec::ScenProtect, &SheetReader::protection},
    {rec::MergedCells, &SheetReader::mergedCells},
    {rec::LabelSst, &SheetReader::labelSst},
    {rec::CondFmt, &SheetReader::rule}, // conditional formats
    {rec::Cf, &SheetReader::rule},
    {rec::DVal, &SheetReader::rule}, // data validations
    {rec::Dv, &SheetReader::rule},
    {rec::Blank, &SheetReader::blank},
    {rec::Number, &SheetReader::number},
    {rec::Label, &SheetReader::label},
    {rec::BoolErr, &SheetReader::boolErr},
    {rec::Formula3, &SheetReader::formula}, // FORMULA as Excel 3 wrote it
    {rec::String, &SheetReader::string},
    {rec::Row, &SheetReader::row},
    {rec::Array, &SheetReader::anchor},
    {rec::DefaultRowHeight, &SheetReader::defaultRowHeight},
    {rec::Table, &SheetReader::anchor},
    {rec::Window2, &SheetReader::window2},
    {rec::Rk, &SheetReader::rk},
    {rec::Formula4, &SheetReader::formula}, // FORMULA as Excel 4 wrote it
    {rec::SharedFormula, &SheetReader::anchor},
};
static_assert(sortedByType(SheetReader::kHandlers));

void SheetReader::record(const BiffRecord& r)
{
    dispatchRecord(*this, kHandlers, r);
}

void SheetReader::deliver()
{
    if (pendingRow_ >= 0)
        (*ctx_.sink)(ctx_.book, pendingRow_, pendingCol_, pending_);
    pendingRow_ = -1;
}

Cell* SheetReader::place(int row, int col, quint16 xf)
{
    lastFormula_ = nullptr;
    if (row < 0 || row >= kMaxRows || col < 0 || col >= kMaxColumns)
        return nullptr; // outside any sheet Excel can make; left out
    if (ctx_.sink) {
        deliver();
        pending_ = Cell();
        pending_.xf = xf;
        pendingRow_ = row;
        pendingCol_ = col;
        return &pending_;
    }
    Cell& cell = sheet_.cellRef(row, col);
    cell = Cell();
    cell.xf = xf;
    return &cell;
}

void SheetReader::setNumber(int row, int col, quint16 xf, double v)
{
    if (Cell* cell = place(row, col, xf)) {
        cell->kind = CellKind::Number;
        cell->number = v;
    }
}

void SheetReader::number(Cursor& c, const BiffRecord&)
{
    const int row = c.u16(), col = c.u16();
    const quint16 xf = c.u16();
    setNumber(row, col, xf, c.f64());
}

void SheetReader::rk(Cursor& c, const BiffRecord&)
{
    const int row = c.u16(), col = c.u16();
    const quint16 xf = c.u16();
    setNumber(row, col, xf, rkValue(c.u32()));
}

void SheetReader::mulRk(Cursor& c, const BiffRecord&)
{
    const int row = c.u16();
    int col = c.u16();
    while (c.left() >= 8) { // the last column number ends the record
        const quint16 xf = c.u16();
        setNumber(row, col++, xf, rkValue(c.u32()));
    }
}

void SheetReader::blank(Cursor& c, const BiffRecord&)
{
    const int row = c.u16(), col = c.u16();
    place(row, col, c.u16());
}

void SheetReader::mulBlank(Cursor& c, const BiffRecord&)
{
    const int row = c.u16();
    int col = c.u16();
    while (c.left() >= 4)
        place(row, col++, c.u16());
}

void SheetReader::boolErr(Cursor& c, const BiffRecord&)
{
    const int row = c.u16(), col = c.u16();
    const quint16 xf = c.u16();
    const quint8 value = c.u8();
    const bool error = c.u8() != 0;
    if (Cell* cell = place(row, col, xf)) {
        cell->kind = error ? CellKind::Error : CellKind::Boolean;
        cell->number = value;
    }
}

void SheetReader::label(Cursor& c, const BiffRecord& r)
{
    const int row = c.u16(), col = c.u16();
    const quint16 xf = c.u16();
    QString text = ctx_.longString(c);
    QList<RichRun> runs;
    if (r.type == rec::RString && c.left() > 0) {
        const int count = b8() ? c.u16() : c.u8();
        for (int i = 0; i < count; ++i) {
            RichRun run;
            run.first = b8() ? c.u16() : c.u8();
            run.font = fontIndexOf(b8() ? c.u16() : c.u8());
            runs << run;
        }
    }
    if (Cell* cell = place(row, col, xf)) {
        cell->kind = CellKind::Text;
        cell->text = text;
        cell->runs = runs;
    }
}

void SheetReader::labelSst(Cursor& c, const BiffRecord&)
{
    const int row = c.u16(), col = c.u16();
    const quint16 xf = c.u16();
    const quint32 index = c.u32();
    if (index >= quint32(ctx_.sst.size()))
        throw ECorruptWorkbook(QStringLiteral("ブックの共有文字列の番号が壊れています。"));
    if (Cell* cell = place(row, col, xf)) {
        cell->kind = CellKind::Text;
        cell->text = ctx_.sst[index];
        cell->runs = ctx_.sstRuns[index];
    }
}

void SheetReader::formula(Cursor& c, const BiffRecord&)
{
    const int row = c.u16(), col = c.u16();
    const quint16 xf = c.u16();
    const QByteArray cached = c.bytes(8);
    auto f = std::make_shared<Formula>();
    f->options = c.u16();
    c.u32();
    const quint16 size = c.u16();
    f->tokens = c.bytes(size);
    f->extra = c.bytes(c.left());
    f->biff = ctx_.biff;
    Cell* cell = place(row, col, xf);
    if (!cell)
        return;
    cell->kind = CellKind::Formula;
    if (qFromLittleEndian<quint16>(cached.constData() + 6) == result::Marker) {
        switch (quint8(cached[0])) {
        case result::Text: cell->result = CellKind::Text; break; // the STRING record follows
        case result::Boolean:
            cell->result = CellKind::Boolean;
            cell->number = quint8(cached[2]) != 0;
            break;
        case result::Error:
            cell->result = CellKind::Error;
            cell->number = quint8(cached[2]);
            break;
        default: cell->result = CellKind::Text; break; // an empty string
        }
    } else {
        double v;
        std::memcpy(&v, cached.constData(), sizeof v);
        v = qFromLittleEndian(v);
        cell->result = CellKind::Number;
        cell->number = v;
    }
    cell->formula = f;
    lastFormula_ = cell;
}

void SheetReader::string(Cursor& c, const BiffRecord&)
{
    if (lastFormula_) {
        lastFormula_->text = b8() ? c.unicodeString(2).text : c.byteString(2, ctx_.decode);
        lastFormula_ = nullptr;
    }
}

void SheetReader::anchor(Cursor&, const BiffRecord& r)
{
    if (!lastFormula_)
        return; // shared formula records belong right after their first cell
    auto f = std::make_shared<Formula>(*lastFormula_->formula);
    f->anchored += rawRecord(r);
    lastFormula_->formula = f;
}

QList<int> SheetReader::pageBreaks(Cursor& c) const
{
    QList<int> breaks;
    const int count = c.u16();
    for (int i = 0; i < count && c.left() >= (b8() ? 6 : 2); ++i) {
        breaks << c.u16();
        if (b8())
            c.skip(4);
    }
    return breaks;
}

QString SheetReader::headerText(Cursor& c, const BiffRecord&) const
{
    return b8() ? c.unicodeString(2).text : c.byteString(1, ctx_.decode);
}

void SheetReader::row(Cursor& c, const BiffRecord&)
{
    const int row = c.u16();
    c.skip(4);
    RowInfo info;
    info.height = c.u16();
    c.skip(4);
    const quint16 flags = c.u16();
    const quint16 xfWord = c.left() >= 2 ? c.u16() : kDefaultFormat;
    info.options = quint32(flags) | (quint32(xfWord) << RowInfo::kFormatShift);
    if (row < kMaxRows)
        sheet_.rows[row] = info;
}

void SheetReader::colInfo(Cursor& c, const BiffRecord&)
{
    ColumnInfo info;
    info.first = c.u16();
    info.last = c.u16();
    info.width = c.u16();
    info.xf = c.u16();
    info.options = c.left() >= 2 ? c.u16() : 0;
    if (info.first <= info.last && info.first < kMaxColumns && sheet_.columns.size() < kMaxColumns) {
        info.last = std::min(info.last, kMaxColumns - 1);
        sheet_.columns << info;
    }
}

void SheetReader::defaultRowHeight(Cursor& c, const BiffRecord&)
{
    sheet_.defaultRowOptions = c.u16();
    sheet_.defaultRowHeight = c.u16();
}

void SheetReader::wsBool(Cursor& c, const BiffRecord&)
{
    sheet_.wsBool = c.u16();
    sheet_.page.fitToPage = sheet_.wsBool & Sheet::kFitToPage;
}

void SheetReader::mergedCells(Cursor& c, const BiffRecord&)
{
    const int count = c.u16();
    for (int i = 0; i < count && c.left() >= 8; ++i) {
        Range m;
        m.firstRow = c.u16();
        m.lastRow = c.u16();
        m.firstCol = c.u16();
        m.lastCol = c.u16();
        if (m.firstRow <= m.lastRow && m.firstCol <= m.lastCol && m.lastCol < kMaxColumns)
            sheet_.merged << m;
    }
}

void SheetReader::window2(Cursor& c, const BiffRecord&)
{
    // selected and shown follow the active sheet
    sheet_.view.options = c.u16() & ~(SheetView::kSelected | SheetView::kShown);
    sheet_.view.topRow = c.u16();
    sheet_.view.leftCol = c.u16();
    if (b8() && c.left() >= 2)
        sheet_.view.gridColor = c.u16();
}

void SheetReader::scl(Cursor& c, const BiffRecord&)
{
    const int num = c.u16(), den = c.u16();
    if (num > 0 && den > 0)
        sheet_.view.zoom = quint16(std::clamp(num * 100 / den, 10, 400));
}

void SheetReader::selection(Cursor& c, const BiffRecord&)
{
    c.u8();
    sheet_.view.activeRow = c.u16();
    sheet_.view.activeCol = c.u16();
}

void SheetReader::setup(Cursor& c, const BiffRecord&)
{
    PageSetup& p = sheet_.page;
    p.paperSize = c.u16();
    p.scale = c.u16();
    p.pageStart = qint16(c.u16());
    p.fitWidth = c.u16();
    p.fitHeight = c.u16();
    p.options = c.u16();
    if (c.left() >= 20) {
        p.hResolution = c.u16();
        p.vResolution = c.u16();
        p.headerMargin = c.f64();
        p.footerMargin = c.f64();
        if (c.left() >= 2)
            p.copies = c.u16();
    }
}

void SheetReader::rule(Cursor&, const BiffRecord& r)
{
    if (b8())
        sheet_.rules += rawRecord(r); // their formulas are in Excel 97 tokens
}

} // namespace

QByteArray rawRecord(const BiffRecord& r)
{
    // joined CONTINUE parts have no meaning here; a record is cut to one record's size
    const QByteArray data = r.data.left(kMaxRecordBody);
    QByteArray head(4, 0);
    qToLittleEndian<quint16>(r.type, head.data());
    qToLittleEndian<quint16>(quint16(data.size()), head.data() + 2);
    return head + data;
}

void readSheetStream(ReadContext& ctx, RecordStream& records, Sheet& sheet)
{
    const BiffRecord bof = records.next();
    if (bof.type != rec::Bof)
        throw ECorruptWorkbook(QStringLiteral("シート「%1」の先頭が壊れています。").arg(sheet.name));
    SheetReader reader(ctx, sheet);
    int depth = 0; // charts and such embedded in the sheet have their own BOF and EOF
    while (!records.atEnd()) {
        const BiffRecord r = records.next();
        if (r.type == rec::Bof) {
            ++depth;
            continue;
        }
        if (r.type == rec::Eof) {
            if (depth == 0) {
                reader.finish();
                return;
            }
            --depth;
            continue;
        }
        if (depth == 0)
            reader.record(r);
    }
    throw ECorruptWorkbook(QStringLiteral("シート「%1」が途中で切れています。").arg(sheet.name));
}

} // namespace tegaro::sheets
