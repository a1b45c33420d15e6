#include "DbFixture.h"

#include "db/Schema.h"

#include <QFileInfo>
#include <QSqlQuery>

namespace dbtest {

QString backendName(Backend backend)
{
    switch (backend) {
    case Backend::Sqlite: return QStringLiteral("QSQLITE");
    case Backend::OdbcSqlite: return QStringLiteral("QODBC/SQLite");
    case Backend::SqlServer: return QStringLiteral("QODBC/SQL Server");
    }
    return {};
}

QString sqliteOdbcDriver()
{
    for (const char* path : {"/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so", "/usr/lib/aarch64-linux-gnu/odbc/libsqlite3odbc.so",
                             "/usr/lib/odbc/libsqlite3odbc.so"})
        if (QFileInfo::exists(QString::fromLatin1(path)))
            return QString::fromLatin1(path);
    return {};
}

QString createDatabase(const QTemporaryDir& dir, const QString& name)
{
    QString path = dir.filePath(name);
    tegaro::Connection c;
    c.setTarget(tegaro::sqliteFileTarget(path, true));
    tegaro::createSchema(c);
    return path;
}

tegaro::DatabaseTarget targetFor(Backend backend, const QString& path)
{
    tegaro::DatabaseTarget target;
    switch (backend) {
    case Backend::Sqlite: return tegaro::sqliteFileTarget(path);
    case Backend::OdbcSqlite:
        target.driver = QStringLiteral("QODBC");
        target.dialect = tegaro::SqlDialect::SQLite;
        target.databaseName = QStringLiteral("DRIVER=%1;Database=%2;").arg(sqliteOdbcDriver(), path);
        target.sqliteFile = path;
        return target;
    case Backend::SqlServer:
        target.driver = QStringLiteral("QODBC");
        target.dialect = tegaro::SqlDialect::SqlServer;
        target.databaseName = qEnvironmentVariable("TEGARO_TEST_MSSQL");
        target.options = QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=10");
        return target;
    }
    return target;
}

qlonglong addHouse(tegaro::Connection& c, const QString& owner, const QVariant& date, const QByteArray& zumen)
{
    QVariantList values{owner, tegaro::toDbValue(c.dialect(), date),
                        zumen.isNull() ? QVariant(QMetaType::fromType<QByteArray>()) : QVariant(zumen)};
    if (c.dialect() == tegaro::SqlDialect::SqlServer) {
        QSqlQuery q = c.exec(QStringLiteral("INSERT INTO 基本データ (所有者氏名, 日付, zumen) OUTPUT INSERTED.ID VALUES (?, ?, ?)"),
                             values);
        q.next();
        return q.value(0).toLongLong();
    }
    c.exec(QStringLiteral("INSERT INTO 基本データ (所有者氏名, 日付, zumen) VALUES (?, ?, ?)"), values);
    QSqlQuery q = c.exec(QStringLiteral("SELECT last_insert_rowid()"));
    q.next();
    return q.value(0).toLongLong();
}

} // namespace dbtest
