#include "db/odbc/OdbcResult.h"

#include "db/odbc/OdbcDriver.h"

#include <QSqlField>
#include <vector>

namespace tegaro::odbc {

Result::Result(const Driver* driver) : QSqlResult(driver) {}

Result::~Result() { release(); }

const Driver* Result::odbcDriver() const { return static_cast<const Driver*>(driver()); }

void Result::release()
{
    // A statement of a closed connection went with it.
    const Driver* d = odbcDriver();
    if (statement_ && d && d->isOpen() && d->generation() == generation_)
        SQLFreeHandle(SQL_HANDLE_STMT, statement_);
    statement_ = nullptr;
}

bool Result::fail(const QString& what)
{
    // Not every driver gives a lost link its own SQLSTATE; it knows, though.
    const Driver* d = odbcDriver();
    const bool dead = d && d->generation() == generation_ && d->connectionDead();
    setLastError(makeError(what, SQL_HANDLE_STMT, statement_, dead ? QSqlError::ConnectionError : QSqlError::StatementError));
    return false;
}

bool Result::statementReady()
{
    const Driver* d = odbcDriver();
    if (!d || !d->isOpen()) {
        setLastError(QSqlError(QStringLiteral("The connection is not open"), {}, QSqlError::ConnectionError));
        return false;
    }
    if (statement_ && generation_ != d->generation())
        statement_ = nullptr;
    if (statement_) {
        SQLFreeStmt(statement_, SQL_CLOSE);
        SQLFreeStmt(statement_, SQL_RESET_PARAMS);
        return true;
    }
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, d->connection(), &statement_))) {
        statement_ = nullptr;
        setLastError(makeError(QStringLiteral("Cannot make a statement"), SQL_HANDLE_DBC, d->connection()));
        return false;
    }
    generation_ = d->generation();
    d->prepareStatement(statement_);
    return true;
}

bool Result::reset(const QString& query)
{
    setQuery(query);
    return run({});
}

bool Result::prepare(const QString& query)
{
    // Sent with its values on exec: one round trip, and a statement that
    // cannot be parsed fails there.
    setQuery(query);
    return true;
}

bool Result::exec() { return run(boundValues()); }

bool Result::run(const QVariantList& values)
{
    setActive(false);
    setAt(QSql::BeforeFirstRow);
    setSelect(false);
    columns_.clear();
    record_.clear();
    row_.clear();
    rows_.clear();
    exhausted_ = false;
    rowsAffected_ = -1;
    if (!statementReady())
        return false;

    std::vector<Parameter> parameters;
    parameters.reserve(size_t(values.size()));
    for (const QVariant& v : values)
        parameters.push_back(toParameter(v));
    if (!bindParameters(statement_, parameters))
        return fail(QStringLiteral("Cannot bind the parameters"));
    TimeTrace time;
    SQLRETURN r = SQLExecDirectW(statement_, wide(lastQuery()), SQL_NTS);
    TimeTrace::write("exec", time.lap(), lastQuery());
    fetchMs_ = 0;
    if (r != SQL_NO_DATA && !SQL_SUCCEEDED(r))
        return fail(QStringLiteral("Unable to execute statement"));

    // A statement may give row counts before its result (triggers, OUTPUT);
    // the first result with columns is the one to read.
    SQLSMALLINT count = 0;
    for (;;) {
        if (!SQL_SUCCEEDED(SQLNumResultCols(statement_, &count)))
            return fail(QStringLiteral("Unable to read the result"));
        if (count > 0)
            break;
        SQLLEN affected = -1;
        if (rowsAffected_ < 0 && SQL_SUCCEEDED(SQLRowCount(statement_, &affected)))
            rowsAffected_ = affected;
        r = SQLMoreResults(statement_);
        if (r == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(r))
            return fail(QStringLiteral("Unable to execute statement"));
    }
    if (count > 0) {
        if (!describe())
            return false;
        setSelect(true);
    }
    setActive(true);
    return true;
}

bool Result::describe()
{
    SQLSMALLINT count = 0;
    SQLNumResultCols(statement_, &count);
    for (SQLUSMALLINT i = 1; i <= SQLUSMALLINT(count); ++i) {
        Column c;
        SQLWCHAR name[256] = {};
        SQLSMALLINT nameLength = 0, nullable = SQL_NULLABLE_UNKNOWN;
        SQLRETURN r = SQLDescribeColW(statement_, i, name, SQLSMALLINT(std::size(name)), &nameLength, &c.sqlType, &c.size,
                                      &c.digits, &nullable);
        if (!SQL_SUCCEEDED(r))
            return fail(QStringLiteral("Unable to describe column %1").arg(i));
        c.name = fromWide(name, qMin<qsizetype>(nameLength, qsizetype(std::size(name)) - 1));
        // Some drivers count the name's length in bytes: the rest is NULs.
        if (const qsizetype nul = c.name.indexOf(QChar(0)); nul >= 0)
            c.name.truncate(nul);
        c.nullable = nullable != SQL_NO_NULLS;
        SQLLEN autoValue = SQL_FALSE;
        if (SQL_SUCCEEDED(SQLColAttributeW(statement_, i, SQL_DESC_AUTO_UNIQUE_VALUE, nullptr, 0, nullptr, &autoValue)))
            c.autoValue = autoValue == SQL_TRUE;
        SQLWCHAR typeName[128] = {};
        SQLSMALLINT typeLength = 0;
        if (SQL_SUCCEEDED(SQLColAttributeW(statement_, i, SQL_DESC_TYPE_NAME, typeName, sizeof(typeName), &typeLength, nullptr)))
            c.typeName = fromWide(typeName, qMin<qsizetype>(typeLength / qsizetype(sizeof(SQLWCHAR)), qsizetype(std::size(typeName)) - 1));

        QSqlField field(c.name, metaTypeOf(c));
        field.setRequiredStatus(c.nullable ? QSqlField::Optional : QSqlField::Required);
        field.setLength(int(c.size));
        field.setPrecision(c.digits);
        field.setAutoValue(c.autoValue);
        field.setSqlType(c.sqlType);
        // A row version is written by the server alone.
        field.setReadOnly(c.typeName.compare(u"timestamp", Qt::CaseInsensitive) == 0
                          || c.typeName.compare(u"rowversion", Qt::CaseInsensitive) == 0);
        record_.append(field);
        columns_.append(c);
    }
    return true;
}

bool Result::readRow(QList<QVariant>& row)
{
    row.resize(columns_.size());
    for (qsizetype i = 0; i < columns_.size(); ++i)
        if (!readColumn(statement_, SQLUSMALLINT(i + 1), columns_[i], row[i]))
            return fail(QStringLiteral("Unable to read column %1").arg(columns_[i].name));
    return true;
}

bool Result::fetchNext()
{
    if (!isActive() || !isSelect())
        return false;
    if (!isForwardOnly() && at() + 1 < rows_.size())
        return fetch(at() + 1);
    if (exhausted_ || !statement_ || generation_ != odbcDriver()->generation())
        return false;
    TimeTrace time;
    SQLRETURN r = SQLFetch(statement_);
    fetchMs_ += time.lap();
    if (r == SQL_NO_DATA) {
        // Read to the end: the connection is free for the next statement.
        TimeTrace::write("fetch", fetchMs_, lastQuery());
        exhausted_ = true;
        SQLFreeStmt(statement_, SQL_CLOSE);
        setAt(QSql::AfterLastRow);
        return false;
    }
    if (!SQL_SUCCEEDED(r)) {
        exhausted_ = true;
        return fail(QStringLiteral("Unable to fetch the next row"));
    }
    if (!readRow(row_)) {
        exhausted_ = true;
        return false;
    }
    if (!isForwardOnly())
        rows_.append(row_);
    setAt(at() < 0 ? 0 : at() + 1);
    return true;
}

bool Result::fetch(int index)
{
    if (index < 0 || !isActive() || !isSelect())
        return false;
    if (!isForwardOnly() && index < rows_.size()) {
        row_ = rows_[index];
        setAt(index);
        return true;
    }
    if (isForwardOnly() && index <= at())
        return false;
    // Forward to the row asked for.
    while (at() < index)
        if (!fetchNext())
            return false;
    return at() == index;
}

bool Result::fetchFirst()
{
    if (at() == QSql::BeforeFirstRow)
        return fetchNext();
    return fetch(0);
}

bool Result::fetchLast()
{
    if (!isActive() || !isSelect())
        return false;
    if (isForwardOnly()) {
        // Read to the end and keep only the last row.
        QList<QVariant> last;
        int lastAt = QSql::BeforeFirstRow;
        while (fetchNext()) {
            last = row_;
            lastAt = at();
        }
        if (lastAt < 0)
            return false;
        row_ = last;
        setAt(lastAt);
        return true;
    }
    while (fetchNext()) {
    }
    return !rows_.isEmpty() && fetch(int(rows_.size()) - 1);
}

QVariant Result::data(int field)
{
    if (field < 0 || field >= row_.size())
        return {};
    return row_[field];
}

bool Result::isNull(int field) { return field < 0 || field >= row_.size() || row_[field].isNull(); }

void Result::detachFromResultSet()
{
    if (statement_ && generation_ == odbcDriver()->generation())
        SQLFreeStmt(statement_, SQL_CLOSE);
}

QVariant Result::handle() const { return QVariant::fromValue(static_cast<void*>(statement_)); }

} // namespace tegaro::odbc
