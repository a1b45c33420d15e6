#pragma once
// Small pieces of SQL text that differ between the two databases, and the
// named parameters of a query text.
#include "db/DatabaseTarget.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

class QSqlField;

namespace tegaro {

enum class ColumnKind {
    Text,
    Integer,
    Real,
    DateTime,
    Blob,
    Version
};

struct ColumnInfo {
    QString name;
    ColumnKind kind = ColumnKind::Text;
    bool key = false;
};

// The kind of a result column from the type its values come as.
ColumnKind kindOfField(const QSqlField& field);

QString quoteIdent(SqlDialect dialect, const QString& name);
// Stored size of a binary column in bytes, NULL for NULL.
QString sizeExpr(SqlDialect dialect, const QString& column);

// A value as the database wants it bound. SQLite keeps date-times as text
// "yyyy-MM-dd HH:mm:ss", so comparisons and stored values agree.
QVariant toDbValue(SqlDialect dialect, const QVariant& value);
QDateTime parseDbDateTime(const QVariant& value);

struct BoundSql {
    QString text;        // ":name" replaced by "?"
    QVariantList values; // in order of appearance
};
// Named parameters (":Date_s") outside quotes become positional ones.
// Throws EDatabaseError for a name that was not set. String literals become
// N'...' for SQL Server, so Japanese text keeps its characters.
BoundSql bindNamed(SqlDialect dialect, const QString& sql, const QHash<QString, QVariant>& params);

// "select * from TABLE rest": the table name and the rest, or false.
bool splitSelectAll(const QString& sql, QString& table, QString& rest);

// Whether the text orders its rows itself: an ORDER BY outside quotes,
// brackets and parentheses.
bool hasOrderBy(const QString& sql);

} // namespace tegaro
