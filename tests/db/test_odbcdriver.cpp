#include "test_odbcdriver.h"

#include "HeapInUse.h"
#include "core/Errors.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QRegularExpression>
#include <QSqlRecord>

using namespace tegaro;
using dbtest::Backend;

void OdbcDriverTest::initTestCase()
try {
    qInfo("backend: %s", qPrintable(dbtest::backendName(backend_)));
    if (backend_ == Backend::SqlServer)
        dbtest::prepareServer();
}
DBTEST_CATCH

void OdbcDriverTest::init()
try {
    // A new file each time; one connection to the server, where logging in is slow.
    if (!conn_ || backend_ != Backend::SqlServer) {
        QFile::remove(dir_.filePath(QStringLiteral("driver.sqlite")));
        conn_ = std::make_unique<Connection>();
        conn_->setTarget(dbtest::targetFor(backend_, dbtest::createDatabase(dir_, QStringLiteral("driver.sqlite"))));
    }
    conn_->exec(QStringLiteral("DELETE FROM 基本データ"));
}
DBTEST_CATCH

void OdbcDriverTest::cleanup()
{
    if (backend_ != Backend::SqlServer)
        conn_.reset();
}

void OdbcDriverTest::valuesComeBack_data()
{
    QTest::addColumn<QVariant>("value");
    auto text = [](qsizetype units) {
        QString s;
        for (qsizetype i = 0; i < units; ++i)
            s += QChar(u'あ' + char16_t(i % 80));
        return s;
    };
    QByteArray bytes(70 * 1024, Qt::Uninitialized);
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 31);

    QTest::newRow("Japanese") << QVariant(QStringLiteral("山田　太郎"));
    QTest::newRow("beyond U+FFFF") << QVariant(QStringLiteral("𠮷田"));
    QTest::newRow("empty text") << QVariant(QString(u""_qs));
    QTest::newRow("null text") << QVariant(QMetaType::fromType<QString>());
    // Text is read first in a piece of 8 KB with room for a terminator.
    QTest::newRow("text filling the first piece") << QVariant(text(4095));
    QTest::newRow("text one past the first piece") << QVariant(text(4096));
    QTest::newRow("text past 64 KB") << QVariant(text(32768));
    QTest::newRow("long text") << QVariant(text(100000));
    QTest::newRow("bytes with NUL") << QVariant(QByteArray("a\0b\xff", 4));
    QTest::newRow("bytes filling the first piece") << QVariant(bytes.left(8192));
    QTest::newRow("bytes one past the first piece") << QVariant(bytes.left(8193));
    QTest::newRow("bytes past the first piece") << QVariant(bytes);
    QTest::newRow("null bytes") << QVariant(QMetaType::fromType<QByteArray>());
    QTest::newRow("integer") << QVariant(-42);
    QTest::newRow("big integer") << QVariant(qlonglong(1) << 40);
    QTest::newRow("real") << QVariant(1234.5625);
    QTest::newRow("boolean") << QVariant(true);
    QTest::newRow("date-time") << QVariant(QDateTime(QDate(2002, 10, 13), QTime(22, 22, 32, 123)));
    QTest::newRow("null date-time") << QVariant(QMetaType::fromType<QDateTime>());
}

void OdbcDriverTest::valuesComeBack()
try {
    QFETCH(QVariant, value);
    if (backend_ == Backend::OdbcSqlite && value.toString().contains(QStringLiteral("𠮷")))
        QSKIP("the SQLite ODBC driver garbles characters beyond U+FFFF");
    // SQL Server gives a bare parameter's type to the result; the peer used
    // in tests turns text into the server's code page unless told.
    const bool text = value.metaType().id() == QMetaType::QString;
    QSqlQuery q = conn_->exec(backend_ == Backend::SqlServer && text ? QStringLiteral("SELECT CAST(? AS nvarchar(max))")
                                                                     : QStringLiteral("SELECT ?"),
                              {value});
    QVERIFY(q.next());
    QVariant back = q.value(0);
    QCOMPARE(back.isNull(), value.isNull());
    if (value.isNull())
        return;
    // SQLite gives its own types back (a date-time as text, a boolean as a
    // number); the value must be the same.
    QVERIFY2(back.convert(value.metaType()), back.metaType().name());
    QCOMPARE(back, value);
}
DBTEST_CATCH

void OdbcDriverTest::scrollingResult()
try {
    for (const char* name : {"一", "二", "三"})
        dbtest::addHouse(*conn_, QString::fromUtf8(name));
    QSqlQuery q(conn_->database());
    q.setForwardOnly(false);
    QVERIFY(q.exec(QStringLiteral("SELECT 所有者氏名 FROM 基本データ ORDER BY ID")));
    QCOMPARE(q.record().fieldName(0), QStringLiteral("所有者氏名"));
    QStringList seen;
    auto at = [&] { seen << q.value(0).toString(); };
    QVERIFY(q.last());
    at();
    QVERIFY(q.previous());
    at();
    QVERIFY(q.first());
    at();
    QVERIFY(q.seek(2));
    at();
    QVERIFY(!q.next());
    QCOMPARE(seen.join(u','), QStringLiteral("三,二,一,三"));

    // Forward only: the last row is there, and no way back.
    QSqlQuery forward = conn_->exec(QStringLiteral("SELECT 所有者氏名 FROM 基本データ ORDER BY ID"));
    QVERIFY(forward.last());
    QCOMPARE(forward.value(0).toString(), QStringLiteral("三"));
    QVERIFY(!forward.first());
}
DBTEST_CATCH

void OdbcDriverTest::shortBinaryValuesKeepTheirSize()
try {
    // 10,000 drawings of 8 bytes and as many row versions, held by a result
    // that scrolls: a few hundred KB, not a read buffer per value.
    constexpr int kRows = 10000;
    const QString bytes = conn_->dialect() == SqlDialect::SqlServer ? QStringLiteral("0x0102030405060708")
                                                                    : QStringLiteral("X'0102030405060708'");
    for (int at = 0; at < kRows; at += 500) {
        QStringList rows;
        for (int i = at; i < at + 500; ++i)
            rows << QStringLiteral("(%1, %2)").arg(i).arg(bytes);
        conn_->exec(QStringLiteral("INSERT INTO 基本データ (No, zumen) VALUES ") + rows.join(u','));
    }
    const qint64 before = heapInUse();
    QSqlQuery q(conn_->database());
    q.setForwardOnly(false);
    QVERIFY(q.exec(QStringLiteral("SELECT zumen, RowVer FROM 基本データ")));
    qint64 held = 0;
    int rows = 0;
    while (q.next()) {
        const QByteArray zumen = q.value(0).toByteArray();
        QCOMPARE(zumen, QByteArray("\x01\x02\x03\x04\x05\x06\x07\x08"));
        held += zumen.capacity() + q.value(1).toByteArray().capacity();
        ++rows;
    }
    QCOMPARE(rows, kRows);
    QVERIFY2(held < 1024 * 1024, qPrintable(QStringLiteral("%1 bytes held by the values").arg(held)));
    const qint64 grown = heapInUse() - before;
    QVERIFY2(grown < 4 * 1024 * 1024, qPrintable(QStringLiteral("the heap grew by %1 bytes").arg(grown)));
}
DBTEST_CATCH

void OdbcDriverTest::rowCountsAndTransactions()
try {
    for (const char* name : {"一", "二"})
        dbtest::addHouse(*conn_, QString::fromUtf8(name));
    auto count = [&] {
        QSqlQuery q = conn_->exec(QStringLiteral("SELECT COUNT(*) FROM 基本データ"));
        return q.next() ? q.value(0).toInt() : -1;
    };
    QCOMPARE(conn_->exec(QStringLiteral("UPDATE 基本データ SET 備考 = ?"), {QStringLiteral("x")}).numRowsAffected(), 2);
    QCOMPARE(conn_->exec(QStringLiteral("UPDATE 基本データ SET 備考 = ? WHERE 1 = 0"), {QStringLiteral("x")}).numRowsAffected(), 0);

    QSqlDatabase db = conn_->database();
    QVERIFY(db.transaction());
    conn_->exec(QStringLiteral("DELETE FROM 基本データ"));
    QCOMPARE(count(), 0);
    QVERIFY(db.rollback());
    QCOMPARE(count(), 2);
    QVERIFY(db.transaction());
    dbtest::addHouse(*conn_, QStringLiteral("三"));
    QVERIFY(db.commit());
    QCOMPARE(count(), 3);

    // A statement the server refuses gives its own words and a SQLSTATE.
    QSqlQuery bad(db);
    QVERIFY(!bad.exec(QStringLiteral("SELECT * FROM 無い表")));
    QVERIFY2(bad.lastError().databaseText().contains(QStringLiteral("無い表")), qPrintable(bad.lastError().text()));
    const QString code = bad.lastError().nativeErrorCode();
    QVERIFY2(QRegularExpression(QStringLiteral("^[0-9A-Z]{5}( -?[0-9]+)?$")).match(code).hasMatch(), qPrintable(code));
}
DBTEST_CATCH
