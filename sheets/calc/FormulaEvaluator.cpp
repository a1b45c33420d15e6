#include "sheets/calc/FormulaEvaluator.h"

#include "sheets/formula/FormulaCode.h"
#include "sheets/formula/FormulaFunctions.h"
#include "sheets/model/SheetErrors.h"

#include <cmath>

namespace tegaro::sheets {

namespace {

constexpr int kIf = 1, kChoose = 100;
constexpr qint64 kMaxArrayCells = 1 << 20;
constexpr int kMaxNameDepth = 32;

bool isNumberLike(Value::Kind k)
{
    return k == Value::Number || k == Value::Empty || k == Value::Boolean;
}

// Sums and differences that cancel to within the last of fifteen digits
// are 0, as Excel shows them (0.1+0.2-0.3 is 0, not 5.55E-17).
double cancelled(double r, double a, double b)
{
    if (r != 0 && std::fabs(r) <= std::max(std::fabs(a), std::fabs(b)) * 1e-15)
        return 0;
    return r;
}

Value numberResult(double r)
{
    if (!std::isfinite(r))
        return Value::error(err::Num);
    return Value::num(r == 0 ? 0.0 : r); // no negative zero
}

// The element (r, c) of an operand of an array operation: a single value
// stands for every element, a single row or column repeats.
Value element(const Value& v, int r, int c)
{
    if (v.kind != Value::Array)
        return v;
    const Matrix& m = *v.matrix;
    if (m.rows == 1)
        r = 0;
    if (m.cols == 1)
        c = 0;
    if (r >= m.rows || c >= m.cols)
        return Value::error(err::NA);
    return m.at(r, c);
}

std::pair<int, int> shape(const Value& v)
{
    if (v.kind == Value::Array)
        return {v.matrix->rows, v.matrix->cols};
    return {1, 1};
}

} // namespace

// ---- argument conversions ----

Num Call::number(int i) const
{
    if (!given(i))
        return {0, -1};
    return ev.toNumber(args[i]);
}

Str Call::text(int i) const
{
    if (!given(i))
        return {};
    return ev.toText(args[i]);
}

Bool Call::boolean(int i) const
{
    if (!given(i))
        return {false, -1};
    return ev.toBool(args[i]);
}

Num Call::integer(int i, double fallback) const
{
    if (!given(i))
        return {fallback, -1};
    Num n = number(i);
    if (n)
        n.v = std::trunc(n.v);
    return n;
}

Evaluator::Evaluator(const Workbook& book) : book_(book) {}

Num Evaluator::toNumber(const Value& v) const
{
    switch (v.kind) {
    case Value::Number:
    case Value::Boolean: return {v.number, -1};
    case Value::Empty: return {0, -1};
    case Value::Error: return {0, v.errorCode()};
    case Value::Text: {
        if (const auto n = textToNumber(v.text, book_.date1904))
            return {*n, -1};
        return {0, err::Value};
    }
    default: return toNumber(single(v));
    }
}

Str Evaluator::toText(const Value& v) const
{
    switch (v.kind) {
    case Value::Text: return {v.text, -1};
    case Value::Number: return {numberToText(v.number), -1};
    case Value::Boolean: return {v.number != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE"), -1};
    case Value::Empty: return {QString(), -1};
    case Value::Error: return {QString(), v.errorCode()};
    default: return toText(single(v));
    }
}

Bool Evaluator::toBool(const Value& v) const
{
    switch (v.kind) {
    case Value::Number:
    case Value::Boolean: return {v.number != 0, -1};
    case Value::Empty: return {false, -1};
    case Value::Error: return {false, v.errorCode()};
    case Value::Text:
        if (v.text.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0)
            return {true, -1};
        if (v.text.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0)
            return {false, -1};
        return {false, err::Value};
    default: return toBool(single(v));
    }
}

Value Evaluator::valueOf(const Cell& c)
{
    CellKind kind = c.kind;
    if (kind == CellKind::Formula)
        kind = c.result == CellKind::Empty ? CellKind::Number : c.result; // not worked out yet
    switch (kind) {
    case CellKind::Number: return Value::num(c.number);
    case CellKind::Text: return Value::str(c.text);
    case CellKind::Boolean: return Value::boolean(c.number != 0);
    case CellKind::Error: return Value::error(int(c.number));
    default: return {};
    }
}

// Formulas mostly read cells near the ones read before: a few steps from
// the last one found beat a search of the whole sheet.
const Cell* Evaluator::find(int sheet, int row, int col) const
{
    if (index_)
        return index_->find(sheet, row, col);
    const Sheet& s = book_.sheets[sheet];
    const quint32 key = Sheet::key(row, col);
    const auto& cells = s.cells();
    if (pass_ && finger_ == &s) {
        auto it = fingerAt_;
        for (int step = 0; step < 6; ++step) {
            if (it->first == key) {
                fingerAt_ = it;
                return &it->second;
            }
            if (it->first < key) {
                if (++it == cells.end() || it->first > key)
                    return nullptr;
            } else {
                if (it == cells.begin() || (--it)->first < key)
                    return nullptr;
            }
        }
    }
    const auto it = cells.find(key);
    if (it == cells.end())
        return nullptr;
    if (pass_) {
        finger_ = &s;
        fingerAt_ = it;
    }
    return &it->second;
}

Value Evaluator::cellValue(int sheet, int row, int col) const
{
    if (sheet < 0 || sheet >= book_.sheets.size())
        return Value::error(err::Ref);
    const Cell* c = find(sheet, row, col);
    return c ? valueOf(*c) : Value();
}

Value Evaluator::single(const Value& v) const
{
    if (v.kind == Value::Array) {
        const Matrix& m = *v.matrix;
        return m.values.empty() ? Value() : m.values.front();
    }
    if (v.kind != Value::Ref)
        return v;
    if (v.isMultiArea())
        return Value::error(err::Value);
    const CellArea& a = v.area;
    if (a.single())
        return cellValue(a.sheet, a.firstRow, a.firstCol);
    // Implicit intersection: the cell of the area in the formula's row or column.
    if (a.sheet == frame_.sheet) {
        if (a.firstCol == a.lastCol && frame_.row >= a.firstRow && frame_.row <= a.lastRow)
            return cellValue(a.sheet, frame_.row, a.firstCol);
        if (a.firstRow == a.lastRow && frame_.col >= a.firstCol && frame_.col <= a.lastCol)
            return cellValue(a.sheet, a.firstRow, frame_.col);
    }
    return Value::error(err::Value);
}

Value Evaluator::toArray(const Value& v) const
{
    if (v.kind != Value::Ref)
        return v;
    if (v.isMultiArea())
        return Value::error(err::Value);
    const CellArea& a = v.area;
    if (a.single())
        return cellValue(a.sheet, a.firstRow, a.firstCol);
    if (qint64(a.rows()) * a.cols() > kMaxArrayCells)
        return Value::error(err::Num);
    auto m = std::make_shared<Matrix>();
    m->rows = a.rows();
    m->cols = a.cols();
    m->values.resize(size_t(m->rows) * size_t(m->cols));
    const Sheet& s = book_.sheets[a.sheet];
    const auto& cells = s.cells();
    for (int r = a.firstRow; r <= a.lastRow; ++r) {
        for (auto it = cells.lower_bound(Sheet::key(r, a.firstCol)); it != cells.end() && it->first <= Sheet::key(r, a.lastCol);
             ++it) {
            m->values[size_t(r - a.firstRow) * size_t(m->cols) + size_t(Sheet::colOf(it->first) - a.firstCol)] =
                valueOf(it->second);
        }
    }
    return Value::array(std::move(m));
}

void Evaluator::forEach(const Value& v, const std::function<bool(const Value&, bool)>& f) const
{
    if (v.kind == Value::Array) {
        for (const Value& e : v.matrix->values)
            if (!f(e, true))
                return;
        return;
    }
    if (v.kind != Value::Ref) {
        f(v, false);
        return;
    }
    auto area = [&](const CellArea& a) {
        if (a.sheet < 0 || a.sheet >= book_.sheets.size())
            return f(Value::error(err::Ref), true);
        const auto& cells = book_.sheets[a.sheet].cells();
        for (int r = a.firstRow; r <= a.lastRow; ++r) {
            auto it = cells.lower_bound(Sheet::key(r, a.firstCol));
            if (it == cells.end())
                return true;
            if (Sheet::rowOf(it->first) > r) { // jump over empty rows
                r = Sheet::rowOf(it->first) - 1;
                continue;
            }
            for (; it != cells.end() && it->first <= Sheet::key(r, a.lastCol); ++it) {
                if (it->second.kind == CellKind::Empty)
                    continue;
                if (!f(valueOf(it->second), true))
                    return false;
            }
        }
        return true;
    };
    if (!area(v.area))
        return;
    if (v.moreAreas)
        for (const CellArea& a : *v.moreAreas)
            if (!area(a))
                return;
}

// ---- evaluation ----

Value Evaluator::evaluate(const Program& p, int sheet, int row, int col, bool arrayFormula)
{
    if (p.empty())
        return Value::error(err::Value);
    const Frame saved = frame_;
    frame_ = {&p, sheet, row, col, arrayFormula, 0};
    Value v = eval(p.root());
    v = arrayFormula ? toArray(v) : single(v);
    if (v.kind == Value::Empty && !arrayFormula)
        v = Value::num(0);
    frame_ = saved;
    return v;
}

Value Evaluator::reference(const RefOperand& r) const
{
    if (r.deleted || r.external)
        return Value::error(err::Ref);
    const int first = r.threeD ? r.firstSheet : frame_.sheet;
    const int last = r.threeD ? r.lastSheet : frame_.sheet;
    if (first < 0 || last >= book_.sheets.size() || last < first)
        return Value::error(err::Ref);
    CellArea a;
    a.sheet = first;
    a.firstRow = std::min(r.firstRow, r.lastRow);
    a.lastRow = std::max(r.firstRow, r.lastRow);
    a.firstCol = std::min(r.firstCol, r.lastCol);
    a.lastCol = std::max(r.firstCol, r.lastCol);
    Value v = Value::ref(a);
    if (last > first) {
        auto more = std::make_shared<std::vector<CellArea>>();
        for (int s = first + 1; s <= last; ++s) {
            CellArea other = a;
            other.sheet = s;
            more->push_back(other);
        }
        v.moreAreas = std::move(more);
    }
    return v;
}

Value Evaluator::name(int index)
{
    if (index < 1 || index > book_.names.size() || frame_.depth >= kMaxNameDepth)
        return Value::error(err::Name);
    auto it = names_.find(index);
    if (it == names_.end()) {
        std::shared_ptr<const Program> p;
        const DefinedName& n = book_.names[index - 1];
        try {
            TokenInput in;
            in.tokens = n.tokens;
            in.biff = n.biff;
            in.book = &book_;
            p = std::make_shared<const Program>(decodeTokens(in));
        } catch (const EFormulaError&) {
            // a name whose definition cannot be read means nothing
        }
        it = names_.emplace(index, p).first;
    }
    if (!it->second || it->second->empty())
        return Value::error(err::Name);
    const Frame saved = frame_;
    frame_.p = it->second.get();
    ++frame_.depth;
    Value v = eval(frame_.p->root());
    frame_ = saved;
    return v;
}

Value Evaluator::referenceOperator(Op op, const Value& a, const Value& b) const
{
    if (a.isError())
        return a;
    if (b.isError())
        return b;
    if (!a.isRef() || !b.isRef())
        return Value::error(err::Value);
    if (op == Op::Union) {
        Value v = a;
        auto more = std::make_shared<std::vector<CellArea>>();
        if (a.moreAreas)
            *more = *a.moreAreas;
        more->push_back(b.area);
        if (b.moreAreas)
            more->insert(more->end(), b.moreAreas->begin(), b.moreAreas->end());
        v.moreAreas = std::move(more);
        return v;
    }
    if (a.isMultiArea() || b.isMultiArea() || a.area.sheet != b.area.sheet)
        return Value::error(err::Value);
    CellArea r = a.area;
    const CellArea& o = b.area;
    if (op == Op::Range) {
        r.firstRow = std::min(r.firstRow, o.firstRow);
        r.firstCol = std::min(r.firstCol, o.firstCol);
        r.lastRow = std::max(r.lastRow, o.lastRow);
        r.lastCol = std::max(r.lastCol, o.lastCol);
        return Value::ref(r);
    }
    r.firstRow = std::max(r.firstRow, o.firstRow);
    r.firstCol = std::max(r.firstCol, o.firstCol);
    r.lastRow = std::min(r.lastRow, o.lastRow);
    r.lastCol = std::min(r.lastCol, o.lastCol);
    if (r.firstRow > r.lastRow || r.firstCol > r.lastCol)
        return Value::error(err::Null);
    return Value::ref(r);
}

Value Evaluator::binary(Op op, const Value& a, const Value& b) const
{
    if (op == Op::Range || op == Op::Isect || op == Op::Union)
        return referenceOperator(op, a, b);
    auto scalar = [this, op](const Value& x, const Value& y) -> Value {
        if (op >= Op::Lt && op <= Op::Ne) {
            if (x.isError())
                return x;
            if (y.isError())
                return y;
            const int c = compareValues(x, y);
            switch (op) {
            case Op::Lt: return Value::boolean(c < 0);
            case Op::Le: return Value::boolean(c <= 0);
            case Op::Eq: return Value::boolean(c == 0);
            case Op::Ge: return Value::boolean(c >= 0);
            case Op::Gt: return Value::boolean(c > 0);
            default: return Value::boolean(c != 0);
            }
        }
        if (op == Op::Concat) {
            const Str s = toText(x);
            if (!s)
                return s.fail();
            const Str t = toText(y);
            if (!t)
                return t.fail();
            if (s.v.size() + t.v.size() > 32767)
                return Value::error(err::Value);
            return Value::str(s.v + t.v);
        }
        Num l = isNumberLike(x.kind) ? Num{x.kind == Value::Empty ? 0 : x.number, -1} : toNumber(x);
        if (!l)
            return l.fail();
        Num r = isNumberLike(y.kind) ? Num{y.kind == Value::Empty ? 0 : y.number, -1} : toNumber(y);
        if (!r)
            return r.fail();
        switch (op) {
        case Op::Add: return numberResult(cancelled(l.v + r.v, l.v, r.v));
        case Op::Sub: return numberResult(cancelled(l.v - r.v, l.v, r.v));
        case Op::Mul: return numberResult(l.v * r.v);
        case Op::Div: return r.v == 0 ? Value::error(err::Div0) : numberResult(l.v / r.v);
        default:
            if (l.v == 0 && r.v == 0)
                return Value::error(err::Num);
            if (l.v == 0 && r.v < 0)
                return Value::error(err::Div0);
            return numberResult(std::pow(l.v, r.v));
        }
    };
    // References give one cell outside array formulas (implicit
    // intersection); arrays, constants included, go element by element.
    const Value x = frame_.array ? toArray(a) : a.kind == Value::Ref ? single(a)
                                                                     : a;
    const Value y = frame_.array ? toArray(b) : b.kind == Value::Ref ? single(b)
                                                                     : b;
    if (x.kind != Value::Array && y.kind != Value::Array)
        return scalar(x, y);
    const auto [xr, xc] = shape(x);
    const auto [yr, yc] = shape(y);
    auto m = std::make_shared<Matrix>();
    m->rows = std::max(xr, yr);
    m->cols = std::max(xc, yc);
    m->values.reserve(size_t(m->rows) * size_t(m->cols));
    for (int r = 0; r < m->rows; ++r)
        for (int c = 0; c < m->cols; ++c)
            m->values.push_back(scalar(element(x, r, c), element(y, r, c)));
    return Value::array(std::move(m));
}

Value Evaluator::unary(Op op, const Value& v) const
{
    auto scalar = [this, op](const Value& x) -> Value {
        const Num n = toNumber(x);
        if (!n)
            return n.fail();
        return numberResult(op == Op::Minus ? -n.v : n.v / 100);
    };
    const Value x = frame_.array ? toArray(v) : v.kind == Value::Ref ? single(v)
                                                                     : v;
    if (x.kind != Value::Array)
        return scalar(x);
    auto m = std::make_shared<Matrix>(*x.matrix);
    for (Value& e : m->values)
        e = scalar(e);
    return Value::array(std::move(m));
}

Value Evaluator::evalArg(int i, ArgClass cls)
{
    if (cls != ArgClass::Array || frame_.array)
        return eval(i);
    frame_.array = true;
    Value v = eval(i);
    frame_.array = false;
    return v;
}

Value Evaluator::lifted(Builtin fn, Call& call, const std::vector<int>& valueArgs)
{
    int rows = 1, cols = 1;
    for (int a : valueArgs) {
        rows = std::max(rows, call.args[a].matrix->rows);
        cols = std::max(cols, call.args[a].matrix->cols);
    }
    const Call whole = call;
    auto m = std::make_shared<Matrix>();
    m->rows = rows;
    m->cols = cols;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            for (int a : valueArgs)
                call.args[a] = element(whole.args[a], r, c);
            m->values.push_back(single(fn(call)));
        }
    }
    return Value::array(std::move(m));
}

Value Evaluator::lazy(int i, const Node& n, bool& handled)
{
    handled = true;
    int args[256];
    frame_.p->children(i, args);
    if (n.index == kIf) {
        const Value cond = single(eval(args[0]));
        const Bool b = toBool(cond);
        if (!b)
            return b.fail();
        if (b.v)
            return eval(args[1]);
        return n.argc > 2 ? eval(args[2]) : Value::boolean(false);
    }
    if (n.index == kChoose) {
        const Num k = toNumber(single(eval(args[0])));
        if (!k)
            return k.fail();
        const int pick = int(std::trunc(k.v));
        if (pick < 1 || pick >= n.argc)
            return Value::error(err::Value);
        return eval(args[pick]);
    }
    handled = false;
    return {};
}

Value Evaluator::userFunction(int i, const Node& n)
{
    int args[256];
    frame_.p->children(i, args);
    if (n.argc < 1)
        return Value::error(err::Name);
    const Node& callee = frame_.p->nodes[size_t(args[0])];
    QString fname;
    if (callee.op == Op::Name && callee.index >= 1 && callee.index <= book_.names.size())
        fname = book_.names[callee.index - 1].name;
    if (fname.startsWith(QLatin1String("_xlfn."), Qt::CaseInsensitive))
        fname = fname.mid(6);
    if (fname.compare(QLatin1String("IFERROR"), Qt::CaseInsensitive) == 0 && n.argc == 3) {
        const Value v = single(eval(args[1]));
        if (v.isError() && v.errorCode() != err::NotCalculated)
            return eval(args[2]);
        return v;
    }
    return Value::error(err::Name);
}

Value Evaluator::function(int i, const Node& n)
{
    // Stored tokens may call a function with fewer or more arguments than
    // it takes; Excel would not have written them, so no function sees them.
    if (n.index != kUserFunction) {
        const FunctionInfo* info = functionByIndex(n.index);
        if (info && (n.argc < info->minArgs || n.argc > info->maxArgs))
            return Value::error(err::Value);
    }
    bool handled = false;
    Value v = lazy(i, n, handled);
    if (handled)
        return v;
    if (n.index == kUserFunction)
        return userFunction(i, n);
    const FunctionInfo* f = functionByIndex(n.index);
    const Builtin fn = builtinFunction(n.index);
    if (!f || !fn)
        return Value::error(err::NotCalculated);
    int args[256];
    frame_.p->children(i, args);
    Call call(*this, n.argc);
    std::vector<int> lift;
    for (int a = 0; a < n.argc; ++a) {
        const ArgClass cls = f->param(a);
        Value x = evalArg(args[a], cls);
        if (cls == ArgClass::Array) {
            x = toArray(x);
        } else if (cls == ArgClass::Value) {
            // as for operators: a function of single values takes arrays element by element
            x = frame_.array ? toArray(x) : x.kind == Value::Ref ? single(x)
                                                                 : x;
            if (x.kind == Value::Array)
                lift.push_back(a);
        }
        call.args[a] = std::move(x);
    }
    if (!lift.empty())
        return lifted(fn, call, lift);
    return fn(call);
}

Value Evaluator::eval(int i)
{
    const Program& p = *frame_.p;
    const Node& n = p.nodes[size_t(i)];
    if (n.op >= Op::Add && n.op <= Op::Range) {
        int args[2];
        p.children(i, args);
        const Value a = eval(args[0]);
        return binary(n.op, a, eval(args[1]));
    }
    switch (n.op) {
    case Op::Number: return Value::num(n.number);
    case Op::String: return Value::str(p.strings[size_t(n.index)]);
    case Op::Boolean: return Value::boolean(n.number != 0);
    case Op::ErrorConst: return Value::error(n.index);
    case Op::Missing: return {};
    case Op::Ref: return reference(p.refs[size_t(n.index)]);
    case Op::Name: return name(n.index);
    case Op::ExternName: return Value::error(err::Name);
    case Op::ArrayConst: return Value::array(p.arrays[size_t(n.index)]);
    case Op::Plus:
    case Op::Paren: return eval(i - 1);
    case Op::Minus:
    case Op::Percent: return unary(n.op, eval(i - 1));
    case Op::Function: return function(i, n);
    default: return Value::error(err::Value);
    }
}

} // namespace tegaro::sheets
