// Stored formula tokens (Excel 97, and Excel 5/95) into a Program.
#include "sheets/formula/FormulaCode.h"
#include "sheets/formula/FormulaFunctions.h"
#include "sheets/model/SheetErrors.h"

namespace tegaro::sheets {

void Program::children(int i, int* out) const
{
    int j = i - 1;
    for (int a = nodes[size_t(i)].argc - 1; a >= 0; --a) {
        out[a] = j;
        j -= nodes[size_t(j)].size;
    }
}

namespace {

[[noreturn]] void unreadable(const QString& what)
{
    throw EFormulaError(QStringLiteral("数式を読み取れません（%1）。").arg(what));
}

class Decoder {
public:
    explicit Decoder(const TokenInput& in)
        // the bytes are only read while decoding: no copy
        : in_(in), b8_(in.biff == 8), tokens_{0, 0, QByteArray::fromRawData(in.tokens.data(), in.tokens.size()), {}},
          extra_{0, 0, QByteArray::fromRawData(in.extra.data(), in.extra.size()), {}},
          c_(tokens_), x_(extra_)
    {
        if (in.decode)
            decode_ = *in.decode;
        else
            decode_ = [](QByteArrayView b) { return QString::fromLatin1(b.data(), b.size()); };
    }
    Program run();

private:
    void token(quint8 t);
    void push(Node n, int operands);
    void pushRef(RefOperand r, quint8 cls);
    struct Corner {
        int row = 0, col = 0;
        bool rowRel = false, colRel = false;
    };
    Corner corner(quint16 rw, quint16 cl, bool relative) const;
    void reference(RefOperand& r, bool relative);
    void area(RefOperand& r, bool relative);
    bool sheets3d(RefOperand& r);
    void arrayConstant(quint8 cls);
    QString string();

    const TokenInput& in_;
    const bool b8_;
    BiffRecord tokens_, extra_;
    Cursor c_, x_;
    ByteDecoder decode_;
    Program p_;
    std::vector<int> stack_, depth_;
};

Program Decoder::run()
{
    p_.storedClasses = true;
    try {
        while (c_.left() > 0)
            token(c_.u8());
    } catch (const ECorruptWorkbook&) {
        unreadable(QStringLiteral("途中で切れています"));
    }
    if (stack_.size() != 1)
        unreadable(QStringLiteral("項の数が合いません"));
    return std::move(p_);
}

void Decoder::push(Node n, int operands)
{
    if (int(stack_.size()) < operands)
        unreadable(QStringLiteral("演算の項が足りません"));
    int depth = 0;
    n.size = 1;
    for (int i = 0; i < operands; ++i) {
        n.size += p_.nodes[size_t(stack_.back())].size;
        depth = std::max(depth, depth_.back());
        stack_.pop_back();
        depth_.pop_back();
    }
    if (depth >= kMaxFormulaDepth)
        unreadable(QStringLiteral("入れ子が深すぎます"));
    n.argc = quint8(operands);
    p_.nodes.push_back(n);
    stack_.push_back(int(p_.nodes.size()) - 1);
    depth_.push_back(depth + 1);
}

void Decoder::pushRef(RefOperand r, quint8 cls)
{
    Node n;
    n.op = Op::Ref;
    n.tokenClass = cls;
    n.index = int(p_.refs.size());
    p_.refs.push_back(r);
    push(n, 0);
}

QString Decoder::string()
{
    if (b8_)
        return c_.unicodeString(1).text;
    return c_.byteString(1, decode_);
}

// One corner of a reference. Shared formulas store offsets from their cell
// where a part is relative; everything else stores positions. Excel 97 keeps
// the relative flags with the column, Excel 95 with the row.
Decoder::Corner Decoder::corner(quint16 rw, quint16 cl, bool relative) const
{
    Corner k;
    if (b8_) {
        k.rowRel = cl & 0x8000;
        k.colRel = cl & 0x4000;
        k.row = rw;
        k.col = cl & 0xFF;
        if (relative && k.rowRel)
            k.row = (in_.row + qint16(rw)) & 0xFFFF;
    } else {
        k.rowRel = rw & 0x8000;
        k.colRel = rw & 0x4000;
        k.row = rw & 0x3FFF;
        k.col = cl & 0xFF;
        if (relative && k.rowRel)
            k.row = (in_.row + (qint16(quint16(rw << 2)) >> 2)) & 0xFFFF;
    }
    if (relative && k.colRel)
        k.col = (in_.col + qint8(quint8(cl & 0xFF))) & 0xFF;
    return k;
}

void Decoder::reference(RefOperand& r, bool relative)
{
    const quint16 rw = c_.u16();
    const quint16 cl = b8_ ? c_.u16() : c_.u8();
    const Corner k = corner(rw, cl, relative);
    r.firstRow = r.lastRow = k.row;
    r.firstCol = r.lastCol = k.col;
    r.firstRowRel = r.lastRowRel = k.rowRel;
    r.firstColRel = r.lastColRel = k.colRel;
}

// Areas store both rows, then both columns.
void Decoder::area(RefOperand& r, bool relative)
{
    r.area = true;
    const quint16 r1 = c_.u16(), r2 = c_.u16();
    const quint16 c1 = b8_ ? c_.u16() : c_.u8();
    const quint16 c2 = b8_ ? c_.u16() : c_.u8();
    const Corner a = corner(r1, c1, relative), b = corner(r2, c2, relative);
    r.firstRow = a.row;
    r.firstCol = a.col;
    r.firstRowRel = a.rowRel;
    r.firstColRel = a.colRel;
    r.lastRow = b.row;
    r.lastCol = b.col;
    r.lastRowRel = b.rowRel;
    r.lastColRel = b.colRel;
}

// The sheets of a 3-D reference; false when it points outside this workbook.
bool Decoder::sheets3d(RefOperand& r)
{
    r.threeD = true;
    if (b8_) {
        const int ixti = c_.u16();
        r.ixti = ixti;
        const Workbook* book = in_.book;
        if (!book || ixti >= book->links.refs.size()) {
            r.external = true;
            return false;
        }
        const LinkTable::Ref& ref = book->links.refs[ixti];
        if (ref.book >= book->links.books.size() || !book->links.books[ref.book].self) {
            r.external = true;
            return false;
        }
        r.firstSheet = ref.first;
        r.lastSheet = ref.last;
    } else {
        const qint16 ixals = qint16(c_.u16());
        c_.skip(8);
        const qint16 tab1 = qint16(c_.u16()), tab2 = qint16(c_.u16());
        if (ixals >= 0) {
            r.external = true; // another workbook's sheets, through its EXTERNSHEET
            return false;
        }
        r.firstSheet = in_.sheetOfTab ? in_.sheetOfTab(tab1) : tab1;
        r.lastSheet = in_.sheetOfTab ? in_.sheetOfTab(tab2) : tab2;
    }
    if (r.firstSheet < 0 || r.lastSheet < 0)
        r.deleted = true;
    else if (r.lastSheet < r.firstSheet)
        std::swap(r.firstSheet, r.lastSheet);
    return true;
}

void Decoder::arrayConstant(quint8 cls)
{
    c_.skip(7);
    const int cols = x_.u8() + 1;
    const int rows = x_.u16() + 1;
    if (qint64(rows) * cols * 2 > x_.left()) // each value takes two bytes at least
        unreadable(QStringLiteral("配列定数が切れています"));
    auto m = std::make_shared<Matrix>();
    m->rows = rows;
    m->cols = cols;
    m->values.reserve(size_t(rows) * size_t(cols));
    for (int i = 0; i < rows * cols; ++i) {
        const quint8 type = x_.u8();
        switch (type) {
        case 0x00:
            x_.skip(8);
            m->values.push_back(Value());
            break;
        case 0x01: m->values.push_back(Value::num(x_.f64())); break;
        case 0x02:
            m->values.push_back(Value::str(b8_ ? x_.unicodeString(2).text : x_.byteString(1, decode_)));
            break;
        case 0x04:
            m->values.push_back(Value::boolean(x_.u8() != 0));
            x_.skip(7);
            break;
        case 0x10:
            m->values.push_back(Value::error(x_.u8()));
            x_.skip(7);
            break;
        default: unreadable(QStringLiteral("配列定数の値"));
        }
    }
    Node n;
    n.op = Op::ArrayConst;
    n.tokenClass = cls;
    n.index = int(p_.arrays.size());
    p_.arrays.push_back(std::move(m));
    push(n, 0);
}

void Decoder::token(quint8 t)
{
    const quint8 cls = t >= 0x20 ? quint8(((t >> 5) & 0x03) - 1) : 0;
    const quint8 base = t >= 0x20 ? quint8(0x20 | (t & 0x1F)) : t;
    Node n;
    n.tokenClass = cls;
    if (base >= 0x03 && base <= 0x11) {
        n.op = Op(int(Op::Add) + base - 0x03);
        push(n, 2);
        return;
    }
    switch (base) {
    case 0x12:
        n.op = Op::Plus;
        push(n, 1);
        return;
    case 0x13:
        n.op = Op::Minus;
        push(n, 1);
        return;
    case 0x14:
        n.op = Op::Percent;
        push(n, 1);
        return;
    case 0x15:
        n.op = Op::Paren;
        push(n, 1);
        return;
    case 0x16:
        n.op = Op::Missing;
        push(n, 0);
        return;
    case 0x17:
        n.op = Op::String;
        n.index = int(p_.strings.size());
        p_.strings.push_back(string());
        push(n, 0);
        return;
    case 0x19: {
        const quint8 kind = c_.u8();
        const quint16 data = c_.u16();
        if (kind & 0x04)
            c_.skip((qsizetype(data) + 1) * 2); // CHOOSE's jump table
        if (kind & 0x01)
            p_.isVolatile = true;
        if (kind & 0x10) { // SUM of one argument
            n.op = Op::Function;
            n.index = 4;
            push(n, 1);
        }
        return; // IF, CHOOSE and skip jumps and spaces change nothing in the tree
    }
    case 0x1C:
        n.op = Op::ErrorConst;
        n.index = c_.u8();
        push(n, 0);
        return;
    case 0x1D:
        n.op = Op::Boolean;
        n.number = c_.u8() != 0;
        push(n, 0);
        return;
    case 0x1E:
        n.op = Op::Number;
        n.number = c_.u16();
        push(n, 0);
        return;
    case 0x1F:
        n.op = Op::Number;
        n.number = c_.f64();
        push(n, 0);
        return;
    case 0x20: arrayConstant(cls); return;
    case 0x21:
    case 0x22: {
        int argc = -1;
        if (base == 0x22)
            argc = c_.u8() & 0x7F;
        const int index = c_.u16() & 0x7FFF;
        const FunctionInfo* f = functionByIndex(index);
        if (base == 0x21) {
            if (!f || !f->fixedArity())
                unreadable(QStringLiteral("関数番号 %1").arg(index));
            argc = f->minArgs;
        } else if (!f && index != kUserFunction) {
            unreadable(QStringLiteral("関数番号 %1").arg(index));
        }
        n.op = Op::Function;
        n.index = index;
        n.fixedArity = base == 0x21;
        if (f && f->isVolatile)
            p_.isVolatile = true;
        push(n, argc);
        return;
    }
    case 0x23:
        n.op = Op::Name;
        n.index = c_.u16();
        c_.skip(b8_ ? 2 : 12);
        push(n, 0);
        return;
    case 0x24:
    case 0x2C: {
        RefOperand r;
        reference(r, base == 0x2C);
        pushRef(r, cls);
        return;
    }
    case 0x25:
    case 0x2D: {
        RefOperand r;
        area(r, base == 0x2D);
        pushRef(r, cls);
        return;
    }
    case 0x26:
    case 0x27:
    case 0x28:
    case 0x29:
    case 0x2E:
    case 0x2F:
        // a cached sub-expression: the tokens that follow say all there is
        if (base == 0x26 || base == 0x27 || base == 0x28)
            c_.skip(4);
        c_.u16();
        if (base == 0x26) { // the areas it covers, kept after the tokens
            const int count = x_.u16();
            x_.skip(qsizetype(count) * (b8_ ? 8 : 6));
        }
        return;
    case 0x2A:
    case 0x2B: {
        RefOperand r;
        r.deleted = true;
        r.area = base == 0x2B;
        c_.skip(b8_ ? (r.area ? 8 : 4) : (r.area ? 6 : 3));
        pushRef(r, cls);
        return;
    }
    case 0x39:
        if (!b8_)
            unreadable(QStringLiteral("外部の名前"));
        n.op = Op::ExternName;
        n.number = c_.u16(); // ixti
        n.index = c_.u16();
        c_.skip(2);
        push(n, 0);
        return;
    case 0x3A:
    case 0x3B:
    case 0x3C:
    case 0x3D: {
        RefOperand r;
        sheets3d(r);
        const bool area3d = base == 0x3B || base == 0x3D;
        if (area3d)
            area(r, in_.shared);
        else
            reference(r, in_.shared);
        if (base >= 0x3C)
            r.deleted = true;
        pushRef(r, cls);
        return;
    }
    default:
        unreadable(QStringLiteral("記号 0x%1").arg(t, 2, 16, QLatin1Char('0')));
    }
}

} // namespace

Program decodeTokens(const TokenInput& in)
{
    return Decoder(in).run();
}

} // namespace tegaro::sheets
