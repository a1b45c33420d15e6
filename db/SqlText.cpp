#include "db/SqlText.h"

#include "core/Errors.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSqlField>

namespace tegaro {

ColumnKind kindOfField(const QSqlField& field)
{
    switch (field.metaType().id()) {
    case QMetaType::QByteArray: return ColumnKind::Blob;
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::Bool: return ColumnKind::Integer;
    case QMetaType::Double:
    case QMetaType::Float: return ColumnKind::Real;
    case QMetaType::QDateTime:
    case QMetaType::QDate: return ColumnKind::DateTime;
    default: return ColumnKind::Text;
    }
}

QString quoteIdent(SqlDialect dialect, const QString& name)
{
    if (dialect == SqlDialect::SqlServer) {
        QString n = name;
        return u'[' + n.replace(u']', QStringLiteral("]]")) + u']';
    }
    QString n = name;
    return u'"' + n.replace(u'"', QStringLiteral("\"\"")) + u'"';
}

QString sizeExpr(SqlDialect dialect, const QString& column)
{
    QString q = quoteIdent(dialect, column);
    if (dialect == SqlDialect::SqlServer)
        return QStringLiteral("CAST(DATALENGTH(%1) AS bigint)").arg(q);
    // length() of a blob reads its size from the record header, not its pages.
    return QStringLiteral("length(%1)").arg(q);
}

QVariant toDbValue(SqlDialect dialect, const QVariant& value)
{
    if (dialect == SqlDialect::SQLite && value.metaType().id() == QMetaType::QDateTime) {
        QDateTime dt = value.toDateTime();
        if (!dt.isValid())
            return QVariant(QMetaType::fromType<QString>());
        return dt.time().msec() ? dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))
                                : dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    return value;
}

QDateTime parseDbDateTime(const QVariant& value)
{
    if (value.isNull())
        return {};
    if (value.metaType().id() == QMetaType::QDateTime)
        return value.toDateTime();
    if (value.metaType().id() == QMetaType::QDate)
        return value.toDate().startOfDay();
    QString s = value.toString().trimmed();
    for (const char* format : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd HH:mm:ss.zzz", "yyyy-MM-ddTHH:mm:ss",
                               "yyyy-MM-ddTHH:mm:ss.zzz", "yyyy-MM-dd HH:mm", "yyyy-MM-dd", "yyyy/MM/dd HH:mm:ss",
                               "yyyy/MM/dd"}) {
        QDateTime dt = QDateTime::fromString(s, QString::fromLatin1(format));
        if (dt.isValid())
            return dt;
    }
    return QDateTime::fromString(s, Qt::ISODateWithMs);
}

BoundSql bindNamed(SqlDialect dialect, const QString& sql, const QHash<QString, QVariant>& params)
{
    BoundSql out;
    out.text.reserve(sql.size());
    const qsizetype n = sql.size();
    qsizetype i = 0;
    auto isNameStart = [](QChar c) { return c.isLetter() || c == u'_'; };
    auto isNameChar = [](QChar c) { return c.isLetterOrNumber() || c == u'_'; };
    while (i < n) {
        QChar c = sql[i];
        if (c == u'\'' || c == u'"' || c == u'[') {
            QChar close = c == u'[' ? QChar(u']') : c;
            if (c == u'\'' && dialect == SqlDialect::SqlServer
                && !(i > 0 && (sql[i - 1] == u'N' || sql[i - 1] == u'n') && (i < 2 || !isNameChar(sql[i - 2]))))
                out.text += u'N';
            qsizetype j = i + 1;
            while (j < n) {
                if (sql[j] == close) {
                    if (j + 1 < n && sql[j + 1] == close) { // doubled: still inside
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            j = qMin(j + 1, n);
            out.text += QStringView(sql).mid(i, j - i);
            i = j;
            continue;
        }
        if (c == u':' && i + 1 < n && isNameStart(sql[i + 1]) && !(i > 0 && sql[i - 1] == u':')) {
            qsizetype j = i + 1;
            while (j < n && isNameChar(sql[j]))
                ++j;
            QString name = sql.mid(i + 1, j - i - 1);
            auto it = params.constFind(name);
            if (it == params.constEnd())
                throw EDatabaseError(QStringLiteral("パラメータ '%1' が設定されていません").arg(name));
            out.text += u'?';
            out.values << toDbValue(dialect, *it);
            i = j;
            continue;
        }
        out.text += c;
        ++i;
    }
    return out;
}

bool splitSelectAll(const QString& sql, QString& table, QString& rest)
{
    static const QRegularExpression re(
        QStringLiteral(R"(^\s*select\s+\*\s+from\s+(\[[^\]]+\]|"[^"]+"|[\w]+)(\s.*|;.*)?$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption
            | QRegularExpression::UseUnicodePropertiesOption);
    QRegularExpressionMatch m = re.match(sql);
    if (!m.hasMatch())
        return false;
    table = m.captured(1);
    if (table.startsWith(u'[') || table.startsWith(u'"'))
        table = table.mid(1, table.size() - 2);
    rest = m.captured(2);
    return true;
}

bool hasOrderBy(const QString& sql)
{
    const qsizetype n = sql.size();
    int depth = 0;
    bool afterOrder = false; // the last word was ORDER
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql[i];
        if (c == u'\'' || c == u'"' || c == u'[') {
            const QChar close = c == u'[' ? QChar(u']') : c;
            qsizetype j = i + 1;
            while (j < n && !(sql[j] == close && !(j + 1 < n && sql[j + 1] == close)))
                j += sql[j] == close ? 2 : 1;
            i = j + 1;
            afterOrder = false;
            continue;
        }
        if (c == u'(' || c == u')') {
            depth += c == u'(' ? 1 : -1;
            afterOrder = false;
            ++i;
            continue;
        }
        if (c.isLetterOrNumber() || c == u'_') {
            qsizetype j = i;
            while (j < n && (sql[j].isLetterOrNumber() || sql[j] == u'_'))
                ++j;
            const QStringView word = QStringView(sql).mid(i, j - i);
            if (depth == 0 && afterOrder && word.compare(u"by", Qt::CaseInsensitive) == 0)
                return true;
            afterOrder = depth == 0 && word.compare(u"order", Qt::CaseInsensitive) == 0;
            i = j;
            continue;
        }
        if (!c.isSpace())
            afterOrder = false;
        ++i;
    }
    return false;
}

} // namespace tegaro
