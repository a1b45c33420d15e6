#include "sheets/package/OdsValues.h"

#include "sheets/package/OdsXml.h"

#include <QRegularExpression>

#include <cmath>

namespace tegaro::sheets {

using namespace ods;

namespace {

// "2019-05-31" or "2019-05-31T18:30:00.5", optionally with a zone, which
// a spreadsheet's date has no use for.
std::optional<std::pair<double, bool>> dateValue(const ImportContext& ctx, QStringView v)
{
    static const QRegularExpression form(QStringLiteral(
        "^(-?\\d{4,6})-(\\d{2})-(\\d{2})(?:T(\\d{2}):(\\d{2})(?::(\\d{2}(?:\\.\\d{1,9})?))?)?(?:Z|[+-]\\d{2}:\\d{2})?$"));
    const auto m = form.match(v);
    if (!m.hasMatch())
        return std::nullopt;
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (!date.isValid())
        return std::nullopt;
    const int hour = m.captured(4).toInt(), minute = m.captured(5).toInt();
    const double second = m.captured(6).toDouble();
    if (hour > 24 || minute > 59 || second >= 61)
        return std::nullopt;
    const double seconds = hour * 3600.0 + minute * 60.0 + second;
    const double serial = ctx.dateSerial(date, seconds);
    if (serial < 0 || serial > 2958465) // Excel's dates end with the year 9999
        return std::nullopt;
    return std::pair(serial, seconds != 0);
}

// A span of time, "PT36H30M00S" or "P1DT2H", as a number of days.
std::optional<double> durationValue(QStringView v)
{
    static const QRegularExpression form(QStringLiteral(
        "^(-)?P(?:(\\d{1,9})D)?(?:T(?:(\\d{1,9}(?:\\.\\d+)?)H)?(?:(\\d{1,9}(?:\\.\\d+)?)M)?(?:(\\d{1,9}(?:\\.\\d+)?)S)?)?$"));
    const auto m = form.match(v);
    if (!m.hasMatch() || v.size() < 3)
        return std::nullopt;
    const double days = m.captured(2).toDouble() + m.captured(3).toDouble() / 24 + m.captured(4).toDouble() / 1440
        + m.captured(5).toDouble() / 86400;
    if (!std::isfinite(days) || days > 2958465)
        return std::nullopt;
    return m.capturedLength(1) ? -days : days;
}

std::optional<double> numberValue(QStringView v)
{
    bool ok = false;
    const double d = v.trimmed().toDouble(&ok);
    return ok && std::isfinite(d) ? std::optional(d) : std::nullopt;
}

int errorCode(const QString& text)
{
    for (int code : {0x00, 0x07, 0x0F, 0x17, 0x1D, 0x24, 0x2A})
        if (text.trimmed().compare(errorText(code), Qt::CaseInsensitive) == 0)
            return code;
    return 0x0F; // LibreOffice's own "Err:5xx" errors have no Excel name
}

} // namespace

std::optional<OdsValue> odsValue(const QXmlStreamAttributes& a, const QString& paragraphs, const ImportContext& ctx)
{
    OdsValue v;
    const QStringView type = attr(a, kOffice, u"value-type");
    if (attr(a, kCalcExt, u"value-type") == u"error") {
        v.kind = CellKind::Error;
        v.number = errorCode(paragraphs);
        return v;
    }
    if (type == u"float" || type == u"percentage" || type == u"currency") {
        const auto n = numberValue(attr(a, kOffice, u"value"));
        if (!n)
            return std::nullopt;
        v.kind = CellKind::Number;
        v.number = *n;
    } else if (type == u"string") {
        v.kind = CellKind::Text;
        v.text = hasAttr(a, kOffice, u"string-value") ? attr(a, kOffice, u"string-value").toString() : paragraphs;
    } else if (type == u"boolean") {
        const QStringView b = attr(a, kOffice, u"boolean-value");
        if (b != u"true" && b != u"false" && b != u"1" && b != u"0")
            return std::nullopt;
        v.kind = CellKind::Boolean;
        v.number = b == u"true" || b == u"1";
    } else if (type == u"date") {
        const auto d = dateValue(ctx, attr(a, kOffice, u"date-value"));
        if (!d)
            return std::nullopt;
        v.kind = CellKind::Number;
        v.number = d->first;
        v.shown = d->second ? OdsValue::Shown::DateTime : OdsValue::Shown::Date;
    } else if (type == u"time") {
        const auto t = durationValue(attr(a, kOffice, u"time-value"));
        if (!t)
            return std::nullopt;
        v.kind = CellKind::Number;
        v.number = *t;
        v.shown = *t >= 1 || *t < 0 ? OdsValue::Shown::Duration : OdsValue::Shown::Time;
    } else {
        return std::nullopt;
    }
    return v;
}

QString defaultCode(OdsValue::Shown shown)
{
    switch (shown) {
    case OdsValue::Shown::Date: return QStringLiteral("yyyy/m/d");
    case OdsValue::Shown::DateTime: return QStringLiteral("yyyy/m/d h:mm");
    case OdsValue::Shown::Time: return QStringLiteral("h:mm:ss");
    case OdsValue::Shown::Duration: return QStringLiteral("[h]:mm:ss");
    case OdsValue::Shown::AsIs: break;
    }
    return {};
}

} // namespace tegaro::sheets
