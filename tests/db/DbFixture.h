#pragma once
// Real databases for the tests: an embedded file in a temporary folder,
// reached through QSQLITE or through QODBC and the SQLite ODBC driver, and a
// SQL Server when TEGARO_TEST_MSSQL holds an ODBC connection string to a
// database made with "tegaro-db schema sqlserver". That run empties both
// tables before every test: never point it at real records.
#include "db/Connection.h"
#include "db/DatabaseTarget.h"

#include <QString>
#include <QTemporaryDir>

namespace dbtest {

enum class Backend { Sqlite, OdbcSqlite, SqlServer };
QString backendName(Backend backend);

// The SQLite ODBC driver library, or empty when it is not installed.
QString sqliteOdbcDriver();

// Creates a schema in a new file and returns its path.
QString createDatabase(const QTemporaryDir& dir, const QString& name = QStringLiteral("test.sqlite"));
// How a backend reaches that file (SqlServer ignores the path).
tegaro::DatabaseTarget targetFor(Backend backend, const QString& path);

// Inserts one house record with the given owner and returns its ID.
qlonglong addHouse(tegaro::Connection& c, const QString& owner, const QVariant& date = {},
                   const QByteArray& zumen = {});

} // namespace dbtest
