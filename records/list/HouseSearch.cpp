#include "records/list/HouseSearch.h"

#include "db/RecordSet.h"

namespace tegaro {

namespace {
const QString kSelectAll = QStringLiteral("SELECT * FROM 基本データ ");
const QString kDateStart = QStringLiteral("Date_s");
const QString kDateEnd = QStringLiteral("Date_e");

QString whereLine(PrefixSearch kind)
{
    switch (kind) {
    case PrefixSearch::OwnerName: return QStringLiteral("where 所有者氏名 Like ");
    case PrefixSearch::District: return QStringLiteral("where 所在区 Like ");
    case PrefixSearch::Memo: return QStringLiteral("where 備考 Like ");
    }
    return {};
}

// The typed text back from a quoted pattern; empty when it is none.
bool unquotePattern(const QString& quoted, QString& input)
{
    if (quoted.size() < 3 || !quoted.startsWith(u'\'') || !quoted.endsWith(QStringLiteral("%'")))
        return false;
    input = quoted.mid(1, quoted.size() - 3);
    input.replace(QStringLiteral("''"), QStringLiteral("'"));
    return true;
}
} // namespace

QString quotedPrefixPattern(const QString& input)
{
    QString pattern = input + u'%';
    pattern.replace(u'\'', QStringLiteral("''"));
    return u'\'' + pattern + u'\'';
}

QStringList prefixSearchLines(PrefixSearch kind, const QString& input)
{
    return {kSelectAll, whereLine(kind), quotedPrefixPattern(input), QStringLiteral(";")};
}

QStringList dateRangeLines()
{
    return {kSelectAll, QStringLiteral("Where "), QStringLiteral("日付 >= :Date_s"), QStringLiteral(" and "),
            QStringLiteral("日付 <= :Date_e"), QStringLiteral(";")};
}

QStringList allRecordsLines()
{
    return {QStringLiteral("SELECT * FROM 基本データ")};
}

QDateTime wholeSeconds(const QDateTime& value)
{
    QDateTime cut = value;
    const QTime t = value.time();
    cut.setTime(QTime(t.hour(), t.minute(), t.second()));
    return cut;
}

HouseSearch HouseSearch::prefix(PrefixSearch which, const QString& text)
{
    HouseSearch s;
    switch (which) {
    case PrefixSearch::OwnerName: s.kind = OwnerName; break;
    case PrefixSearch::District: s.kind = District; break;
    case PrefixSearch::Memo: s.kind = Memo; break;
    }
    s.text = text;
    return s;
}

HouseSearch HouseSearch::dates(const QDateTime& from, const QDateTime& to)
{
    HouseSearch s;
    s.kind = DateRange;
    s.from = from;
    s.to = to;
    return s;
}

void applySearch(RecordSet& query, const HouseSearch& search)
{
    query.close();
    query.clearSql();
    QStringList lines;
    switch (search.kind) {
    case HouseSearch::All: lines = allRecordsLines(); break;
    case HouseSearch::OwnerName: lines = prefixSearchLines(PrefixSearch::OwnerName, search.text); break;
    case HouseSearch::District: lines = prefixSearchLines(PrefixSearch::District, search.text); break;
    case HouseSearch::Memo: lines = prefixSearchLines(PrefixSearch::Memo, search.text); break;
    case HouseSearch::DateRange:
        lines = dateRangeLines();
        // The bounds go to the database as date-times cut to whole seconds,
        // never through text in the user's date format.
        query.setParameter(kDateStart, wholeSeconds(search.from));
        query.setParameter(kDateEnd, wholeSeconds(search.to));
        break;
    }
    for (const QString& line : lines)
        query.addSql(line);
}

HouseSearch searchOf(const RecordSet& query)
{
    const QStringList sql = query.sql();
    if (sql == dateRangeLines())
        return HouseSearch::dates(query.parameter(kDateStart).toDateTime(), query.parameter(kDateEnd).toDateTime());
    QString input;
    if (sql.size() == 4 && sql[0] == kSelectAll && sql[3] == u";" && unquotePattern(sql[2], input)) {
        for (PrefixSearch kind : {PrefixSearch::OwnerName, PrefixSearch::District, PrefixSearch::Memo})
            if (sql[1] == whereLine(kind))
                return HouseSearch::prefix(kind, input);
    }
    return {};
}

QString searchTitle(const HouseSearch& search)
{
    const auto quoted = [](const QString& text) { return QStringLiteral("「%1」").arg(text); };
    const auto day = [](const QDateTime& t) { return t.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")); };
    switch (search.kind) {
    case HouseSearch::All: return QStringLiteral("全件");
    case HouseSearch::OwnerName: return QStringLiteral("氏名検索") + quoted(search.text);
    case HouseSearch::District: return QStringLiteral("行政区検索") + quoted(search.text);
    case HouseSearch::Memo: return QStringLiteral("備考検索") + quoted(search.text);
    case HouseSearch::DateRange:
        return QStringLiteral("日付検索 %1 ～ %2").arg(day(search.from), day(search.to));
    }
    return {};
}

} // namespace tegaro
