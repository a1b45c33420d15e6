#include "sheets/book/CellEntry.h"

#include "sheets/numfmt/DateText.h"
#include "sheets/numfmt/NumberFormat.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>

namespace tegaro::sheets {

namespace {

const QString kYmd = QStringLiteral("yyyy/m/d");
const QString kKanjiYmd = QStringLiteral("yyyy\"年\"m\"月\"d\"日\"");
const QString kKanjiYm = QStringLiteral("yyyy\"年\"m\"月\"");
const QString kKanjiMd = QStringLiteral("m\"月\"d\"日\"");
const QString kEraKanji = QStringLiteral("[$-411]ggge\"年\"m\"月\"d\"日\"");
const QString kEraLetter = QStringLiteral("[$-411]ge.m.d");

// Full-width digits and signs, as a Japanese input method types them, read
// like their plain forms.
QString normalized(const QString& typed)
{
    QString s = typed.normalized(QString::NormalizationForm_KC).trimmed();
    s.replace(u'\u2212', u'-'); // minus sign
    s.replace(u'\\', u'¥');
    return s;
}

std::optional<CellEntry> numberEntry(const QString& s)
{
    static const QRegularExpression re(QStringLiteral(
        "^([+-]?)(\\(?)([¥$]?)([+-]?)(\\d{1,3}(?:,\\d{3})+|\\d*)(\\.\\d*)?([eE][+-]?\\d+)?(\\)?)(%?)$"));
    const QRegularExpressionMatch m = re.match(s);
    if (!m.hasMatch())
        return std::nullopt;
    const QString sign1 = m.captured(1), open = m.captured(2), currency = m.captured(3), sign2 = m.captured(4);
    QString whole = m.captured(5);
    const QString fraction = m.captured(6), exponent = m.captured(7), close = m.captured(8);
    const bool percent = !m.captured(9).isEmpty();
    const bool digits = !whole.isEmpty() || fraction.size() > 1;
    const bool grouped = whole.contains(u',');
    if (!digits || open.isEmpty() != close.isEmpty() || (!sign1.isEmpty() && !sign2.isEmpty())
        || (!open.isEmpty() && !(sign1 + sign2).isEmpty()) || (!exponent.isEmpty() && (percent || grouped)))
        return std::nullopt;
    bool ok = false;
    double v = QLocale::c().toDouble(whole.remove(u',') + fraction + exponent, &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    if (sign1 == u"-" || sign2 == u"-" || !open.isEmpty())
        v = -v;
    CellEntry e;
    e.kind = CellKind::Number;
    const bool decimals = fraction.size() > 1;
    if (percent) {
        e.number = v / 100;
        e.format = decimals ? QStringLiteral("0.00%") : QStringLiteral("0%");
    } else {
        e.number = v;
        if (!currency.isEmpty())
            e.format = builtInFormat(decimals ? 7 : 5);
        else if (grouped)
            e.format = decimals ? QStringLiteral("#,##0.00") : QStringLiteral("#,##0");
        else if (!exponent.isEmpty())
            e.format = QStringLiteral("0.00E+00");
    }
    return e;
}

int fullYear(const QString& digits)
{
    const int y = digits.toInt();
    if (digits.size() > 2)
        return y;
    return y < 30 ? 2000 + y : 1900 + y; // two-digit years as spreadsheets read them
}

struct DatePart {
    QDate date;
    QString format;
};

std::optional<DatePart> datePart(const QString& s, QDate today)
{
    static const QRegularExpression ymd(QStringLiteral("^(\\d{1,4})[/-](\\d{1,2})[/-](\\d{1,2})$"));
    static const QRegularExpression md(QStringLiteral("^(\\d{1,2})[/-](\\d{1,2})$"));
    static const QRegularExpression kanjiYmd(QStringLiteral("^(\\d{1,4})年(\\d{1,2})月(\\d{1,2})日$"));
    static const QRegularExpression kanjiYm(QStringLiteral("^(\\d{1,4})年(\\d{1,2})月$"));
    static const QRegularExpression kanjiMd(QStringLiteral("^(\\d{1,2})月(\\d{1,2})日$"));
    static const QRegularExpression era(QStringLiteral(
        "^(明治|大正|昭和|平成|令和|[MTSHRmtshr])\\s*(\\d{1,2}|元)([年./-])(\\d{1,2})[月./-](\\d{1,2})日?$"));
    QRegularExpressionMatch m;
    auto num = [&](int i) { return m.captured(i).toInt(); };
    if ((m = ymd.match(s)).hasMatch())
        return DatePart{QDate(fullYear(m.captured(1)), num(2), num(3)), kYmd};
    if ((m = md.match(s)).hasMatch())
        return DatePart{QDate(today.year(), num(1), num(2)), kKanjiMd};
    if ((m = kanjiYmd.match(s)).hasMatch())
        return DatePart{QDate(fullYear(m.captured(1)), num(2), num(3)), kKanjiYmd};
    if ((m = kanjiYm.match(s)).hasMatch())
        return DatePart{QDate(fullYear(m.captured(1)), num(2), 1), kKanjiYm};
    if ((m = kanjiMd.match(s)).hasMatch())
        return DatePart{QDate(today.year(), num(1), num(2)), kKanjiMd};
    if ((m = era.match(s)).hasMatch()) {
        const Era* e = eraNamed(m.captured(1));
        const int year = m.captured(2) == u"元" ? 1 : num(2);
        if (!e || year < 1)
            return std::nullopt;
        const bool kanji = m.captured(1).size() > 1 || m.captured(3) == u"年";
        return DatePart{QDate(e->start.year() + year - 1, num(4), num(5)), kanji ? kEraKanji : kEraLetter};
    }
    return std::nullopt;
}

struct TimePart {
    double fraction = 0; // of a day
    QString format;
};

std::optional<TimePart> timePart(const QString& s)
{
    static const QRegularExpression clock(QStringLiteral(
        "^(\\d{1,4}):(\\d{1,2})(?::(\\d{1,2}(?:\\.\\d+)?))?(?:\\s*([AaPp])[Mm]?)?$"));
    static const QRegularExpression kanji(QStringLiteral("^(\\d{1,2})時(\\d{1,2})分(?:(\\d{1,2})秒)?$"));
    QRegularExpressionMatch m = clock.match(s);
    const bool isClock = m.hasMatch();
    if (!isClock && !(m = kanji.match(s)).hasMatch())
        return std::nullopt;
    int hours = m.captured(1).toInt();
    const int minutes = m.captured(2).toInt();
    const double seconds = m.captured(3).toDouble();
    const bool hasSeconds = !m.captured(3).isEmpty();
    const QString half = isClock ? m.captured(4).toUpper() : QString();
    if (minutes > 59 || seconds >= 60 || (!half.isEmpty() && (hours < 1 || hours > 12)))
        return std::nullopt;
    if (half == u"P" && hours < 12)
        hours += 12;
    else if (half == u"A" && hours == 12)
        hours = 0;
    TimePart t;
    t.fraction = (hours * 3600.0 + minutes * 60.0 + seconds) / 86400.0;
    if (!isClock)
        t.format = hasSeconds ? builtInFormat(33) : builtInFormat(32);
    else if (!half.isEmpty())
        t.format = hasSeconds ? builtInFormat(19) : builtInFormat(18);
    else if (hours >= 24)
        t.format = QStringLiteral("[h]:mm:ss");
    else
        t.format = hasSeconds ? builtInFormat(21) : builtInFormat(20);
    return t;
}

std::optional<CellEntry> dateTimeEntry(const QString& s, bool date1904, QDate today)
{
    std::optional<DatePart> date = datePart(s, today);
    std::optional<TimePart> time = date ? std::nullopt : timePart(s);
    const int space = int(s.indexOf(u' '));
    if (!date && !time && space > 0) {
        // a date and a time of day
        date = datePart(s.left(space), today);
        time = timePart(s.mid(space + 1).trimmed());
        if (!date || !time)
            return std::nullopt;
    }
    if (!date && !time)
        return std::nullopt;
    CellEntry e;
    e.kind = CellKind::Number;
    if (date) {
        if (!date->date.isValid())
            return std::nullopt;
        e.number = dateSerial(date->date, date1904);
        if (e.number < 0)
            return std::nullopt;
        e.format = date->format;
    }
    if (time) {
        e.number += time->fraction;
        e.format = date ? builtInFormat(22) : time->format;
    }
    return e;
}

std::optional<CellEntry> errorEntry(const QString& s)
{
    for (int code : {0x00, 0x07, 0x0F, 0x17, 0x1D, 0x24, 0x2A}) {
        if (s.compare(errorText(code), Qt::CaseInsensitive) == 0) {
            CellEntry e;
            e.kind = CellKind::Error;
            e.number = code;
            return e;
        }
    }
    return std::nullopt;
}

} // namespace

double dateSerial(QDate date, bool date1904)
{
    if (date1904)
        return date < QDate(1904, 1, 1) ? -1 : double(QDate(1904, 1, 1).daysTo(date));
    if (date < QDate(1900, 1, 1))
        return -1;
    // Excel counts a 29 February 1900 that never was
    return double(date < QDate(1900, 3, 1) ? QDate(1899, 12, 31).daysTo(date) : QDate(1899, 12, 30).daysTo(date));
}

CellEntry parseEntry(const QString& typed, bool date1904, QDate today)
{
    CellEntry e;
    if (typed.isEmpty())
        return e;
    if (typed.startsWith(u'\'')) {
        e.kind = CellKind::Text;
        e.text = typed.mid(1);
        e.quoted = true;
        return e;
    }
    const QString s = normalized(typed);
    if (!s.isEmpty()) {
        if (auto n = numberEntry(s))
            return *n;
        if (auto d = dateTimeEntry(s, date1904, today))
            return *d;
        if (s.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0
            || s.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0) {
            e.kind = CellKind::Boolean;
            e.number = s.size() == 4;
            return e;
        }
        if (auto err = errorEntry(s))
            return *err;
    }
    e.kind = CellKind::Text;
    e.text = typed;
    return e;
}

QString formatAfterEntry(const CellEntry& entry, const QString& cellFormat)
{
    if (entry.kind != CellKind::Number || entry.format.isEmpty())
        return cellFormat;
    const bool general = cellFormat.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0
        || cellFormat == QStringLiteral("G/標準");
    if (general)
        return entry.format;
    if (isDateFormat(entry.format) && !isDateFormat(cellFormat))
        return entry.format; // a date must not show as its serial number
    return cellFormat;
}

} // namespace tegaro::sheets
