#include "db/odbc/OdbcValues.h"

#include <QDateTime>

namespace tegaro::odbc {

namespace {
// Longer text and binary parameters go as the long types, which SQL Server
// takes as nvarchar(max) and varbinary(max).
constexpr qsizetype kLongText = 4000;
constexpr qsizetype kLongBinary = 8000;
// Read on the stack; a value that fits is copied at its own size.
constexpr qsizetype kFirstPiece = 8 * 1024;

template <typename T>
QByteArray bytesOf(const T& value)
{
    return QByteArray(reinterpret_cast<const char*>(&value), sizeof(T));
}

void setFixed(Parameter& p, SQLSMALLINT cType, SQLSMALLINT sqlType, SQLULEN size, SQLSMALLINT digits, QByteArray bytes)
{
    p.cType = cType;
    p.sqlType = sqlType;
    p.columnSize = size;
    p.digits = digits;
    p.bytes = std::move(bytes);
    p.length = SQLLEN(p.bytes.size());
}

SQL_TIMESTAMP_STRUCT timestampOf(const QDateTime& dt)
{
    SQL_TIMESTAMP_STRUCT ts{};
    const QDate d = dt.date();
    const QTime t = dt.time();
    ts.year = SQLSMALLINT(d.year());
    ts.month = SQLUSMALLINT(d.month());
    ts.day = SQLUSMALLINT(d.day());
    ts.hour = SQLUSMALLINT(t.hour());
    ts.minute = SQLUSMALLINT(t.minute());
    ts.second = SQLUSMALLINT(t.second());
    ts.fraction = SQLUINTEGER(t.msec()) * 1000000u;
    return ts;
}

// Most values are short: they are read into a small buffer and copied at
// their own size, so a row keeps what it holds and no more. Longer ones grow
// to the size the driver says is left: at most two more calls for a value of
// known size.
bool readPieces(SQLHSTMT st, SQLUSMALLINT index, SQLSMALLINT cType, QByteArray& out, bool& isNull)
{
    const qsizetype terminator = cType == SQL_C_WCHAR ? qsizetype(sizeof(SQLWCHAR)) : 0;
    alignas(SQLWCHAR) char first[kFirstPiece];
    isNull = false;
    SQLLEN indicator = 0;
    SQLRETURN r = SQLGetData(st, index, cType, first, SQLLEN(sizeof first), &indicator);
    if (r == SQL_NO_DATA) {
        out = QByteArray("", 0);
        return true;
    }
    if (!SQL_SUCCEEDED(r))
        return false;
    if (indicator == SQL_NULL_DATA) {
        isNull = true;
        out.clear();
        return true;
    }
    qsizetype room = qsizetype(sizeof first) - terminator;
    if (indicator != SQL_NO_TOTAL && indicator <= room) {
        out = QByteArray(first, indicator);
        return true;
    }
    qsizetype got = room;
    out = QByteArray(first, got);
    out.resize(got + (indicator == SQL_NO_TOTAL ? got : indicator - room) + terminator);
    for (;;) {
        r = SQLGetData(st, index, cType, out.data() + got, SQLLEN(out.size() - got), &indicator);
        if (r == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(r))
            return false;
        room = out.size() - got - terminator;
        if (indicator != SQL_NO_TOTAL && indicator <= room) {
            got += indicator;
            break;
        }
        got += room;
        const qsizetype left = indicator == SQL_NO_TOTAL ? out.size() : indicator - room;
        out.resize(got + left + terminator);
    }
    out.resize(got);
    // A value of unknown length may have grown well past its size.
    if (out.capacity() - got > 64)
        out.squeeze();
    return true;
}

template <typename T>
bool readFixed(SQLHSTMT st, SQLUSMALLINT index, SQLSMALLINT cType, T& value, bool& isNull)
{
    SQLLEN indicator = 0;
    SQLRETURN r = SQLGetData(st, index, cType, &value, sizeof(T), &indicator);
    if (!SQL_SUCCEEDED(r))
        return false;
    isNull = indicator == SQL_NULL_DATA;
    return true;
}

enum class Read {
    Text,
    Binary,
    Integer,
    BigInteger,
    Real,
    Date,
    Time,
    DateTime
};

Read readKind(SQLSMALLINT sqlType)
{
    switch (sqlType) {
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY: return Read::Binary;
    case SQL_BIT:
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER: return Read::Integer;
    case SQL_BIGINT: return Read::BigInteger;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_DECIMAL:
    case SQL_NUMERIC: return Read::Real;
    case SQL_TYPE_DATE: return Read::Date;
    case SQL_TYPE_TIME: return Read::Time;
    case SQL_TYPE_TIMESTAMP:
    case SQL_DATETIME: return Read::DateTime;
    default: return Read::Text; // text, GUIDs and whatever else: as the driver writes it
    }
}
} // namespace

SQLPOINTER Parameter::data()
{
    if (cType == SQL_C_WCHAR)
        return wide(text);
    return bytes.data();
}

SQLLEN Parameter::bufferLength() const
{
    return cType == SQL_C_WCHAR ? SQLLEN(text.size() * qsizetype(sizeof(SQLWCHAR))) : SQLLEN(bytes.size());
}

Parameter toParameter(const QVariant& value)
{
    Parameter p;
    const bool null = value.isNull();
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        setFixed(p, SQL_C_BIT, SQL_BIT, 1, 0, bytesOf<unsigned char>(value.toBool() ? 1 : 0));
        break;
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        setFixed(p, SQL_C_SLONG, SQL_INTEGER, 10, 0, bytesOf<SQLINTEGER>(SQLINTEGER(value.toInt())));
        break;
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
        setFixed(p, SQL_C_SBIGINT, SQL_BIGINT, 19, 0, bytesOf<SQLBIGINT>(SQLBIGINT(value.toLongLong())));
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        setFixed(p, SQL_C_DOUBLE, SQL_DOUBLE, 15, 0, bytesOf<SQLDOUBLE>(value.toDouble()));
        break;
    case QMetaType::QDateTime: {
        QDateTime dt = value.toDateTime();
        setFixed(p, SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 23, 3, bytesOf(timestampOf(dt)));
        if (!dt.isValid())
            p.length = SQL_NULL_DATA;
        break;
    }
    case QMetaType::QDate: {
        QDate d = value.toDate();
        SQL_DATE_STRUCT ds{SQLSMALLINT(d.year()), SQLUSMALLINT(d.month()), SQLUSMALLINT(d.day())};
        setFixed(p, SQL_C_TYPE_DATE, SQL_TYPE_DATE, 10, 0, bytesOf(ds));
        if (!d.isValid())
            p.length = SQL_NULL_DATA;
        break;
    }
    case QMetaType::QTime: {
        QTime t = value.toTime();
        SQL_TIME_STRUCT ts{SQLUSMALLINT(t.hour()), SQLUSMALLINT(t.minute()), SQLUSMALLINT(t.second())};
        setFixed(p, SQL_C_TYPE_TIME, SQL_TYPE_TIME, 8, 0, bytesOf(ts));
        if (!t.isValid())
            p.length = SQL_NULL_DATA;
        break;
    }
    case QMetaType::QByteArray: {
        QByteArray bytes = value.toByteArray();
        p.cType = SQL_C_BINARY;
        p.sqlType = bytes.size() > kLongBinary ? SQL_LONGVARBINARY : SQL_VARBINARY;
        p.columnSize = SQLULEN(qMax<qsizetype>(bytes.size(), 1));
        p.length = SQLLEN(bytes.size());
        p.bytes = std::move(bytes);
        break;
    }
    default: {
        p.text = null ? QString() : value.toString();
        p.cType = SQL_C_WCHAR;
        p.sqlType = p.text.size() > kLongText ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
        p.columnSize = SQLULEN(qMax<qsizetype>(p.text.size(), 1));
        p.length = SQLLEN(p.text.size() * qsizetype(sizeof(SQLWCHAR)));
        break;
    }
    }
    if (null)
        p.length = SQL_NULL_DATA;
    return p;
}

bool bindParameters(SQLHSTMT statement, std::vector<Parameter>& parameters)
{
    for (size_t i = 0; i < parameters.size(); ++i) {
        Parameter& p = parameters[i];
        SQLRETURN r = SQLBindParameter(statement, SQLUSMALLINT(i + 1), SQL_PARAM_INPUT, p.cType, p.sqlType, p.columnSize,
                                       p.digits, p.data(), p.bufferLength(), &p.length);
        if (!SQL_SUCCEEDED(r))
            return false;
    }
    return true;
}

QMetaType metaTypeOf(const Column& column)
{
    switch (readKind(column.sqlType)) {
    case Read::Binary: return QMetaType::fromType<QByteArray>();
    case Read::Integer: return QMetaType::fromType<int>();
    case Read::BigInteger: return QMetaType::fromType<qlonglong>();
    case Read::Real: return QMetaType::fromType<double>();
    case Read::Date: return QMetaType::fromType<QDate>();
    case Read::Time: return QMetaType::fromType<QTime>();
    case Read::DateTime: return QMetaType::fromType<QDateTime>();
    case Read::Text: break;
    }
    return QMetaType::fromType<QString>();
}

bool readColumn(SQLHSTMT st, SQLUSMALLINT index, const Column& column, QVariant& value)
{
    const QMetaType type = metaTypeOf(column);
    bool isNull = false;
    bool ok = true;
    switch (readKind(column.sqlType)) {
    case Read::Text: {
        QByteArray units;
        ok = readPieces(st, index, SQL_C_WCHAR, units, isNull);
        if (ok && !isNull)
            value = fromWide(reinterpret_cast<const SQLWCHAR*>(units.constData()), units.size() / qsizetype(sizeof(SQLWCHAR)));
        break;
    }
    case Read::Binary: {
        QByteArray bytes;
        ok = readPieces(st, index, SQL_C_BINARY, bytes, isNull);
        if (ok && !isNull)
            value = bytes;
        break;
    }
    case Read::Integer: {
        // As 64 bits: SQLite calls every integer INTEGER, whatever its size.
        SQLBIGINT v = 0;
        ok = readFixed(st, index, SQL_C_SBIGINT, v, isNull);
        value = v == SQLBIGINT(int(v)) ? QVariant(int(v)) : QVariant(qlonglong(v));
        break;
    }
    case Read::BigInteger: {
        SQLBIGINT v = 0;
        ok = readFixed(st, index, SQL_C_SBIGINT, v, isNull);
        value = qlonglong(v);
        break;
    }
    case Read::Real: {
        SQLDOUBLE v = 0;
        ok = readFixed(st, index, SQL_C_DOUBLE, v, isNull);
        value = double(v);
        break;
    }
    case Read::Date: {
        SQL_DATE_STRUCT d{};
        ok = readFixed(st, index, SQL_C_TYPE_DATE, d, isNull);
        value = QDate(d.year, d.month, d.day);
        break;
    }
    case Read::Time: {
        SQL_TIME_STRUCT t{};
        ok = readFixed(st, index, SQL_C_TYPE_TIME, t, isNull);
        value = QTime(t.hour, t.minute, t.second);
        break;
    }
    case Read::DateTime: {
        SQL_TIMESTAMP_STRUCT ts{};
        ok = readFixed(st, index, SQL_C_TYPE_TIMESTAMP, ts, isNull);
        value = QDateTime(QDate(ts.year, ts.month, ts.day), QTime(ts.hour, ts.minute, ts.second, int(ts.fraction / 1000000u)));
        break;
    }
    }
    if (!ok || isNull)
        value = QVariant(type);
    return ok;
}

} // namespace tegaro::odbc
