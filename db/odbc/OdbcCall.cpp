#include "db/odbc/OdbcCall.h"

#include <QStringList>

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

} // namespace tegaro::odbc
