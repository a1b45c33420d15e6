#include "test_connect.h"

#include "DbFixture.h"
#include "core/Errors.h"
#include "support/ScriptedSeam.h"
#include "db/login/ConnectCommand.h"
#include "db/ConnectionText.h"
#include "db/DataAccess.h"
#include "db/login/TSQLLogin.h"

#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

using namespace tegaro;

namespace {
const QString kConnectFailed = QStringLiteral("ＤＢ接続に失敗しました。");
const QString kOpenFailed = QStringLiteral("ＤＢをオープン出来ませんでした。");

// What the user does in the dialog before it closes.
void answer(TSQLLogin& d, const QString& action, const QString& server)
{
    d.FormShow();
    d.SQLname->setText(server);
    if (action == u"connect")
        d.Button1Click();
    // "close": the close box, nothing else
}
// The connect command of a fresh window, answered with these values.
struct ServerWindow {
    ScriptedSeam seam;
    TSQLLogin dialog;
    DataAccess data;
    ConnectCommand command{dialog, data, {}};
    explicit ServerWindow(const dbtest::ServerLogin& login)
    {
        command.showDialog = [login](TSQLLogin& d) {
            d.FormShow();
            d.SQLname->setText(login.server);
            d.userid->setText(login.user);
            d.pwd->setText(login.password);
            d.Button1Click();
        };
    }
};

// Reads and lets go at once: an open read would lock the file for writers.
QString memoOf(Connection& c, const QString& owner)
{
    QSqlQuery q = c.exec(QStringLiteral("SELECT 備考 FROM 基本データ WHERE 所有者氏名 = ?"), {owner});
    return q.next() ? q.value(0).toString() : QStringLiteral("<no row>");
}
} // namespace

void ConnectTest::connectOutcomes_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("database"); // good, missing, empty
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("connectionOpen");
    QTest::addColumn<bool>("setsOpen");

    QTest::newRow("connect") << "connect"
                             << "good" << QStringList{} << true << true;
    QTest::newRow("close box") << "close"
                               << "good" << QStringList{} << false << false;
    QTest::newRow("empty server name") << "connect"
                                       << "none" << QStringList{QStringLiteral("接続サーバー名（サービス名）を入力して下さい。")}
                                       << false << false;
    QTest::newRow("no such database") << "connect"
                                      << "missing" << QStringList{kConnectFailed, kOpenFailed} << false << false;
    QTest::newRow("not a database") << "connect"
                                    << "text" << QStringList{kConnectFailed, kOpenFailed} << false << false;
    QTest::newRow("tables missing") << "connect"
                                    << "empty" << QStringList{kOpenFailed} << true << false;
}

void ConnectTest::connectOutcomes()
{
    QFETCH(QString, action);
    QFETCH(QString, database);
    QFETCH(QStringList, messages);
    QFETCH(bool, connectionOpen);
    QFETCH(bool, setsOpen);

    QTemporaryDir dir;
    QString path = dbtest::createDatabase(dir);
    {
        Connection c;
        c.setTarget(sqliteFileTarget(path));
        dbtest::addHouse(c, QStringLiteral("山田"), {}, QByteArray("drawing"));
        dbtest::addHouse(c, QStringLiteral("鈴木"));
        c.exec(QStringLiteral("INSERT INTO 行政区 (所在区) VALUES ('北区'), ('南区')"));
    }
    QString server = path;
    if (database == u"missing")
        server = dir.filePath(QStringLiteral("nothing.sqlite"));
    if (database == u"none")
        server.clear();
    if (database == u"empty" || database == u"text") {
        server = dir.filePath(QStringLiteral("other.sqlite"));
        QFile f(server);
        QVERIFY(f.open(QIODevice::WriteOnly));
        if (database == u"text")
            f.write(QByteArray(4096, 'x'));
    }

    ScriptedSeam seam;
    TSQLLogin dialog;
    DataAccess data;
    int navigatorCalls = 0;
    ConnectCommand command(dialog, data, [&] { ++navigatorCalls; });
    command.showDialog = [&](TSQLLogin& d) { answer(d, action, server); };
    QSignalSpy scrolls(data.DataSource1, &DataSource::afterScroll);

    command.ToolbarButton976Click();
    QCOMPARE(navigatorCalls, 1);
    QCOMPARE(seam.messages(), messages);
    QCOMPARE(data.ADOConnection1->isOpen(), connectionOpen);
    QCOMPARE(data.ADOQuery1->isOpen(), setsOpen);
    QCOMPARE(data.ADOTable2->isOpen(), setsOpen);
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("nothing.sqlite")))); // never made up
    if (setsOpen) {
        QCOMPARE(data.ADOQuery1->recNo(), 1);
        QCOMPARE(data.ADOQuery1->fieldByName(QStringLiteral("zumen")).blobSize(), 7);
        QCOMPARE(data.ADOTable2->recordCount(), 2);
        QCOMPARE(scrolls.count(), 2); // the open, then the move to the first row
        QVERIFY(data.ADOConnection1->connectionText().endsWith(QStringLiteral("PASSWORD=")));
    }
}

void ConnectTest::reconnectPostsPendingEdit()
{
    QTemporaryDir dir;
    QString path = dbtest::createDatabase(dir);
    QString other = dbtest::createDatabase(dir, QStringLiteral("other.sqlite"));
    Connection check;
    check.setTarget(sqliteFileTarget(path));
    dbtest::addHouse(check, QStringLiteral("一"));
    dbtest::addHouse(check, QStringLiteral("二"));

    ScriptedSeam seam;
    TSQLLogin dialog;
    DataAccess data;
    ConnectCommand command(dialog, data, {});
    QString server = path;
    command.showDialog = [&](TSQLLogin& d) { answer(d, QStringLiteral("connect"), server); };
    command.ToolbarButton976Click();
    RecordSet& q = *data.ADOQuery1;
    q.last();
    q.edit();
    q.fieldByName(QStringLiteral("備考")).setAsString(QStringLiteral("保存して"));

    // Same values: the same connection, both sets back at their first rows,
    // the pending edit posted by that move.
    command.ToolbarButton976Click();
    QVERIFY(seam.messages().isEmpty());
    QCOMPARE(q.recNo(), 1);
    QCOMPARE(q.state(), DataSetState::Browse);
    QCOMPARE(memoOf(check, QStringLiteral("二")), QStringLiteral("保存して"));

    // Other values: the edit is posted before the old connection goes.
    q.edit();
    q.fieldByName(QStringLiteral("備考")).setAsString(QStringLiteral("これも"));
    server = other;
    command.ToolbarButton976Click();
    QVERIFY(seam.messages().isEmpty());
    QCOMPARE(q.recordCount(), 0);
    QCOMPARE(memoOf(check, QStringLiteral("一")), QStringLiteral("これも"));
}

void ConnectTest::serverLogins_data()
{
    QTest::addColumn<QString>("password"); // empty: the test login itself
    QTest::newRow("the test login") << QString();
    QTest::newRow("closing brace") << "a}b_Pw1";
    QTest::newRow("semicolon") << "p;q_Pw1";
    QTest::newRow("brace and semicolon") << "x};y_Pw1";
    QTest::newRow("all in braces") << "{pw}_Pw1";
    QTest::newRow("blank first") << " pw_Pw1";
}

void ConnectTest::serverLogins()
try {
    DBTEST_NEEDS_SERVER();
    QFETCH(QString, password);
    dbtest::prepareServer();
    dbtest::ServerLogin login = dbtest::serverLogin();
    if (!password.isEmpty()) {
        // A login of its own that may read the tables.
        Connection& admin = dbtest::serverAdmin();
        const QString user = QStringLiteral("tegaro_pwtest");
        QString literal = password;
        literal.replace(u'\'', QStringLiteral("''"));
        admin.exec(QStringLiteral("IF SUSER_ID(N'%1') IS NULL CREATE LOGIN [%1] WITH PASSWORD = N'%2'").arg(user, literal));
        admin.exec(QStringLiteral("ALTER LOGIN [%1] WITH PASSWORD = N'%2'").arg(user, literal));
        admin.exec(QStringLiteral("IF USER_ID(N'%1') IS NULL CREATE USER [%1] FOR LOGIN [%1]").arg(user));
        admin.exec(QStringLiteral("GRANT SELECT ON [基本データ] TO [%1]").arg(user));
        admin.exec(QStringLiteral("GRANT SELECT ON [行政区] TO [%1]").arg(user));
        login.user = user;
        login.password = password;
    }
    ServerWindow w(login);
    w.command.ToolbarButton976Click();
    QCOMPARE(w.seam.messages(), QStringList{});
    QVERIFY(w.data.ADOQuery1->isOpen());
    QVERIFY(w.data.ADOTable2->isOpen());

    // A wrong password is refused with the connect message, and never shown.
    login.password += u'x';
    ServerWindow wrong(login);
    wrong.command.ToolbarButton976Click();
    QCOMPARE(wrong.seam.messages(), (QStringList{kConnectFailed, kOpenFailed}));
    QVERIFY(!wrong.data.ADOQuery1->isOpen());
}
DBTEST_CATCH

void ConnectTest::serverReconnect_data()
{
    QTest::addColumn<bool>("ended"); // the server ended the session meanwhile
    QTest::newRow("server still there") << false;
    QTest::newRow("session ended") << true;
}

void ConnectTest::serverReconnect()
try {
    DBTEST_NEEDS_SERVER();
    QFETCH(bool, ended);
    dbtest::prepareServer();
    Connection& check = dbtest::serverAdmin();
    check.exec(QStringLiteral("DELETE FROM 基本データ"));
    dbtest::addHouse(check, QStringLiteral("一"));
    dbtest::addHouse(check, QStringLiteral("二"));

    ServerWindow w(dbtest::serverLogin());
    w.command.ToolbarButton976Click();
    RecordSet& q = *w.data.ADOQuery1;
    q.last();
    q.edit();
    q.fieldByName(QStringLiteral("備考")).setAsString(QStringLiteral("再接続で保存"));
    const int session = dbtest::serverSession(*w.data.ADOConnection1);
    if (ended)
        dbtest::endServerSession(session);

    // 接続 with the same values: the same session while it lives, a new one
    // after it ended; either way the edit is posted and no message shown.
    w.command.ToolbarButton976Click();
    QCOMPARE(w.seam.messages(), QStringList{});
    QCOMPARE(q.recNo(), 1);
    QCOMPARE(q.state(), DataSetState::Browse);
    QCOMPARE(memoOf(check, QStringLiteral("二")), QStringLiteral("再接続で保存"));
    QCOMPARE(dbtest::serverSession(*w.data.ADOConnection1) == session, !ended);

    // A refresh over a session the server ended says so in plain words; the
    // next one connects again.
    dbtest::endServerSession(dbtest::serverSession(*w.data.ADOConnection1));
    try {
        q.refresh();
        QFAIL("a refresh over an ended session must fail");
    } catch (const EDatabaseError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("接続が切れました")), qPrintable(e.message()));
    }
    q.refresh();
    QCOMPARE(q.recordCount(), 2);
}
DBTEST_CATCH

void ConnectTest::passwordNeverInErrors()
{
    // A server that is not there: the driver's text must not carry the password.
    Connection c;
    c.setConnectionText(buildConnectionText(QStringLiteral("127.0.0.1,1"), QStringLiteral("sa"), QStringLiteral("s3cr=t;pw")));
    try {
        c.open();
        QFAIL("no server listens on port 1");
    } catch (const EDatabaseError& e) {
        QVERIFY2(!e.message().contains(QStringLiteral("s3cr=t")), qPrintable(e.message()));
    }
}
