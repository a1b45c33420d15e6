// Formulas as read, made ready for the model: references to other sheets
// count worksheets (not every tab), shared formulas become each cell's own,
// and Excel 95 tokens become Excel 97 ones where they can, so that writing
// keeps them as formulas.
#include "sheets/xls/BiffReadContext.h"
#include "sheets/biff/ByteWriter.h"
#include "sheets/formula/Formulas.h"
#include "sheets/model/SheetErrors.h"

#include <QtEndian>

#include <set>

namespace tegaro::sheets {

namespace {

bool isExp(const QByteArray& tokens)
{
    return tokens.size() == 5 && quint8(tokens[0]) == ptg::Exp;
}

// The anchored records of a cell without those of the given type, or with
// one replaced.
QByteArray withoutRecords(const QByteArray& raw, quint16 type, const QByteArray* replacement = nullptr)
{
    QByteArray out;
    for (qsizetype at = 0; at + 4 <= raw.size();) {
        const quint16 t = qFromLittleEndian<quint16>(raw.constData() + at);
        const quint16 size = qFromLittleEndian<quint16>(raw.constData() + at + 2);
        if (t != type)
            out += raw.mid(at, 4 + size);
        else if (replacement)
            out += *replacement;
        at += 4 + size;
    }
    return out;
}

class FormulaPreparer {
public:
    explicit FormulaPreparer(ReadContext& ctx) : ctx_(ctx), book_(ctx.book)
    {
        dialect_.biff = ctx.biff;
        dialect_.decode = &ctx_.decode;
        const QList<int> tabs = ctx.sheetOfTab;
        dialect_.sheetOfTab = [tabs](int tab) { return tab >= 0 && tab < tabs.size() ? tabs[tab] : -1; };
    }
    void run();

private:
    void remapSheetReferences();
    void cell(int sheet, int row, int col, Cell& cell);
    bool arrayToExcel97(int sheet, const CellFormula& f);
    void names();

    ReadContext& ctx_;
    Workbook& book_;
    TokenInput dialect_;
    std::set<std::tuple<int, int, int>> keepShared_; // anchors whose shared formula someone still needs
    std::set<std::tuple<int, int, int>> arraysDone_;
};

// Excel 97 files count sheets by tab, charts included; the model counts
// worksheets only.
void FormulaPreparer::remapSheetReferences()
{
    LinkTable& links = book_.links;
    for (LinkTable::Ref& r : links.refs) {
        if (r.book >= links.books.size() || !links.books[r.book].self)
            continue;
        auto map = [&](qint16 tab) -> qint16 {
            if (tab < 0)
                return tab; // deleted, or the workbook as a whole
            return qint16(tab < ctx_.sheetOfTab.size() ? ctx_.sheetOfTab[tab] : -1);
        };
        r.first = map(r.first);
        r.last = map(r.last);
    }
}

bool FormulaPreparer::arrayToExcel97(int sheet, const CellFormula& f)
{
    const auto anchor = std::make_tuple(sheet, f.anchorRow, f.anchorCol);
    if (arraysDone_.count(anchor))
        return true;
    Cell* a = book_.sheets[sheet].cell(f.anchorRow, f.anchorCol);
    if (!a || !a->formula)
        return false;
    const EncodedFormula e = encodeProgram(f.program, book_, true);
    ByteWriter body;
    body.u16(quint16(f.range.firstRow)).u16(quint16(f.range.lastRow)).u8(quint8(f.range.firstCol)).u8(quint8(f.range.lastCol));
    body.u16(0).u32(0).u16(quint16(e.tokens.size())).bytes(e.tokens).bytes(e.extra);
    ByteWriter record;
    record.u16(rec::Array).u16(quint16(body.data.size())).bytes(body.data);
    auto anchored = std::make_shared<Formula>(*a->formula);
    anchored->anchored = withoutRecords(anchored->anchored, rec::Array, &record.data);
    a->formula = anchored;
    arraysDone_.insert(anchor);
    return true;
}

void FormulaPreparer::cell(int sheet, int row, int col, Cell& c)
{
    const std::shared_ptr<const Formula> held = c.formula; // rewriting an array record may replace it
    const Formula& f = *held;
    if (f.biff == 8 && !isExp(f.tokens))
        return;
    if (isExp(f.tokens) && arraysDone_.count({sheet, qFromLittleEndian<quint16>(f.tokens.constData() + 1), qFromLittleEndian<quint16>(f.tokens.constData() + 3)})) {
        // another cell of an array formula already carried over
        auto out = std::make_shared<Formula>(f);
        out->biff = 8;
        c.formula = out;
        return;
    }
    try {
        const std::optional<CellFormula> cf = cellFormula(book_, sheet, row, col, &dialect_);
        if (!cf)
            return;
        if (cf->shape == FormulaShape::ArrayPart && (f.biff == 8 || !arrayToExcel97(sheet, *cf)))
            return;
        // made after the array record was rewritten: the anchor may be this cell
        auto out = std::make_shared<Formula>(*c.formula);
        if (cf->shape == FormulaShape::Plain) {
            const EncodedFormula e = encodeProgram(cf->program, book_);
            out->tokens = e.tokens;
            out->extra = e.extra;
            out->options &= ~Formula::kShared;
        } else if (cf->shape == FormulaShape::TablePart) {
            return; // a data table of Excel 95 keeps its values only
        }
        out->biff = 8;
        c.formula = out;
    } catch (const EFormulaError&) {
        // kept as read: Excel 97 formulas unchanged, Excel 95 ones as values
        if (isExp(f.tokens))
            keepShared_.insert({sheet, qFromLittleEndian<quint16>(f.tokens.constData() + 1),
                                qFromLittleEndian<quint16>(f.tokens.constData() + 3)});
    }
}

void FormulaPreparer::names()
{
    for (DefinedName& n : book_.names) {
        if (n.biff == 8 || n.isPrintArea())
            continue;
        try {
            TokenInput in = dialect_;
            in.tokens = n.tokens;
            in.book = &book_;
            const EncodedFormula e = encodeProgram(decodeTokens(in), book_);
            n.tokens = e.tokens + e.extra;
            n.biff = 8;
        } catch (const EFormulaError&) {
            // the name stays out of what we write, as before
        }
    }
}

void FormulaPreparer::run()
{
    if (ctx_.biff == 8)
        remapSheetReferences();
    for (int s = 0; s < book_.sheets.size(); ++s) {
        Sheet& sheet = book_.sheets[s];
        for (const auto& [key, c] : sheet.cells())
            if (c.kind == CellKind::Formula && c.formula)
                cell(s, Sheet::rowOf(key), Sheet::colOf(key), *sheet.cell(Sheet::rowOf(key), Sheet::colOf(key)));
    }
    // shared formulas now live in their cells; their records go
    for (int s = 0; s < book_.sheets.size(); ++s) {
        Sheet& sheet = book_.sheets[s];
        for (const auto& [key, c] : sheet.cells()) {
            if (!c.formula || c.formula->anchored.isEmpty()
                || keepShared_.count({s, Sheet::rowOf(key), Sheet::colOf(key)}))
                continue;
            const QByteArray rest = withoutRecords(c.formula->anchored, rec::SharedFormula);
            if (rest.size() == c.formula->anchored.size())
                continue;
            auto f = std::make_shared<Formula>(*c.formula);
            f->anchored = rest;
            sheet.cell(Sheet::rowOf(key), Sheet::colOf(key))->formula = f;
        }
    }
    names();
}

} // namespace

void prepareFormulas(ReadContext& ctx)
{
    FormulaPreparer(ctx).run();
}

} // namespace tegaro::sheets
