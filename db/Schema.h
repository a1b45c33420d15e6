#pragma once
// The schema scripts (built into the program as resources) and running them.
#include "db/DatabaseTarget.h"

#include <QString>
#include <QStringList>

namespace tegaro {

class Connection;

QString schemaScript(SqlDialect dialect);
// Statements of a script: SQLite scripts end statements with ";" (a trigger
// runs to its "END;"), SQL Server scripts end batches with "GO".
QStringList splitSqlScript(const QString& script, SqlDialect dialect);
// Creates the tables of the connection's dialect, all or nothing.
void createSchema(Connection& connection);

// The key column our schema script gives a table ("ID" for 基本データ), or
// empty for a table the script does not make.
QString schemaKeyColumn(SqlDialect dialect, const QString& table);
// The same when that key is an integer, else empty.
QString schemaIntegerKeyColumn(SqlDialect dialect, const QString& table);

// SQL Server: the batches that make the database when it is missing and
// choose it; "tegaro-db schema sqlserver" prints them before the tables.
QString sqlServerDatabaseScript(const QString& database);
// Runs them on an open connection, which then works in that database.
void useSqlServerDatabase(Connection& connection, const QString& database);
// Whether the current database holds the house record tables, and taking
// them away (with every record in them).
bool sqlServerHasTables(Connection& connection);
void dropSqlServerTables(Connection& connection);

} // namespace tegaro
