// Logic and information: AND, OR, NOT, the IS functions, NA, N, T, TYPE.
#include "sheets/calc/FormulaBuiltins.h"

namespace tegaro::sheets {

namespace {

// A function this program cannot work out stays so for those that ask
// about it: ISERROR of it is not known either.
bool unknown(const Value& v)
{
    return v.isError() && v.errorCode() == err::NotCalculated;
}

Value logical(Call& c, bool all)
{
    bool any = false, result = all;
    int error = -1;
    for (int i = 0; i < c.size() && error < 0; ++i) {
        c.ev.forEach(c[i], [&](const Value& v, bool fromRef) {
            bool b;
            switch (v.kind) {
            case Value::Error: error = v.errorCode(); return false;
            case Value::Number:
            case Value::Boolean: b = v.number != 0; break;
            case Value::Text: {
                if (fromRef)
                    return true;
                const Bool t = c.ev.toBool(v);
                if (!t) {
                    error = t.error;
                    return false;
                }
                b = t.v;
                break;
            }
            default: return true;
            }
            any = true;
            result = all ? result && b : result || b;
            return true;
        });
    }
    if (error >= 0)
        return Value::error(error);
    return any ? Value::boolean(result) : Value::error(err::Value);
}

Value andFn(Call& c) { return logical(c, true); }
Value orFn(Call& c) { return logical(c, false); }

Value notFn(Call& c)
{
    const Bool b = c.boolean(0);
    return b ? Value::boolean(!b.v) : b.fail();
}

Value trueFn(Call&) { return Value::boolean(true); }
Value falseFn(Call&) { return Value::boolean(false); }
Value na(Call&) { return Value::error(err::NA); }

template <bool (*Test)(const Value&)>
Value is(Call& c)
{
    if (unknown(c[0]))
        return c[0];
    return Value::boolean(Test(c[0]));
}

bool blank(const Value& v) { return v.kind == Value::Empty; }
bool number(const Value& v) { return v.kind == Value::Number; }
bool text(const Value& v) { return v.kind == Value::Text; }
bool notText(const Value& v) { return v.kind != Value::Text; }
bool boolean(const Value& v) { return v.kind == Value::Boolean; }
bool error(const Value& v) { return v.isError(); }
bool errorNotNA(const Value& v) { return v.isError() && v.errorCode() != err::NA; }
bool notAvailable(const Value& v) { return v.isError() && v.errorCode() == err::NA; }
bool reference(const Value& v) { return v.kind == Value::Ref; }

Value n(Call& c)
{
    const Value v = c.ev.single(c[0]);
    switch (v.kind) {
    case Value::Number:
    case Value::Error: return v;
    case Value::Boolean: return Value::num(v.number);
    default: return Value::num(0);
    }
}

Value t(Call& c)
{
    const Value v = c.ev.single(c[0]);
    if (v.kind == Value::Text || v.isError())
        return v;
    return Value::str(QString());
}

Value type(Call& c)
{
    switch (c[0].kind) {
    case Value::Text: return Value::num(2);
    case Value::Boolean: return Value::num(4);
    case Value::Error: return unknown(c[0]) ? c[0] : Value::num(16);
    case Value::Array: return Value::num(64);
    default: return Value::num(1);
    }
}

Value errorType(Call& c)
{
    if (!c[0].isError() || unknown(c[0]))
        return c[0].isError() ? c[0] : Value::error(err::NA);
    const int codes[] = {err::Null, err::Div0, err::Value, err::Ref, err::Name, err::Num, err::NA};
    for (int k = 0; k < 7; ++k)
        if (codes[k] == c[0].errorCode())
            return Value::num(k + 1);
    return Value::error(err::NA);
}

constexpr BuiltinEntry kInfo[] = {
    {2, is<notAvailable>},
    {3, is<error>},
    {10, na},
    {34, trueFn},
    {35, falseFn},
    {36, andFn},
    {37, orFn},
    {38, notFn},
    {86, type},
    {105, is<reference>},
    {126, is<errorNotNA>},
    {127, is<text>},
    {128, is<number>},
    {129, is<blank>},
    {130, t},
    {131, n},
    {190, is<notText>},
    {198, is<boolean>},
    {261, errorType},
};

} // namespace

std::span<const BuiltinEntry> infoBuiltins()
{
    return kInfo;
}

} // namespace tegaro::sheets
