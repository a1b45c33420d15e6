#include "ConnectTest.h"

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

    QTest::newRow("connect") << "connect" << "good" << QStringList{} << true << true;
    QTest::newRow("close box") << "close" << "good" << QStringList{} << false << false;
    QTest::newRow("empty server name") << "connect" << "none" << QStringList{QStringLiteral("接続サーバー名（サービス名）を入力して下さい。")}
                                       << false << false;
    QTest::newRow("no such database") << "connect" << "missing" << QStringList{kConnectFailed, kOpenFailed} << false << false;
    QTest::newRow("not a database") << "connect" << "text" << QStringList{kConnectFailed, kOpenFailed} << false << false;
    QTest::newRow("tables missing") << "connect" << "empty" << QStringList{kOpenFailed} << true << false;
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
