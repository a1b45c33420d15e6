#include "sheets/formula/FormulaValue.h"

#include "sheets/numfmt/DateText.h"

#include <QDate>
#include <QRegularExpression>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tegaro::sheets {

namespace {

// Full-width letters, digits and signs as their ASCII twins, as Japanese
// Excel reads "１２３" as 123.
QString narrowed(const QString& text)
{
    QString s = text;
    for (QChar& c : s) {
        const char16_t u = c.unicode();
        if (u >= 0xFF01 && u <= 0xFF5E)
            c = QChar(u - 0xFEE0);
        else if (u == 0x3000)
            c = u' ';
        else if (u == 0xFFE5)
            c = u'¥';
    }
    return s.trimmed();
}

std::optional<double> plainNumber(QString s)
{
    bool negative = false;
    if (s.startsWith(u'(') && s.endsWith(u')')) {
        negative = true;
        s = s.mid(1, s.size() - 2).trimmed();
    }
    bool percent = false;
    if (s.endsWith(u'%')) {
        percent = true;
        s.chop(1);
        s = s.trimmed();
    }
    auto takeCurrency = [&s] {
        if (s.startsWith(u'¥') || s.startsWith(u'\\') || s.startsWith(u'$')) {
            s.remove(0, 1);
            return true;
        }
        return false;
    };
    bool currency = takeCurrency();
    if (s.startsWith(u'-') || s.startsWith(u'+')) {
        if (s[0] == u'-') {
            if (negative)
                return std::nullopt;
            negative = true;
        }
        s.remove(0, 1);
    }
    if (!currency)
        currency = takeCurrency();
    // digits with thousands separators in their places, a point, an exponent
    static const QRegularExpression shape(QStringLiteral(
        "^(?:\\d{1,3}(?:,\\d{3})+|\\d*)(?:\\.\\d*)?(?:[eE][+-]?\\d+)?$"));
    if (s.isEmpty() || !shape.match(s).hasMatch() || s == u"." || s.startsWith(u'e') || s.startsWith(u'E'))
        return std::nullopt;
    if (s.startsWith(u'.') && (s.size() == 1 || !s[1].isDigit()))
        return std::nullopt;
    s.remove(u',');
    const QByteArray ascii = s.toLatin1();
    char* end = nullptr;
    double v = std::strtod(ascii.constData(), &end);
    if (end != ascii.constData() + ascii.size() || !std::isfinite(v))
        return std::nullopt;
    if (percent)
        v /= 100;
    return negative ? -v : v;
}

struct EraName {
    const char16_t* name;
    char16_t letter;
    int firstYear; // the Gregorian year of the era's year 1
};
constexpr EraName kEraNames[] = {
    {u"明治", u'M', 1868},
    {u"大正", u'T', 1912},
    {u"昭和", u'S', 1926},
    {u"平成", u'H', 1989},
    {u"令和", u'R', 2019},
};

int fullYear(const QString& digits, int eraStart)
{
    const int y = digits.toInt();
    if (eraStart > 0)
        return eraStart + y - 1;
    if (digits.size() <= 2)
        return y < 30 ? 2000 + y : 1900 + y; // Excel's window for two-digit years
    return y;
}

std::optional<double> datePart(const QString& s, bool date1904)
{
    static const QRegularExpression numeric(QStringLiteral(
        "^(?:(明治|大正|昭和|平成|令和|[MTSHRmtshr])\\s*)?(\\d{1,4}|元)(?:年|[/.-])(\\d{1,2})(?:月|[/.-])(\\d{1,2})日?$"));
    static const QRegularExpression monthDay(QStringLiteral("^(\\d{1,2})(?:月|/)(\\d{1,2})日?$"));
    int year = 0, month = 0, day = 0;
    if (const auto m = numeric.match(s); m.hasMatch()) {
        int eraStart = 0;
        if (const QString era = m.captured(1); !era.isEmpty()) {
            for (const EraName& e : kEraNames)
                if (era == QString::fromUtf16(e.name) || era.toUpper() == QChar(e.letter))
                    eraStart = e.firstYear;
        } else if (m.captured(2) == u"元") {
            return std::nullopt;
        }
        // "2024.4.1" is no date, but "R6.4.1" is
        if (!eraStart && s.contains(u'.'))
            return std::nullopt;
        year = m.captured(2) == u"元" ? eraStart : fullYear(m.captured(2), eraStart);
        month = m.captured(3).toInt();
        day = m.captured(4).toInt();
    } else if (const auto md = monthDay.match(s); md.hasMatch()) {
        year = QDate::currentDate().year();
        month = md.captured(1).toInt();
        day = md.captured(2).toInt();
    } else {
        return std::nullopt;
    }
    const bool leapDay1900 = !date1904 && year == 1900 && month == 2 && day == 29;
    if (month < 1 || month > 12 || day < 1 || (!QDate(year, month, day).isValid() && !leapDay1900))
        return std::nullopt;
    const auto serial = serialOfDate(year, month, day, date1904);
    if (!serial)
        return std::nullopt;
    return double(*serial);
}

std::optional<double> timePart(const QString& s, bool withDate)
{
    static const QRegularExpression time(QStringLiteral(
        "^(\\d{1,4}):(\\d{1,2})(?::(\\d{1,2}(?:\\.\\d*)?))?\\s*(AM|PM|am|pm|午前|午後)?$"));
    const auto m = time.match(s);
    if (!m.hasMatch())
        return std::nullopt;
    int hour = m.captured(1).toInt();
    const int minute = m.captured(2).toInt();
    const double second = m.captured(3).isEmpty() ? 0 : m.captured(3).toDouble();
    const QString half = m.captured(4).toUpper();
    if (minute > 59 || second >= 60)
        return std::nullopt;
    if (!half.isEmpty()) {
        if (hour > 12)
            return std::nullopt;
        hour = hour % 12 + (half == u"PM" || half == u"午後" ? 12 : 0);
    } else if (withDate && hour > 23) {
        return std::nullopt;
    }
    return (hour * 3600 + minute * 60 + second) / 86400.0;
}

} // namespace

std::optional<double> textToNumber(const QString& text, bool date1904)
{
    const QString s = narrowed(text);
    if (s.isEmpty())
        return std::nullopt;
    if (auto v = plainNumber(s))
        return v;
    if (auto t = timePart(s, false))
        return t;
    if (auto d = datePart(s, date1904))
        return d;
    // a date and a time of day
    const qsizetype space = s.lastIndexOf(u' ', s.size() - 1);
    for (qsizetype at = s.indexOf(u' '); at > 0 && at <= space; at = s.indexOf(u' ', at + 1)) {
        const auto d = datePart(s.left(at).trimmed(), date1904);
        const auto t = timePart(s.mid(at + 1).trimmed(), true);
        if (d && t)
            return *d + *t;
    }
    return std::nullopt;
}

double round15(double v)
{
    if (v == 0 || !std::isfinite(v))
        return v;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", v);
    return std::strtod(buf, nullptr);
}

QString numberToText(double v)
{
    if (std::isnan(v) || std::isinf(v))
        return QStringLiteral("#NUM!");
    if (v == 0)
        return QStringLiteral("0");
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", v);
    // digits and exponent of the 15-digit value
    QString digits;
    const char* p = buf;
    const bool negative = *p == '-';
    if (negative)
        ++p;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            digits += QLatin1Char(*p);
    const int exponent = std::atoi(p + 1);
    while (digits.size() > 1 && digits.endsWith(u'0'))
        digits.chop(1);
    QString out;
    if (exponent >= 15 || exponent < -9) {
        out = digits.left(1);
        if (digits.size() > 1)
            out += u'.' + digits.mid(1);
        out += (exponent < 0 ? QStringLiteral("E-") : QStringLiteral("E+"))
            + QStringLiteral("%1").arg(std::abs(exponent), 2, 10, QLatin1Char('0'));
    } else if (exponent < 0) {
        out = QStringLiteral("0.") + QString(-exponent - 1, u'0') + digits;
    } else if (digits.size() <= exponent + 1) {
        out = digits + QString(exponent + 1 - digits.size(), u'0');
    } else {
        out = digits.left(exponent + 1) + u'.' + digits.mid(exponent + 1);
    }
    return negative ? u'-' + out : out;
}

int compareValues(const Value& a, const Value& b)
{
    auto rank = [](Value::Kind k) { return k == Value::Number ? 0 : k == Value::Text ? 1
                                                                                     : 2; };
    Value::Kind ka = a.kind, kb = b.kind;
    if (ka == Value::Empty && kb == Value::Empty)
        return 0;
    // an empty cell is whatever the other side is, in its empty form
    if (ka == Value::Empty)
        ka = kb;
    if (kb == Value::Empty)
        kb = ka;
    if (ka != kb)
        return rank(ka) < rank(kb) ? -1 : 1;
    if (ka == Value::Text) {
        const QString& x = a.kind == Value::Empty ? QString() : a.text;
        const QString& y = b.kind == Value::Empty ? QString() : b.text;
        const int c = x.compare(y, Qt::CaseInsensitive);
        return c < 0 ? -1 : c > 0 ? 1
                                  : 0;
    }
    const double x = a.kind == Value::Empty ? 0 : a.number;
    const double y = b.kind == Value::Empty ? 0 : b.number;
    if (x == y)
        return 0;
    // equal to 15 significant digits is equal
    if (std::fabs(x - y) <= 1e-13 * std::max(std::fabs(x), std::fabs(y)) && round15(x) == round15(y))
        return 0;
    return x < y ? -1 : 1;
}

bool wildcardMatch(const QString& pattern, const QString& text)
{
    // iterative, backing up to the last star
    qsizetype p = 0, t = 0, starP = -1, starT = 0;
    auto same = [](QChar a, QChar b) { return a == b || a.toCaseFolded() == b.toCaseFolded(); };
    while (t < text.size()) {
        if (p < pattern.size()) {
            const QChar c = pattern[p];
            if (c == u'*') {
                starP = ++p;
                starT = t;
                continue;
            }
            if (c == u'~' && p + 1 < pattern.size() && QStringView(u"*?~").contains(pattern[p + 1])) {
                if (same(pattern[p + 1], text[t])) {
                    p += 2;
                    ++t;
                    continue;
                }
            } else if (c == u'?' || same(c, text[t])) {
                ++p;
                ++t;
                continue;
            }
        }
        if (starP < 0)
            return false;
        p = starP;
        t = ++starT;
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

} // namespace tegaro::sheets
