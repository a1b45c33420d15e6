#include "db/odbc/OdbcDriver.h"

#include "db/odbc/OdbcLogin.h"
#include "db/odbc/OdbcResult.h"

#include <QSqlDatabase>
#include <QStringList>

namespace tegaro::odbc {

void registerDriver()
{
    static const bool once = [] {
        QSqlDatabase::registerSqlDriver(QString::fromLatin1(kDriverName), new QSqlDriverCreator<Driver>);
        return true;
    }();
    Q_UNUSED(once);
}

Driver::Driver(QObject* parent) : QSqlDriver(parent) {}

Driver::~Driver() { close(); }

bool Driver::hasFeature(DriverFeature feature) const
{
    switch (feature) {
    case Transactions:
    case BLOB:
    case Unicode:
    case PreparedQueries:
    case PositionalPlaceholders:
    case LowPrecisionNumbers:
    case FinishQuery:
        return true;
    default:
        return false;
    }
}

bool Driver::applyOptions(const QString& options)
{
    for (const QString& option : options.split(u';', Qt::SkipEmptyParts)) {
        const qsizetype eq = option.indexOf(u'=');
        const QString key = option.left(eq).trimmed();
        bool ok = eq > 0;
        const SQLULEN value = ok ? option.mid(eq + 1).trimmed().toULong(&ok) : 0;
        if (ok && key == u"SQL_ATTR_QUERY_TIMEOUT") {
            queryTimeout_ = value;
            continue;
        }
        SQLINTEGER attribute = 0;
        if (key == u"SQL_ATTR_LOGIN_TIMEOUT")
            attribute = SQL_ATTR_LOGIN_TIMEOUT;
        else if (key == u"SQL_ATTR_CONNECTION_TIMEOUT")
            attribute = SQL_ATTR_CONNECTION_TIMEOUT;
        else if (key == u"SQL_ATTR_PACKET_SIZE")
            attribute = SQL_ATTR_PACKET_SIZE;
        if (!ok || !attribute) {
            setLastError(QSqlError(QStringLiteral("Unknown connect option: %1").arg(option), {}, QSqlError::ConnectionError));
            return false;
        }
        SQLRETURN r = SQLSetConnectAttrW(dbc_, attribute, reinterpret_cast<SQLPOINTER>(value), SQL_IS_UINTEGER);
        if (!SQL_SUCCEEDED(r)) {
            setLastError(makeError(QStringLiteral("Cannot set %1").arg(key), SQL_HANDLE_DBC, dbc_, QSqlError::ConnectionError));
            return false;
        }
    }
    return true;
}

void Driver::prepareStatement(SQLHSTMT statement) const
{
    if (queryTimeout_ > 0)
        SQLSetStmtAttrW(statement, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(queryTimeout_), SQL_IS_UINTEGER);
}

bool Driver::open(const QString& db, const QString& user, const QString& password, const QString&, int,
                  const QString& options)
{
    close();
    queryTimeout_ = 0;
    auto fail = [this](const QSqlError& error) {
        setLastError(error);
        setOpenError(true);
        freeHandles();
        return false;
    };
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_)))
        return fail(QSqlError(QStringLiteral("Cannot start the ODBC driver manager"), {}, QSqlError::ConnectionError));
    SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), SQL_IS_UINTEGER);
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_)))
        return fail(makeError(QStringLiteral("Cannot make a connection"), SQL_HANDLE_ENV, env_, QSqlError::ConnectionError));
    if (!applyOptions(options))
        return fail(lastError());
    TimeTrace time;
    SQLRETURN r = connectWithLogin(dbc_, db, user, password);
    TimeTrace::write("login", time.lap());
    if (!SQL_SUCCEEDED(r))
        return fail(makeError(QStringLiteral("Unable to connect"), SQL_HANDLE_DBC, dbc_, QSqlError::ConnectionError));
    ++generation_;
    setOpen(true);
    setOpenError(false);
    return true;
}

void Driver::freeHandles()
{
    if (dbc_) {
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        dbc_ = nullptr;
    }
    if (env_) {
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
        env_ = nullptr;
    }
}

void Driver::close()
{
    if (dbc_ && isOpen()) {
        // Statements go with the connection; the results see the new generation.
        ++generation_;
        SQLDisconnect(dbc_);
    }
    freeHandles();
    setOpen(false);
}

QSqlResult* Driver::createResult() const { return new Result(this); }

bool Driver::beginTransaction()
{
    if (!isOpen())
        return false;
    SQLRETURN r = SQLSetConnectAttrW(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER);
    if (!SQL_SUCCEEDED(r)) {
        setLastError(makeError(QStringLiteral("Cannot start a transaction"), SQL_HANDLE_DBC, dbc_, QSqlError::TransactionError));
        return false;
    }
    return true;
}

bool Driver::endTransaction(SQLSMALLINT completion)
{
    if (!isOpen())
        return false;
    SQLRETURN r = SQLEndTran(SQL_HANDLE_DBC, dbc_, completion);
    if (!SQL_SUCCEEDED(r)) {
        setLastError(makeError(QStringLiteral("Cannot end the transaction"), SQL_HANDLE_DBC, dbc_, QSqlError::TransactionError));
        return false;
    }
    SQLSetConnectAttrW(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), SQL_IS_UINTEGER);
    return true;
}

bool Driver::commitTransaction() { return endTransaction(SQL_COMMIT); }
bool Driver::rollbackTransaction() { return endTransaction(SQL_ROLLBACK); }

QString Driver::escapeIdentifier(const QString& identifier, IdentifierType) const
{
    if (identifier.startsWith(u'[') && identifier.endsWith(u']'))
        return identifier;
    QString name = identifier;
    return u'[' + name.replace(u']', QStringLiteral("]]")) + u']';
}

bool Driver::connectionDead() const
{
    SQLUINTEGER dead = SQL_CD_FALSE;
    return dbc_ && SQL_SUCCEEDED(SQLGetConnectAttrW(dbc_, SQL_ATTR_CONNECTION_DEAD, &dead, SQL_IS_UINTEGER, nullptr))
        && dead == SQL_CD_TRUE;
}

QVariant Driver::handle() const { return QVariant::fromValue(static_cast<void*>(dbc_)); }

} // namespace tegaro::odbc
