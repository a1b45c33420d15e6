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
    c.setSpec(tegaro::sqliteFileSpec(path, true));
    tegaro::createSchema(c);
    return path;
}

tegaro::DatabaseSpec specFor(Backend backend, const QString& path)
{
    tegaro::DatabaseSpec spec;
    switch (backend) {
    case Backend::Sqlite: return tegaro::sqliteFileSpec(path);
    case Backend::OdbcSqlite:
        spec.driver = QStringLiteral("QODBC");
        spec.dialect = tegaro::SqlDialect::SQLite;
        spec.databaseName = QStringLiteral("DRIVER=%1;Database=%2;").arg(sqliteOdbcDriver(), path);
        spec.sqliteFile = path;
        return spec;
    case Backend::SqlServer:
        spec.driver = QStringLiteral("QODBC");
        spec.dialect = tegaro::SqlDialect::SqlServer;
        spec.databaseName = qEnvironmentVariable("TEGARO_TEST_MSSQL");
        spec.options = QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=10");
        return spec;
    }
    return spec;
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
