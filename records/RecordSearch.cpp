#include "records/RecordSearch.h"

#include "db/RecordSet.h"

namespace tegaro {

namespace {
constexpr int kEnter = 13;
const QString kSelectAll = QStringLiteral("SELECT * FROM 基本データ ");
} // namespace

QString quotedPrefixPattern(const QString& input)
{
    QString pattern = input + u'%';
    pattern.replace(u'\'', QStringLiteral("''"));
    return u'\'' + pattern + u'\'';
}

QStringList prefixSearchLines(PrefixSearch kind, const QString& input)
{
    QString where;
    switch (kind) {
    case PrefixSearch::OwnerName: where = QStringLiteral("where 所有者氏名 Like "); break;
    case PrefixSearch::District: where = QStringLiteral("where 所在区 Like "); break;
    case PrefixSearch::Memo: where = QStringLiteral("where 備考 Like "); break;
    }
    return {kSelectAll, where, quotedPrefixPattern(input), QStringLiteral(";")};
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

void RecordSearch::runPrefix(PrefixSearch kind, const QString& input)
{
    ADOQuery1.close();
    ADOQuery1.clearSql();
    for (const QString& line : prefixSearchLines(kind, input))
        ADOQuery1.addSql(line);
    ADOQuery1.open();
}

void RecordSearch::Edit1KeyDown(int key, const QString& text)
{
    if (key == kEnter)
        runPrefix(PrefixSearch::OwnerName, text);
}

void RecordSearch::Edit2KeyDown(int key, const QString& text)
{
    if (key == kEnter)
        runPrefix(PrefixSearch::Memo, text);
}

void RecordSearch::DBLookupComboPlus1Change(const QString& text)
{
    runPrefix(PrefixSearch::District, text);
}

void RecordSearch::DBLookupComboPlus1DblClick()
{
    ADOQuery1.close();
    ADOQuery1.clearSql();
    for (const QString& line : allRecordsLines())
        ADOQuery1.addSql(line);
    ADOQuery1.open();
    ADOQuery1.first();
}

void RecordSearch::DateTimePicker2Click(const QDateTime& start, const QDateTime& end)
{
    // The bounds go to the database as date-times cut to whole seconds, never
    // through text in the user's date format.
    const QDateTime from = wholeSeconds(start);
    const QDateTime to = wholeSeconds(end);
    ADOQuery1.close();
    ADOQuery1.clearSql();
    for (const QString& line : dateRangeLines())
        ADOQuery1.addSql(line);
    ADOQuery1.setParameter(QStringLiteral("Date_s"), from);
    ADOQuery1.setParameter(QStringLiteral("Date_e"), to);
    ADOQuery1.open();
}

} // namespace tegaro
