#include "sheets/numfmt/DateText.h"

#include "sheets/numfmt/FormatCode.h"

#include <cmath>

namespace tegaro::sheets {

namespace {

const Era kEras[] = {
    {QDate(1868, 1, 25), u"明治", u'M'},
    {QDate(1912, 7, 30), u"大正", u'T'},
    {QDate(1926, 12, 25), u"昭和", u'S'},
    {QDate(1989, 1, 8), u"平成", u'H'},
    {QDate(2019, 5, 1), u"令和", u'R'},
};

const char* const kMonths[] = {"January", "February", "March", "April", "May", "June", "July",
                               "August", "September", "October", "November", "December"};
const char* const kDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
const char16_t* const kJapaneseDays[] = {u"日", u"月", u"火", u"水", u"木", u"金", u"土"};

QString padded(qint64 v, int width)
{
    return QStringLiteral("%1").arg(v, width, 10, QLatin1Char('0'));
}

} // namespace

SerialDate serialToDate(qint64 day, bool date1904)
{
    SerialDate d;
    if (day < 0 || day > 2958465) { // beyond 9999-12-31
        d.valid = false;
        return d;
    }
    if (date1904) {
        QDate q = QDate(1904, 1, 1).addDays(day);
        d = {q.year(), q.month(), q.day(), q.dayOfWeek() % 7, true};
        return d;
    }
    // Excel counts a 29 February 1900 that never was; days before it keep
    // its weekday slip as well.
    d.weekday = int((day + 6) % 7);
    if (day == 0) {
        d.year = 1900;
        d.month = 1;
        d.day = 0;
        return d;
    }
    if (day == 60) {
        d.year = 1900;
        d.month = 2;
        d.day = 29;
        return d;
    }
    QDate q = QDate(1899, 12, 31).addDays(day < 60 ? day : day - 1);
    d.year = q.year();
    d.month = q.month();
    d.day = q.day();
    return d;
}

std::optional<qint64> serialOfDate(qint64 year, qint64 month, qint64 day, bool date1904)
{
    if (year >= 0 && year < 1900)
        year += 1900;
    if (year < 0 || year > 9999)
        return std::nullopt;
    // the first of the month, counted in whole years from the month given
    const qint64 months = year * 12 + month - 1;
    const qint64 y = months >= 0 ? months / 12 : -((-months + 11) / 12);
    const int m = int(months - y * 12) + 1;
    if (y < 0 || y > 9999)
        return std::nullopt;
    const QDate first(int(y), m, 1);
    qint64 serial;
    if (date1904) {
        serial = QDate(1904, 1, 1).daysTo(first);
    } else {
        serial = QDate(1899, 12, 31).daysTo(first);
        if (first >= QDate(1900, 3, 1))
            ++serial; // Excel's 29 February 1900
    }
    serial += day - 1;
    if (serial < 0 || serial > 2958465)
        return std::nullopt;
    return serial;
}

const Era* eraNamed(QStringView name)
{
    for (const Era& e : kEras)
        if (name == QStringView(e.name) || (name.size() == 1 && name[0].toUpper() == QChar(e.letter)))
            return &e;
    return nullptr;
}

const Era* eraOf(int year, int month, int day)
{
    const QDate date(year, month, std::max(day, 1));
    const QDate when = date.isValid() ? date : QDate(year, month, 28);
    const Era* found = nullptr;
    for (const Era& e : kEras)
        if (when >= e.start)
            found = &e;
    return found;
}

QString formatDate(const FormatSection& s, double serial, bool date1904)
{
    if (!(serial >= 0) || serial > 2958466)
        return QStringLiteral("########");
    int subDigits = 0;
    bool twelveHour = false;
    for (const FormatToken& t : s.tokens) {
        if (t.kind == FormatToken::SubSecond)
            subDigits = std::max(subDigits, std::min(t.count, 3));
        if (t.kind == FormatToken::AmPm)
            twelveHour = true;
    }
    // Round to what the format shows, so 23:59:59.7 becomes the next day.
    const qint64 unitsPerSecond = qint64(std::pow(10, subDigits));
    const qint64 unitsPerDay = 86400 * unitsPerSecond;
    const qint64 total = qint64(std::llround(serial * double(unitsPerDay)));
    const qint64 dayNumber = total / unitsPerDay;
    const qint64 inDay = total % unitsPerDay;
    const qint64 seconds = inDay / unitsPerSecond;
    const qint64 sub = inDay % unitsPerSecond;
    const int hour = int(seconds / 3600), minute = int(seconds / 60 % 60), second = int(seconds % 60);
    const SerialDate d = serialToDate(dayNumber, date1904);
    if (!d.valid)
        return QStringLiteral("########");
    const Era* era = eraOf(d.year, d.month, d.day);

    QString out;
    for (const FormatToken& t : s.tokens) {
        switch (t.kind) {
        case FormatToken::Literal: out += t.text; break;
        case FormatToken::Year:
            out += t.count <= 2 ? padded(d.year % 100, 2) : padded(d.year, 4);
            break;
        case FormatToken::Month:
            if (t.count <= 2)
                out += padded(d.month, t.count);
            else if (s.japanese)
                out += QString::number(d.month) + QStringLiteral("月");
            else if (t.count == 3)
                out += QString::fromLatin1(kMonths[d.month - 1]).left(3);
            else if (t.count == 5)
                out += QString::fromLatin1(kMonths[d.month - 1]).left(1);
            else
                out += QString::fromLatin1(kMonths[d.month - 1]);
            break;
        case FormatToken::Day:
            if (t.count <= 2)
                out += padded(d.day, t.count);
            else if (s.japanese)
                out += QString::fromUtf16(kJapaneseDays[d.weekday]) + (t.count > 3 ? QStringLiteral("曜日") : QString());
            else
                out += t.count == 3 ? QString::fromLatin1(kDays[d.weekday]).left(3) : QString::fromLatin1(kDays[d.weekday]);
            break;
        case FormatToken::Weekday:
            out += QString::fromUtf16(kJapaneseDays[d.weekday]) + (t.count > 3 ? QStringLiteral("曜日") : QString());
            break;
        case FormatToken::Hour: {
            int h = hour;
            if (twelveHour) {
                h = hour % 12;
                if (h == 0)
                    h = 12;
            }
            out += padded(h, std::min(t.count, 2));
            break;
        }
        case FormatToken::Minute: out += padded(minute, std::min(t.count, 2)); break;
        case FormatToken::Second: out += padded(second, std::min(t.count, 2)); break;
        case FormatToken::SubSecond: {
            QString digits = padded(sub, subDigits);
            out += u'.' + digits.left(t.count);
            break;
        }
        case FormatToken::AmPm: {
            const bool pm = hour >= 12;
            if (s.japanese)
                out += pm ? QStringLiteral("午後") : QStringLiteral("午前");
            else if (t.text.size() == 3) // A/P
                out += pm ? t.text.mid(2, 1) : t.text.left(1);
            else
                out += pm ? t.text.mid(3, 2) : t.text.left(2);
            break;
        }
        case FormatToken::Elapsed: {
            const qint64 secs = dayNumber * 86400 + seconds;
            const qint64 v = t.text == u"h" ? secs / 3600 : t.text == u"m" ? secs / 60
                                                                           : secs;
            out += padded(v, t.count);
            break;
        }
        case FormatToken::Era:
            if (!era)
                break;
            if (t.count == 1)
                out += QChar(era->letter);
            else if (t.count == 2)
                out += QString::fromUtf16(era->name).left(1);
            else
                out += QString::fromUtf16(era->name);
            break;
        case FormatToken::EraYear: {
            const int y = era ? d.year - era->start.year() + 1 : d.year;
            out += padded(y, std::min(t.count, 2));
            break;
        }
        default: break;
        }
    }
    return out;
}

} // namespace tegaro::sheets
