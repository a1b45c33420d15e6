#include "sheets/package/OdsFormats.h"

#include "sheets/package/OdsXml.h"

#include <QStringList>

#include <algorithm>

namespace tegaro::sheets::ods {

namespace {

// Text that stands as it is in an Excel code, quoted where it must be.
QString literal(const QString& text, bool percent)
{
    static const QString plain = QStringLiteral(" -/():");
    QString out;
    bool quoting = false;
    for (const QChar c : text) {
        const bool bare = plain.contains(c) || (percent && c == u'%');
        if (bare && quoting) {
            out += u'"';
            quoting = false;
        }
        if (!bare && !quoting && c != u'"') {
            out += u'"';
            quoting = true;
        }
        if (c == u'"') {
            if (quoting)
                out += u'"';
            quoting = false;
            out += QStringLiteral("\\\"");
        } else {
            out += c;
        }
    }
    if (quoting)
        out += u'"';
    return out;
}

QString integerDigits(const DataPart& p)
{
    const int minimum = std::clamp(intAttr(p.attr("min-integer-digits"), 1), 0, 30);
    QString digits(minimum, u'0');
    if (p.attr("grouping") == QLatin1String("true")) {
        while (digits.size() < 4)
            digits.prepend(u'#');
        digits.insert(digits.size() - 3, u',');
    } else if (digits.isEmpty()) {
        digits = QStringLiteral("#");
    }
    return digits;
}

QString decimals(const DataPart& p)
{
    const int places = std::clamp(intAttr(p.attr("decimal-places"), 0), 0, 30);
    const int minimum = std::clamp(intAttr(p.attr("min-decimal-places"), places), 0, places);
    if (places == 0)
        return {};
    return u'.' + QString(minimum, u'0') + QString(places - minimum, u'#');
}

QString numberCode(const DataPart& p)
{
    if (!p.has("decimal-places") && !p.has("min-decimal-places") && p.attr("grouping") != QLatin1String("true"))
        return QStringLiteral("General");
    QString code = integerDigits(p) + decimals(p);
    // a factor of thousands: one comma after the digits for each
    for (double factor = p.attr("display-factor").toDouble(); factor >= 1000 && code.size() < 60; factor /= 1000)
        code += u',';
    return code;
}

QString colourName(const QString& rgb)
{
    static const std::map<QString, QString> names = {
        {QStringLiteral("#000000"), QStringLiteral("[Black]")},
        {QStringLiteral("#ffffff"), QStringLiteral("[White]")},
        {QStringLiteral("#ff0000"), QStringLiteral("[Red]")},
        {QStringLiteral("#00ff00"), QStringLiteral("[Green]")},
        {QStringLiteral("#0000ff"), QStringLiteral("[Blue]")},
        {QStringLiteral("#ffff00"), QStringLiteral("[Yellow]")},
        {QStringLiteral("#ff00ff"), QStringLiteral("[Magenta]")},
        {QStringLiteral("#00ffff"), QStringLiteral("[Cyan]")},
    };
    auto it = names.find(rgb.toLower());
    return it == names.end() ? QString() : it->second;
}

// The Excel code of one data style without its conditions; empty when a
// part has no Excel counterpart.
QString sectionCode(const DataStyle& s)
{
    const bool percent = s.kind == QLatin1String("percentage-style");
    QString code = colourName(s.color);
    bool anyPart = false;
    for (const DataPart& p : s.parts) {
        const bool isLong = p.attr("style") == QLatin1String("long");
        const QString& n = p.name;
        if (n == QLatin1String("number")) {
            code += numberCode(p);
        } else if (n == QLatin1String("scientific-number")) {
            code += integerDigits(p) + decimals(p) + QStringLiteral("E+")
                + QString(std::clamp(intAttr(p.attr("min-exponent-digits"), 2), 1, 5), u'0');
        } else if (n == QLatin1String("fraction")) {
            if (p.has("min-integer-digits"))
                code += integerDigits(p) + u' ';
            code += QString(std::clamp(intAttr(p.attr("min-numerator-digits"), 1), 1, 5), u'?') + u'/';
            const int denominator = intAttr(p.attr("denominator-value"), 0);
            code += denominator > 0 ? QString::number(denominator)
                                    : QString(std::clamp(intAttr(p.attr("min-denominator-digits"), 1), 1, 5), u'?');
        } else if (n == QLatin1String("text")) {
            code += literal(p.text, percent);
        } else if (n == QLatin1String("currency-symbol")) {
            code += literal(p.text, false);
        } else if (n == QLatin1String("text-content")) {
            code += u'@';
        } else if (n == QLatin1String("fill-character")) {
            code += u'*' + (p.text.isEmpty() ? QStringLiteral(" ") : p.text.left(1));
        } else if (n == QLatin1String("year")) {
            code += p.attr("calendar") == QLatin1String("gengou") ? (isLong ? QStringLiteral("ee") : QStringLiteral("e"))
                                                                  : (isLong ? QStringLiteral("yyyy") : QStringLiteral("yy"));
        } else if (n == QLatin1String("era")) {
            code += isLong ? QStringLiteral("ggg") : QStringLiteral("g");
        } else if (n == QLatin1String("month")) {
            if (p.attr("textual") == QLatin1String("true"))
                code += isLong ? QStringLiteral("mmmm") : QStringLiteral("mmm");
            else
                code += isLong ? QStringLiteral("mm") : QStringLiteral("m");
        } else if (n == QLatin1String("day")) {
            code += isLong ? QStringLiteral("dd") : QStringLiteral("d");
        } else if (n == QLatin1String("day-of-week")) {
            code += s.japanese ? (isLong ? QStringLiteral("aaaa") : QStringLiteral("aaa"))
                               : (isLong ? QStringLiteral("dddd") : QStringLiteral("ddd"));
        } else if (n == QLatin1String("hours")) {
            const QString h = isLong ? QStringLiteral("hh") : QStringLiteral("h");
            code += s.elapsed ? u'[' + h + u']' : h;
        } else if (n == QLatin1String("minutes")) {
            code += isLong ? QStringLiteral("mm") : QStringLiteral("m");
        } else if (n == QLatin1String("seconds")) {
            code += isLong ? QStringLiteral("ss") : QStringLiteral("s");
            const int places = std::clamp(intAttr(p.attr("decimal-places"), 0), 0, 3);
            if (places)
                code += u'.' + QString(places, u'0');
        } else if (n == QLatin1String("am-pm")) {
            code += QStringLiteral("AM/PM");
        } else {
            return {}; // quarters, weeks of the year, boolean words
        }
        anyPart = true;
    }
    if (!anyPart)
        return {};
    if (s.gengou)
        code.prepend(QStringLiteral("[$-411]"));
    return code;
}

QString excelCode(const DataStyles& styles, const QString& name, int depth)
{
    auto it = styles.find(name);
    if (it == styles.end() || depth > 2)
        return {};
    const DataStyle& s = it->second;
    const QString main = sectionCode(s);
    if (s.maps.empty())
        return main;
    // LibreOffice writes Excel's sections as conditions on the style
    // that shows the rest: ">=0" or ">0", "<0", "=0"
    std::map<QString, QString> sections;
    std::vector<QString> custom;
    for (const auto& [condition, applied] : s.maps) {
        QString c = condition;
        c.remove(QStringLiteral("value()")).remove(u' ');
        c.replace(QStringLiteral("!="), QStringLiteral("<>"));
        const QString code = excelCode(styles, applied, depth + 1);
        if (code.isEmpty())
            return {};
        if (c == QLatin1String(">=0") || c == QLatin1String(">0") || c == QLatin1String("<0") || c == QLatin1String("=0"))
            sections[c] = code;
        else
            custom.push_back(u'[' + c + u']' + code);
    }
    if (main.isEmpty())
        return {};
    if (!custom.empty()) {
        if (custom.size() > 2 || !sections.empty())
            return {};
        return QStringList(custom.begin(), custom.end()).join(u';') + u';' + main;
    }
    const bool text = s.kind == QLatin1String("text-style");
    auto section = [&](const char* condition) {
        auto found = sections.find(QLatin1String(condition));
        return found == sections.end() ? QString() : found->second;
    };
    const QString positive = sections.count(QStringLiteral(">=0")) ? section(">=0") : section(">0");
    const QString negative = section("<0"), zero = section("=0");
    if (sections.size() == 1 && !positive.isEmpty() && sections.count(QStringLiteral(">=0")))
        return positive + u';' + main;
    if (sections.size() == 1 && !negative.isEmpty())
        return main + u';' + negative;
    if (sections.size() == 2 && !positive.isEmpty() && !negative.isEmpty())
        return positive + u';' + negative + u';' + main;
    if (sections.size() == 3 && !positive.isEmpty())
        return positive + u';' + negative + u';' + zero + (text ? u';' + main : QString());
    return {};
}

} // namespace

QString excelCode(const DataStyles& styles, const QString& name)
{
    return excelCode(styles, name, 0);
}

} // namespace tegaro::sheets::ods
