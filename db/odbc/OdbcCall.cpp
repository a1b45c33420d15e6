#include "db/odbc/OdbcCall.h"

#include <QElapsedTimer>
#include <QStringList>

#include <cstdio>

namespace tegaro::odbc {

QList<Diagnostic> diagnostics(SQLSMALLINT handleType, SQLHANDLE handle)
{
    QList<Diagnostic> out;
    if (!handle)
        return out;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SQLRETURN r = SQLGetDiagRecW(handleType, handle, record, state, &native, nullptr, 0, &length);
        if (r != SQL_SUCCESS && r != SQL_SUCCESS_WITH_INFO)
            break;
        QList<SQLWCHAR> text(length + 1);
        r = SQLGetDiagRecW(handleType, handle, record, state, &native, text.data(), SQLSMALLINT(text.size()), &length);
        if (r != SQL_SUCCESS && r != SQL_SUCCESS_WITH_INFO)
            break;
        out.append({fromWide(state, 5), fromWide(text.constData(), qMin<qsizetype>(length, text.size() - 1)), int(native)});
    }
    return out;
}

bool isLinkFailure(const QString& state)
{
    return state.startsWith(u"08") || state == u"HYT01";
}

QSqlError makeError(const QString& what, SQLSMALLINT handleType, SQLHANDLE handle, QSqlError::ErrorType type)
{
    const QList<Diagnostic> records = diagnostics(handleType, handle);
    QStringList messages;
    QString code;
    int native = 0;
    for (const Diagnostic& d : records) {
        messages << d.message;
        if (code.isEmpty())
            code = d.state;
        if (native == 0)
            native = d.native;
        if (isLinkFailure(d.state))
            type = QSqlError::ConnectionError;
    }
    if (native != 0)
        code += u' ' + QString::number(native);
    return QSqlError(what, messages.join(u'\n'), type, code);
}

bool TimeTrace::on()
{
    static const bool enabled = qEnvironmentVariableIsSet("TEGARO_SQL_TIMES");
    return enabled;
}

namespace {
qint64 nowNs()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.nsecsElapsed();
}
} // namespace

TimeTrace::TimeTrace() : start_(on() ? nowNs() : 0) {}

double TimeTrace::lap()
{
    if (!on())
        return 0;
    const qint64 now = nowNs();
    const double ms = double(now - start_) / 1e6;
    start_ = now;
    return ms;
}

void TimeTrace::write(const char* step, double ms, const QString& sql)
{
    if (!on())
        return;
    QString text = sql.simplified();
    if (text.size() > 160)
        text = text.left(160) + QStringLiteral("...");
    std::fprintf(stderr, "sql-time %10.3f %-6s %8.2f ms  %s\n", double(nowNs()) / 1e6, step, ms, text.toUtf8().constData());
}

} // namespace tegaro::odbc
