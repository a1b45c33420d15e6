#include "db/Schema.h"

#include "core/Errors.h"
#include "db/Connection.h"
#include "db/SqlText.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

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
    const bool transaction = db.transaction();
    try {
        for (const QString& statement : statements)
            connection.exec(statement);
    } catch (...) {
        if (transaction)
            db.rollback();
        throw;
    }
    if (transaction && !db.commit())
        throw EDatabaseError(connection.scrub(db.lastError().text()));
}

namespace {
struct SchemaKey {
    QString name;
    bool integer = false;
};

SchemaKey schemaKey(SqlDialect dialect, const QString& table)
{
    // Read from the script that makes the tables, so the two cannot differ.
    static const auto keysOf = [](SqlDialect d) {
        QHash<QString, SchemaKey> keys;
        static const QRegularExpression create(QStringLiteral(R"(^\s*CREATE\s+TABLE\s+\[?([^\]\s(]+)\]?\s*\()"),
                                               QRegularExpression::CaseInsensitiveOption);
        static const QRegularExpression column(QStringLiteral(R"(^\s*\[?([^\]\s]+)\]?\s+(\w+).*\bPRIMARY\s+KEY\b)"),
                                               QRegularExpression::CaseInsensitiveOption);
        for (const QString& statement : splitSqlScript(schemaScript(d), d)) {
            const QStringList lines = statement.split(u'\n');
            const QRegularExpressionMatch name = create.match(lines.value(0));
            if (!name.hasMatch())
                continue;
            for (const QString& line : lines.mid(1))
                if (const QRegularExpressionMatch key = column.match(line); key.hasMatch()) {
                    keys.insert(name.captured(1).toLower(),
                                {key.captured(1), key.captured(2).contains(QStringLiteral("int"), Qt::CaseInsensitive)});
                    break;
                }
        }
        return keys;
    };
    static const QHash<QString, SchemaKey> sqlite = keysOf(SqlDialect::SQLite);
    static const QHash<QString, SchemaKey> sqlServer = keysOf(SqlDialect::SqlServer);
    return (dialect == SqlDialect::SqlServer ? sqlServer : sqlite).value(table.toLower());
}
} // namespace

QString schemaKeyColumn(SqlDialect dialect, const QString& table) { return schemaKey(dialect, table).name; }

QString schemaIntegerKeyColumn(SqlDialect dialect, const QString& table)
{
    const SchemaKey key = schemaKey(dialect, table);
    return key.integer ? key.name : QString();
}

namespace {
const QStringList kSqlServerTables{QStringLiteral("基本データ"), QStringLiteral("行政区")};
}

QString sqlServerDatabaseScript(const QString& database)
{
    QString literal = database;
    literal.replace(u'\'', QStringLiteral("''"));
    const QString name = quoteIdent(SqlDialect::SqlServer, database);
    return QStringLiteral("IF DB_ID(N'%1') IS NULL\n    CREATE DATABASE %2;\nGO\nUSE %2;\nGO\n").arg(literal, name);
}

void useSqlServerDatabase(Connection& connection, const QString& database)
{
    for (const QString& batch : splitSqlScript(sqlServerDatabaseScript(database), SqlDialect::SqlServer))
        connection.exec(batch);
}

bool sqlServerHasTables(Connection& connection)
{
    QSqlQuery q = connection.exec(
        QStringLiteral("SELECT COUNT(*) FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME IN (?, ?)"), {kSqlServerTables[0], kSqlServerTables[1]});
    return q.next() && q.value(0).toInt() > 0;
}

void dropSqlServerTables(Connection& connection)
{
    for (const QString& table : kSqlServerTables)
        connection.exec(QStringLiteral("IF OBJECT_ID(N'%1') IS NOT NULL DROP TABLE %1")
                            .arg(quoteIdent(SqlDialect::SqlServer, table)));
}

} // namespace tegaro
