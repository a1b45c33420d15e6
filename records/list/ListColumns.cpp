#include "records/list/ListColumns.h"

#include "db/SqlText.h"


#include <cmath>

namespace tegaro {

const QList<ListColumn>& houseListColumns()
{
    static const QList<ListColumn> columns = {
        {QStringLiteral("所有者コード"), QStringLiteral("所有者コード"), ListKind::Text},
        {QStringLiteral("所有者氏名"), QStringLiteral("所有者氏名"), ListKind::Text},
        {QStringLiteral("所有者住所"), QStringLiteral("所有者住所"), ListKind::Text},
        {QStringLiteral("所在区"), QStringLiteral("所在区"), ListKind::Text},
        {QStringLiteral("所在地番"), QStringLiteral("所在地番"), ListKind::Text},
        {QStringLiteral("日付"), QStringLiteral("日付"), ListKind::Date},
        {QStringLiteral("種類"), QStringLiteral("種類"), ListKind::Text},
        {QStringLiteral("構造"), QStringLiteral("構造"), ListKind::Text},
        {QStringLiteral("建年"), QStringLiteral("建年"), ListKind::Text},
        {QStringLiteral("床面積"), QStringLiteral("床面積"), ListKind::Number},
        {QStringLiteral("評点数"), QStringLiteral("評点数"), ListKind::Number},
        {QStringLiteral("家屋番号"), QStringLiteral("家屋番号"), ListKind::Text},
        {QStringLiteral("登記面積"), QStringLiteral("登記面積"), ListKind::Number},
        {QStringLiteral("備考"), QStringLiteral("備考"), ListKind::Text},
        {QStringLiteral("excel"), QStringLiteral("明細"), ListKind::Mark},
        {QStringLiteral("zumen"), QStringLiteral("図面"), ListKind::Mark},
    };
    return columns;
}

int listColumnOf(const QString& field)
{
    const QList<ListColumn>& columns = houseListColumns();
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].field == field)
            return i;
    return -1;
}

namespace {
// Digits of text at [from, from + count), or -1.
int digits(QStringView text, qsizetype from, qsizetype count)
{
    int value = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

// A stored date-time as the wall-clock time it names. Kept as UTC so that
// sorting and writing never go through the time zone; the common stored
// text "yyyy-MM-dd HH:mm:ss" is read without the general parser, which is
// far too slow for a column of 300,000 rows.
QDateTime listDateTime(const QVariant& stored)
{
    if (stored.metaType().id() == QMetaType::QString) {
        const QString text = stored.toString();
        if ((text.size() == 19 || text.size() == 10) && text[4] == u'-' && text[7] == u'-') {
            const QDate day(digits(text, 0, 4), digits(text, 5, 2), digits(text, 8, 2));
            QTime time(0, 0);
            if (text.size() == 19 && text[10] == u' ' && text[13] == u':' && text[16] == u':')
                time = QTime(digits(text, 11, 2), digits(text, 14, 2), digits(text, 17, 2));
            if (day.isValid() && time.isValid())
                return QDateTime(day, time, Qt::UTC);
        }
    }
    const QDateTime dt = parseDbDateTime(stored);
    return dt.isValid() ? QDateTime(dt.date(), dt.time(), Qt::UTC) : QDateTime();
}
} // namespace

ListCell listCell(ListKind kind, const QVariant& stored)
{
    ListCell cell;
    if (stored.isNull())
        return cell;
    switch (kind) {
    case ListKind::Mark: {
        // A size when the bytes were left in the database, else the bytes.
        const qint64 size = stored.metaType().id() == QMetaType::QByteArray ? stored.toByteArray().size()
                                                                            : stored.toLongLong();
        if (size > 0)
            cell.type = ListCell::Mark;
        return cell;
    }
    case ListKind::Number: {
        bool ok = false;
        const double v = stored.toDouble(&ok);
        if (ok && std::isfinite(v)) {
            cell.type = ListCell::Number;
            cell.number = v;
            return cell;
        }
        break;
    }
    case ListKind::Date: {
        const QDateTime dt = listDateTime(stored);
        if (dt.isValid()) {
            cell.type = ListCell::Date;
            cell.date = dt;
            return cell;
        }
        break;
    }
    case ListKind::Text: break;
    }
    cell.text = stored.toString();
    cell.type = cell.text.isEmpty() ? ListCell::Empty : ListCell::Text;
    return cell;
}

QString plainNumberText(double value)
{
    return QString::number(value, 'g', 15);
}

namespace {
int decimalsOfText(double value)
{
    const QString text = plainNumberText(value);
    if (text.contains(u'e'))
        return -1;
    const qsizetype point = text.indexOf(u'.');
    return point < 0 ? 0 : int(text.size() - point - 1);
}
} // namespace

int decimalsOf(double value)
{
    // Most values have a few decimals: found without writing the text. The
    // form writes 15 significant digits, so what differs from a whole
    // number further down than that does not count.
    const double magnitude = std::fabs(value);
    if (magnitude >= 1e-4 && magnitude < 1e10) {
        double scaled = value;
        for (int d = 0; d <= 4; ++d, scaled *= 10) {
            if (std::fabs(scaled - std::round(scaled)) <= std::fabs(scaled) * 1e-14)
                return d;
        }
    }
    return decimalsOfText(value);
}

QString numberText(double value)
{
    QString text = plainNumberText(value);
    if (text.contains(u'e'))
        return text;
    const qsizetype start = text.startsWith(u'-') ? 1 : 0;
    qsizetype point = text.indexOf(u'.');
    if (point < 0)
        point = text.size();
    for (qsizetype i = point - 3; i > start; i -= 3)
        text.insert(i, u',');
    return text;
}

QString dateText(const QDateTime& value)
{
    return value.toString(QStringLiteral("yyyy'年'M'月'd'日'"));
}

QString markText()
{
    return QStringLiteral("○");
}

QString cellText(const ListCell& cell)
{
    switch (cell.type) {
    case ListCell::Empty: return {};
    case ListCell::Text: return cell.text;
    case ListCell::Number: return numberText(cell.number);
    case ListCell::Date: return dateText(cell.date);
    case ListCell::Mark: return markText();
    }
    return {};
}

} // namespace tegaro
