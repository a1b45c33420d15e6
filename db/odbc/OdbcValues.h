#pragma once
// Values between Qt and the driver: parameters bound for a statement and
// the columns of a result.
#include "db/odbc/OdbcCall.h"

#include <QByteArray>
#include <QMetaType>
#include <QVariant>

#include <vector>

namespace tegaro::odbc {

// One input parameter and the buffer the driver reads while the statement
// runs; it must not move between binding and execution. Text always goes as
// wide characters (NVARCHAR), whatever the server's code page.
struct Parameter {
    SQLSMALLINT cType = SQL_C_WCHAR;
    SQLSMALLINT sqlType = SQL_WVARCHAR;
    SQLULEN columnSize = 1;
    SQLSMALLINT digits = 0;
    QString text;      // SQL_C_WCHAR
    QByteArray bytes;  // every other C type
    SQLLEN length = 0; // bytes, or SQL_NULL_DATA

    SQLPOINTER data();
    SQLLEN bufferLength() const;
};

// A NULL keeps the type of its QVariant, so the server can convert it to
// the column's type; an untyped one goes as NVARCHAR.
Parameter toParameter(const QVariant& value);

// Binds the parameters in order; they must stay in place until the
// statement has run.
bool bindParameters(SQLHSTMT statement, std::vector<Parameter>& parameters);

struct Column {
    QString name;
    SQLSMALLINT sqlType = SQL_UNKNOWN_TYPE;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    bool nullable = true;
    bool autoValue = false; // an identity column
    QString typeName;       // the server's own name of the type
};

// The Qt type a column's values come as.
QMetaType metaTypeOf(const Column& column);

// Reads a column of the current row, long text and binary data in pieces.
// False when the driver fails; the diagnostics are then on the statement.
bool readColumn(SQLHSTMT statement, SQLUSMALLINT index, const Column& column, QVariant& value);

} // namespace tegaro::odbc
