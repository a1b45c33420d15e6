#pragma once
// Small pieces shared by the driver and its results: UTF-16 text for the
// wide ODBC calls and the driver's diagnostics as Qt SQL errors.
#include <QList>
#include <QSqlError>
#include <QString>

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

namespace tegaro::odbc {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver manager must use UTF-16 wide characters");

// A QString as the wide calls take it; valid while the string lives.
inline SQLWCHAR* wide(const QString& text)
{
    return const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(text.utf16()));
}
inline QString fromWide(const SQLWCHAR* text, qsizetype length)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text), length);
}

struct Diagnostic {
    QString state; // SQLSTATE, five characters
    QString message;
    int native = 0;
};

// Every diagnostic record the driver keeps for a handle, oldest first.
QList<Diagnostic> diagnostics(SQLSMALLINT handleType, SQLHANDLE handle);

// SQLSTATEs that mean the link to the server is gone: class 08
// (connection exception) and the connection timeout.
bool isLinkFailure(const QString& state);

// A Qt SQL error from a handle's diagnostics: the messages joined, the
// first SQLSTATE as its code followed by the server's own error number
// when there is one ("HY000 1222"), a connection error when the link is
// gone.
QSqlError makeError(const QString& what, SQLSMALLINT handleType, SQLHANDLE handle,
                    QSqlError::ErrorType type = QSqlError::StatementError);

// With TEGARO_SQL_TIMES set, each login, statement and read of a result
// writes its time to stderr: where a session's time goes, to the millisecond.
class TimeTrace {
public:
    static bool on();
    TimeTrace();
    // Milliseconds since this began (or since the last lap).
    double lap();
    // One line: the step, its time, the statement's start.
    static void write(const char* step, double ms, const QString& sql = {});

private:
    qint64 start_ = 0;
};

} // namespace tegaro::odbc
