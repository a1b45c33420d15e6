#include "test_conflict.h"

#include "core/Errors.h"
#include "db/RecordSet.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTest>

using namespace tegaro;
using dbtest::Backend;

namespace {
const QString kOwner = QStringLiteral("所有者氏名");
const QString kMemo = QStringLiteral("備考");

QVariant scalar(Connection& c, const QString& sql, const QVariantList& values = {})
{
    QSqlQuery q = c.exec(sql, values);
    return q.next() ? q.value(0) : QVariant();
}

QString owner(RecordSet& rs) { return rs.fieldByName(kOwner).asString(); }

// The message of the exception a call throws, or "<none>".
template <class Call>
QString thrown(Call call)
{
    try {
        call();
    } catch (const EDatabaseError& e) {
        return e.message();
    }
    return QStringLiteral("<none>");
}
} // namespace

void ConflictTest::initTestCase()
try {
    startBackend();
}
DBTEST_CATCH

void ConflictTest::init()
try {
    freshDatabase(QStringLiteral("conflict%1.sqlite"));
}
DBTEST_CATCH

void ConflictTest::cleanup()
{
    endTest();
}

void ConflictTest::refusedPostNamesTheirChanges_data()
{
    QTest::addColumn<QString>("theirs");     // the other user's statement, ? for the record's ID
    QTest::addColumn<QStringList>("listed"); // lines the refusal names
    QTest::addColumn<bool>("deleted");

    QTest::newRow("owner") << "UPDATE 基本データ SET 所有者氏名 = N'他人' WHERE ID = ?" << QStringList{"・所有者氏名: 他人"} << false;
    QTest::newRow("date and area") << "UPDATE 基本データ SET 日付 = '2003-04-01 16:01:00', 床面積 = 120.5 WHERE ID = ?"
                                   << QStringList{"・日付: 2003/04/01 16:01:00", "・床面積: 120.5"} << false;
    QTest::newRow("owner emptied") << "UPDATE 基本データ SET 所有者氏名 = NULL WHERE ID = ?" << QStringList{"・所有者氏名: （空）"} << false;
    QTest::newRow("a drawing stored") << "UPDATE 基本データ SET zumen = 0x616263 WHERE ID = ?" << QStringList{"・zumen: 3 バイト"} << false;
    QTest::newRow("deleted") << "DELETE FROM 基本データ WHERE ID = ?" << QStringList{} << true;
}

void ConflictTest::refusedPostNamesTheirChanges()
try {
    QFETCH(QString, theirs);
    QFETCH(QStringList, listed);
    QFETCH(bool, deleted);
    const qlonglong id = dbtest::addHouse(*conn_, QStringLiteral("山田"));
    dbtest::addHouse(*conn_, QStringLiteral("鈴木"));
    RecordSet rs(conn_.get());
    rs.addSql(QStringLiteral("select * from 基本データ"));
    rs.open();

    auto other = connect();
    if (backend_ != Backend::SqlServer)
        theirs.replace(QStringLiteral("N'"), QStringLiteral("'")).replace(QStringLiteral("0x616263"), QStringLiteral("X'616263'"));
    other->exec(theirs, {id});
    // Someone else also changes the next record: the record read again alone
    // must not bring that along.
    other->exec(QStringLiteral("UPDATE 基本データ SET 所有者氏名 = ? WHERE 所有者氏名 = ?"), {QStringLiteral("鈴木改"), QStringLiteral("鈴木")});

    rs.edit();
    rs.fieldByName(kMemo).setAsString(QStringLiteral("私のメモ"));
    const QString refused = thrown([&] { rs.post(); });
    QVERIFY2(refused.startsWith(deleted ? QStringLiteral("このレコードは読み込んだ後に他のユーザーが削除しました")
                                        : QStringLiteral("このレコードは読み込んだ後に他のユーザーが変更しました。データを更新してからやり直してください")),
             qPrintable(refused));
    for (const QString& line : listed)
        QVERIFY2(refused.contains(u'\n' + line), qPrintable(refused));
    QVERIFY2(!refused.contains(QStringLiteral("・備考")) && !refused.contains(QStringLiteral("RowVer")), qPrintable(refused));
    QCOMPARE(rs.state(), DataSetState::Edit);
    QVERIFY(rs.hasConflict());
    QCOMPARE(rs.fieldByName(kMemo).asString(), QStringLiteral("私のメモ"));
    // The next move posts first, and is refused the same way.
    QCOMPARE(thrown([&] { rs.next(); }), refused);
    QCOMPARE(rs.recNo(), 1);
    QCOMPARE(rs.fieldByName(kMemo).asString(), QStringLiteral("私のメモ"));

    rs.refreshRecord();
    QCOMPARE(rs.state(), DataSetState::Browse);
    QVERIFY(!rs.hasConflict());
    if (deleted) {
        QCOMPARE(rs.recordCount(), 1);
        QCOMPARE(owner(rs), QStringLiteral("鈴木"));
        return;
    }
    QCOMPARE(rs.recordCount(), 2);
    QVERIFY(rs.fieldByName(kMemo).isNull());
    QCOMPARE(rs.fieldByName(QStringLiteral("ID")).value().toLongLong(), id);
    // Now the user's change goes through, over the other user's.
    rs.edit();
    rs.fieldByName(kMemo).setAsString(QStringLiteral("私のメモ"));
    rs.post();
    QCOMPARE(scalar(*conn_, QStringLiteral("SELECT 備考 FROM 基本データ WHERE ID = ?"), {id}).toString(), QStringLiteral("私のメモ"));
    rs.next();
    QCOMPARE(owner(rs), QStringLiteral("鈴木"));
}
DBTEST_CATCH

void ConflictTest::lostAnswerIsSettled_data()
{
    QTest::addColumn<bool>("insert");
    QTest::addColumn<bool>("ran");          // the server did the work before the link broke
    QTest::addColumn<QString>("meanwhile"); // typed after the failure, into 所有者氏名
    QTest::addColumn<bool>("otherChanges"); // another user changes the record meanwhile
    QTest::addColumn<QString>("second");    // what the second post says: "saved", "posted" or "conflict"

    QTest::newRow("update saved") << false << true << "" << false << "saved";
    QTest::newRow("update saved, more typed") << false << true << "田中" << false << "saved";
    QTest::newRow("update not sent") << false << false << "" << false << "posted";
    QTest::newRow("update saved, then changed by another") << false << true << "" << true << "conflict";
    QTest::newRow("insert saved") << true << true << "" << false << "saved";
    QTest::newRow("insert saved, more typed") << true << true << "田中" << false << "saved";
    QTest::newRow("insert not sent") << true << false << "" << false << "posted";
}

void ConflictTest::lostAnswerIsSettled()
try {
    QFETCH(bool, insert);
    QFETCH(bool, ran);
    QFETCH(QString, meanwhile);
    QFETCH(bool, otherChanges);
    QFETCH(QString, second);
    const qlonglong id = dbtest::addHouse(*conn_, QStringLiteral("山田"));
    RecordSet rs(conn_.get());
    rs.addSql(QStringLiteral("select * from 基本データ"));
    rs.open();
    const QVariant versionBefore = rs.fieldByName(QStringLiteral("RowVer")).value();
    QSignalSpy notices(&rs, &RecordSet::notice);
    insert ? rs.append() : rs.edit();
    rs.fieldByName(kMemo).setAsString(QStringLiteral("送ったメモ"));

    conn_->loseLinkAtNextWrite(ran ? Connection::LinkLoss::AfterRunning : Connection::LinkLoss::BeforeRunning);
    try {
        rs.post();
        QFAIL("a post whose answer is lost must fail");
    } catch (const EDatabaseLinkLost& e) {
        QVERIFY2(e.message().contains(QStringLiteral("接続が切れました")), qPrintable(e.message()));
        QVERIFY(!e.detail().isEmpty());
    }
    QCOMPARE(rs.state(), insert ? DataSetState::Insert : DataSetState::Edit);
    QVERIFY(rs.hasUnsettledPost());
    if (!meanwhile.isEmpty())
        rs.fieldByName(kOwner).setAsString(meanwhile);
    if (otherChanges)
        connect()->exec(QStringLiteral("UPDATE 基本データ SET 所有者氏名 = ? WHERE ID = ?"), {QStringLiteral("他人"), id});

    const QString said = thrown([&] { rs.post(); });
    if (second == u"conflict") {
        QVERIFY2(said.startsWith(QStringLiteral("このレコードは読み込んだ後に他のユーザーが変更しました")), qPrintable(said));
        QCOMPARE(rs.state(), DataSetState::Edit);
        QCOMPARE(notices.count(), 0);
        return;
    }
    QCOMPARE(said, QStringLiteral("<none>"));
    QCOMPARE(rs.state(), DataSetState::Browse);
    QVERIFY(!rs.hasUnsettledPost());
    QCOMPARE(notices.count(), second == u"saved" ? 1 : 0);
    if (second == u"saved")
        QCOMPARE(notices.first().first().toString(), QStringLiteral("接続が切れる前に保存されていました。"));

    // Written once: one row with the memo, and what was typed meanwhile too.
    QCOMPARE(scalar(*conn_, QStringLiteral("SELECT COUNT(*) FROM 基本データ WHERE 備考 = ?"), {QStringLiteral("送ったメモ")}).toInt(), 1);
    QCOMPARE(scalar(*conn_, QStringLiteral("SELECT COUNT(*) FROM 基本データ")).toInt(), insert ? 2 : 1);
    const QString expectedOwner = !meanwhile.isEmpty() ? meanwhile : insert ? QString()
                                                                            : QStringLiteral("山田");
    QCOMPARE(scalar(*conn_, QStringLiteral("SELECT 所有者氏名 FROM 基本データ WHERE 備考 = ?"), {QStringLiteral("送ったメモ")}).toString(), expectedOwner);
    QCOMPARE(rs.fieldByName(kMemo).asString(), QStringLiteral("送ったメモ"));
    QVERIFY(!rs.fieldByName(QStringLiteral("ID")).isNull());
    if (!insert && backend_ != Backend::SqlServer) {
        // One write, or two when more was typed: the version says so.
        const int writes = meanwhile.isEmpty() ? 1 : 2;
        QCOMPARE(rs.fieldByName(QStringLiteral("RowVer")).value().toLongLong(), versionBefore.toLongLong() + writes);
    }
}
DBTEST_CATCH

void ConflictTest::lockedRowWaitEnds()
try {
    if (backend_ == Backend::OdbcSqlite)
        QSKIP("the SQLite ODBC driver keeps its own busy timeout");
    const qlonglong id = dbtest::addHouse(*conn_, QStringLiteral("山田"));
    auto ours = connect(1);
    RecordSet rs(ours.get());
    rs.addSql(QStringLiteral("select * from 基本データ"));
    rs.open();

    // Another session holds the row in a transaction of its own.
    auto holder = connect();
    QSqlDatabase db = holder->database();
    QVERIFY(db.transaction());
    holder->exec(QStringLiteral("UPDATE 基本データ SET 所有者氏名 = ? WHERE ID = ?"), {QStringLiteral("保留中"), id});

    rs.edit();
    rs.fieldByName(kMemo).setAsString(QStringLiteral("待つメモ"));
    QCOMPARE(thrown([&] { rs.post(); }), QStringLiteral("他のユーザーがこのレコードを更新中です。しばらくしてからやり直してください。"));
    QCOMPARE(rs.state(), DataSetState::Edit);
    QVERIFY(!rs.hasConflict());

    // Once the other session is done, the post goes through, or is refused
    // for its change: never lost.
    QVERIFY(db.rollback());
    rs.post();
    QCOMPARE(scalar(*conn_, QStringLiteral("SELECT 備考 FROM 基本データ WHERE ID = ?"), {id}).toString(), QStringLiteral("待つメモ"));
}
DBTEST_CATCH

void ConflictTest::waitIsSetWithTheFirstStatement_data()
{
    QTest::addColumn<bool>("withValues");
    QTest::newRow("a first statement without values") << false;
    QTest::newRow("a first statement with values") << true;
}

void ConflictTest::waitIsSetWithTheFirstStatement()
try {
    if (backend_ != Backend::SqlServer)
        QSKIP("the server's lock timeout");
    QFETCH(bool, withValues);
    const qlonglong id = dbtest::addHouse(*conn_, QStringLiteral("山田"));
    auto holder = connect();
    QSqlDatabase db = holder->database();
    QVERIFY(db.transaction());
    holder->exec(QStringLiteral("UPDATE 基本データ SET 所有者氏名 = ? WHERE ID = ?"), {QStringLiteral("保留中"), id});

    // The session's first statement waits for the row only so long, and
    // the setting holds for the statements after it.
    auto ours = connect(1);
    const QString locked = QStringLiteral("他のユーザーがこのレコードを更新中です。しばらくしてからやり直してください。");
    if (withValues)
        QCOMPARE(thrown([&] { ours->exec(QStringLiteral("UPDATE 基本データ SET 備考 = ? WHERE ID = ?"), {QStringLiteral("待つ"), id}); }), locked);
    else
        QCOMPARE(thrown([&] { ours->exec(QStringLiteral("UPDATE 基本データ SET 備考 = N'待つ' WHERE ID = %1").arg(id)); }), locked);
    QCOMPARE(scalar(*ours, QStringLiteral("SELECT @@LOCK_TIMEOUT")).toInt(), 1000);
    QVERIFY(db.rollback());
}
DBTEST_CATCH

void ConflictTest::longStatementEnds()
try {
    if (backend_ != Backend::SqlServer)
        QSKIP("only the server's statements have a time limit");
    auto ours = connect(1);
    // Well past the limit at any speed, yet ending by itself: the server
    // goes on with a statement its client gave up on, and a cross product of
    // the whole catalog three times kept a core busy for over an hour.
    const QString text = thrown([&] {
        ours->exec(QStringLiteral("SELECT COUNT_BIG(*) FROM sys.all_columns a CROSS JOIN sys.all_columns b "
                                  "CROSS JOIN (SELECT TOP 8 object_id FROM sys.all_columns) c"));
    });
    QCOMPARE(text, QStringLiteral("データベースの処理が1秒で終わらなかったため中止しました。しばらくしてからやり直してください。"));
    QCOMPARE(scalar(*ours, QStringLiteral("SELECT 1")).toInt(), 1);
}
DBTEST_CATCH

void ConflictTest::unreachableServerInJapanese()
try {
    if (backend_ != Backend::SqlServer)
        QSKIP("a file is not a server");
    // Nothing listens on port 1 of this machine.
    QString connectString = qEnvironmentVariable("TEGARO_TEST_MSSQL");
    connectString.replace(QRegularExpression(QStringLiteral("PORT=\\d+"), QRegularExpression::CaseInsensitiveOption), QStringLiteral("PORT=1"));
    Connection away;
    away.setTarget(odbcStringTarget(connectString));
    try {
        away.open();
        QFAIL("nothing listens there");
    } catch (const EDatabaseError& e) {
        QCOMPARE(e.message(), QStringLiteral("データベースサーバーに接続できません。サーバーが動いているか、ネットワークを確かめてください。"));
        QVERIFY2(e.detail().contains(QStringLiteral("FreeTDS")), qPrintable(e.detail()));
        QVERIFY(!e.detail().contains(QStringLiteral("Tegaro_Test_1")));
    }
}
DBTEST_CATCH
