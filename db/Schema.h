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

} // namespace tegaro
