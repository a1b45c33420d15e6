#pragma once
// One integer column of a long result read at once: the keys of a record
// set. The rows come in blocks bound straight into an array, with no value
// object made for any of them.
#include <QSqlError>
#include <QString>
#include <QVariant>

#include <vector>

namespace tegaro::odbc {

class Driver;

// Appends the first column of every row to keys (a NULL as 0). False with
// the error when the statement fails; keys then holds what came before.
bool readIntegerColumn(const Driver& driver, const QString& sql, const QVariantList& values, std::vector<qint64>& keys,
                       QSqlError& error);

} // namespace tegaro::odbc
