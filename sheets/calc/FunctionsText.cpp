// Text functions, with the byte-counting ones of Japanese Excel (LENB,
// LEFTB, MIDB ...) counting a character by its CP932 bytes.
#include "sheets/calc/FormulaBuiltins.h"
#include "sheets/numfmt/NumberFormat.h"
#include "core/Cp932.h"

#include <QStringEncoder>

#include <array>
#include <cmath>

namespace tegaro::sheets {

namespace {

constexpr qsizetype kMaxText = 32767;

Value textResult(QString s)
{
    if (s.size() > kMaxText)
        return Value::error(err::Value);
    return Value::str(std::move(s));
}

// Bytes of each UTF-16 unit in CP932: 1 for ASCII and half-width kana, 2
// for the rest that CP932 holds; what it does not hold becomes one "?".
int byteWidth(QChar c)
{
    static const std::array<quint8, 65536> widths = [] {
        std::array<quint8, 65536> w{};
        QStringEncoder encoder("windows-31j", QStringConverter::Flag::Stateless);
        for (int u = 0; u < 65536; ++u) {
            const QChar ch{char16_t(u)};
            if (ch.isHighSurrogate())
                w[size_t(u)] = 1;
            else if (ch.isLowSurrogate())
                w[size_t(u)] = 0;
            else if (u < 0x80)
                w[size_t(u)] = 1;
            else
                w[size_t(u)] = quint8(std::clamp<qsizetype>(QByteArray(encoder.encode(QStringView(&ch, 1))).size(), 1, 2));
        }
        return w;
    }();
    return widths[c.unicode()];
}

qsizetype byteLength(const QString& s)
{
    qsizetype n = 0;
    for (QChar c : s)
        n += byteWidth(c);
    return n;
}

// The characters between byte positions [from, to); a double-byte
// character cut in half leaves a space for its half, as Japanese Excel does.
QString byteSlice(const QString& s, qsizetype from, qsizetype to)
{
    QString out;
    qsizetype at = 0;
    for (QChar c : s) {
        const int w = byteWidth(c);
        const qsizetype end = at + w;
        if (end > from && at < to) {
            if (at >= from && end <= to)
                out += c;
            else
                out += QString(std::min(end, to) - std::max(at, from), u' ');
        }
        at = end;
        if (at >= to)
            break;
    }
    return out;
}

Value left(Call& c, bool bytes)
{
    const Str s = c.text(0);
    if (!s)
        return s.fail();
    const Num n = c.integer(1, 1);
    if (!n)
        return n.fail();
    if (n.v < 0)
        return Value::error(err::Value);
    if (bytes)
        return Value::str(byteSlice(s.v, 0, qsizetype(std::min(n.v, 1e9))));
    return Value::str(s.v.left(qsizetype(std::min(n.v, 1e9))));
}

Value right(Call& c, bool bytes)
{
    const Str s = c.text(0);
    if (!s)
        return s.fail();
    const Num n = c.integer(1, 1);
    if (!n)
        return n.fail();
    if (n.v < 0)
        return Value::error(err::Value);
    if (bytes) {
        const qsizetype total = byteLength(s.v);
        return Value::str(byteSlice(s.v, std::max<qsizetype>(0, total - qsizetype(std::min(n.v, 1e9))), total));
    }
    return Value::str(s.v.right(qsizetype(std::min(n.v, 1e9))));
}

Value mid(Call& c, bool bytes)
{
    const Str s = c.text(0);
    if (!s)
        return s.fail();
    const Num start = c.integer(1, 1), n = c.integer(2, 0);
    if (!start)
        return start.fail();
    if (!n)
        return n.fail();
    if (start.v < 1 || n.v < 0)
        return Value::error(err::Value);
    const qsizetype from = qsizetype(std::min(start.v, 1e9)) - 1;
    const qsizetype count = qsizetype(std::min(n.v, 1e9));
    if (bytes)
        return Value::str(byteSlice(s.v, from, from + count));
    return Value::str(s.v.mid(from, count));
}

Value leftFn(Call& c) { return left(c, false); }
Value leftB(Call& c) { return left(c, true); }
Value rightFn(Call& c) { return right(c, false); }
Value rightB(Call& c) { return right(c, true); }
Value midFn(Call& c) { return mid(c, false); }
Value midB(Call& c) { return mid(c, true); }

Value len(Call& c)
{
    const Str s = c.text(0);
    return s ? Value::num(double(s.v.size())) : s.fail();
}

Value lenB(Call& c)
{
    const Str s = c.text(0);
    return s ? Value::num(double(byteLength(s.v))) : s.fail();
}

// FIND and SEARCH, counting characters or (the B forms) bytes.
Value find(Call& c, bool search, bool bytes)
{
    const Str what = c.text(0), within = c.text(1);
    if (!what)
        return what.fail();
    if (!within)
        return within.fail();
    const Num start = c.integer(2, 1);
    if (!start)
        return start.fail();
    qsizetype from = qsizetype(start.v) - 1;
    if (bytes) { // the character where the byte position falls
        qsizetype at = 0, index = 0;
        for (; index < within.v.size() && at < from; ++index)
            at += byteWidth(within.v[index]);
        from = at == from || from <= 0 ? index : -1;
        if (start.v > double(byteLength(within.v)) + 1)
            from = -1;
    }
    if (start.v < 1 || from < 0 || from > within.v.size())
        return Value::error(err::Value);
    qsizetype found = -1;
    if (!search) {
        found = within.v.indexOf(what.v, from, Qt::CaseSensitive);
    } else {
        const QString pattern = what.v + u'*';
        for (qsizetype p = from; p <= within.v.size() && found < 0; ++p)
            if (wildcardMatch(pattern, within.v.mid(p)))
                found = p;
    }
    if (found < 0)
        return Value::error(err::Value);
    return Value::num(double(bytes ? byteLength(within.v.left(found)) + 1 : found + 1));
}

Value findFn(Call& c) { return find(c, false, false); }
Value findB(Call& c) { return find(c, false, true); }
Value searchFn(Call& c) { return find(c, true, false); }
Value searchB(Call& c) { return find(c, true, true); }

Value substitute(Call& c)
{
    const Str s = c.text(0), from = c.text(1), to = c.text(2);
    for (const Str* x : {&s, &from, &to})
        if (!*x)
            return x->fail();
    if (from.v.isEmpty())
        return Value::str(s.v);
    if (!c.given(3))
        return textResult(QString(s.v).replace(from.v, to.v));
    const Num which = c.integer(3, 1);
    if (!which)
        return which.fail();
    if (which.v < 1)
        return Value::error(err::Value);
    qsizetype at = -1;
    for (int k = 0; k < which.v; ++k) {
        at = s.v.indexOf(from.v, at + (k == 0 ? 1 : from.v.size()));
        if (at < 0)
            return Value::str(s.v);
    }
    return textResult(s.v.left(at) + to.v + s.v.mid(at + from.v.size()));
}

Value replace(Call& c, bool bytes)
{
    const Str s = c.text(0), with = c.text(3);
    if (!s)
        return s.fail();
    if (!with)
        return with.fail();
    const Num start = c.integer(1, 1), n = c.integer(2, 0);
    if (!start)
        return start.fail();
    if (!n)
        return n.fail();
    if (start.v < 1 || n.v < 0)
        return Value::error(err::Value);
    const qsizetype from = qsizetype(std::min(start.v, 1e9)) - 1, count = qsizetype(std::min(n.v, 1e9));
    if (bytes) {
        const qsizetype total = byteLength(s.v);
        return textResult(byteSlice(s.v, 0, from) + with.v + byteSlice(s.v, from + count, total));
    }
    return textResult(s.v.left(from) + with.v + s.v.mid(from + count));
}

Value replaceFn(Call& c) { return replace(c, false); }
Value replaceB(Call& c) { return replace(c, true); }

// Spaces at both ends go, runs inside shrink to one; Japanese Excel takes
// the full-width space as a space too.
Value trim(Call& c)
{
    const Str s = c.text(0);
    if (!s)
        return s.fail();
    auto space = [](QChar ch) { return ch == u' ' || ch == u'\u3000'; };
    QString out;
    bool pending = false;
    QChar pendingChar;
    for (QChar ch : s.v) {
        if (space(ch)) {
            if (!pending)
                pendingChar = ch;
            pending = true;
            continue;
        }
        if (pending && !out.isEmpty())
            out += pendingChar;
        pending = false;
        out += ch;
    }
    return Value::str(out);
}

Value upper(Call& c)
{
    const Str s = c.text(0);
    return s ? Value::str(s.v.toUpper()) : s.fail();
}

Value lower(Call& c)
{
    const Str s = c.text(0);
    return s ? Value::str(s.v.toLower()) : s.fail();
}

Value proper(Call& c)
{
    const Str s = c.text(0);
    if (!s)
        return s.fail();
    QString out = s.v;
    bool wordStart = true;
    for (QChar& ch : out) {
        ch = wordStart ? ch.toUpper() : ch.toLower();
        wordStart = !ch.isLetter();
    }
    return Value::str(out);
}

Value concatenate(Call& c)
{
    QString out;
    for (int i = 0; i < c.size(); ++i) {
        const Str s = c.text(i);
        if (!s)
            return s.fail();
        out += s.v;
        if (out.size() > kMaxText)
            return Value::error(err::Value);
    }
    return Value::str(out);
}

Value exact(Call& c)
{
    const Str a = c.text(0), b = c.text(1);
    if (!a)
        return a.fail();
    if (!b)
        return b.fail();
    return Value::boolean(a.v == b.v);
}

Value repeat(Call& c)
{
    const Str s = c.text(0);
    if (!s)
        return s.fail();
    const Num n = c.integer(1, 0);
    if (!n)
        return n.fail();
    if (n.v < 0 || double(s.v.size()) * n.v > kMaxText)
        return Value::error(err::Value);
    return Value::str(s.v.repeated(qsizetype(n.v)));
}

Value clean(Call& c)
{
    const Str s = c.text(0);
    if (!s)
        return s.fail();
    QString out;
    for (QChar ch : s.v)
        if (ch.unicode() >= 0x20)
            out += ch;
    return Value::str(out);
}

// CODE and CHAR work on the CP932 code, as in Japanese Excel ("あ" is 33440).
Value code(Call& c)
{
    const Str s = c.text(0);
    if (!s)
        return s.fail();
    if (s.v.isEmpty())
        return Value::error(err::Value);
    const QByteArray bytes = toCp932(s.v.left(s.v[0].isHighSurrogate() ? 2 : 1));
    if (bytes.size() >= 2)
        return Value::num(quint8(bytes[0]) * 256 + quint8(bytes[1]));
    return Value::num(bytes.isEmpty() ? 0 : quint8(bytes[0]));
}

Value character(Call& c)
{
    const Num n = c.integer(0, 0);
    if (!n)
        return n.fail();
    const int v = int(std::clamp(n.v, -1.0, 65536.0));
    QByteArray bytes;
    if (v >= 1 && v <= 255)
        bytes.append(char(v));
    else if (v >= 0x8140 && v <= 0xFFFF)
        bytes.append(char(v >> 8)).append(char(v & 0xFF));
    else
        return Value::error(err::Value);
    const QString s = fromCp932(bytes);
    if (s.isEmpty() || s.contains(QChar(0xFFFD)))
        return Value::error(err::Value);
    return Value::str(s);
}

// TEXT: the value shown in a number format; texts that read as numbers are
// numbers here.
Value text(Call& c)
{
    const Str format = c.text(1);
    if (!format)
        return format.fail();
    const Value& v = c[0];
    switch (v.kind) {
    case Value::Error: return v;
    case Value::Text:
        if (const auto n = textToNumber(v.text, c.ev.date1904()))
            return Value::str(formatNumber(*n, format.v, c.ev.date1904()));
        return Value::str(formatText(v.text, format.v));
    case Value::Boolean: return Value::str(formatText(v.number != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE"), format.v));
    default: return Value::str(formatNumber(v.kind == Value::Number ? v.number : 0, format.v, c.ev.date1904()));
    }
}

Value value(Call& c)
{
    const Value& v = c[0];
    switch (v.kind) {
    case Value::Number: return v;
    case Value::Empty: return Value::num(0);
    case Value::Error: return v;
    case Value::Text:
        if (const auto n = textToNumber(v.text, c.ev.date1904()))
            return Value::num(*n);
        return Value::error(err::Value);
    default: return Value::error(err::Value);
    }
}

// FIXED: rounded to the decimals and shown with or without separators.
Value fixed(Call& c)
{
    const Num x = c.number(0);
    if (!x)
        return x.fail();
    const Num d = c.integer(1, 2);
    if (!d)
        return d.fail();
    const Bool plain = c.given(2) ? c.boolean(2) : Bool{false, -1};
    if (!plain)
        return plain.fail();
    const int decimals = int(std::clamp(d.v, -127.0, 127.0));
    if (decimals > 127)
        return Value::error(err::Value);
    const double v = roundDecimal(x.v, decimals, Rounding::HalfAway);
    QString code = plain.v ? QStringLiteral("0") : QStringLiteral("#,##0");
    if (decimals > 0)
        code += u'.' + QString(decimals, u'0');
    return Value::str(formatNumber(v, code));
}

constexpr BuiltinEntry kText[] = {
    {14, fixed},
    {30, repeat},
    {31, midFn},
    {32, len},
    {33, value},
    {48, text},
    {82, searchFn},
    {111, character},
    {112, lower},
    {113, upper},
    {114, proper},
    {115, leftFn},
    {116, rightFn},
    {117, exact},
    {118, trim},
    {119, replaceFn},
    {120, substitute},
    {121, code},
    {124, findFn},
    {162, clean},
    {205, findB},
    {206, searchB},
    {207, replaceB},
    {208, leftB},
    {209, rightB},
    {210, midB},
    {211, lenB},
    {336, concatenate},
};

} // namespace

std::span<const BuiltinEntry> textBuiltins()
{
    return kText;
}

} // namespace tegaro::sheets
