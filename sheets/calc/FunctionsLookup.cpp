// Lookups and references: VLOOKUP, HLOOKUP, LOOKUP, MATCH, INDEX, ROW,
// COLUMN and their kin.
#include "sheets/calc/FormulaBuiltins.h"

#include <cmath>

namespace tegaro::sheets {

namespace {

// A range or array read cell by cell.
class Grid {
public:
    Grid(const Evaluator& ev, const Value& v) : ev_(ev), v_(v)
    {
        if (v.kind == Value::Array) {
            rows_ = v.matrix->rows;
            cols_ = v.matrix->cols;
        } else if (v.kind == Value::Ref && !v.isMultiArea()) {
            rows_ = v.area.rows();
            cols_ = v.area.cols();
        } else if (v.kind != Value::Ref && v.kind != Value::Error) {
            rows_ = cols_ = 1;
        }
    }
    bool valid() const { return rows_ > 0; }
    int rows() const { return rows_; }
    int cols() const { return cols_; }
    Value at(int r, int c) const
    {
        if (v_.kind == Value::Array)
            return v_.matrix->at(r, c);
        if (v_.kind == Value::Ref)
            return ev_.cellValue(v_.area.sheet, v_.area.firstRow + r, v_.area.firstCol + c);
        return v_;
    }

private:
    const Evaluator& ev_;
    const Value& v_;
    int rows_ = 0, cols_ = 0;
};

enum class Match {
    Exact,
    Ascending,
    Descending
};

int kindClass(const Value& v)
{
    switch (v.kind) {
    case Value::Number: return 0;
    case Value::Text: return 1;
    case Value::Boolean: return 2;
    default: return -1;
    }
}

bool hasWildcards(const QString& s)
{
    return s.contains(u'*') || s.contains(u'?') || s.contains(u'~');
}

// The place of x among n values: an equal one (texts with wildcards), or
// in sorted data the last one not above x (ascending) or not below it
// (descending). Values of another kind than x are passed over, as Excel's
// search passes over them. -1 when there is none.
template <class Get>
int search(Get get, int n, const Value& x, Match mode)
{
    const int kind = kindClass(x);
    if (mode == Match::Exact) {
        const bool wild = x.kind == Value::Text && hasWildcards(x.text);
        for (int i = 0; i < n; ++i) {
            const Value v = get(i);
            if (kindClass(v) != kind)
                continue;
            if (wild ? wildcardMatch(x.text, v.text) : compareValues(v, x) == 0)
                return i;
        }
        return -1;
    }
    int lo = 0, hi = n - 1, best = -1;
    while (lo <= hi) {
        const int mid = lo + (hi - lo) / 2;
        int m = mid;
        Value v = get(m);
        while (m >= lo && kindClass(v) != kind) {
            if (--m >= lo)
                v = get(m);
        }
        if (m < lo) {
            lo = mid + 1;
            continue;
        }
        const int c = compareValues(v, x);
        if (mode == Match::Ascending ? c <= 0 : c >= 0) {
            best = m;
            lo = mid + 1;
        } else {
            hi = m - 1;
        }
    }
    return best;
}

Value lookupValue(const Value& v)
{
    return v.kind == Value::Empty ? Value::num(0) : v;
}

// VLOOKUP and HLOOKUP.
Value tableLookup(Call& c, bool vertical)
{
    const Value x = lookupValue(c[0]);
    if (x.isError())
        return x;
    const Grid g(c.ev, c[1]);
    if (!g.valid())
        return c[1].isError() ? c[1] : Value::error(err::Value);
    const Num index = c.integer(2, 1);
    if (!index)
        return index.fail();
    const Bool approx = c.given(3) ? c.boolean(3) : Bool{true, -1};
    if (!approx)
        return approx.fail();
    if (index.v < 1)
        return Value::error(err::Value);
    if (index.v > (vertical ? g.cols() : g.rows()))
        return Value::error(err::Ref);
    const int n = vertical ? g.rows() : g.cols();
    const int at = search([&](int i) { return vertical ? g.at(i, 0) : g.at(0, i); }, n, x,
                          approx.v ? Match::Ascending : Match::Exact);
    if (at < 0)
        return Value::error(err::NA);
    const int k = int(index.v) - 1;
    return vertical ? g.at(at, k) : g.at(k, at);
}

Value vlookup(Call& c) { return tableLookup(c, true); }
Value hlookup(Call& c) { return tableLookup(c, false); }

Value lookup(Call& c)
{
    const Value x = lookupValue(c[0]);
    if (x.isError())
        return x;
    const Grid g(c.ev, c[1]);
    if (!g.valid())
        return c[1].isError() ? c[1] : Value::error(err::Value);
    // a wide table is searched along its first row, a tall one down its first column
    const bool across = g.cols() > g.rows();
    const int n = across ? g.cols() : g.rows();
    const int at = search([&](int i) { return across ? g.at(0, i) : g.at(i, 0); }, n, x, Match::Ascending);
    if (at < 0)
        return Value::error(err::NA);
    if (!c.given(2))
        return across ? g.at(g.rows() - 1, at) : g.at(at, g.cols() - 1);
    const Grid r(c.ev, c[2]);
    if (!r.valid())
        return Value::error(err::Value);
    if (r.rows() == 1)
        return at < r.cols() ? r.at(0, at) : Value::error(err::NA);
    return at < r.rows() ? r.at(at, 0) : Value::error(err::NA);
}

Value match(Call& c)
{
    const Value x = lookupValue(c[0]);
    if (x.isError())
        return x;
    const Grid g(c.ev, c[1]);
    if (!g.valid())
        return c[1].isError() ? c[1] : Value::error(err::NA);
    if (g.rows() > 1 && g.cols() > 1)
        return Value::error(err::NA);
    const Num type = c.integer(2, 1);
    if (!type)
        return type.fail();
    const Match mode = type.v > 0 ? Match::Ascending : type.v < 0 ? Match::Descending
                                                                  : Match::Exact;
    const bool across = g.rows() == 1;
    const int at = search([&](int i) { return across ? g.at(0, i) : g.at(i, 0); }, across ? g.cols() : g.rows(), x, mode);
    return at < 0 ? Value::error(err::NA) : Value::num(at + 1);
}

// INDEX: a cell, row or column of a range (as a reference) or of an array.
Value index(Call& c)
{
    Value source = c[0];
    if (source.isError())
        return source;
    const Num rowArg = c.integer(1, 0), colArg = c.integer(2, 0), areaArg = c.integer(3, 1);
    for (const Num* n : {&rowArg, &colArg, &areaArg})
        if (!*n)
            return n->fail();
    if (rowArg.v < 0 || colArg.v < 0 || areaArg.v < 1)
        return Value::error(err::Value);
    if (source.kind == Value::Ref && source.isMultiArea()) {
        const int k = int(areaArg.v) - 1;
        if (k > int(source.moreAreas->size()))
            return Value::error(err::Ref);
        source = Value::ref(k == 0 ? source.area : (*source.moreAreas)[size_t(k - 1)]);
    } else if (areaArg.v > 1) {
        return Value::error(err::Ref);
    }
    const Grid g(c.ev, source);
    if (!g.valid())
        return Value::error(err::Value);
    int row = int(std::min(rowArg.v, 1e6)), col = int(std::min(colArg.v, 1e6));
    if (!c.given(2) && g.rows() == 1 && g.cols() > 1) { // one row: the number picks a column
        col = row;
        row = 0;
    }
    if (row > g.rows() || col > g.cols() || (!c.given(2) && g.cols() > 1 && g.rows() > 1 && row == 0))
        return Value::error(err::Ref);
    if (source.kind == Value::Ref) {
        CellArea a = source.area;
        if (row > 0)
            a.firstRow = a.lastRow = a.firstRow + row - 1;
        if (col > 0)
            a.firstCol = a.lastCol = a.firstCol + col - 1;
        return Value::ref(a);
    }
    if (row > 0 && col > 0)
        return g.at(row - 1, col - 1);
    if (row == 0 && col == 0)
        return source;
    auto m = std::make_shared<Matrix>();
    m->rows = row > 0 ? 1 : g.rows();
    m->cols = col > 0 ? 1 : g.cols();
    for (int r = 0; r < m->rows; ++r)
        for (int k = 0; k < m->cols; ++k)
            m->values.push_back(g.at(row > 0 ? row - 1 : r, col > 0 ? col - 1 : k));
    return Value::array(std::move(m));
}

// ROW and COLUMN: of the formula's own cell, or of the reference's first
// cell (all of them, in an array formula).
Value place(Call& c, bool rows)
{
    if (!c.given(0) || c[0].kind == Value::Empty)
        return Value::num((rows ? c.ev.row() : c.ev.col()) + 1);
    if (c[0].isError())
        return c[0];
    if (c[0].kind != Value::Ref)
        return Value::error(err::Value);
    const CellArea& a = c[0].area;
    const int first = rows ? a.firstRow : a.firstCol, last = rows ? a.lastRow : a.lastCol;
    if (!c.ev.arrayMode() || first == last)
        return Value::num(first + 1);
    auto m = std::make_shared<Matrix>();
    m->rows = rows ? last - first + 1 : 1;
    m->cols = rows ? 1 : last - first + 1;
    for (int k = first; k <= last; ++k)
        m->values.push_back(Value::num(k + 1));
    return Value::array(std::move(m));
}

Value row(Call& c) { return place(c, true); }
Value column(Call& c) { return place(c, false); }

Value extent(Call& c, bool rows)
{
    const Value& v = c[0];
    if (v.isError())
        return v;
    if (v.kind == Value::Ref) {
        if (v.isMultiArea())
            return Value::error(err::Ref);
        return Value::num(rows ? v.area.rows() : v.area.cols());
    }
    if (v.kind == Value::Array)
        return Value::num(rows ? v.matrix->rows : v.matrix->cols);
    return Value::num(1);
}

Value rowsFn(Call& c) { return extent(c, true); }
Value columnsFn(Call& c) { return extent(c, false); }

Value areas(Call& c)
{
    if (c[0].kind != Value::Ref)
        return c[0].isError() ? c[0] : Value::error(err::Value);
    return Value::num(1 + (c[0].moreAreas ? double(c[0].moreAreas->size()) : 0));
}

constexpr BuiltinEntry kLookup[] = {
    {8, row},
    {9, column},
    {28, lookup},
    {29, index},
    {64, match},
    {75, areas},
    {76, rowsFn},
    {77, columnsFn},
    {101, hlookup},
    {102, vlookup},
};

} // namespace

std::span<const BuiltinEntry> lookupBuiltins()
{
    return kLookup;
}

} // namespace tegaro::sheets
