#include "sheets/formula/Formulas.h"

#include "sheets/biff/BiffFormat.h"
#include "sheets/biff/BiffRecords.h"
#include "sheets/biff/ByteWriter.h"
#include "sheets/formula/FormulaCode.h"
#include "sheets/model/SheetErrors.h"

#include <QtEndian>

#include <algorithm>

namespace tegaro::sheets {

namespace {

// The cell a ptgExp token points to: the one holding the shared formula,
// array formula or table the cell belongs to.
std::optional<std::pair<int, int>> expTarget(const QByteArray& tokens)
{
    if (tokens.size() != 5 || quint8(tokens[0]) != ptg::Exp)
        return std::nullopt;
    return std::make_pair(int(qFromLittleEndian<quint16>(tokens.constData() + 1)),
                          int(qFromLittleEndian<quint16>(tokens.constData() + 3)));
}

QString tableText(Cursor& c)
{
    const quint16 flags = c.u16();
    const int rowInRow = c.u16(), colInRow = c.u16(), rowInCol = c.u16(), colInCol = c.u16();
    const QString first = cellName(rowInRow, colInRow);
    if (flags & table::TwoInputs)
        return QStringLiteral("TABLE(%1,%2)").arg(first, cellName(rowInCol, colInCol));
    return (flags & table::Rw) ? QStringLiteral("TABLE(,%1)").arg(first) : QStringLiteral("TABLE(%1,)").arg(first);
}

CellFormula anchoredFormula(const TokenInput& base, int row, int col, const Cell& anchor)
{
    const QByteArray& raw = anchor.formula->anchored;
    for (qsizetype at = 0; at + 4 <= raw.size();) {
        const quint16 type = qFromLittleEndian<quint16>(raw.constData() + at);
        const quint16 size = qFromLittleEndian<quint16>(raw.constData() + at + 2);
        BiffRecord r;
        r.data = raw.mid(at + 4, size);
        at += 4 + size;
        Cursor c(r);
        try {
            Range range;
            range.firstRow = c.u16();
            range.lastRow = c.u16();
            range.firstCol = c.u8();
            range.lastCol = c.u8();
            if (!range.contains(row, col))
                continue;
            CellFormula out;
            out.range = range;
            if (type == rec::Table) {
                out.shape = FormulaShape::TablePart;
                out.tableText = tableText(c);
                return out;
            }
            if (type == rec::SharedFormula)
                c.skip(2);
            else if (type == rec::Array)
                c.skip(6);
            else
                continue;
            const quint16 cce = c.u16();
            const QByteArray tokens = c.bytes(cce);
            TokenInput in = base;
            in.tokens = tokens;
            in.extra = QByteArrayView(r.data).sliced(c.pos());
            in.shared = type == rec::SharedFormula;
            out.program = decodeTokens(in);
            out.shape = type == rec::Array ? FormulaShape::ArrayPart : FormulaShape::Plain;
            return out;
        } catch (const ECorruptWorkbook&) {
            break;
        }
    }
    throw EFormulaError(QStringLiteral("数式を読み取れません（共有の数式が見つかりません）。"));
}

QByteArray expTokens(int row, int col)
{
    ByteWriter b;
    b.u8(ptg::Exp).u16(quint16(row)).u16(quint16(col));
    return b.data;
}

// An array formula: tokens in an ARRAY record after its first cell, and
// every cell it fills pointing there. The range is a copy: the formula that
// held it is replaced here.
void compileArray(Workbook& book, int sheet, int row, int col, const Range range)
{
    Sheet& s = book.sheets[sheet];
    Cell& anchor = s.cellRef(row, col);
    const Program p = parseFormula(anchor.formula->source, book, sheet);
    const EncodedFormula e = encodeProgram(p, book, true);
    ByteWriter a;
    a.u16(quint16(range.firstRow)).u16(quint16(range.lastRow)).u8(quint8(range.firstCol)).u8(quint8(range.lastCol));
    a.u16(e.isVolatile ? Formula::kAlwaysCalc : 0).u32(0).u16(quint16(e.tokens.size())).bytes(e.tokens).bytes(e.extra);
    ByteWriter record;
    record.u16(rec::Array).u16(quint16(a.data.size())).bytes(a.data);
    auto f = std::make_shared<Formula>(*anchor.formula);
    f->tokens = expTokens(row, col);
    f->anchored = record.data;
    f->options = e.isVolatile ? Formula::kAlwaysCalc : 0;
    anchor.formula = f;
    auto part = std::make_shared<Formula>();
    part->tokens = f->tokens;
    for (int r = range.firstRow; r <= range.lastRow; ++r) {
        for (int c = range.firstCol; c <= range.lastCol; ++c) {
            if (r == row && c == col)
                continue;
            Cell& cell = s.cellRef(r, c);
            if (cell.kind != CellKind::Formula)
                cell.result = cell.kind == CellKind::Empty ? CellKind::Text : cell.kind;
            cell.kind = CellKind::Formula;
            cell.formula = part;
        }
    }
}

void compileName(Workbook& book, DefinedName& n)
{
    const int sheet = n.sheet >= 1 && n.sheet <= book.sheets.size() ? n.sheet - 1 : -1;
    Program p = parseFormula(n.source, book, std::max(sheet, 0));
    // a name is used from any cell, so its references name their sheet
    if (sheet >= 0)
        for (RefOperand& r : p.refs)
            if (!r.threeD) {
                r.threeD = true;
                r.firstSheet = r.lastSheet = sheet;
            }
    n.tokens = encodeProgram(p, book, false, true).tokens;
}

} // namespace

void compileSources(Workbook& book)
{
    for (qsizetype i = 0; i < book.names.size(); ++i) {
        if (!book.names[i].tokens.isEmpty() || book.names[i].source.isEmpty())
            continue;
        const QList<DefinedName> names = book.names;
        const LinkTable links = book.links;
        DefinedName n = book.names[i];
        try {
            compileName(book, n);
            book.names[i] = n;
        } catch (const EFormulaError&) {
            // stays as text, listed with what loading left out
            book.names = names;
            book.links = links;
        }
    }
    for (int si = 0; si < book.sheets.size(); ++si) {
        // keys first: array formulas change cells while they compile
        std::vector<quint32> keys;
        for (const auto& [key, cell] : book.sheets[si].cells())
            if (cell.kind == CellKind::Formula && cell.formula && !cell.formula->compiled()
                && !cell.formula->source.isEmpty())
                keys.push_back(key);
        for (const quint32 key : keys) {
            const int row = Sheet::rowOf(key), col = Sheet::colOf(key);
            Cell& cell = book.sheets[si].cellRef(row, col);
            if (!cell.formula || cell.formula->compiled())
                continue;
            const QList<DefinedName> names = book.names;
            const LinkTable links = book.links;
            try {
                if (cell.formula->array) {
                    compileArray(book, si, row, col, *cell.formula->array);
                } else {
                    auto f = std::make_shared<Formula>(*cell.formula);
                    const auto typed = compileFormula(book, si, u'=' + f->source);
                    f->tokens = typed->tokens;
                    f->extra = typed->extra;
                    f->options = typed->options;
                    cell.formula = f;
                }
            } catch (const EFormulaError&) {
                // left as text with its result; counted where loading lists what it left out
                book.names = names;
                book.links = links;
            }
        }
    }
}

std::optional<CellFormula> cellFormula(const Workbook& book, int sheet, int row, int col, const TokenInput* dialect)
{
    if (sheet < 0 || sheet >= book.sheets.size())
        return std::nullopt;
    const Sheet& s = book.sheets[sheet];
    const Cell* cell = s.cell(row, col);
    if (!cell || cell->kind != CellKind::Formula || !cell->formula)
        return std::nullopt;
    const Formula& f = *cell->formula;
    TokenInput in = dialect ? *dialect : TokenInput();
    in.biff = f.biff;
    in.book = &book;
    in.sheet = sheet;
    in.row = row;
    in.col = col;
    if (const auto target = expTarget(f.tokens)) {
        const Cell* anchor = s.cell(target->first, target->second);
        if (!anchor || !anchor->formula)
            throw EFormulaError(QStringLiteral("数式を読み取れません（共有の数式が見つかりません）。"));
        CellFormula out = anchoredFormula(in, row, col, *anchor);
        out.anchorRow = target->first;
        out.anchorCol = target->second;
        return out;
    }
    CellFormula out;
    in.tokens = f.tokens;
    in.extra = f.extra;
    out.program = decodeTokens(in);
    out.anchorRow = row;
    out.anchorCol = col;
    return out;
}

QString formulaText(const Workbook& book, int sheet, int row, int col)
{
    try {
        const auto f = cellFormula(book, sheet, row, col);
        if (!f)
            return {};
        if (f->shape == FormulaShape::TablePart)
            return QStringLiteral("{=") + f->tableText + u'}';
        const QString text = u'=' + programText(f->program, book, sheet);
        return f->shape == FormulaShape::ArrayPart ? u'{' + text + u'}' : text;
    } catch (const EFormulaError&) {
        return {};
    }
}

QList<Range> nameAreas(const QByteArray& tokens, int biff, int* sheet)
{
    QList<Range> out;
    int found = -1;
    try {
        TokenInput in;
        in.tokens = tokens;
        in.biff = biff;
        const Program p = decodeTokens(in);
        for (const Node& n : p.nodes) {
            if (n.op == Op::Union || n.op == Op::Paren)
                continue;
            if (n.op != Op::Ref)
                break;
            const RefOperand& r = p.refs[n.index];
            if (r.deleted)
                continue;
            // Excel 97 names reach their sheet through the link table,
            // which the name's own sheet stands in for
            if (r.threeD && !r.external && r.firstSheet >= 0)
                found = r.firstSheet;
            out << Range{std::min(r.firstRow, r.lastRow), std::max(r.firstRow, r.lastRow),
                         std::min(r.firstCol, r.lastCol), std::max(r.firstCol, r.lastCol)};
        }
    } catch (const EFormulaError&) {
        out.clear();
    }
    if (sheet)
        *sheet = found;
    return out;
}

bool isFormulaEntry(const QString& entry)
{
    return entry.startsWith(u'=') || entry.startsWith(u'＝');
}

namespace {

std::shared_ptr<const Formula> storedFormula(const EncodedFormula& e)
{
    auto f = std::make_shared<Formula>();
    f->tokens = e.tokens;
    f->extra = e.extra;
    f->options = e.isVolatile ? Formula::kAlwaysCalc : 0; // worked out again at every load
    return f;
}

} // namespace

std::shared_ptr<const Formula> compileFormula(Workbook& book, int sheet, const QString& entry)
{
    // names and links a failed formula added go again
    const QList<DefinedName> names = book.names;
    const LinkTable links = book.links;
    try {
        const Program p = parseFormula(entry, book, sheet);
        return storedFormula(encodeProgram(p, book));
    } catch (...) {
        book.names = names;
        book.links = links;
        throw;
    }
}

std::shared_ptr<const Formula> movedFormula(Workbook& book, int sheet, const Formula& formula, int rows, int cols)
{
    if (formula.array || !formula.compiled() || !formula.anchored.isEmpty())
        return nullptr;
    const LinkTable links = book.links;
    try {
        TokenInput in;
        in.tokens = formula.tokens;
        in.extra = formula.extra;
        in.biff = formula.biff;
        in.book = &book;
        in.sheet = sheet;
        Program p = decodeTokens(in);
        auto move = [](int& at, bool relative, int by, int limit, bool& off) {
            if (!relative)
                return;
            at += by;
            off = off || at < 0 || at >= limit;
        };
        for (RefOperand& r : p.refs) {
            if (r.deleted || r.external)
                continue;
            bool off = false;
            move(r.firstRow, r.firstRowRel, rows, kMaxRows, off);
            move(r.lastRow, r.lastRowRel, rows, kMaxRows, off);
            move(r.firstCol, r.firstColRel, cols, kMaxColumns, off);
            move(r.lastCol, r.lastColRel, cols, kMaxColumns, off);
            if (off) {
                r.deleted = true;
                r.firstRow = r.lastRow = r.firstCol = r.lastCol = 0;
            }
        }
        return storedFormula(encodeProgram(p, book));
    } catch (const ESheetError&) {
        book.links = links;
        return nullptr;
    }
}

} // namespace tegaro::sheets
