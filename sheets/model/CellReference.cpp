#include "sheets/model/CellReference.h"

#include <QRegularExpression>

namespace tegaro::sheets {

namespace {

bool isAsciiLetter(QChar c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }
bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Digits of a 1-based row; -1 when not a row number of the grid.
int rowIndex(QStringView digits)
{
    if (digits.isEmpty() || digits.size() > 7)
        return -1;
    int row = 0;
    for (QChar c : digits) {
        if (!isDigit(c))
            return -1;
        row = row * 10 + (c.unicode() - u'0');
    }
    return row >= 1 && row <= kGridRows ? row - 1 : -1;
}

// One end of a range: a cell, a column ("$C") or a row ("12").
struct End {
    int row = -1, col = -1;
};

std::optional<End> parseEnd(QStringView t)
{
    if (auto cell = parseCell(t))
        return End{cell->row, cell->col};
    const QStringView bare = t.startsWith(u'$') ? t.mid(1) : t;
    if (bare.isEmpty())
        return std::nullopt;
    if (isDigit(bare[0])) {
        const int row = rowIndex(bare);
        return row < 0 ? std::nullopt : std::optional<End>(End{row, -1});
    }
    const int col = columnIndex(bare);
    return col < 0 ? std::nullopt : std::optional<End>(End{-1, col});
}

// "A1", "A1:C4", "A:C" or "1:3" as a range of the grid.
std::optional<Range> parseRange(QStringView first, QStringView last)
{
    const auto a = parseEnd(first);
    const auto b = last.isNull() ? a : parseEnd(last);
    if (!a || !b)
        return std::nullopt;
    const bool wholeColumns = a->row < 0 && b->row < 0 && a->col >= 0 && b->col >= 0;
    const bool wholeRows = a->col < 0 && b->col < 0 && a->row >= 0 && b->row >= 0;
    const bool cells = a->row >= 0 && a->col >= 0 && b->row >= 0 && b->col >= 0;
    if (!wholeColumns && !wholeRows && !cells)
        return std::nullopt;
    if (last.isNull() && !cells)
        return std::nullopt; // a lone "A" or "3" is no reference
    Range r;
    r.firstRow = wholeColumns ? 0 : std::min(a->row, b->row);
    r.lastRow = wholeColumns ? kGridRows - 1 : std::max(a->row, b->row);
    r.firstCol = wholeRows ? 0 : std::min(a->col, b->col);
    r.lastCol = wholeRows ? kGridColumns - 1 : std::max(a->col, b->col);
    return r;
}

// A quoted name at the start of `t`: its text and the length it took.
std::optional<std::pair<QString, qsizetype>> quotedName(QStringView t)
{
    QString name;
    for (qsizetype i = 1; i < t.size(); ++i) {
        if (t[i] != u'\'') {
            name += t[i];
        } else if (i + 1 < t.size() && t[i + 1] == u'\'') {
            name += u'\'';
            ++i;
        } else {
            return std::make_pair(name, i + 1);
        }
    }
    return std::nullopt;
}

// Splits at `sep` outside quoted names.
QList<QStringView> splitOutsideQuotes(QStringView text, QChar sep)
{
    QList<QStringView> parts;
    bool quoted = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\'')
            quoted = !quoted;
        else if (text[i] == sep && !quoted) {
            parts << text.mid(start, i - start);
            start = i + 1;
        }
    }
    parts << text.mid(start);
    return parts;
}

std::optional<Area> parseExcelArea(QStringView t)
{
    Area area;
    if (t.startsWith(u'\'')) {
        const auto name = quotedName(t);
        if (!name || name->second >= t.size() || t[name->second] != u'!')
            return std::nullopt;
        area.sheet = name->first;
        t = t.mid(name->second + 1);
    } else if (const qsizetype bang = t.lastIndexOf(u'!'); bang >= 0) {
        area.sheet = t.left(bang).toString();
        t = t.mid(bang + 1);
    }
    const qsizetype colon = t.indexOf(u':');
    const auto range = colon < 0 ? parseRange(t, QStringView()) : parseRange(t.left(colon), t.mid(colon + 1));
    if (!range)
        return std::nullopt;
    area.range = *range;
    return area;
}

// One end of an OpenDocument address: "[$]sheet." before the cell, or "." alone.
std::optional<std::pair<QString, QStringView>> odfEnd(QStringView t)
{
    if (t.startsWith(u'$'))
        t = t.mid(1);
    QString sheet;
    if (t.startsWith(u'\'')) {
        const auto name = quotedName(t);
        if (!name || name->second >= t.size() || t[name->second] != u'.')
            return std::nullopt;
        return std::make_pair(name->first, t.mid(name->second + 1));
    }
    const qsizetype dot = t.lastIndexOf(u'.');
    if (dot < 0)
        return std::make_pair(QString(), t);
    return std::make_pair(t.left(dot).toString(), t.mid(dot + 1));
}

} // namespace

int columnIndex(QStringView letters)
{
    if (letters.isEmpty() || letters.size() > 3)
        return -1;
    int col = 0;
    for (QChar c : letters) {
        if (!isAsciiLetter(c))
            return -1;
        col = col * 26 + (c.toUpper().unicode() - u'A' + 1);
    }
    return col <= kGridColumns ? col - 1 : -1;
}

QString columnLetters(int col)
{
    QString letters;
    for (int c = col + 1; c > 0; c = (c - 1) / 26)
        letters.prepend(QChar(u'A' + (c - 1) % 26));
    return letters;
}

std::optional<CellRef> parseCell(QStringView t)
{
    CellRef ref;
    qsizetype i = 0;
    if (i < t.size() && t[i] == u'$') {
        ref.colAbsolute = true;
        ++i;
    }
    const qsizetype lettersAt = i;
    while (i < t.size() && isAsciiLetter(t[i]))
        ++i;
    ref.col = columnIndex(t.mid(lettersAt, i - lettersAt));
    if (i < t.size() && t[i] == u'$') {
        ref.rowAbsolute = true;
        ++i;
    }
    ref.row = rowIndex(t.mid(i));
    if (ref.col < 0 || ref.row < 0)
        return std::nullopt;
    return ref;
}

QString cellText(const CellRef& ref)
{
    return (ref.colAbsolute ? QStringLiteral("$") : QString()) + columnLetters(ref.col)
        + (ref.rowAbsolute ? QStringLiteral("$") : QString()) + QString::number(ref.row + 1);
}

std::optional<QList<Area>> parseAreas(QStringView text)
{
    QList<Area> areas;
    for (QStringView part : splitOutsideQuotes(text.trimmed(), u',')) {
        const auto area = parseExcelArea(part.trimmed());
        if (!area)
            return std::nullopt;
        areas << *area;
    }
    return areas;
}

std::optional<QList<Area>> parseOdfAreas(QStringView text)
{
    QList<Area> areas;
    for (QStringView part : splitOutsideQuotes(text.trimmed(), u' ')) {
        if (part.isEmpty())
            continue;
        QList<QStringView> ends = splitOutsideQuotes(part, u':');
        if (ends.size() > 2)
            return std::nullopt;
        const auto first = odfEnd(ends[0]);
        const auto last = ends.size() == 2 ? odfEnd(ends[1]) : first;
        if (!first || !last)
            return std::nullopt;
        const auto range = parseRange(first->second, ends.size() == 2 ? last->second : QStringView());
        if (!range)
            return std::nullopt;
        areas << Area{first->first, *range};
    }
    if (areas.isEmpty())
        return std::nullopt;
    return areas;
}

QString quotedSheetName(const QString& name)
{
    // names that read as R1C1 references need quotes too
    static const QRegularExpression r1c1(QStringLiteral("^(?:[Rr][0-9]*)?(?:[Cc][0-9]*)?$"));
    bool plain = !name.isEmpty() && !isDigit(name[0]) && !parseCell(name) && !r1c1.match(name).hasMatch();
    for (QChar c : name)
        plain = plain && (c.isLetterOrNumber() || c == u'_' || c == u'.');
    if (plain)
        return name;
    return u'\'' + QString(name).replace(u'\'', QStringLiteral("''")) + u'\'';
}

QString quotedSheetRange(const QString& first, const QString& last)
{
    if (last.isEmpty() || last == first)
        return quotedSheetName(first);
    const QString pair = first + u':' + last;
    if (quotedSheetName(first) == first && quotedSheetName(last) == last)
        return pair;
    return u'\'' + QString(pair).replace(u'\'', QStringLiteral("''")) + u'\'';
}

} // namespace tegaro::sheets
