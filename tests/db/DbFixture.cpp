#include "DbFixture.h"

#include "db/Schema.h"
#include "db/odbc/OdbcDriver.h"
#include "db/odbc/OdbcLogin.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QSqlQuery>

#include <stdexcept>

namespace dbtest {

QString backendName(Backend backend)
{
    switch (backend) {
    case Backend::Sqlite: return QStringLiteral("QSQLITE");
    case Backend::OdbcSqlite: return QStringLiteral("ODBC/SQLite");
    case Backend::SqlServer: return QStringLiteral("ODBC/SQL Server");
    }
    return {};
}

QString backendMissing(Backend backend)
{
    if (backend == Backend::OdbcSqlite && sqliteOdbcDriver().isEmpty())
        return QStringLiteral("the SQLite ODBC driver (libsqliteodbc) is not installed");
    if (backend == Backend::SqlServer && qEnvironmentVariableIsEmpty("TEGARO_TEST_MSSQL"))
        return QStringLiteral("TEGARO_TEST_MSSQL holds no SQL Server connection string");
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

void BackendCase::startBackend()
{
    qInfo("backend: %s", qPrintable(backendName(backend_)));
    if (!dir_.isValid())
        throw std::runtime_error("no temporary folder for the databases");
    if (backend_ == Backend::SqlServer)
        prepareServer();
}

void BackendCase::freshDatabase(const QString& stem, const QStringList& serverTables)
{
    if (backend_ != Backend::SqlServer)
        path_ = createDatabase(dir_, stem.arg(++databases_));
    if (!conn_)
        conn_ = connect();
    if (backend_ == Backend::SqlServer)
        for (const QString& table : serverTables)
            conn_->exec(QStringLiteral("DELETE FROM ") + table);
}

void BackendCase::endTest()
{
    if (backend_ != Backend::SqlServer)
        conn_.reset();
}

std::unique_ptr<tegaro::Connection> BackendCase::connect(int waitSeconds) const
{
    auto c = std::make_unique<tegaro::Connection>();
    tegaro::DatabaseTarget target = targetFor(backend_, path_);
    target.waitSeconds = waitSeconds;
    c->setTarget(target);
    c->open();
    return c;
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
        tegaro::odbc::registerDriver();
        target.driver = QString::fromLatin1(tegaro::odbc::kDriverName);
        target.dialect = tegaro::SqlDialect::SQLite;
        target.databaseName = QStringLiteral("DRIVER=%1;Database=%2;").arg(sqliteOdbcDriver(), path);
        target.sqliteFile = path;
        return target;
    case Backend::SqlServer: return tegaro::odbcStringTarget(qEnvironmentVariable("TEGARO_TEST_MSSQL"));
    }
    return target;
}

ServerLogin serverLogin()
{
    ServerLogin login;
    QString port;
    for (const tegaro::odbc::Attribute& a : tegaro::odbc::parseConnectString(qEnvironmentVariable("TEGARO_TEST_MSSQL"))) {
        const QString key = a.first.toUpper();
        if (key == u"SERVER")
            login.server = a.second;
        else if (key == u"PORT")
            port = a.second;
        else if (key == u"UID")
            login.user = a.second;
        else if (key == u"PWD")
            login.password = a.second;
    }
    if (!port.isEmpty())
        login.server += u',' + port;
    return login;
}

void prepareServer()
{
    static bool prepared = false;
    if (prepared)
        return;
    QString database;
    tegaro::Connection c;
    c.setTarget(tegaro::odbcStringTarget(qEnvironmentVariable("TEGARO_TEST_MSSQL"), &database));
    tegaro::useSqlServerDatabase(c, database.isEmpty() ? QStringLiteral("MUNEYA") : database);
    if (!tegaro::sqlServerHasTables(c))
        tegaro::createSchema(c);
    prepared = true;
}

tegaro::Connection& serverAdmin()
{
    // Goes with the application, before the database registry does.
    static QPointer<tegaro::Connection> admin;
    if (!admin) {
        admin = new tegaro::Connection(QCoreApplication::instance());
        admin->setTarget(targetFor(Backend::SqlServer, {}));
    }
    return *admin;
}

int serverSession(tegaro::Connection& c)
{
    QSqlQuery q = c.exec(QStringLiteral("SELECT @@SPID"));
    return q.next() ? q.value(0).toInt() : -1;
}

void endServerSession(int session)
{
    serverAdmin().exec(QStringLiteral("KILL %1").arg(session));
}

qlonglong addHouse(tegaro::Connection& c, const QString& owner, const QVariant& date, const QByteArray& zumen)
{
    // A missing date is a NULL of the date's type, as the program binds it.
    QVariant day = date.isValid() ? date : QVariant(QMetaType::fromType<QDateTime>());
    QVariantList values{owner, tegaro::toDbValue(c.dialect(), day),
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
