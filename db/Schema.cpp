#include "db/Schema.h"

#include "core/Errors.h"
#include "db/Connection.h"

#include <QFile>
#include <QRegularExpression>
#include <QSqlError>

static void initSchemaResource() { Q_INIT_RESOURCE(schema); }

namespace tegaro {

QString schemaScript(SqlDialect dialect)
{
    initSchemaResource();
    QFile file(dialect == SqlDialect::SqlServer ? QStringLiteral(":/db/schema/sqlserver.sql")
                                                : QStringLiteral(":/db/schema/sqlite.sql"));
    if (!file.open(QIODevice::ReadOnly))
        throw EInOutError(QStringLiteral("スキーマのスクリプトが見つかりません"));
    return QString::fromUtf8(file.readAll());
}

QStringList splitSqlScript(const QString& script, SqlDialect dialect)
{
    QStringList statements;
    QString current;
    bool inTrigger = false;
    static const QRegularExpression triggerStart(QStringLiteral(R"(^\s*CREATE\s+TRIGGER\b)"),
                                                 QRegularExpression::CaseInsensitiveOption);
    auto flush = [&] {
        if (!current.trimmed().isEmpty())
            statements << current.trimmed();
        current.clear();
    };
    for (const QString& raw : script.split(u'\n')) {
        QString line = raw;
        if (line.endsWith(u'\r'))
            line.chop(1);
        QString trimmed = line.trimmed();
        if (trimmed.startsWith(QStringLiteral("--")) || (trimmed.isEmpty() && current.isEmpty()))
            continue;
        if (dialect == SqlDialect::SqlServer) {
            if (trimmed.compare(u"GO", Qt::CaseInsensitive) == 0)
                flush();
            else
                current += line + u'\n';
            continue;
        }
        if (current.isEmpty() && triggerStart.match(line).hasMatch())
            inTrigger = true;
        current += line + u'\n';
        if (inTrigger ? trimmed.compare(u"END;", Qt::CaseInsensitive) == 0 : trimmed.endsWith(u';')) {
            inTrigger = false;
            flush();
        }
    }
    flush();
    return statements;
}

void createSchema(Connection& connection)
{
    connection.open();
    QSqlDatabase db = connection.database();
    const QStringList statements = splitSqlScript(schemaScript(connection.dialect()), connection.dialect());
    bool sqlite = connection.dialect() == SqlDialect::SQLite;
    if (sqlite)
        db.transaction();
    try {
        for (const QString& statement : statements)
            connection.exec(statement);
    } catch (...) {
        if (sqlite)
            db.rollback();
        throw;
    }
    if (sqlite && !db.commit())
        throw EDatabaseError(connection.scrub(db.lastError().text()));
}

} // namespace tegaro
