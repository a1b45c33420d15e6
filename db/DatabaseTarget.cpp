#include "db/DatabaseTarget.h"

#include "db/ConnectionText.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace tegaro {

namespace {
constexpr int kLoginTimeoutSeconds = 10;

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
    QString out = QStringLiteral("DRIVER={FreeTDS};SERVER=") + odbcQuote(host) + u';';
    if (!host.contains(u'\\'))
        out += QStringLiteral("PORT=") + odbcQuote(port) + u';';
    out += QStringLiteral("UID=") + odbcQuote(s.userId) + u';'
        + QStringLiteral("PWD=") + odbcQuote(s.password) + u';'
        + QStringLiteral("DATABASE=") + odbcQuote(s.catalog.isEmpty() ? QStringLiteral("MUNEYA") : s.catalog) + u';'
        + QStringLiteral("WSID=") + odbcQuote(s.workstationId) + u';'
        + QStringLiteral("APP={Tegaro};ClientCharset=UTF-8;TDS_Version=7.4;");
    return out;
}
} // namespace

QString odbcQuote(const QString& value)
{
    QString v = value;
    v.replace(u'}', QStringLiteral("}}"));
    return u'{' + v + u'}';
}

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
    target.options = QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000");
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
    DatabaseTarget target;
    target.driver = QStringLiteral("QODBC");
    target.dialect = SqlDialect::SqlServer;
    target.databaseName = sqlServerConnectString(settings);
    target.options = QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1;SQL_ATTR_CONNECTION_TIMEOUT=%1;SQL_ATTR_PACKET_SIZE=%2")
                       .arg(kLoginTimeoutSeconds)
                       .arg(settings.packetSize);
    // The quoted form first, so no brace of it is left behind.
    target.secrets << odbcQuote(settings.password) << settings.password;
    return target;
}

} // namespace tegaro
