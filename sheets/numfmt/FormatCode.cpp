#include "sheets/numfmt/FormatCode.h"

#include <QHash>

namespace tegaro::sheets {

namespace {

bool isDateLetter(QChar c)
{
    switch (c.toLower().unicode()) {
    case 'y':
    case 'm':
    case 'd':
    case 'h':
    case 's':
    case 'g':
    case 'e':
    case 'a':
    case 'b':
        return true;
    default:
        return false;
    }
}

void addLiteral(FormatSection& s, const QString& text)
{
    if (!s.tokens.isEmpty() && s.tokens.last().kind == FormatToken::Literal)
        s.tokens.last().text += text;
    else
        s.tokens.append(FormatToken{FormatToken::Literal, text});
}

// The palette index of a colour name in brackets, English or Japanese; -1 if none.
int colorIndex(const QString& name)
{
    static const std::pair<const char16_t*, const char16_t*> names[] = {
        {u"black", u"黒"},
        {u"white", u"白"},
        {u"red", u"赤"},
        {u"green", u"緑"},
        {u"blue", u"青"},
        {u"yellow", u"黄"},
        {u"magenta", u"紫"},
        {u"cyan", u"水"},
    };
    const QString lower = name.toLower();
    for (int i = 0; i < 8; ++i)
        if (lower == QStringView(names[i].first) || name == QStringView(names[i].second))
            return 8 + i;
    for (const QString& prefix : {QStringLiteral("color"), QStringLiteral("色")}) {
        if (!lower.startsWith(prefix))
            continue;
        bool ok = false;
        const int n = lower.mid(prefix.size()).toInt(&ok);
        if (ok && n >= 1 && n <= 56)
            return n + 7;
    }
    return -1;
}

// Reads one bracketed part: a condition, a colour, a locale or elapsed time.
void parseBracket(FormatSection& s, const QString& inner)
{
    if (inner.isEmpty())
        return;
    const QChar first = inner.front();
    if (first == u'<' || first == u'>' || first == u'=') {
        int n = 1;
        if (inner.size() > 1 && (inner[1] == u'=' || inner[1] == u'>'))
            n = 2;
        bool ok = false;
        double v = inner.mid(n).trimmed().toDouble(&ok);
        if (ok) {
            s.hasCondition = true;
            s.op = inner.left(n);
            s.operand = v;
        }
        return;
    }
    if (first == u'$') {
        int dash = int(inner.indexOf(u'-'));
        QString symbol = inner.mid(1, dash < 0 ? -1 : dash - 1);
        QString locale = dash < 0 ? QString() : inner.mid(dash + 1);
        bool ok = false;
        int id = locale.toInt(&ok, 16);
        if (ok && (id & 0xFFFF) == 0x411)
            s.japanese = true;
        if (!symbol.isEmpty())
            addLiteral(s, symbol);
        return;
    }
    const QString lower = inner.toLower();
    if (const int color = colorIndex(inner); color >= 0) {
        s.color = color;
        return;
    }
    if (lower.count(u'h') == lower.size() || lower.count(u'm') == lower.size()
        || lower.count(u's') == lower.size()) {
        s.tokens.append(FormatToken{FormatToken::Elapsed, lower.left(1), int(lower.size())});
        s.isDate = true;
    }
    // [DBNum] changes nothing in the text
}

PlainLayout plainLayout(const FormatSection& s)
{
    PlainLayout p;
    if (s.isText || s.hasGeneral || s.hasCondition)
        return p;
    const QList<FormatToken>& t = s.tokens;
    int i = 0;
    for (; i < t.size() && t[i].kind == FormatToken::Literal; ++i)
        p.prefix += t[i].text;
    bool sawZero = false, sawDigit = false;
    for (; i < t.size(); ++i) {
        const FormatToken::Kind k = t[i].kind;
        if (k == FormatToken::Hash && !sawZero) {
            sawDigit = true;
        } else if (k == FormatToken::Zero) {
            sawZero = sawDigit = true;
            ++p.minWhole;
        } else if (k == FormatToken::Comma && sawDigit && i + 1 < t.size()
                   && (t[i + 1].kind == FormatToken::Hash || t[i + 1].kind == FormatToken::Zero)) {
            p.group = true;
        } else {
            break;
        }
    }
    if (!sawZero)
        return p; // "#.00" shows nothing before the point
    if (i < t.size() && t[i].kind == FormatToken::Point) {
        for (++i; i < t.size() && t[i].kind == FormatToken::Zero; ++i)
            ++p.decimals;
    }
    for (; i < t.size() && t[i].kind == FormatToken::Literal; ++i)
        p.suffix += t[i].text;
    p.valid = i == t.size();
    return p;
}

FormatSection parseSection(const QString& code)
{
    FormatSection s;
    const int n = int(code.size());
    for (int i = 0; i < n; ++i) {
        const QChar c = code[i];
        const QChar lower = c.toLower();
        if (c == u'"') {
            int end = int(code.indexOf(u'"', i + 1));
            if (end < 0)
                end = n;
            addLiteral(s, code.mid(i + 1, end - i - 1));
            i = end;
        } else if (c == u'\\' || c == u'!') {
            if (i + 1 < n)
                addLiteral(s, code.mid(++i, 1));
        } else if (c == u'_') {
            ++i;
            addLiteral(s, QStringLiteral(" "));
        } else if (c == u'*') {
            ++i; // fills the cell width; nothing in the text
        } else if (c == u'[') {
            int end = int(code.indexOf(u']', i + 1));
            if (end < 0)
                end = n;
            parseBracket(s, code.mid(i + 1, end - i - 1));
            i = end;
        } else if (code.mid(i, 7).compare(QLatin1String("General"), Qt::CaseInsensitive) == 0) {
            s.tokens.append(FormatToken{FormatToken::General, {}});
            s.hasGeneral = true;
            i += 6;
        } else if (code.mid(i, 4) == QStringLiteral("G/標準")) {
            s.tokens.append(FormatToken{FormatToken::General, {}});
            s.hasGeneral = true;
            i += 3;
        } else if (c == u'0') {
            s.tokens.append(FormatToken{FormatToken::Zero, QString(c)});
        } else if (c == u'#') {
            s.tokens.append(FormatToken{FormatToken::Hash, QString(c)});
        } else if (c == u'?') {
            s.tokens.append(FormatToken{FormatToken::Question, QString(c)});
        } else if (c == u'.') {
            s.tokens.append(FormatToken{FormatToken::Point, QString(c)});
        } else if (c == u',') {
            s.tokens.append(FormatToken{FormatToken::Comma, QString(c)});
        } else if (c == u'%') {
            s.tokens.append(FormatToken{FormatToken::Percent, QString(c)});
        } else if (c == u'/') {
            s.tokens.append(FormatToken{FormatToken::Slash, QString(c)});
        } else if (c == u'@') {
            s.tokens.append(FormatToken{FormatToken::At, {}});
            s.isText = true;
        } else if (lower == u'e' && i + 1 < n && (code[i + 1] == u'+' || code[i + 1] == u'-')) {
            s.tokens.append(FormatToken{FormatToken::Exponent, code.mid(i + 1, 1)});
            ++i;
        } else if (code.mid(i, 5).compare(QLatin1String("AM/PM"), Qt::CaseInsensitive) == 0) {
            s.tokens.append(FormatToken{FormatToken::AmPm, code.mid(i, 5)});
            i += 4;
            s.isDate = true;
        } else if (code.mid(i, 3).compare(QLatin1String("A/P"), Qt::CaseInsensitive) == 0) {
            s.tokens.append(FormatToken{FormatToken::AmPm, code.mid(i, 3)});
            i += 2;
            s.isDate = true;
        } else if (isDateLetter(c)) {
            int j = i;
            while (j < n && code[j].toLower() == lower)
                ++j;
            const int count = j - i;
            FormatToken::Kind kind = FormatToken::Literal;
            switch (lower.unicode()) {
            case 'y': kind = FormatToken::Year; break;
            case 'm': kind = FormatToken::Month; break;
            case 'd': kind = FormatToken::Day; break;
            case 'h': kind = FormatToken::Hour; break;
            case 's': kind = FormatToken::Second; break;
            case 'g': kind = FormatToken::Era; break;
            case 'e': kind = FormatToken::EraYear; break;
            case 'b': kind = FormatToken::Year; break;
            case 'a': kind = count >= 3 ? FormatToken::Weekday : FormatToken::Literal; break;
            }
            if (kind == FormatToken::Literal) {
                addLiteral(s, code.mid(i, count));
            } else {
                s.tokens.append(FormatToken{kind, {}, count});
                s.isDate = true;
            }
            i = j - 1;
        } else {
            addLiteral(s, QString(c));
        }
    }
    if (!s.isDate) {
        s.plain = plainLayout(s);
        return s;
    }
    // In dates, "m" next to hours or seconds means minutes, and ".00" after
    // seconds means fractions of a second.
    for (int i = 0; i < s.tokens.size(); ++i) {
        FormatToken& t = s.tokens[i];
        if (t.kind == FormatToken::Point) {
            int zeros = 0;
            while (i + 1 + zeros < s.tokens.size() && s.tokens[i + 1 + zeros].kind == FormatToken::Zero)
                ++zeros;
            if (zeros > 0) {
                t = {FormatToken::SubSecond, {}, zeros};
                s.tokens.remove(i + 1, zeros);
            } else {
                t = {FormatToken::Literal, QStringLiteral(".")};
            }
            continue;
        }
        if (t.kind == FormatToken::Zero || t.kind == FormatToken::Hash || t.kind == FormatToken::Comma
            || t.kind == FormatToken::Slash || t.kind == FormatToken::Question
            || t.kind == FormatToken::Percent) {
            t = {FormatToken::Literal, t.text}; // number signs in a date are plain text
            continue;
        }
        if (t.kind != FormatToken::Month || t.count > 2)
            continue;
        bool minute = false;
        for (int j = i - 1; j >= 0; --j) {
            FormatToken::Kind k = s.tokens[j].kind;
            if (k == FormatToken::Literal)
                continue;
            minute = k == FormatToken::Hour || (k == FormatToken::Elapsed && s.tokens[j].text == u"h");
            break;
        }
        for (int j = i + 1; !minute && j < s.tokens.size(); ++j) {
            FormatToken::Kind k = s.tokens[j].kind;
            if (k == FormatToken::Literal)
                continue;
            minute = k == FormatToken::Second || (k == FormatToken::Elapsed && s.tokens[j].text == u"s");
            break;
        }
        if (minute)
            t.kind = FormatToken::Minute;
    }
    return s;
}

QStringList splitSections(const QString& code)
{
    QStringList parts;
    QString current;
    bool quoted = false, bracket = false;
    for (int i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (!quoted && !bracket && (c == u'\\' || c == u'_' || c == u'*') && i + 1 < code.size()) {
            current += c;
            current += code[++i];
            continue;
        }
        if (c == u'"' && !bracket)
            quoted = !quoted;
        else if (c == u'[' && !quoted)
            bracket = true;
        else if (c == u']' && !quoted)
            bracket = false;
        else if (c == u';' && !quoted && !bracket) {
            parts << current;
            current.clear();
            continue;
        }
        current += c;
    }
    parts << current;
    return parts;
}

} // namespace

bool FormatSection::matches(double v) const
{
    if (!hasCondition)
        return true;
    if (op == u"<") return v < operand;
    if (op == u"<=") return v <= operand;
    if (op == u">") return v > operand;
    if (op == u">=") return v >= operand;
    if (op == u"<>") return v != operand;
    return v == operand;
}

const FormatCode& parsedFormat(const QString& code)
{
    // Bounded by the number of codes and by their length: a code takes
    // memory in proportion to its length (about 70 bytes a character), and
    // a workbook can hold thousands of long ones.
    constexpr qsizetype kCodes = 4096, kCharacters = 256 * 1024;
    thread_local QHash<QString, FormatCode> cache;
    thread_local qsizetype characters = 0;
    auto it = cache.find(code);
    if (it != cache.end())
        return *it;
    if (cache.size() >= kCodes || characters + code.size() > kCharacters) {
        cache.clear();
        characters = 0;
    }
    characters += code.size();
    FormatCode parsed;
    for (const QString& part : splitSections(code).mid(0, 4)) {
        parsed.sections << parseSection(part);
        parsed.anyCondition |= parsed.sections.last().hasCondition;
    }
    return *cache.insert(code, parsed);
}

} // namespace tegaro::sheets
