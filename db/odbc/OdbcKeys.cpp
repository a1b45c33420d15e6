#include "db/odbc/OdbcKeys.h"

#include "db/odbc/OdbcDriver.h"
#include "db/odbc/OdbcValues.h"

namespace tegaro::odbc {

namespace {
constexpr SQLULEN kBlockRows = 4096;

// Frees the statement however the reading ends.
struct Statement {
    SQLHSTMT handle = nullptr;
    ~Statement()
    {
        if (handle)
            SQLFreeHandle(SQL_HANDLE_STMT, handle);
    }
};
} // namespace

bool readIntegerColumn(const Driver& driver, const QString& sql, const QVariantList& values, std::vector<qint64>& keys,
                       QSqlError& error)
{
    Statement st;
    auto fail = [&](const QString& what) {
        const bool dead = driver.connectionDead();
        error = makeError(what, st.handle ? SQL_HANDLE_STMT : SQL_HANDLE_DBC,
                          st.handle ? SQLHANDLE(st.handle) : SQLHANDLE(driver.connection()),
                          dead ? QSqlError::ConnectionError : QSqlError::StatementError);
        return false;
    };
    if (!driver.isOpen()) {
        error = QSqlError(QStringLiteral("The connection is not open"), {}, QSqlError::ConnectionError);
        return false;
    }
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, driver.connection(), &st.handle))) {
        st.handle = nullptr;
        return fail(QStringLiteral("Cannot make a statement"));
    }
    driver.prepareStatement(st.handle);
    std::vector<Parameter> parameters;
    parameters.reserve(size_t(values.size()));
    for (const QVariant& v : values)
        parameters.push_back(toParameter(v));
    if (!bindParameters(st.handle, parameters))
        return fail(QStringLiteral("Cannot bind the parameters"));

    // A block of rows per fetch where the driver can; one row where not.
    SQLULEN fetched = 0;
    SQLSetStmtAttrW(st.handle, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0);
    SQLSetStmtAttrW(st.handle, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kBlockRows), 0);
    SQLULEN block = 1;
    if (!SQL_SUCCEEDED(SQLGetStmtAttrW(st.handle, SQL_ATTR_ROW_ARRAY_SIZE, &block, 0, nullptr)) || block < 1)
        block = 1;
    SQLSetStmtAttrW(st.handle, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);

    TimeTrace time;
    SQLRETURN r = SQLExecDirectW(st.handle, wide(sql), SQL_NTS);
    TimeTrace::write("exec", time.lap(), sql);
    if (r != SQL_NO_DATA && !SQL_SUCCEEDED(r))
        return fail(QStringLiteral("Unable to execute statement"));
    SQLSMALLINT columns = 0;
    // Row counts before the result (triggers) are passed over.
    while (SQL_SUCCEEDED(SQLNumResultCols(st.handle, &columns)) && columns == 0) {
        r = SQLMoreResults(st.handle);
        if (r == SQL_NO_DATA)
            return true;
        if (!SQL_SUCCEEDED(r))
            return fail(QStringLiteral("Unable to execute statement"));
    }
    if (columns == 0)
        return fail(QStringLiteral("Unable to read the result"));

    std::vector<SQLBIGINT> blockKeys(block);
    std::vector<SQLLEN> indicators(block);
    if (!SQL_SUCCEEDED(SQLBindCol(st.handle, 1, SQL_C_SBIGINT, blockKeys.data(), sizeof(SQLBIGINT), indicators.data())))
        return fail(QStringLiteral("Unable to bind the key column"));
    for (;;) {
        fetched = 0;
        r = SQLFetch(st.handle);
        if (r == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(r))
            return fail(QStringLiteral("Unable to fetch the next rows"));
        const SQLULEN rows = block == 1 ? 1 : fetched;
        for (SQLULEN i = 0; i < rows; ++i)
            keys.push_back(indicators[i] == SQL_NULL_DATA ? 0 : qint64(blockKeys[i]));
    }
    SQLFreeStmt(st.handle, SQL_CLOSE);
    TimeTrace::write("fetch", time.lap(), sql);
    return true;
}

} // namespace tegaro::odbc
