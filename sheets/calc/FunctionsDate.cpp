// Dates and times as serial numbers, in the workbook's 1900 or 1904 system.
#include "sheets/numfmt/DateText.h"
#include "sheets/calc/FormulaBuiltins.h"

#include <cmath>

namespace tegaro::sheets {

namespace {

constexpr double kLastSerial = 2958465; // 9999-12-31

// The day of a serial argument, or the error it stands for.
Got<SerialDate> dayOf(Call& c, int i)
{
    const Num n = c.number(i);
    if (!n)
        return {{}, n.error};
    if (n.v < 0 || n.v >= kLastSerial + 1)
        return {{}, err::Num};
    const SerialDate d = serialToDate(qint64(std::floor(n.v)), c.ev.date1904());
    if (!d.valid)
        return {{}, err::Num};
    return {d, -1};
}

Value year(Call& c)
{
    const auto d = dayOf(c, 0);
    return d ? Value::num(d.v.year) : d.fail();
}

Value month(Call& c)
{
    const auto d = dayOf(c, 0);
    return d ? Value::num(d.v.month) : d.fail();
}

Value day(Call& c)
{
    const auto d = dayOf(c, 0);
    return d ? Value::num(d.v.day) : d.fail();
}

Value weekday(Call& c)
{
    const auto d = dayOf(c, 0);
    if (!d)
        return d.fail();
    const Num type = c.integer(1, 1);
    if (!type)
        return type.fail();
    const int wd = d.v.weekday; // 0 Sunday
    const int t = int(std::clamp(type.v, -1.0, 100.0));
    switch (t) {
    case 1: return Value::num(wd + 1);
    case 2: return Value::num((wd + 6) % 7 + 1);
    case 3: return Value::num((wd + 6) % 7);
    default:
        if (t >= 11 && t <= 17) // the week starts on Monday (11) ... Sunday (17)
            return Value::num((wd - (t - 10) % 7 + 7) % 7 + 1);
        return Value::error(err::Num);
    }
}

Value date(Call& c)
{
    const Num y = c.integer(0, 0), m = c.integer(1, 0), d = c.integer(2, 0);
    for (const Num* n : {&y, &m, &d})
        if (!*n)
            return n->fail();
    for (const Num* n : {&y, &m, &d})
        if (std::fabs(n->v) > 1e8)
            return Value::error(err::Num);
    const auto serial = serialOfDate(qint64(y.v), qint64(m.v), qint64(d.v), c.ev.date1904());
    return serial ? Value::num(double(*serial)) : Value::error(err::Num);
}

Value time(Call& c)
{
    const Num h = c.integer(0, 0), m = c.integer(1, 0), s = c.integer(2, 0);
    for (const Num* n : {&h, &m, &s})
        if (!*n)
            return n->fail();
    const double seconds = h.v * 3600 + m.v * 60 + s.v;
    if (seconds < 0 || !std::isfinite(seconds))
        return Value::error(err::Num);
    return Value::num(std::fmod(seconds, 86400) / 86400);
}

// Hours, minutes and seconds of a serial, to the nearest second.
Value clockPart(Call& c, int part)
{
    const Num n = c.number(0);
    if (!n)
        return n.fail();
    if (n.v < 0)
        return Value::error(err::Num);
    const qint64 seconds = qint64(std::llround((n.v - std::floor(n.v)) * 86400)) % 86400;
    const qint64 parts[] = {seconds / 3600, seconds / 60 % 60, seconds % 60};
    return Value::num(double(parts[part]));
}

Value hour(Call& c) { return clockPart(c, 0); }
Value minute(Call& c) { return clockPart(c, 1); }
Value second(Call& c) { return clockPart(c, 2); }

double serialOfNow(const Evaluator& ev, bool withTime)
{
    const QDateTime now = ev.now();
    const QDate d = now.date();
    const double day = double(serialOfDate(d.year(), d.month(), d.day(), ev.date1904()).value_or(0));
    if (!withTime)
        return day;
    return day + now.time().msecsSinceStartOfDay() / 86400000.0;
}

Value today(Call& c) { return Value::num(serialOfNow(c.ev, false)); }
Value now(Call& c) { return Value::num(serialOfNow(c.ev, true)); }

Value dateValue(Call& c)
{
    const Str s = c.text(0);
    if (!s)
        return s.fail();
    const auto n = textToNumber(s.v, c.ev.date1904());
    static const QString separators = QStringLiteral("/-年.");
    const bool looksLikeDate = std::any_of(separators.begin(), separators.end(), [&](QChar ch) { return s.v.contains(ch); });
    if (!n || !looksLikeDate || *n < 0)
        return Value::error(err::Value);
    return Value::num(std::floor(*n));
}

Value timeValue(Call& c)
{
    const Str s = c.text(0);
    if (!s)
        return s.fail();
    const auto n = textToNumber(s.v, c.ev.date1904());
    if (!n || !s.v.contains(u':'))
        return Value::error(err::Value);
    return Value::num(*n - std::floor(*n));
}

// DATEDIF: whole years, months or days between two dates, Japanese sheets'
// way of working out ages.
Value dateDif(Call& c)
{
    const auto a = dayOf(c, 0), b = dayOf(c, 1);
    if (!a)
        return a.fail();
    if (!b)
        return b.fail();
    const Str unit = c.text(2);
    if (!unit)
        return unit.fail();
    const double start = std::floor(c.number(0).v), end = std::floor(c.number(1).v);
    if (start > end)
        return Value::error(err::Num);
    const SerialDate& x = a.v;
    const SerialDate& y = b.v;
    int months = (y.year - x.year) * 12 + (y.month - x.month);
    if (y.day < x.day)
        --months;
    const QString u = unit.v.toUpper();
    if (u == u"Y")
        return Value::num(months / 12);
    if (u == u"M")
        return Value::num(months);
    if (u == u"D")
        return Value::num(end - start);
    if (u == u"YM")
        return Value::num(months % 12);
    if (u == u"MD") {
        if (y.day >= x.day)
            return Value::num(y.day - x.day);
        const QDate before = QDate(y.year, y.month, 1).addMonths(-1);
        return Value::num(before.daysInMonth() - x.day + y.day);
    }
    if (u == u"YD") {
        const QDate from(x.year, x.month, std::min(x.day, 28)), to(y.year, y.month, std::max(y.day, 1));
        QDate shifted(to.year(), from.month(), 1);
        shifted = shifted.addDays(std::min(x.day, shifted.daysInMonth()) - 1);
        if (shifted > to)
            shifted = QDate(to.year() - 1, from.month(), 1).addDays(std::min(x.day, QDate(to.year() - 1, from.month(), 1).daysInMonth()) - 1);
        return Value::num(double(shifted.daysTo(to)));
    }
    return Value::error(err::Num);
}

constexpr BuiltinEntry kDate[] = {
    {65, date},
    {66, time},
    {67, day},
    {68, month},
    {69, year},
    {70, weekday},
    {71, hour},
    {72, minute},
    {73, second},
    {74, now},
    {140, dateValue},
    {141, timeValue},
    {221, today},
    {351, dateDif},
};

} // namespace

std::span<const BuiltinEntry> dateBuiltins()
{
    return kDate;
}

} // namespace tegaro::sheets
