// A Program as Excel 97 tokens: operands carry the class Excel gives them
// (reference, value or array, from the function argument or operator they
// feed), IF and CHOOSE get the jumps Excel writes, volatile formulas the
// attribute that marks them.
#include "sheets/biff/ByteWriter.h"
#include "sheets/formula/FormulaCode.h"
#include "sheets/formula/FormulaFunctions.h"
#include "sheets/formula/FormulaNames.h"
#include "sheets/model/SheetErrors.h"

#include <cmath>

namespace tegaro::sheets {

namespace {

// Excel refuses formulas whose tokens pass about this many bytes.
constexpr qsizetype kMaxTokenBytes = 1800;

quint8 classBits(ArgClass c)
{
    return c == ArgClass::Reference ? 0x20 : c == ArgClass::Value ? 0x40
                                                                  : 0x60;
}

class Encoder {
public:
    Encoder(const Program& p, Workbook& book) : p_(p), book_(book) {}
    EncodedFormula run(ArgClass root);

private:
    void encode(int i, ArgClass ctx);
    void operand(int i, ArgClass ctx, quint8 base);
    void ref(const RefOperand& r, quint8 cls);
    void function(int i, const Node& n, ArgClass ctx);
    void choice(int i, const Node& n, quint8 cls, bool isIf);
    void arrayValues(const Matrix& m);
    quint8 cls(const Node& n, ArgClass ctx) const;
    void patch(qsizetype at, qsizetype value);

    const Program& p_;
    Workbook& book_;
    ByteWriter out_, extra_;
};

quint8 Encoder::cls(const Node& n, ArgClass ctx) const
{
    if (p_.storedClasses)
        return quint8(0x20 * (n.tokenClass + 1));
    return classBits(ctx);
}

void Encoder::patch(qsizetype at, qsizetype value)
{
    if (value < 0 || value > 0xFFFF)
        throw EFormulaError(QStringLiteral("数式が長すぎます。"));
    qToLittleEndian<quint16>(quint16(value), out_.data.data() + at);
}

void Encoder::ref(const RefOperand& r, quint8 c)
{
    auto colField = [](int col, bool rowRel, bool colRel) {
        return quint16((col & 0xFF) | (colRel ? 0x4000 : 0) | (rowRel ? 0x8000 : 0));
    };
    const bool threeD = r.threeD;
    quint8 base = r.area ? 0x25 : 0x24;
    if (threeD)
        base = r.area ? 0x3B : 0x3A;
    if (r.deleted)
        base += threeD ? 2 : 6; // the error forms: 0x2A/0x2B, 0x3C/0x3D
    out_.u8(quint8(c | (base & 0x1F)));
    if (threeD) {
        int ixti = r.ixti;
        if (!r.external && r.firstSheet >= 0)
            ixti = sheetRefIndex(book_, r.firstSheet, r.lastSheet);
        out_.u16(quint16(ixti < 0 ? 0 : ixti));
    }
    if (r.area) {
        out_.u16(quint16(r.firstRow)).u16(quint16(r.lastRow));
        out_.u16(colField(r.firstCol, r.firstRowRel, r.firstColRel)).u16(colField(r.lastCol, r.lastRowRel, r.lastColRel));
    } else {
        out_.u16(quint16(r.firstRow)).u16(colField(r.firstCol, r.firstRowRel, r.firstColRel));
    }
}

void Encoder::arrayValues(const Matrix& m)
{
    extra_.u8(quint8(m.cols - 1)).u16(quint16(m.rows - 1));
    for (const Value& v : m.values) {
        switch (v.kind) {
        case Value::Number: extra_.u8(0x01).f64(v.number); break;
        case Value::Text: extra_.u8(0x02).string(v.text, 2); break;
        case Value::Boolean: extra_.u8(0x04).u8(v.number != 0).zeros(7); break;
        case Value::Error: extra_.u8(0x10).u8(quint8(v.number)).zeros(7); break;
        default: extra_.u8(0x00).zeros(8); break;
        }
    }
}

// IF and CHOOSE: their operands with the jumps that let Excel skip the
// branches it does not take.
void Encoder::choice(int i, const Node& n, quint8 c, bool isIf)
{
    int args[256];
    p_.children(i, args);
    const FunctionInfo* f = functionByIndex(n.index);
    encode(args[0], (c & 0x60) == 0x60 ? ArgClass::Array : ArgClass::Value);
    qsizetype table = 0;
    if (isIf) {
        out_.u8(0x19).u8(0x02).u16(0);
    } else {
        out_.u8(0x19).u8(0x04).u16(quint16(n.argc - 1));
        table = out_.data.size();
        out_.zeros(2 * n.argc);
    }
    const qsizetype ifField = out_.data.size() - 2;
    std::vector<qsizetype> skips;
    for (int a = 1; a < n.argc; ++a) {
        if (!isIf)
            patch(table + 2 * (a - 1), out_.data.size() - table);
        encode(args[a], f->param(a));
        out_.u8(0x19).u8(0x08).u16(0);
        skips.push_back(out_.data.size());
        if (isIf && a == 1)
            patch(ifField, out_.data.size() - (ifField + 2));
    }
    if (!isIf)
        patch(table + 2 * (n.argc - 1), out_.data.size() - table);
    out_.u8(quint8(c | 0x02)).u8(n.argc).u16(quint16(n.index));
    for (qsizetype end : skips)
        patch(end - 2, out_.data.size() - end - 1);
}

void Encoder::function(int i, const Node& n, ArgClass ctx)
{
    const FunctionInfo* f = n.index == kUserFunction ? nullptr : functionByIndex(n.index);
    if (n.index != kUserFunction && !f)
        throw EFormulaError(QStringLiteral("関数番号 %1 は書き込めません。").arg(n.index));
    ArgClass own = ctx == ArgClass::Array ? ArgClass::Array : ArgClass::Value;
    if (f && f->result == ArgClass::Reference && ctx == ArgClass::Reference)
        own = ArgClass::Reference;
    const quint8 c = cls(n, own);
    if (f && (f->index == 1 || f->index == 100) && n.argc >= 2) {
        choice(i, n, c, f->index == 1);
        return;
    }
    int args[256];
    p_.children(i, args);
    for (int a = 0; a < n.argc; ++a) {
        ArgClass param = ArgClass::Reference;
        if (f)
            param = f->param(a);
        else if (a > 0)
            param = ArgClass::Value;
        if (param == ArgClass::Value && ctx == ArgClass::Array)
            param = ArgClass::Array;
        encode(args[a], param);
    }
    if (f && f->fixedArity() && n.fixedArity)
        out_.u8(quint8(c | 0x01)).u16(quint16(n.index));
    else
        out_.u8(quint8(c | 0x02)).u8(n.argc).u16(quint16(n.index));
}

void Encoder::encode(int i, ArgClass ctx)
{
    const Node& n = p_.nodes[size_t(i)];
    if (n.op >= Op::Add && n.op <= Op::Range) {
        int args[2];
        p_.children(i, args);
        ArgClass inner = ctx == ArgClass::Array ? ArgClass::Array : ArgClass::Value;
        if (n.op == Op::Isect || n.op == Op::Union || n.op == Op::Range)
            inner = ArgClass::Reference;
        encode(args[0], inner);
        encode(args[1], inner);
        out_.u8(quint8(0x03 + int(n.op) - int(Op::Add)));
        return;
    }
    switch (n.op) {
    case Op::Number:
        if (n.number >= 0 && n.number <= 65535 && n.number == std::floor(n.number) && !std::signbit(n.number))
            out_.u8(0x1E).u16(quint16(n.number));
        else
            out_.u8(0x1F).f64(n.number);
        return;
    case Op::String: {
        const QString& s = p_.strings[size_t(n.index)];
        if (s.size() > 255)
            throw EFormulaError(QStringLiteral("文字列が長すぎます（255 文字まで）。"));
        out_.u8(0x17).string(s, 1);
        return;
    }
    case Op::Boolean: out_.u8(0x1D).u8(n.number != 0); return;
    case Op::ErrorConst: out_.u8(0x1C).u8(quint8(n.index)); return;
    case Op::Missing: out_.u8(0x16); return;
    case Op::Ref: ref(p_.refs[size_t(n.index)], cls(n, ctx)); return;
    case Op::Name: out_.u8(quint8(cls(n, ctx) | 0x03)).u16(quint16(n.index)).u16(0); return;
    case Op::ExternName:
        out_.u8(quint8(cls(n, ctx) | 0x19)).u16(quint16(n.number)).u16(quint16(n.index)).u16(0);
        return;
    case Op::ArrayConst:
        out_.u8(quint8(cls(n, ctx == ArgClass::Reference ? ArgClass::Array : ctx))).zeros(7);
        arrayValues(*p_.arrays[size_t(n.index)]);
        return;
    case Op::Plus:
    case Op::Minus:
    case Op::Percent:
        encode(i - 1, ctx == ArgClass::Array ? ArgClass::Array : ArgClass::Value);
        out_.u8(n.op == Op::Plus ? 0x12 : n.op == Op::Minus ? 0x13
                                                            : 0x14);
        return;
    case Op::Paren:
        encode(i - 1, ctx);
        out_.u8(0x15);
        return;
    case Op::Function: function(i, n, ctx); return;
    default: return;
    }
}

EncodedFormula Encoder::run(ArgClass root)
{
    if (p_.empty())
        throw EFormulaError(QStringLiteral("式がありません。"));
    if (p_.isVolatile)
        out_.u8(0x19).u8(0x01).u16(0);
    encode(p_.root(), root);
    if (out_.data.size() > kMaxTokenBytes)
        throw EFormulaError(QStringLiteral("数式が長すぎます。"));
    return {out_.data, extra_.data, p_.isVolatile};
}

} // namespace

EncodedFormula encodeProgram(const Program& p, Workbook& book, bool arrayFormula, bool nameDefinition)
{
    return Encoder(p, book).run(nameDefinition ? ArgClass::Reference : arrayFormula ? ArgClass::Array
                                                                                    : ArgClass::Value);
}

} // namespace tegaro::sheets
