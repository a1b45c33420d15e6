#pragma once
// The keys of a result, read at once: one integer column of every row into
// an array, without a value object per row. SQLite is asked through the
// library handle of Qt's driver, our ODBC driver in blocks of rows, any
// other driver row by row.
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QVariant>

#include <vector>

namespace tegaro {

// Appends the first column of every row (NULL as 0). False with the error
// when the statement fails.
bool readKeyColumn(const QSqlDatabase& db, const QString& sql, const QVariantList& values, std::vector<qint64>& keys,
                   QSqlError& error);

} // namespace tegaro
