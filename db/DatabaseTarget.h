#pragma once
// How to reach a database: which Qt driver, what to hand it, and which SQL
// dialect the statements must speak. Made from the connection text, or
// directly by the tools and tests.
#include <QString>
#include <QStringList>

namespace tegaro {

struct ConnectionSettings;

enum class SqlDialect {
    SQLite,
    SqlServer
};

struct DatabaseTarget {
    QString driver;       // "QSQLITE", or our wide-character ODBC driver
    QString databaseName; // file path (QSQLITE) or ODBC connection string
    QString userName;     // ODBC: handed to the driver apart from the string,
    QString password;     // so any character of them logs in
    QString options;      // QSqlDatabase connect options
    // How long a statement may wait for a row another session holds, or
    // run at all (SQL Server), before it fails.
    int waitSeconds = 10;
    SqlDialect dialect = SqlDialect::SQLite;
    QString sqliteFile;  // the embedded file, checked before opening
    QStringList secrets; // never shown in an error text
};

// A Data Source ending in ".sqlite" is an embedded file (relative to baseDir);
// anything else is SQL Server through ODBC and FreeTDS.
DatabaseTarget targetFromSettings(const ConnectionSettings& settings, const QString& baseDir);

// A SQL Server named by a whole ODBC connection string ("DRIVER={FreeTDS};
// SERVER=...;UID=...;PWD=...;"), written the standard way. With database
// given, the DATABASE setting is taken out of the string into it, so the
// connection starts in the login's default database.
DatabaseTarget odbcStringTarget(const QString& connectString, QString* database = nullptr);

// An embedded SQLite file opened with QSQLITE. Only create makes a new file:
// otherwise a missing file fails to open.
DatabaseTarget sqliteFileTarget(const QString& path, bool create = false);

// Replaces every secret in text with asterisks.
QString scrubSecrets(QString text, const QStringList& secrets);

} // namespace tegaro
