#include "sheets/formula/FormulaText.h"

#include "sheets/model/CellReference.h"

namespace tegaro::sheets {

namespace {

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'.' || c == u'$' || c == u'\\';
}

// Copies a quoted part ("text" or 'sheet name', the quote doubled inside)
// from `i`, which holds the opening quote; returns the index after it.
qsizetype copyQuoted(const QString& t, qsizetype i, QString& out)
{
    const QChar quote = t[i];
    out += t[i++];
    while (i < t.size()) {
        out += t[i];
        if (t[i++] == quote) {
            if (i < t.size() && t[i] == quote)
                out += t[i++];
            else
                break;
        }
    }
    return i;
}

// Copies an error value such as #DIV/0! from `i`; returns the index after it.
qsizetype copyError(const QString& t, qsizetype i, QString& out)
{
    qsizetype end = i + 1;
    while (end < t.size() && (t[end].isLetterOrNumber() || t[end] == u'/' || t[end] == u'!' || t[end] == u'?'))
        ++end;
    out += QStringView(t).mid(i, end - i);
    return end;
}

qsizetype nameEnd(const QString& t, qsizetype i)
{
    while (i < t.size() && isNameChar(t[i]))
        ++i;
    return i;
}

// A whole column ("$C") or row ("12") as one end of a range.
struct LineRef {
    bool row = false;
    bool absolute = false;
    int index = 0;
};

std::optional<LineRef> parseLine(QStringView t)
{
    LineRef line;
    if (t.startsWith(u'$')) {
        line.absolute = true;
        t = t.mid(1);
    }
    if (t.isEmpty())
        return std::nullopt;
    if (t[0].isDigit()) {
        bool ok = false;
        line.index = t.toInt(&ok) - 1;
        line.row = true;
        if (!ok || line.index < 0 || line.index >= kGridRows)
            return std::nullopt;
        return line;
    }
    line.index = columnIndex(t);
    return line.index < 0 ? std::nullopt : std::optional<LineRef>(line);
}

QString shiftedLine(LineRef line, int rows, int cols)
{
    if (!line.absolute)
        line.index += line.row ? rows : cols;
    if (line.index < 0 || line.index >= (line.row ? kGridRows : kGridColumns))
        return QStringLiteral("#REF!");
    return (line.absolute ? QStringLiteral("$") : QString())
        + (line.row ? QString::number(line.index + 1) : columnLetters(line.index));
}

QString shiftedCell(CellRef ref, int rows, int cols)
{
    if (!ref.rowAbsolute)
        ref.row += rows;
    if (!ref.colAbsolute)
        ref.col += cols;
    if (ref.row < 0 || ref.row >= kGridRows || ref.col < 0 || ref.col >= kGridColumns)
        return QStringLiteral("#REF!");
    return cellText(ref);
}

// OpenDocument writes functions of other programs with a prefix, and keeps
// a few old Excel functions under a name of their own.
QString excelFunctionName(QString name)
{
    name = name.toUpper();
    for (const QLatin1String prefix : {QLatin1String("COM.MICROSOFT."), QLatin1String("LEGACY.")})
        if (name.startsWith(prefix))
            return name.mid(prefix.size());
    return name;
}

// The inside of "[...]": ".A1", "$Sheet2.A1:.B3", "$'My sheet'.A:.A".
QString excelReference(const QString& inside)
{
    QList<QString> sheets, ends;
    qsizetype start = 0;
    bool quoted = false;
    for (qsizetype i = 0; i <= inside.size(); ++i) {
        if (i < inside.size() && inside[i] == u'\'') {
            quoted = !quoted;
            continue;
        }
        if (i < inside.size() && (inside[i] != u':' || quoted))
            continue;
        QString end = inside.mid(start, i - start);
        start = i + 1;
        if (end.startsWith(u'$'))
            end.remove(0, 1);
        QString sheet;
        if (end.startsWith(u'\'')) {
            QString name;
            qsizetype j = 1;
            for (; j < end.size(); ++j) {
                if (end[j] == u'\'' && j + 1 < end.size() && end[j + 1] == u'\'')
                    name += end[++j];
                else if (end[j] == u'\'')
                    break;
                else
                    name += end[j];
            }
            sheet = name;
            end = end.mid(j + 1);
        } else if (const qsizetype dot = end.lastIndexOf(u'.'); dot >= 0) {
            sheet = end.left(dot);
            end = end.mid(dot);
        }
        if (!end.startsWith(u'.') || end.contains(u'#'))
            return QStringLiteral("#REF!");
        sheets << sheet;
        ends << end.mid(1);
    }
    if (ends.isEmpty() || ends.size() > 2)
        return QStringLiteral("#REF!");
    QString prefix;
    if (!sheets[0].isEmpty()) {
        const QString last = ends.size() == 2 ? sheets[1] : QString();
        prefix = quotedSheetRange(sheets[0], last) + u'!';
        // a range across sheets, Sheet2:Sheet3!A1: one cell on each of them
        if (!last.isEmpty() && last != sheets[0] && ends[0] == ends[1])
            ends.removeLast();
    }
    return prefix + ends.join(u':');
}

} // namespace

QString shiftFormula(const QString& t, int rows, int cols)
{
    QString out;
    out.reserve(t.size());
    qsizetype i = 0;
    while (i < t.size()) {
        const QChar c = t[i];
        if (c == u'"' || c == u'\'') {
            i = copyQuoted(t, i, out);
        } else if (c == u'[') { // structured and external references stay as they are
            const qsizetype close = t.indexOf(u']', i);
            const qsizetype end = close < 0 ? t.size() : close + 1;
            out += QStringView(t).mid(i, end - i);
            i = end;
        } else if (c == u'#') {
            i = copyError(t, i, out);
        } else if (isNameChar(c)) {
            const qsizetype end = nameEnd(t, i);
            const QStringView name = QStringView(t).mid(i, end - i);
            const QChar next = end < t.size() ? t[end] : QChar();
            if (next == u'(' || next == u'!') {
                out += name; // a function or a sheet name
                i = end;
                continue;
            }
            if (const auto cell = parseCell(name)) {
                out += shiftedCell(*cell, rows, cols);
                i = end;
                continue;
            }
            // whole columns or rows: "A:C", "$1:$3"
            if (next == u':') {
                const qsizetype end2 = nameEnd(t, end + 1);
                const auto a = parseLine(name);
                const auto b = parseLine(QStringView(t).mid(end + 1, end2 - end - 1));
                if (a && b && a->row == b->row) {
                    out += shiftedLine(*a, rows, cols) + u':' + shiftedLine(*b, rows, cols);
                    i = end2;
                    continue;
                }
            }
            out += name;
            i = end;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

QString odfToExcelFormula(const QString& t)
{
    QString out;
    out.reserve(t.size());
    qsizetype i = 0;
    while (i < t.size()) {
        const QChar c = t[i];
        if (c == u'"') {
            i = copyQuoted(t, i, out);
        } else if (c == u'[') {
            // the reference runs to the first "]" outside a quoted sheet name
            qsizetype end = i + 1;
            bool quoted = false;
            while (end < t.size() && (t[end] != u']' || quoted)) {
                if (t[end] == u'\'')
                    quoted = !quoted;
                ++end;
            }
            out += excelReference(t.mid(i + 1, end - i - 1));
            i = std::min(end + 1, t.size());
        } else if (c == u'#') {
            i = copyError(t, i, out);
        } else if (c.isLetter() || c == u'_') {
            const qsizetype end = nameEnd(t, i);
            const QString name = t.mid(i, end - i);
            out += end < t.size() && t[end] == u'(' ? excelFunctionName(name) : name;
            i = end;
        } else {
            // separators and the operators written differently
            switch (c.unicode()) {
            case u';': out += u','; break; // between arguments, or columns of an array
            case u'|': out += u';'; break; // between rows of an array
            case u'~': out += u','; break; // union
            case u'!': out += u' '; break; // intersection
            default: out += c; break;
            }
            ++i;
        }
    }
    return out;
}

} // namespace tegaro::sheets
