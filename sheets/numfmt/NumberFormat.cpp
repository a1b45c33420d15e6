#include "sheets/numfmt/NumberFormat.h"

#include "sheets/numfmt/DateText.h"
#include "sheets/numfmt/FormatCode.h"

#include <QVarLengthArray>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace tegaro::sheets {

namespace {

// The digits of v rounded to `decimals` places, half away from zero, after
// taking v to 15 significant digits as Excel does (so 2.675 gives 2.68):
// the whole part without leading zeros (none for zero), then exactly
// `decimals` digits of fraction. Kept on the stack, as most numbers are short.
struct Digits {
    QVarLengthArray<char, 64> text;
    qsizetype whole = 0; // how many of text are the whole part
};

Digits roundDigits(double v, int decimals)
{
    Digits d;
    decimals = std::max(decimals, 0);
    if (!(v > 0) || !std::isfinite(v)) {
        d.text.resize(decimals);
        std::fill(d.text.begin(), d.text.end(), '0');
        return d;
    }
    // the 15 significant digits and the exponent, without going through text twice
    char buf[32];
    const auto end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 14).ptr;
    // a carry digit in front, then the 15 digits
    QVarLengthArray<char, 64>& digits = d.text;
    digits.append('0');
    const char* p = buf;
    for (; p < end && *p != 'e'; ++p)
        if (*p != '.')
            digits.append(*p);
    int exponent = 0;
    std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), end, exponent);
    const int point = exponent + 2; // digits before the point, with the carry digit
    const int keep = point + decimals;
    if (keep < 1) {
        digits.resize(decimals);
        std::fill(digits.begin(), digits.end(), '0');
        return d;
    }
    if (keep < digits.size()) {
        const bool up = digits[keep] >= '5';
        digits.resize(keep);
        if (up) {
            int i = keep - 1;
            for (; digits[i] == '9'; --i)
                digits[i] = '0';
            ++digits[i]; // the carry digit stops it at the front at the latest
        }
    }
    while (digits.size() < keep)
        digits.append('0');
    if (point > 0) {
        qsizetype lead = 0;
        while (lead < point && digits[lead] == '0')
            ++lead;
        digits.remove(0, lead);
        d.whole = point - lead;
    } else {
        digits.insert(digits.begin(), -point, '0'); // zeros between the point and the digits
        digits.resize(decimals);
    }
    return d;
}

// 10 to the power e, the same double std::pow gives, from a table made
// once: formatting a number takes one or more per cell.
double powerOfTen(int e)
{
    constexpr int kLow = -330, kHigh = 310;
    static const auto table = [] {
        std::array<double, kHigh - kLow + 1> t{};
        for (int i = kLow; i <= kHigh; ++i)
            t[size_t(i - kLow)] = std::pow(10.0, i);
        return t;
    }();
    return e >= kLow && e <= kHigh ? table[size_t(e - kLow)] : std::pow(10.0, e);
}

struct Decimal {
    QString whole;    // no leading zeros; empty for zero
    QString fraction; // exactly `decimals` digits
};

Decimal roundDecimal(double v, int decimals)
{
    const Digits d = roundDigits(v, decimals);
    return {QString::fromLatin1(d.text.data(), d.whole),
            QString::fromLatin1(d.text.data() + d.whole, d.text.size() - d.whole)};
}

int significant(const Decimal& d)
{
    QString all = d.whole + d.fraction;
    while (all.startsWith(u'0'))
        all.remove(0, 1);
    while (all.endsWith(u'0'))
        all.chop(1);
    return int(all.size());
}

QString trimmedFixed(const Decimal& d)
{
    QString f = d.fraction;
    while (f.endsWith(u'0'))
        f.chop(1);
    QString w = d.whole.isEmpty() ? QStringLiteral("0") : d.whole;
    return f.isEmpty() ? w : w + u'.' + f;
}

QString scientific(double a, int budget)
{
    int exp = int(std::floor(std::log10(a)));
    double mant = a / powerOfTen(exp);
    int mantDecimals = budget - 6 - (std::abs(exp) >= 100 ? 1 : 0);
    Decimal m = roundDecimal(mant, std::max(mantDecimals, 0));
    if (m.whole.size() > 1) { // 9.99999 rounded up to 10
        ++exp;
        m = roundDecimal(a / powerOfTen(exp), std::max(mantDecimals, 0));
    }
    QString e = QString::number(std::abs(exp));
    if (e.size() < 2)
        e.prepend(u'0');
    return trimmedFixed(m) + (exp < 0 ? QStringLiteral("E-") : QStringLiteral("E+")) + e;
}

QString generalAbs(double a, int budget)
{
    if (a == 0)
        return QStringLiteral("0");
    if (a >= 1e11 || a < 1e-9)
        return scientific(a, budget);
    {
        // Most numbers have a short exact spelling that fits: it is what
        // rounding to the digits there is room for would give.
        char buf[32];
        const auto r = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::fixed);
        const qsizetype length = r.ptr - buf;
        if (r.ec == std::errc() && length <= budget && (buf[0] != '0' || length <= 2 || buf[2] != '0'))
            return QString::fromLatin1(buf, length);
    }
    Decimal probe = roundDecimal(a, 0);
    const int wholeDigits = int(probe.whole.size());
    if (wholeDigits > budget)
        return scientific(a, budget);
    int decimals = wholeDigits == 0 ? budget - 2 : budget - wholeDigits - 1;
    Decimal fixed = roundDecimal(a, std::max(decimals, 0));
    if (int(fixed.whole.size()) > budget)
        return scientific(a, budget);
    if (a < 1) {
        // a small number keeps more digits in exponent form
        Decimal mant = roundDecimal(a / powerOfTen(int(std::floor(std::log10(a)))), budget - 6);
        if (significant(fixed) < significant(mant))
            return scientific(a, budget);
    }
    return trimmedFixed(fixed);
}

bool isPlaceholder(FormatToken::Kind k)
{
    return k == FormatToken::Zero || k == FormatToken::Hash || k == FormatToken::Question;
}

int firstOf(const QList<FormatToken>& tk, FormatToken::Kind kind)
{
    for (int i = 0; i < tk.size(); ++i)
        if (tk[i].kind == kind)
            return i;
    return -1;
}

// Renders a number section that is not a date.
class NumberWriter {
public:
    NumberWriter(const FormatSection& s, double value) : s_(s), value_(value) {}
    QString write();

private:
    QString fraction(double v);
    QString exponentForm(double v);
    QString placeDigits(const QList<int>& places, const QString& digits, bool group) const;

    const FormatSection& s_;
    double value_;
};

QString NumberWriter::placeDigits(const QList<int>& places, const QString& digits, bool group) const
{
    // places: token indices of the integer placeholders, left to right.
    // Returns the integer text with literals between placeholders kept.
    QString out;
    const int n = int(places.size());
    const int extra = int(digits.size()) - n;
    int emitted = 0; // digits written so far, to place group separators
    int totalDigits = 0;
    // Work out what each placeholder shows first, then join.
    QStringList shown;
    for (int k = 0; k < n; ++k) {
        const int slotIndex = k - (n - int(digits.size())); // digit for this slot, from the left
        QString text;
        if (k == 0 && extra > 0)
            text = digits.left(extra + 1);
        else if (slotIndex >= 0 && slotIndex < digits.size())
            text = digits.mid(slotIndex, 1);
        else {
            switch (s_.tokens[places[k]].kind) {
            case FormatToken::Zero: text = QStringLiteral("0"); break;
            case FormatToken::Question: text = QStringLiteral(" "); break;
            default: break;
            }
        }
        shown << text;
        for (QChar c : text)
            if (c.isDigit())
                ++totalDigits;
    }
    int place = 0;
    for (int i = places.first(); i <= places.last(); ++i) {
        const FormatToken& t = s_.tokens[i];
        if (place < n && i == places[place]) {
            for (QChar c : shown[place]) {
                out += c;
                if (c.isDigit()) {
                    ++emitted;
                    const int left = totalDigits - emitted;
                    if (group && left > 0 && left % 3 == 0)
                        out += u',';
                }
            }
            ++place;
        } else if (t.kind == FormatToken::Literal) {
            out += t.text;
        }
    }
    return out;
}

QString NumberWriter::write()
{
    if (s_.plain.valid) {
        // the commonest formats (0.00, #,##0 and the like), written in one go
        const PlainLayout& p = s_.plain;
        const Digits d = roundDigits(std::fabs(value_), p.decimals);
        const qsizetype wholeDigits = std::max<qsizetype>(d.whole, p.minWhole);
        const qsizetype commas = p.group && wholeDigits > 0 ? (wholeDigits - 1) / 3 : 0;
        const qsizetype fraction = d.text.size() - d.whole;
        QString out(p.prefix.size() + wholeDigits + commas + (p.decimals > 0 ? 1 + fraction : 0) + p.suffix.size(),
                    Qt::Uninitialized);
        QChar* o = out.data();
        o = std::copy(p.prefix.cbegin(), p.prefix.cend(), o);
        for (qsizetype i = 0; i < wholeDigits; ++i) {
            const qsizetype fromRight = wholeDigits - i;
            const qsizetype at = d.whole - fromRight;
            *o++ = QLatin1Char(at >= 0 ? d.text[at] : '0');
            if (commas && fromRight > 1 && (fromRight - 1) % 3 == 0)
                *o++ = u',';
        }
        if (p.decimals > 0) {
            *o++ = u'.';
            for (qsizetype i = d.whole; i < d.text.size(); ++i)
                *o++ = QLatin1Char(d.text[i]);
        }
        std::copy(p.suffix.cbegin(), p.suffix.cend(), o);
        return out;
    }
    const QList<FormatToken>& tk = s_.tokens;
    int pointAt = -1, expAt = -1, slashAt = -1;
    int percents = 0;
    for (int i = 0; i < tk.size(); ++i) {
        if (tk[i].kind == FormatToken::Point && pointAt < 0 && expAt < 0)
            pointAt = i;
        if (tk[i].kind == FormatToken::Exponent && expAt < 0)
            expAt = i;
        if (tk[i].kind == FormatToken::Slash && slashAt < 0)
            slashAt = i;
        if (tk[i].kind == FormatToken::Percent)
            ++percents;
    }
    double v = std::fabs(value_) * powerOfTen(2 * percents);
    if (slashAt >= 0)
        return fraction(v);
    if (expAt >= 0)
        return exponentForm(v);

    auto isDigit = [&](int i) { return isPlaceholder(tk[i].kind); };
    const int intEnd = pointAt >= 0 ? pointAt : int(tk.size());
    QList<int> intPlaces, fracPlaces;
    for (int i = 0; i < intEnd; ++i)
        if (isDigit(i))
            intPlaces << i;
    for (int i = intEnd; i < tk.size(); ++i)
        if (isDigit(i))
            fracPlaces << i;
    // Commas between integer placeholders group by thousands; commas right
    // after the last one divide by a thousand each.
    bool group = false;
    QList<int> scaleCommas;
    const int lastDigit = fracPlaces.isEmpty() ? (intPlaces.isEmpty() ? -1 : intPlaces.last()) : fracPlaces.last();
    for (int i = 0; i < tk.size(); ++i) {
        if (tk[i].kind != FormatToken::Comma)
            continue;
        if (!intPlaces.isEmpty() && i > intPlaces.first() && i < intPlaces.last())
            group = true;
        else if (lastDigit >= 0 && i > (intPlaces.isEmpty() ? -1 : intPlaces.last()) && i < intEnd
                 && !intPlaces.isEmpty())
            scaleCommas << i;
        else if (lastDigit >= 0 && i > lastDigit)
            scaleCommas << i;
    }
    v /= powerOfTen(3 * int(scaleCommas.size()));

    // "General" and text around it need no rounding of their own
    const Decimal d = intPlaces.isEmpty() && fracPlaces.isEmpty() && pointAt < 0 ? Decimal{}
                                                                                 : roundDecimal(v, int(fracPlaces.size()));
    QString fracText;
    {
        // trailing zeros vanish under # and turn into blanks under ?
        int keepTo = int(fracPlaces.size());
        while (keepTo > 0) {
            auto k = tk[fracPlaces[keepTo - 1]].kind;
            if (k == FormatToken::Zero || d.fraction[keepTo - 1] != u'0')
                break;
            --keepTo;
        }
        for (int i = 0; i < fracPlaces.size(); ++i) {
            if (i < keepTo)
                fracText += d.fraction[i];
            else if (tk[fracPlaces[i]].kind == FormatToken::Question)
                fracText += u' ';
        }
    }
    QString out;
    bool intDone = false;
    for (int i = 0; i < tk.size(); ++i) {
        const FormatToken& t = tk[i];
        if (!intPlaces.isEmpty() && i >= intPlaces.first() && i <= intPlaces.last()) {
            if (!intDone)
                out += placeDigits(intPlaces, d.whole, group);
            intDone = true;
            continue;
        }
        switch (t.kind) {
        case FormatToken::Literal: out += t.text; break;
        case FormatToken::Point: out += u'.'; break;
        case FormatToken::Percent: out += u'%'; break;
        case FormatToken::General: out += generalAbs(v, value_ < 0 ? 10 : 11); break;
        case FormatToken::At: break;
        case FormatToken::Zero:
        case FormatToken::Hash:
        case FormatToken::Question:
            if (i > intEnd) {
                // fraction placeholders take their digit in order
                if (fracPlaces.indexOf(i) == 0)
                    out += fracText;
            }
            break;
        default: break;
        }
        // no integer placeholders: the whole part leads the point
        if (t.kind == FormatToken::Point && intPlaces.isEmpty() && !d.whole.isEmpty())
            out.insert(out.size() - 1, d.whole);
    }
    return out;
}

QString NumberWriter::exponentForm(double v)
{
    const QList<FormatToken>& tk = s_.tokens;
    const int expAt = firstOf(tk, FormatToken::Exponent);
    int intDigits = 0, hashes = 0, fracDigits = 0, expDigits = 0;
    bool afterPoint = false;
    for (int i = 0; i < tk.size(); ++i) {
        const auto k = tk[i].kind;
        const bool digit = isPlaceholder(k);
        if (k == FormatToken::Point)
            afterPoint = true;
        if (!digit)
            continue;
        if (i > expAt)
            ++expDigits;
        else if (afterPoint)
            ++fracDigits;
        else {
            ++intDigits;
            hashes += k == FormatToken::Hash;
        }
    }
    intDigits = std::max(intDigits, 1);
    int exp = 0;
    if (v > 0) {
        exp = int(std::floor(std::log10(v)));
        if (intDigits > 1 && hashes > 0)
            exp = int(std::floor(double(exp) / intDigits)) * intDigits; // engineering steps
        else
            exp -= intDigits - 1;
    }
    Decimal m = roundDecimal(v / powerOfTen(exp), fracDigits);
    if (v > 0 && int(m.whole.size()) > intDigits && !(intDigits > 1 && hashes > 0)) {
        ++exp;
        m = roundDecimal(v / powerOfTen(exp), fracDigits);
    }
    QString mant = m.whole.isEmpty() ? QStringLiteral("0") : m.whole;
    if (fracDigits > 0)
        mant += u'.' + m.fraction;
    QString e = QString::number(std::abs(exp));
    while (e.size() < expDigits)
        e.prepend(u'0');
    QString sign = exp < 0 ? QStringLiteral("-") : (tk[expAt].text == u"+" ? QStringLiteral("+") : QString());
    QString out;
    for (int i = 0; i < expAt; ++i)
        if (tk[i].kind == FormatToken::Literal)
            out += tk[i].text;
    out += mant + u'E' + sign + e;
    for (int i = expAt + 1; i < tk.size(); ++i)
        if (tk[i].kind == FormatToken::Literal)
            out += tk[i].text;
    return out;
}

QString NumberWriter::fraction(double v)
{
    const QList<FormatToken>& tk = s_.tokens;
    const int slashAt = firstOf(tk, FormatToken::Slash);
    auto digitAt = [&](int i) { return isPlaceholder(tk[i].kind); };
    // numerator: the placeholders right before the slash; a whole part before it
    int numStart = slashAt;
    while (numStart > 0 && digitAt(numStart - 1))
        --numStart;
    bool hasWhole = false;
    for (int i = 0; i < numStart; ++i)
        hasWhole |= digitAt(i);
    int denDigits = 0;
    QString fixedDen;
    int denEnd = slashAt + 1;
    while (denEnd < tk.size() && digitAt(denEnd)) {
        ++denDigits;
        ++denEnd;
    }
    if (denDigits == 0 && denEnd < tk.size() && tk[denEnd].kind == FormatToken::Literal) {
        QString lit = tk[denEnd].text;
        int n = 0;
        while (n < lit.size() && lit[n].isDigit())
            ++n;
        fixedDen = lit.left(n);
    }
    double whole = hasWhole ? std::floor(v) : 0;
    double rest = v - whole;
    long num = 0, den = 1;
    if (!fixedDen.isEmpty()) {
        den = std::max(1L, fixedDen.toLong());
        num = std::lround(rest * den);
    } else {
        const long maxDen = long(powerOfTen(std::max(denDigits, 1))) - 1;
        double best = 2;
        for (long q = 1; q <= maxDen; ++q) {
            long p = std::lround(rest * q);
            double err = std::fabs(rest - double(p) / q);
            if (err < best - 1e-12) {
                best = err;
                num = p;
                den = q;
            }
        }
    }
    if (hasWhole && num == den) {
        whole += 1;
        num = 0;
    }
    QString out;
    for (int i = 0; i < numStart; ++i) {
        if (tk[i].kind == FormatToken::Literal)
            out += tk[i].text;
        else if (digitAt(i) && (i == 0 || !digitAt(i - 1)))
            out += (whole == 0 && num != 0) ? QString() : QString::number(qint64(whole));
    }
    if (hasWhole && num == 0) {
        return out.trimmed().isEmpty() ? QStringLiteral("0") : out.trimmed();
    }
    QString numText = QString::number(num);
    QString denText = QString::number(den);
    while (denText.size() < denDigits)
        denText += u' ';
    while (numText.size() < slashAt - numStart)
        numText.prepend(u' ');
    out += numText + u'/' + denText;
    for (int i = denEnd + (fixedDen.isEmpty() ? 0 : 1); i < tk.size(); ++i)
        if (tk[i].kind == FormatToken::Literal)
            out += tk[i].text;
    if (!fixedDen.isEmpty() && denEnd < tk.size())
        out += tk[denEnd].text.mid(fixedDen.size());
    return out;
}

QString textSection(const FormatSection& s, const QString& text)
{
    QString out;
    for (const FormatToken& t : s.tokens) {
        if (t.kind == FormatToken::At)
            out += text;
        else if (t.kind == FormatToken::Literal)
            out += t.text;
        else if (t.kind == FormatToken::General)
            out += text;
    }
    return out;
}

} // namespace

QString formatGeneral(double value)
{
    if (std::isnan(value))
        return QStringLiteral("#NUM!");
    if (std::isinf(value))
        return QStringLiteral("#NUM!");
    const QString body = generalAbs(std::fabs(value), value < 0 ? 10 : 11);
    return value < 0 ? u'-' + body : body;
}

bool isDateFormat(const QString& code)
{
    const FormatCode& f = parsedFormat(code);
    return !f.sections.isEmpty() && f.sections.first().isDate;
}

namespace {

// The section of a code that shows `value`, and whether the value's sign is
// written in front of it. No section: the value fits no condition.
struct ChosenSection {
    const FormatSection* section = nullptr;
    bool showSign = false;
    bool isFirst = false;
};

ChosenSection chooseSection(const FormatCode& f, double value)
{
    QList<const FormatSection*> numeric;
    for (const FormatSection& s : f.sections)
        if (!(s.isText && &s != &f.sections.first()) || numeric.isEmpty())
            numeric << &s;
    if (f.sections.size() == 4)
        numeric = {&f.sections[0], &f.sections[1], &f.sections[2]};
    if (numeric.isEmpty())
        return {};

    ChosenSection c;
    if (f.anyCondition) {
        for (const FormatSection* s : numeric) {
            if (s->matches(value)) {
                c.section = s;
                break;
            }
        }
        if (!c.section)
            return {};
        // an explicit "below zero" section shows the value without its sign
        const FormatSection* s = c.section;
        const bool negativeSection = s->hasCondition && (s->op.startsWith(u'<')) && s->operand <= 0;
        c.showSign = value < 0 && !negativeSection && s == numeric.first();
        if (value < 0 && !s->hasCondition && s != numeric.first())
            c.showSign = false;
    } else if (numeric.size() == 1) {
        c.section = numeric[0];
        c.showSign = value < 0;
    } else if (value < 0) {
        c.section = numeric[1];
    } else if (value == 0 && numeric.size() >= 3) {
        c.section = numeric[2];
    } else {
        c.section = numeric[0];
    }
    c.isFirst = c.section == numeric.first();
    return c;
}

const FormatSection* textSectionOf(const FormatCode& f)
{
    if (f.sections.size() >= 4)
        return &f.sections[3];
    for (const FormatSection& s : f.sections)
        if (s.isText)
            return &s;
    return nullptr;
}

} // namespace

QString formatNumber(double value, const QString& code, bool date1904)
{
    const FormatCode& f = parsedFormat(code);
    if (f.sections.isEmpty())
        return formatGeneral(value);
    const ChosenSection choice = chooseSection(f, value);
    const FormatSection* chosen = choice.section;
    const bool showSign = choice.showSign;
    if (!chosen)
        return QStringLiteral("########");
    if (chosen->tokens.isEmpty())
        return {};
    if (chosen->isText && !chosen->isDate && !chosen->hasGeneral) {
        bool hasDigits = false;
        for (const FormatToken& t : chosen->tokens)
            hasDigits |= t.kind == FormatToken::Zero || t.kind == FormatToken::Hash;
        if (!hasDigits)
            return textSection(*chosen, formatGeneral(value));
    }
    if (chosen->isDate) {
        const double v = showSign || choice.isFirst ? value : std::fabs(value);
        return formatDate(*chosen, v, date1904);
    }
    QString body = NumberWriter(*chosen, value).write();
    if (showSign) {
        bool allZero = true;
        for (QChar c : body)
            if (c.isDigit() && c != u'0')
                allZero = false;
        if (!allZero)
            body.prepend(u'-');
    }
    return body;
}

QString formatText(const QString& text, const QString& code)
{
    const FormatSection* s = textSectionOf(parsedFormat(code));
    return s ? textSection(*s, text) : text;
}

int numberColor(double value, const QString& code)
{
    const ChosenSection choice = chooseSection(parsedFormat(code), value);
    return choice.section ? choice.section->color : -1;
}

int textColor(const QString& code)
{
    const FormatSection* s = textSectionOf(parsedFormat(code));
    return s ? s->color : -1;
}

QString formatGeneral(double value, int maxChars)
{
    if (!std::isfinite(value))
        return QStringLiteral("#NUM!");
    const int budget = maxChars - (value < 0 ? 1 : 0);
    if (budget < 1)
        return {};
    const QString body = generalAbs(std::fabs(value), budget);
    if (body.size() > budget)
        return {};
    return value < 0 && body != u"0" ? u'-' + body : body;
}

} // namespace tegaro::sheets
