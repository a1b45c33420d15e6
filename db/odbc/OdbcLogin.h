#pragma once
// Logging in with the user name and password kept apart from the rest of
// the connection string.
//
// FreeTDS reads a braced value up to the first "};" and does not undo a
// doubled "}" (newer releases do), so a password such as "x};y" cannot be
// written into a connection string at all. Such values go to the driver
// through SQLConnect with a private data source instead.
#include "db/odbc/OdbcCall.h"

#include <QList>
#include <QPair>
#include <QString>
#include <optional>

namespace tegaro::odbc {

using Attribute = QPair<QString, QString>;

// "KEY=value;KEY={value};..." read the standard way: braces quote, a
// doubled "}" inside them is one "}".
QList<Attribute> parseConnectString(const QString& text);

// A value written so that every ODBC driver reads it back unchanged, or
// nothing when that is not possible.
std::optional<QString> connectValue(const QString& value);

// Builds "KEY=value;..." with connectValue, braces with doubling where a
// value cannot be written plainly.
QString buildConnectString(const QList<Attribute>& attributes);

// Connects dbc. The user and password are added to the connection string
// when both can be written there, else they go apart through a private
// data source. An empty user and password use the string as it is.
SQLRETURN connectWithLogin(SQLHDBC dbc, const QString& connectString, const QString& user, const QString& password);

} // namespace tegaro::odbc
