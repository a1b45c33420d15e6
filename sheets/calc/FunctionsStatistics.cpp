// Functions over many values: sums, counts, averages, extremes, the
// conditional SUMIF and COUNTIF, SUMPRODUCT and SUBTOTAL.
#include "sheets/calc/FormulaBuiltins.h"
#include "sheets/formula/FormulaCode.h"
#include "sheets/model/SheetErrors.h"

#include <algorithm>
#include <cmath>

namespace tegaro::sheets {

namespace {

// Excel's rule for lists of numbers: from references and arrays only
// numbers count; given directly, numeric texts and booleans count too and
// other texts are #VALUE!. The first error met is the result.
template <class F>
int eachNumber(Call& c, int first, F&& f)
{
    int error = -1;
    const bool date1904 = c.ev.date1904();
    for (int i = first; i < c.size() && error < 0; ++i) {
        c.ev.forEach(c[i], [&](const Value& v, bool fromRef) {
            switch (v.kind) {
            case Value::Number: f(v.number); return true;
            case Value::Error: error = v.errorCode(); return false;
            case Value::Boolean:
                if (!fromRef)
                    f(v.number);
                return true;
            case Value::Text:
                if (!fromRef) {
                    const auto n = textToNumber(v.text, date1904);
                    if (!n) {
                        error = err::Value;
                        return false;
                    }
                    f(*n);
                }
                return true;
            default: return true;
            }
        });
    }
    return error;
}

Value numberOrError(double v)
{
    return std::isfinite(v) ? Value::num(v) : Value::error(err::Num);
}

Value sum(Call& c)
{
    double total = 0;
    const int e = eachNumber(c, 0, [&](double v) { total += v; });
    return e >= 0 ? Value::error(e) : numberOrError(total);
}

Value product(Call& c)
{
    double total = 1;
    bool any = false;
    const int e = eachNumber(c, 0, [&](double v) { total *= v; any = true; });
    return e >= 0 ? Value::error(e) : numberOrError(any ? total : 0);
}

Value average(Call& c)
{
    double total = 0;
    int n = 0;
    const int e = eachNumber(c, 0, [&](double v) { total += v; ++n; });
    if (e >= 0)
        return Value::error(e);
    return n == 0 ? Value::error(err::Div0) : numberOrError(total / n);
}

Value extreme(Call& c, bool max)
{
    double best = 0;
    bool any = false;
    const int e = eachNumber(c, 0, [&](double v) {
        if (!any || (max ? v > best : v < best))
            best = v;
        any = true;
    });
    return e >= 0 ? Value::error(e) : Value::num(best);
}

Value maxFn(Call& c) { return extreme(c, true); }
Value minFn(Call& c) { return extreme(c, false); }

Value sumSquares(Call& c)
{
    double total = 0;
    const int e = eachNumber(c, 0, [&](double v) { total += v * v; });
    return e >= 0 ? Value::error(e) : numberOrError(total);
}

std::vector<double> numbersOf(Call& c, int first, int to, int& error)
{
    std::vector<double> out;
    Call part(c.ev, 0);
    for (int i = first; i < to && i < c.size(); ++i)
        part.args.append(c[i]);
    error = eachNumber(part, 0, [&](double v) { out.push_back(v); });
    return out;
}

Value median(Call& c)
{
    int e;
    std::vector<double> v = numbersOf(c, 0, c.size(), e);
    if (e >= 0)
        return Value::error(e);
    if (v.empty())
        return Value::error(err::Num);
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return Value::num(n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2);
}

Value kth(Call& c, bool largest)
{
    int e;
    std::vector<double> v = numbersOf(c, 0, 1, e);
    if (e >= 0)
        return Value::error(e);
    const Num k = c.number(1);
    if (!k)
        return k.fail();
    const double rank = std::ceil(k.v);
    if (rank < 1 || rank > double(v.size()))
        return Value::error(err::Num);
    std::sort(v.begin(), v.end());
    return Value::num(largest ? v[v.size() - size_t(rank)] : v[size_t(rank) - 1]);
}

Value large(Call& c) { return kth(c, true); }
Value small(Call& c) { return kth(c, false); }

// Sample or population variance of the numbers.
Value spread(Call& c, bool sample, bool root)
{
    int e;
    const std::vector<double> v = numbersOf(c, 0, c.size(), e);
    if (e >= 0)
        return Value::error(e);
    const size_t n = v.size();
    if (n < (sample ? 2u : 1u))
        return Value::error(err::Div0);
    double mean = 0;
    for (double x : v)
        mean += x;
    mean /= double(n);
    double squares = 0;
    for (double x : v)
        squares += (x - mean) * (x - mean);
    const double var = squares / double(sample ? n - 1 : n);
    return numberOrError(root ? std::sqrt(var) : var);
}

Value stdev(Call& c) { return spread(c, true, true); }
Value stdevp(Call& c) { return spread(c, false, true); }
Value var(Call& c) { return spread(c, true, false); }
Value varp(Call& c) { return spread(c, false, false); }

Value count(Call& c)
{
    double n = 0;
    const bool date1904 = c.ev.date1904();
    for (int i = 0; i < c.size(); ++i) {
        c.ev.forEach(c[i], [&](const Value& v, bool fromRef) {
            if (v.kind == Value::Number
                || (!fromRef && (v.kind == Value::Boolean || (v.kind == Value::Text && textToNumber(v.text, date1904)))))
                ++n;
            return true;
        });
    }
    return Value::num(n);
}

Value countA(Call& c)
{
    double n = 0;
    for (int i = 0; i < c.size(); ++i) {
        c.ev.forEach(c[i], [&](const Value& v, bool fromRef) {
            if (v.kind != Value::Empty || !fromRef)
                ++n;
            return true;
        });
    }
    return Value::num(n);
}

qint64 cellsIn(const Value& v)
{
    if (v.kind == Value::Array)
        return qint64(v.matrix->rows) * v.matrix->cols;
    if (v.kind != Value::Ref)
        return 1;
    qint64 n = qint64(v.area.rows()) * v.area.cols();
    if (v.moreAreas)
        for (const CellArea& a : *v.moreAreas)
            n += qint64(a.rows()) * a.cols();
    return n;
}

Value countBlank(Call& c)
{
    if (c[0].kind != Value::Ref)
        return Value::error(err::Value);
    qint64 filled = 0;
    c.ev.forEach(c[0], [&](const Value& v, bool) {
        if (v.kind != Value::Empty && !(v.kind == Value::Text && v.text.isEmpty()))
            ++filled;
        return true;
    });
    return Value::num(double(cellsIn(c[0]) - filled));
}

// The condition of SUMIF and COUNTIF: "<>0", ">=10", "山田*", a number ...
class Criterion {
public:
    Criterion(const Value& c, bool date1904);
    bool matches(const Value& v) const;
    bool matchesEmpty() const { return matches(Value()); }

private:
    enum class Kind {
        Number,
        Text,
        Boolean,
        Error,
        Blank
    } kind_ = Kind::Number;
    QString op_ = QStringLiteral("=");
    double number_ = 0;
    QString text_;
    bool date1904_;
    bool onlyEmpty_ = false; // "=" alone: truly empty cells only
};

Criterion::Criterion(const Value& c, bool date1904) : date1904_(date1904)
{
    switch (c.kind) {
    case Value::Number: number_ = c.number; return;
    case Value::Boolean:
        kind_ = Kind::Boolean;
        number_ = c.number;
        return;
    case Value::Error:
        kind_ = Kind::Error;
        number_ = c.number;
        return;
    case Value::Empty: return; // the same as 0
    default: break;
    }
    QString s = c.text;
    for (const char* op : {"<=", ">=", "<>", "<", ">", "="}) {
        if (s.startsWith(QLatin1String(op))) {
            op_ = QLatin1String(op);
            s = s.mid(op_.size());
            break;
        }
    }
    if (s.isEmpty()) {
        kind_ = Kind::Blank;
        onlyEmpty_ = c.text == u"=";
        return;
    }
    if (const auto n = textToNumber(s, date1904)) {
        number_ = *n;
        return;
    }
    if (s.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0 || s.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0) {
        kind_ = Kind::Boolean;
        number_ = s.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0;
        return;
    }
    for (int code : {err::Null, err::Div0, err::Value, err::Ref, err::Name, err::Num, err::NA}) {
        if (s.compare(errorText(code), Qt::CaseInsensitive) == 0) {
            kind_ = Kind::Error;
            number_ = code;
            return;
        }
    }
    kind_ = Kind::Text;
    text_ = s;
}

bool Criterion::matches(const Value& v) const
{
    auto compared = [this](int c) {
        if (op_ == u"=") return c == 0;
        if (op_ == u"<>") return c != 0;
        if (op_ == u"<") return c < 0;
        if (op_ == u"<=") return c <= 0;
        if (op_ == u">") return c > 0;
        return c >= 0;
    };
    const bool negated = op_ == u"<>";
    switch (kind_) {
    case Kind::Blank: {
        const bool blank = v.kind == Value::Empty || (!onlyEmpty_ && v.kind == Value::Text && v.text.isEmpty());
        return negated ? v.kind != Value::Empty : blank;
    }
    case Kind::Number: {
        Value n = v;
        if (v.kind == Value::Text && (op_ == u"=" || negated)) {
            if (const auto x = textToNumber(v.text, date1904_))
                n = Value::num(*x); // numeric texts count as their numbers
        }
        if (n.kind != Value::Number)
            return negated;
        return compared(compareValues(n, Value::num(number_)));
    }
    case Kind::Boolean:
        if (v.kind != Value::Boolean)
            return negated;
        return compared(compareValues(v, Value::boolean(number_ != 0)));
    case Kind::Error:
        return negated ? !(v.isError() && v.number == number_) : v.isError() && v.number == number_;
    case Kind::Text:
        if (v.kind != Value::Text)
            return negated;
        if (op_ == u"=" || negated)
            return wildcardMatch(text_, v.text) != negated;
        return compared(compareValues(v, Value::str(text_)));
    }
    return false;
}

// Calls f(row offset, column offset, value) for the cells of a single-area
// range that hold something.
template <class F>
void eachCell(const Evaluator& ev, const CellArea& a, F&& f)
{
    const auto& cells = ev.book().sheets[a.sheet].cells();
    for (int r = a.firstRow; r <= a.lastRow; ++r) {
        auto it = cells.lower_bound(Sheet::key(r, a.firstCol));
        if (it == cells.end())
            return;
        if (Sheet::rowOf(it->first) > r) { // jump over empty rows
            r = Sheet::rowOf(it->first) - 1;
            continue;
        }
        for (; it != cells.end() && it->first <= Sheet::key(r, a.lastCol); ++it)
            if (it->second.kind != CellKind::Empty)
                f(r - a.firstRow, Sheet::colOf(it->first) - a.firstCol, Evaluator::valueOf(it->second));
    }
}

// SUMIF and COUNTIF: the matching cells of the range, and for SUMIF the
// cells at the same places of the sum range, which takes the range's size
// from its own top-left cell as Excel does.
Value conditional(Call& c, bool summing)
{
    const Value& range = c[0];
    if (range.kind != Value::Ref || range.isMultiArea())
        return Value::error(err::Value);
    const CellArea& a = range.area;
    const Criterion crit(c[1], c.ev.date1904());
    CellArea sums = a;
    if (summing && c.given(2)) {
        if (c[2].kind != Value::Ref)
            return Value::error(err::Value);
        sums.sheet = c[2].area.sheet;
        sums.firstRow = c[2].area.firstRow;
        sums.firstCol = c[2].area.firstCol;
    }
    double total = 0;
    int error = -1;
    auto add = [&](int r, int col) {
        if (!summing) {
            total += 1;
            return;
        }
        const Value v = c.ev.cellValue(sums.sheet, sums.firstRow + r, sums.firstCol + col);
        if (v.kind == Value::Number)
            total += v.number;
        else if (v.isError() && error < 0)
            error = v.errorCode();
    };
    if (crit.matchesEmpty() && summing) {
        // every place counts, the empty ones too
        for (int r = 0; r < a.rows(); ++r)
            for (int col = 0; col < a.cols(); ++col)
                if (crit.matches(c.ev.cellValue(a.sheet, a.firstRow + r, a.firstCol + col)))
                    add(r, col);
    } else {
        qint64 filled = 0;
        eachCell(c.ev, a, [&](int r, int col, const Value& v) {
            ++filled;
            if (crit.matches(v))
                add(r, col);
        });
        if (crit.matchesEmpty())
            total += double(qint64(a.rows()) * a.cols() - filled);
    }
    if (error >= 0)
        return Value::error(error);
    return Value::num(total);
}

Value sumIf(Call& c) { return conditional(c, true); }
Value countIf(Call& c) { return conditional(c, false); }

Value sumProduct(Call& c)
{
    int rows = -1, cols = -1;
    for (int i = 0; i < c.size(); ++i) {
        if (c[i].isError())
            return c[i];
        const int r = c[i].kind == Value::Array ? c[i].matrix->rows : 1;
        const int k = c[i].kind == Value::Array ? c[i].matrix->cols : 1;
        if (rows >= 0 && (r != rows || k != cols))
            return Value::error(err::Value);
        rows = r;
        cols = k;
    }
    double total = 0;
    for (int e = 0; e < rows * cols; ++e) {
        double term = 1;
        for (int i = 0; i < c.size(); ++i) {
            const Value& v = c[i].kind == Value::Array ? c[i].matrix->values[size_t(e)] : c[i];
            if (v.isError())
                return v;
            term *= v.kind == Value::Number ? v.number : 0;
        }
        total += term;
    }
    return numberOrError(total);
}

// SUBTOTAL leaves out the cells that hold SUBTOTAL themselves, and with
// function numbers from 101 hidden rows as well.
bool holdsSubtotal(const Evaluator& ev, int sheet, int row, int col)
{
    const Cell* cell = ev.book().sheets[sheet].cell(row, col);
    if (!cell || cell->kind != CellKind::Formula || !cell->formula)
        return false;
    try {
        TokenInput in;
        in.tokens = cell->formula->tokens;
        in.biff = cell->formula->biff;
        in.book = &ev.book();
        const Program p = decodeTokens(in);
        return std::any_of(p.nodes.begin(), p.nodes.end(),
                           [](const Node& n) { return n.op == Op::Function && n.index == 344; });
    } catch (const EFormulaError&) {
        return false;
    }
}

Value subtotal(Call& c)
{
    const Num which = c.integer(0, 0);
    if (!which)
        return which.fail();
    const int fn = int(which.v);
    const bool skipHidden = fn > 100;
    using Aggregate = Value (*)(Call&);
    static const Aggregate kAggregates[] = {average, count, countA, maxFn, minFn, product, stdev, stdevp, sum, var, varp};
    const int k = (fn % 100) - 1;
    if (fn < 1 || (fn > 11 && fn < 101) || fn > 111)
        return Value::error(err::Value);
    Call values(c.ev, 0);
    for (int i = 1; i < c.size(); ++i) {
        if (c[i].kind != Value::Ref) {
            values.args.append(c[i]);
            continue;
        }
        std::vector<CellArea> areas{c[i].area};
        if (c[i].moreAreas)
            areas.insert(areas.end(), c[i].moreAreas->begin(), c[i].moreAreas->end());
        for (const CellArea& a : areas) {
            const Sheet& s = c.ev.book().sheets[a.sheet];
            eachCell(c.ev, a, [&](int r, int col, const Value& v) {
                const int row = a.firstRow + r, column = a.firstCol + col;
                if ((skipHidden && s.rowHidden(row)) || holdsSubtotal(c.ev, a.sheet, row, column))
                    return;
                auto m = std::make_shared<Matrix>(); // one value as if from a reference
                m->rows = m->cols = 1;
                m->values.push_back(v);
                values.args.append(Value::array(std::move(m)));
            });
        }
    }
    return kAggregates[k](values);
}

constexpr BuiltinEntry kStatistics[] = {
    {0, count},
    {4, sum},
    {5, average},
    {6, minFn},
    {7, maxFn},
    {12, stdev},
    {46, var},
    {169, countA},
    {183, product},
    {193, stdevp},
    {194, varp},
    {227, median},
    {228, sumProduct},
    {321, sumSquares},
    {325, large},
    {326, small},
    {344, subtotal},
    {345, sumIf},
    {346, countIf},
    {347, countBlank},
};

} // namespace

std::span<const BuiltinEntry> statisticBuiltins()
{
    return kStatistics;
}

} // namespace tegaro::sheets
