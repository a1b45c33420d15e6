#pragma once
// A Qt SQL driver over the wide-character ODBC calls of the driver manager.
//
// Qt's own ODBC driver binds text as narrow characters in the server's code
// page when the driver is FreeTDS, so Japanese text fails on a server with
// an English collation, and characters outside CP932 fail everywhere. This
// one binds every text parameter as NVARCHAR (SQL_C_WCHAR) and reads every
// text column as wide characters.
//
// The database name given to open() is an ODBC connection string; the user
// name and password go apart from it (see OdbcLogin.h). Connect options:
// "SQL_ATTR_LOGIN_TIMEOUT=s;SQL_ATTR_CONNECTION_TIMEOUT=s;SQL_ATTR_PACKET_SIZE=n;
// SQL_ATTR_QUERY_TIMEOUT=s"; the query timeout goes to every statement.
#include "db/odbc/OdbcCall.h"

#include <QSqlDriver>

namespace tegaro::odbc {

// The name under which registerDriver() makes the driver known to Qt.
inline constexpr char kDriverName[] = "TEGARO_ODBC";
void registerDriver();

class Driver : public QSqlDriver {
    Q_OBJECT
public:
    explicit Driver(QObject* parent = nullptr);
    ~Driver() override;

    bool hasFeature(DriverFeature feature) const override;
    bool open(const QString& db, const QString& user, const QString& password, const QString& host, int port,
              const QString& options) override;
    void close() override;
    QSqlResult* createResult() const override;
    bool beginTransaction() override;
    bool commitTransaction() override;
    bool rollbackTransaction() override;
    QString escapeIdentifier(const QString& identifier, IdentifierType type) const override;
    QVariant handle() const override;

    // For the results: the connection, and a number that changes whenever
    // it is closed, so a statement of an earlier connection is never used.
    SQLHDBC connection() const { return dbc_; }
    int generation() const { return generation_; }
    // The driver found the link to the server broken.
    bool connectionDead() const;
    // Settings every new statement gets (the query timeout).
    void prepareStatement(SQLHSTMT statement) const;

private:
    bool applyOptions(const QString& options);
    bool endTransaction(SQLSMALLINT completion);
    void freeHandles();

    SQLHENV env_ = nullptr;
    SQLHDBC dbc_ = nullptr;
    int generation_ = 0;
    SQLULEN queryTimeout_ = 0; // seconds; 0 waits for ever
};

} // namespace tegaro::odbc
