#include "sheets/package/OdsValues.h"

#include <QRegularExpression>

#include <charconv>
#include <cmath>

namespace tegaro::sheets {

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

std::optional<double> numberValue(std::string_view v)
{
    while (!v.empty() && std::isspace(uchar(v.front())))
        v.remove_prefix(1);
    while (!v.empty() && std::isspace(uchar(v.back())))
        v.remove_suffix(1);
    if (!v.empty() && v.front() == '+')
        v.remove_prefix(1);
    double d = 0;
    const auto [end, error] = std::from_chars(v.data(), v.data() + v.size(), d);
    if (error != std::errc() || end != v.data() + v.size() || v.empty())
        return std::nullopt;
    return std::isfinite(d) ? std::optional(d) : std::nullopt;
}

QString text(std::string_view v)
{
    return QString::fromUtf8(v.data(), qsizetype(v.size()));
}

int errorCode(const QString& text)
{
    for (int code : {0x00, 0x07, 0x0F, 0x17, 0x1D, 0x24, 0x2A})
        if (text.trimmed().compare(errorText(code), Qt::CaseInsensitive) == 0)
            return code;
    return 0x0F; // LibreOffice's own "Err:5xx" errors have no Excel name
}

} // namespace

std::optional<OdsValue> odsValue(const OdsValueAttributes& a, const QString& paragraphs, const ImportContext& ctx)
{
    OdsValue v;
    const std::string_view type = a.type;
    if (a.calcType == "error") {
        v.kind = CellKind::Error;
        v.number = errorCode(paragraphs);
        return v;
    }
    if (type == "float" || type == "percentage" || type == "currency") {
        const auto n = numberValue(a.value);
        if (!n)
            return std::nullopt;
        v.kind = CellKind::Number;
        v.number = *n;
    } else if (type == "string") {
        v.kind = CellKind::Text;
        v.text = a.stringValue ? text(*a.stringValue) : paragraphs;
    } else if (type == "boolean") {
        const std::string_view b = a.booleanValue;
        if (b != "true" && b != "false" && b != "1" && b != "0")
            return std::nullopt;
        v.kind = CellKind::Boolean;
        v.number = b == "true" || b == "1";
    } else if (type == "date") {
        const auto d = dateValue(ctx, text(a.dateValue));
        if (!d)
            return std::nullopt;
        v.kind = CellKind::Number;
        v.number = d->first;
        v.shown = d->second ? OdsValue::Shown::DateTime : OdsValue::Shown::Date;
    } else if (type == "time") {
        const auto t = durationValue(text(a.timeValue));
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
