#pragma once
// Real databases for the tests: an embedded file in a temporary folder,
// reached through QSQLITE or through our ODBC driver and the SQLite ODBC
// driver, and a SQL Server when TEGARO_TEST_MSSQL holds an ODBC connection
// string; its database and tables are made when missing. That run empties
// both tables before every test: never point it at real records.
#include "db/Connection.h"
#include "db/DatabaseTarget.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <exception>
#include <memory>

// Ends a test function written as a function-try-block:
//     void SomeTest::something()
//     try { ... } DBTEST_CATCH
// An error of the program (a database error above all) then fails that one
// test with its message, where escaping Qt Test would end the whole run.
// Skips a test when no SQL Server is named, and says so.
#define DBTEST_NEEDS_SERVER()                             \
    if (qEnvironmentVariableIsEmpty("TEGARO_TEST_MSSQL")) \
    QSKIP("TEGARO_TEST_MSSQL holds no SQL Server connection string; SQL Server run skipped")

#define DBTEST_CATCH \
    catch (const std::exception& e) { QTest::qFail(e.what(), __FILE__, __LINE__); }

namespace dbtest {

enum class Backend {
    Sqlite,
    OdbcSqlite,
    SqlServer
};
QString backendName(Backend backend);

// Why a backend cannot be tested here, or empty when it can.
QString backendMissing(Backend backend);

// The SQLite ODBC driver library, or empty when it is not installed.
QString sqliteOdbcDriver();

// Creates a schema in a new file and returns its path.
QString createDatabase(const QTemporaryDir& dir, const QString& name = QStringLiteral("test.sqlite"));
// How a backend reaches that file (SqlServer ignores the path).
tegaro::DatabaseTarget targetFor(Backend backend, const QString& path);

// What a user types into the login dialog for the server of
// TEGARO_TEST_MSSQL: "host,port", the login and its password.
struct ServerLogin {
    QString server, user, password;
};
ServerLogin serverLogin();

// Makes the database of TEGARO_TEST_MSSQL when it is missing and the house
// tables in it, as "tegaro-db init --server" does; once a run.
void prepareServer();
// One connection to that server for the tests' own statements, kept for the
// whole run: logging in to a server is slow.
tegaro::Connection& serverAdmin();
// The server's number of the connection's session, for ending it from
// another one as a server restart would.
int serverSession(tegaro::Connection& c);
void endServerSession(int session);

// What the tests run once per backend share: a folder for their files, a
// fresh database for every test, and on the server one connection for the
// whole run, its tables emptied instead (logging in is slow there).
class BackendCase : public QObject {
public:
    explicit BackendCase(Backend backend) : backend_(backend) {}

protected:
    // From initTestCase: says which backend runs, and readies the server.
    void startBackend();
    // From init: a new file named by `stem` (with %1 for its number), or
    // on the server these tables emptied; `conn_` reaches it.
    void freshDatabase(const QString& stem, const QStringList& serverTables = {QStringLiteral("基本データ")});
    // From cleanup: a file's connection ends with its test.
    void endTest();
    std::unique_ptr<tegaro::Connection> connect(int waitSeconds = 10) const;

    Backend backend_;
    QTemporaryDir dir_;
    QString path_;
    int databases_ = 0;
    std::unique_ptr<tegaro::Connection> conn_;
};

// Inserts one house record with the given owner and returns its ID.
qlonglong addHouse(tegaro::Connection& c, const QString& owner, const QVariant& date = {},
                   const QByteArray& zumen = {});

} // namespace dbtest
