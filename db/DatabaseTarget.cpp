#include "db/DatabaseTarget.h"

#include "db/ConnectionText.h"
#include "db/odbc/OdbcDriver.h"
#include "db/odbc/OdbcLogin.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace tegaro {

namespace {
// For reaching the server and logging in, not for statements.
constexpr int kLoginTimeoutSeconds = 10;

// The settings as the driver reads them; the user and password go apart.
QString sqlServerConnectString(const ConnectionSettings& s)
{
    // "host,port" and "host\instance" are both in use for SQL Server names.
    QString host = s.dataSource.trimmed();
    QString port = QStringLiteral("1433");
    qsizetype comma = host.indexOf(u',');
    if (comma >= 0) {
        port = host.mid(comma + 1).trimmed();
        host = host.left(comma).trimmed();
    }
    QList<odbc::Attribute> attributes{{QStringLiteral("DRIVER"), QStringLiteral("FreeTDS")},
                                      {QStringLiteral("SERVER"), host}};
    if (!host.contains(u'\\'))
        attributes.append({QStringLiteral("PORT"), port});
    attributes << odbc::Attribute{QStringLiteral("DATABASE"), s.catalog.isEmpty() ? QStringLiteral("MUNEYA") : s.catalog}
               << odbc::Attribute{QStringLiteral("WSID"), s.workstationId}
               << odbc::Attribute{QStringLiteral("APP"), QStringLiteral("Tegaro")}
               << odbc::Attribute{QStringLiteral("ClientCharset"), QStringLiteral("UTF-8")}
               << odbc::Attribute{QStringLiteral("TDS_Version"), QStringLiteral("7.4")};
    return odbc::buildConnectString(attributes);
}

DatabaseTarget sqlServerTarget(const QString& connectString, const QString& user, const QString& password)
{
    odbc::registerDriver();
    DatabaseTarget target;
    target.driver = QString::fromLatin1(odbc::kDriverName);
    target.dialect = SqlDialect::SqlServer;
    target.databaseName = connectString;
    target.userName = user;
    target.password = password;
    target.options = QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1;SQL_ATTR_CONNECTION_TIMEOUT=%1").arg(kLoginTimeoutSeconds);
    target.secrets << password;
    return target;
}
} // namespace

QString scrubSecrets(QString text, const QStringList& secrets)
{
    for (const QString& secret : secrets)
        if (!secret.isEmpty())
            text.replace(secret, QStringLiteral("****"));
    return text;
}

DatabaseTarget sqliteFileTarget(const QString& path, bool create)
{
    DatabaseTarget target;
    target.driver = QStringLiteral("QSQLITE");
    target.dialect = SqlDialect::SQLite;
    QString file = QFileInfo(path).absoluteFilePath();
    if (!create)
        target.sqliteFile = file;
    // mode=rw: a missing file is an error, never a new empty database.
    target.databaseName = QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded)
        + (create ? QStringLiteral("?mode=rwc") : QStringLiteral("?mode=rw"));
    target.options = QStringLiteral("QSQLITE_OPEN_URI");
    return target;
}

DatabaseTarget targetFromSettings(const ConnectionSettings& settings, const QString& baseDir)
{
    if (settings.dataSource.endsWith(QStringLiteral(".sqlite"), Qt::CaseInsensitive)) {
        QString path = QDir::isAbsolutePath(settings.dataSource)
            ? settings.dataSource
            : QDir(baseDir).filePath(settings.dataSource);
        return sqliteFileTarget(path);
    }
    DatabaseTarget target = sqlServerTarget(sqlServerConnectString(settings), settings.userId, settings.password);
    target.options += QStringLiteral(";SQL_ATTR_PACKET_SIZE=%1").arg(settings.packetSize);
    return target;
}

DatabaseTarget odbcStringTarget(const QString& connectString, QString* database)
{
    QString user, password;
    QList<odbc::Attribute> rest;
    auto is = [](const odbc::Attribute& a, const char16_t* key) { return a.first.compare(key, Qt::CaseInsensitive) == 0; };
    for (const odbc::Attribute& a : odbc::parseConnectString(connectString)) {
        if (is(a, u"UID") || is(a, u"User ID"))
            user = a.second;
        else if (is(a, u"PWD") || is(a, u"Password"))
            password = a.second;
        else if (database && (is(a, u"DATABASE") || is(a, u"Initial Catalog")))
            *database = a.second;
        else
            rest.append(a);
    }
    return sqlServerTarget(odbc::buildConnectString(rest), user, password);
}

} // namespace tegaro
