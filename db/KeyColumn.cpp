#include "db/KeyColumn.h"

#include "db/odbc/OdbcDriver.h"
#include "db/odbc/OdbcKeys.h"

#include <QSqlDriver>
#include <QSqlQuery>

#include <sqlite3.h>

namespace tegaro {

namespace {

sqlite3* sqliteHandle(const QSqlDatabase& db)
{
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

// As Qt's driver words it, with SQLite's result code as the native one.
QSqlError sqliteError(sqlite3* handle, int code)
{
    return QSqlError(QStringLiteral("Unable to fetch row"), QString::fromUtf8(sqlite3_errmsg(handle)),
                     QSqlError::StatementError, QString::number(code));
}

bool bindSqlite(sqlite3_stmt* st, int index, const QVariant& v)
{
    if (v.isNull())
        return sqlite3_bind_null(st, index) == SQLITE_OK;
    switch (v.metaType().id()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return sqlite3_bind_int64(st, index, v.toLongLong()) == SQLITE_OK;
    case QMetaType::Double:
    case QMetaType::Float:
        return sqlite3_bind_double(st, index, v.toDouble()) == SQLITE_OK;
    case QMetaType::QByteArray: {
        const QByteArray bytes = v.toByteArray();
        return sqlite3_bind_blob64(st, index, bytes.constData(), sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT) == SQLITE_OK;
    }
    default: {
        const QString text = v.toString();
        return sqlite3_bind_text16(st, index, text.utf16(), int(text.size() * 2), SQLITE_TRANSIENT) == SQLITE_OK;
    }
    }
}

bool readSqlite(sqlite3* handle, const QString& sql, const QVariantList& values, std::vector<qint64>& keys,
                QSqlError& error)
{
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare16_v2(handle, sql.utf16(), int(sql.size() * 2), &st, nullptr);
    if (rc != SQLITE_OK) {
        error = sqliteError(handle, rc);
        sqlite3_finalize(st);
        return false;
    }
    for (qsizetype i = 0; i < values.size(); ++i)
        if (!bindSqlite(st, int(i + 1), values[i])) {
            error = sqliteError(handle, sqlite3_errcode(handle));
            sqlite3_finalize(st);
            return false;
        }
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        keys.push_back(sqlite3_column_int64(st, 0));
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE) {
        error = sqliteError(handle, rc);
        return false;
    }
    return true;
}

} // namespace

bool readKeyColumn(const QSqlDatabase& db, const QString& sql, const QVariantList& values, std::vector<qint64>& keys,
                   QSqlError& error)
{
    if (sqlite3* handle = sqliteHandle(db))
        return readSqlite(handle, sql, values, keys, error);
    if (auto* odbc = qobject_cast<const odbc::Driver*>(db.driver()))
        return odbc::readIntegerColumn(*odbc, sql, values, keys, error);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    bool ok = q.prepare(sql);
    for (qsizetype i = 0; ok && i < values.size(); ++i)
        q.bindValue(int(i), values[i]);
    if (!ok || !q.exec()) {
        error = q.lastError();
        return false;
    }
    while (q.next())
        keys.push_back(q.value(0).toLongLong());
    if (q.lastError().isValid()) {
        error = q.lastError();
        return false;
    }
    return true;
}

} // namespace tegaro
