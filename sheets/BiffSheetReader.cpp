#include "sheets/Biff5Formula.h"
#include "sheets/BiffReadContext.h"
#include "sheets/SheetErrors.h"

#include <QtEndian>

#include <algorithm>

#include <cstring>

namespace tegaro::sheets {

namespace {

double rkValue(quint32 rk)
{
    double v;
    if (rk & 0x02) {
        v = double(qint32(rk) >> 2);
    } else {
        const quint64 bits = quint64(rk & 0xFFFFFFFC) << 32;
        std::memcpy(&v, &bits, sizeof v);
    }
    return (rk & 0x01) ? v / 100 : v;
}


class SheetReader {
public:
    SheetReader(ReadContext& ctx, Sheet& sheet) : ctx_(ctx), sheet_(sheet) {}
    void record(const BiffRecord& r);

private:
    Cell* place(int row, int col, quint16 xf);
    void formula(Cursor& c);
    void anchor(const BiffRecord& r);

    ReadContext& ctx_;
    Sheet& sheet_;
    Cell* lastFormula_ = nullptr;
};

Cell* SheetReader::place(int row, int col, quint16 xf)
{
    lastFormula_ = nullptr;
    if (row < 0 || row >= kMaxRows || col < 0 || col >= kMaxColumns)
        return nullptr; // outside any sheet Excel can make; left out
    Cell& cell = sheet_.cellRef(row, col);
    cell = Cell();
    cell.xf = xf;
    return &cell;
}

void SheetReader::formula(Cursor& c)
{
    const int row = c.u16(), col = c.u16();
    const quint16 xf = c.u16();
    const QByteArray result = c.bytes(8);
    auto f = std::make_shared<Formula>();
    f->options = c.u16();
    c.u32();
    const quint16 size = c.u16();
    f->tokens = c.bytes(size);
    f->extra = c.bytes(c.left());
    f->biff = ctx_.biff;
    if (f->biff == 5 && f->extra.isEmpty()) {
        if (auto tokens = translateBiff5Tokens(f->tokens, ctx_.decode)) {
            f->tokens = *tokens;
            f->biff = 8;
        }
    }
    Cell* cell = place(row, col, xf);
    if (!cell)
        return;
    cell->kind = CellKind::Formula;
    if (quint8(result[6]) == 0xFF && quint8(result[7]) == 0xFF) {
        switch (quint8(result[0])) {
        case 0: cell->result = CellKind::Text; break; // the STRING record follows
        case 1: cell->result = CellKind::Boolean; cell->number = quint8(result[2]) != 0; break;
        case 2: cell->result = CellKind::Error; cell->number = quint8(result[2]); break;
        default: cell->result = CellKind::Text; break; // an empty string
        }
    } else {
        double v;
        std::memcpy(&v, result.constData(), sizeof v);
        v = qFromLittleEndian(v);
        cell->result = CellKind::Number;
        cell->number = v;
    }
    cell->formula = f;
    lastFormula_ = cell;
}

void SheetReader::anchor(const BiffRecord& r)
{
    if (!lastFormula_)
        return; // shared formula records belong right after their first cell
    auto f = std::make_shared<Formula>(*lastFormula_->formula);
    f->anchored += rawRecord(r);
    lastFormula_->formula = f;
}

QList<int> pageBreaks(Cursor& c, bool b8)
{
    QList<int> breaks;
    const int count = c.u16();
    for (int i = 0; i < count && c.left() >= (b8 ? 6 : 2); ++i) {
        breaks << c.u16();
        if (b8)
            c.skip(4);
    }
    return breaks;
}

void SheetReader::record(const BiffRecord& r)
{
    Cursor c(r);
    const bool b8 = ctx_.biff == 8;
    switch (r.type) {
    case rec::Number: {
        const int row = c.u16(), col = c.u16();
        const quint16 xf = c.u16();
        const double v = c.f64();
        if (Cell* cell = place(row, col, xf)) {
            cell->kind = CellKind::Number;
            cell->number = v;
        }
        break;
    }
    case rec::Rk: {
        const int row = c.u16(), col = c.u16();
        const quint16 xf = c.u16();
        const double v = rkValue(c.u32());
        if (Cell* cell = place(row, col, xf)) {
            cell->kind = CellKind::Number;
            cell->number = v;
        }
        break;
    }
    case rec::MulRk: {
        const int row = c.u16();
        int col = c.u16();
        while (c.left() >= 8) { // the last column number ends the record
            const quint16 xf = c.u16();
            const double v = rkValue(c.u32());
            if (Cell* cell = place(row, col, xf)) {
                cell->kind = CellKind::Number;
                cell->number = v;
            }
            ++col;
        }
        break;
    }
    case rec::Blank: {
        const int row = c.u16(), col = c.u16();
        place(row, col, c.u16());
        break;
    }
    case rec::MulBlank: {
        const int row = c.u16();
        int col = c.u16();
        while (c.left() >= 4)
            place(row, col++, c.u16());
        break;
    }
    case rec::BoolErr: {
        const int row = c.u16(), col = c.u16();
        const quint16 xf = c.u16();
        const quint8 value = c.u8();
        const bool error = c.u8() != 0;
        if (Cell* cell = place(row, col, xf)) {
            cell->kind = error ? CellKind::Error : CellKind::Boolean;
            cell->number = value;
        }
        break;
    }
    case rec::Label:
    case rec::RString: {
        const int row = c.u16(), col = c.u16();
        const quint16 xf = c.u16();
        QString text = ctx_.longString(c);
        QList<RichRun> runs;
        if (r.type == rec::RString && c.left() > 0) {
            const int count = b8 ? c.u16() : c.u8();
            for (int i = 0; i < count; ++i) {
                RichRun run;
                run.first = b8 ? c.u16() : c.u8();
                run.font = ReadContext::fontIndex(b8 ? c.u16() : c.u8());
                runs << run;
            }
        }
        if (Cell* cell = place(row, col, xf)) {
            cell->kind = CellKind::Text;
            cell->text = text;
            cell->runs = runs;
        }
        break;
    }
    case rec::LabelSst: {
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
        break;
    }
    case rec::Formula:
    case 0x0206:
    case 0x0406:
        formula(c);
        break;
    case rec::String:
        if (lastFormula_) {
            lastFormula_->text = b8 ? c.unicodeString(2).text : c.byteString(2, ctx_.decode);
            lastFormula_ = nullptr;
        }
        break;
    case rec::SharedFormula:
    case rec::Array:
    case rec::Table:
        anchor(r);
        break;
    case rec::Row: {
        const int row = c.u16();
        c.skip(4);
        RowInfo info;
        info.height = c.u16();
        c.skip(4);
        const quint16 flags = c.u16();
        const quint16 xfWord = c.left() >= 2 ? c.u16() : 0x0F;
        info.options = quint32(flags) | (quint32(xfWord) << 16);
        if (row < kMaxRows)
            sheet_.rows[row] = info;
        break;
    }
    case rec::ColInfo: {
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
        break;
    }
    case rec::DefColWidth:
        sheet_.defaultColumnWidth = c.u16();
        break;
    case rec::DefaultRowHeight:
        sheet_.defaultRowOptions = c.u16();
        sheet_.defaultRowHeight = c.u16();
        break;
    case rec::WsBool:
        sheet_.wsBool = c.u16();
        sheet_.page.fitToPage = sheet_.wsBool & 0x0100;
        break;
    case rec::MergedCells: {
        const int count = c.u16();
        for (int i = 0; i < count && c.left() >= 8; ++i) {
            Range m;
            m.firstRow = c.u16(); m.lastRow = c.u16();
            m.firstCol = c.u16(); m.lastCol = c.u16();
            if (m.firstRow <= m.lastRow && m.firstCol <= m.lastCol && m.lastCol < kMaxColumns)
                sheet_.merged << m;
        }
        break;
    }
    case rec::Window2: {
        sheet_.view.options = c.u16() & ~0x0600; // selected and shown follow the active sheet
        sheet_.view.topRow = c.u16();
        sheet_.view.leftCol = c.u16();
        if (b8 && c.left() >= 2)
            sheet_.view.gridColor = c.u16();
        break;
    }
    case rec::Scl: {
        const int num = c.u16(), den = c.u16();
        if (num > 0 && den > 0)
            sheet_.view.zoom = quint16(std::clamp(num * 100 / den, 10, 400));
        break;
    }
    case rec::Pane:
        sheet_.view.pane = r.data.left(10);
        break;
    case rec::Selection:
        c.u8();
        sheet_.view.activeRow = c.u16();
        sheet_.view.activeCol = c.u16();
        break;
    case rec::Setup: {
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
        break;
    }
    case rec::LeftMargin: sheet_.page.leftMargin = c.f64(); break;
    case rec::RightMargin: sheet_.page.rightMargin = c.f64(); break;
    case rec::TopMargin: sheet_.page.topMargin = c.f64(); break;
    case rec::BottomMargin: sheet_.page.bottomMargin = c.f64(); break;
    case rec::Header:
        if (!r.data.isEmpty())
            sheet_.page.header = b8 ? c.unicodeString(2).text : c.byteString(1, ctx_.decode);
        break;
    case rec::Footer:
        if (!r.data.isEmpty())
            sheet_.page.footer = b8 ? c.unicodeString(2).text : c.byteString(1, ctx_.decode);
        break;
    case 0x001B: sheet_.page.rowBreaks = pageBreaks(c, b8); break;
    case 0x001A: sheet_.page.columnBreaks = pageBreaks(c, b8); break;
    case 0x01B0: case 0x01B1: case 0x01B2: case 0x01BE:
        if (b8)
            sheet_.rules += rawRecord(r); // their formulas are in Excel 97 tokens
        break;
    case rec::HCenter: sheet_.page.hCenter = c.u16() != 0; break;
    case rec::VCenter: sheet_.page.vCenter = c.u16() != 0; break;
    case rec::PrintGridlines: sheet_.page.printGridlines = c.u16() != 0; break;
    case rec::PrintHeaders: sheet_.page.printHeadings = c.u16() != 0; break;
    default:
        if (isProtectionRecord(r.type))
            sheet_.protection += rawRecord(r);
        break;
    }
}

} // namespace

QByteArray rawRecord(const BiffRecord& r)
{
    // joined CONTINUE parts have no meaning here; a record is cut to one record's size
    const QByteArray data = r.data.left(8224);
    QByteArray head(4, 0);
    qToLittleEndian<quint16>(r.type, head.data());
    qToLittleEndian<quint16>(quint16(data.size()), head.data() + 2);
    return head + data;
}

bool isProtectionRecord(quint16 type)
{
    // PROTECT, PASSWORD, WINDOWPROTECT, OBJPROTECT, SCENPROTECT
    return type == 0x0012 || type == 0x0013 || type == 0x0019 || type == 0x0063 || type == 0x00DD;
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
            if (depth == 0)
                return;
            --depth;
            continue;
        }
        if (depth == 0)
            reader.record(r);
    }
    throw ECorruptWorkbook(QStringLiteral("シート「%1」が途中で切れています。").arg(sheet.name));
}

} // namespace tegaro::sheets
