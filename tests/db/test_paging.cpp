#include "test_paging.h"

#include "core/Errors.h"
#include "db/RecordSet.h"
#include "db/RecordSetModel.h"
#include "db/ResultRows.h"
#include "db/SqlText.h"

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTest>
#include <algorithm>

using namespace tegaro;
using dbtest::Backend;

namespace {
constexpr int kHouses = 3000; // well past the rows a result keeps at hand
constexpr int kKeptAtMost = ResultRows::kKeptRows + ResultRows::kPageRows;
const QDate kFirstDay(2002, 1, 1);

// House i: No i, owner 名0000i, surveyed on day i % 100 at 16:01.
void addHouses(Connection& c, int count)
{
    const bool server = c.dialect() == SqlDialect::SqlServer;
    for (int at = 0; at < count; at += 500) {
        QStringList rows;
        for (int i = at; i < qMin(count, at + 500); ++i) {
            const QString day = kFirstDay.addDays(i % 100).toString(QStringLiteral("yyyy-MM-dd"));
            rows << QStringLiteral("(%1, %2'名%3', '%4 16:01:00')").arg(i).arg(server ? QStringLiteral("N") : QString()).arg(i, 5, 10, QChar(u'0')).arg(day);
        }
        c.exec(QStringLiteral("INSERT INTO 基本データ (No, 所有者氏名, 日付) VALUES ") + rows.join(u','));
    }
}

int no(RecordSet& rs)
{
    const Field f = rs.fieldByName(QStringLiteral("No"));
    return f.isNull() ? -1 : f.asString().toInt();
}
} // namespace

void PagingTest::initTestCase()
try {
    startBackend();
}
DBTEST_CATCH

void PagingTest::init()
try {
    freshDatabase(QStringLiteral("paging%1.sqlite"));
    addHouses(*conn_, kHouses);
}
DBTEST_CATCH

void PagingTest::cleanup()
{
    endTest();
}

void PagingTest::everyPositionShowsItsRow()
try {
    RecordSet rs(conn_.get());
    rs.addSql(QStringLiteral("select * from 基本データ"));
    rs.open();
    QVERIFY(rs.isPaged());
    QCOMPARE(rs.recordCount(), kHouses);
    for (int p = 0; p < kHouses; ++p, rs.next()) {
        QCOMPARE(no(rs), p);
        QVERIFY2(rs.keptRows() <= kKeptAtMost, qPrintable(QString::number(rs.keptRows())));
    }
    QVERIFY(rs.eof());
    rs.last();
    QCOMPARE(no(rs), kHouses - 1);
    rs.prior();
    QCOMPARE(no(rs), kHouses - 2);
    rs.first();
    QCOMPARE(no(rs), 0);

    QRandomGenerator random(7);
    for (int i = 0; i < 200; ++i) {
        const int p = int(random.bounded(kHouses));
        rs.moveTo(p);
        QCOMPARE(no(rs), p);
        QCOMPARE(rs.recNo(), p + 1);
    }
    // Any row read without moving, as a list view reads it.
    const int at = rs.recNo();
    const int column = rs.fieldIndex(QStringLiteral("No"));
    for (int p : {kHouses - 1, 0, 63, 64, 1500, 2047, 2048})
        QCOMPARE(rs.valueAt(p, column).toInt(), p);
    QCOMPARE(rs.recNo(), at);
    QVERIFY(rs.keptRows() <= kKeptAtMost);
}
DBTEST_CATCH

void PagingTest::searchesAndOrders_data()
{
    QTest::addColumn<QStringList>("sql");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("firstNo");
    QTest::addColumn<int>("lastNo");
    QTest::addColumn<int>("step"); // of No from one record to the next, 0: any

    QTest::newRow("all") << QStringList{"select * from 基本データ"} << kHouses << 0 << kHouses - 1 << 1;
    QTest::newRow("owner prefix") << QStringList{"SELECT * FROM 基本データ ", "where 所有者氏名 Like ", "'名0299%'", ";"} << 10 << 2990 << 2999 << 1;
    QTest::newRow("dates with parameters") << QStringList{"SELECT * FROM 基本データ ", "Where ", "日付 >= :Date_s", " and ", "日付 <= :Date_e", ";"}
                                           << 60 << 11 << 2912 << 0;
    QTest::newRow("an order of its own") << QStringList{"select * from 基本データ order by No desc"} << kHouses << kHouses - 1 << 0 << -1;
    QTest::newRow("order words in a literal") << QStringList{"select * from 基本データ where 所有者氏名 <> 'order by No desc'"} << kHouses << 0 << kHouses - 1 << 1;
    QTest::newRow("nothing found") << QStringList{"select * from 基本データ where No < 0"} << 0 << -1 << -1 << 0;
}

void PagingTest::searchesAndOrders()
try {
    QFETCH(QStringList, sql);
    QFETCH(int, count);
    QFETCH(int, firstNo);
    QFETCH(int, lastNo);
    QFETCH(int, step);
    RecordSet rs(conn_.get());
    for (const QString& line : sql)
        rs.addSql(line);
    // From 22:22:32 on day 10 to 22:22:55 on day 12: days 11 and 12.
    rs.setParameter(QStringLiteral("Date_s"), QDateTime(kFirstDay.addDays(10), QTime(22, 22, 32)));
    rs.setParameter(QStringLiteral("Date_e"), QDateTime(kFirstDay.addDays(12), QTime(22, 22, 55)));
    rs.open();
    QVERIFY(rs.isPaged());
    QCOMPARE(rs.recordCount(), count);
    if (count == 0) {
        QCOMPARE(rs.recNo(), 0);
        return;
    }
    QCOMPARE(no(rs), firstNo);
    int previous = no(rs);
    for (int i = 1; i < count; ++i) {
        rs.next();
        if (step)
            QCOMPARE(no(rs), previous + step);
        previous = no(rs);
    }
    QVERIFY(rs.eof());
    rs.last();
    QCOMPARE(no(rs), lastNo);
}
DBTEST_CATCH

void PagingTest::rowsOthersDeleteOrChange()
try {
    RecordSet rs(conn_.get());
    rs.addSql(QStringLiteral("select * from 基本データ"));
    rs.open();
    QCOMPARE(rs.recordCount(), kHouses); // the keys, read before the others' changes
    Connection other;
    other.setTarget(dbtest::targetFor(backend_, path_));
    other.exec(QStringLiteral("DELETE FROM 基本データ WHERE No = 2500"));
    other.exec(QStringLiteral("UPDATE 基本データ SET 備考 = ? WHERE No = 2600"), {QStringLiteral("他人のメモ")});

    // Rows not read yet are read as they are now.
    rs.moveTo(2600);
    QCOMPARE(rs.fieldByName(QStringLiteral("備考")).asString(), QStringLiteral("他人のメモ"));
    // A row that is gone keeps its place, empty; a post there says why it fails.
    rs.moveTo(2500);
    QCOMPARE(rs.recordCount(), kHouses);
    QCOMPARE(no(rs), -1);
    QVERIFY(rs.fieldByName(QStringLiteral("所有者氏名")).isNull());
    rs.edit();
    rs.fieldByName(QStringLiteral("備考")).setAsString(QStringLiteral("私のメモ"));
    try {
        rs.post();
        QFAIL("a post to a deleted row must fail");
    } catch (const EDatabaseError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("削除しました")), qPrintable(e.message()));
    }
    rs.cancel();

    // A refresh reads the keys again and keeps the record by its key.
    rs.moveTo(2601);
    rs.refresh();
    QCOMPARE(rs.recordCount(), kHouses - 1);
    QCOMPARE(no(rs), 2601);
    QCOMPARE(rs.recNo(), 2601);
    rs.moveTo(2500);
    QCOMPARE(no(rs), 2501);
}
DBTEST_CATCH

void PagingTest::insertAndCancelInTheMiddle()
try {
    RecordSet rs(conn_.get());
    rs.addSql(QStringLiteral("select * from 基本データ"));
    rs.open();
    rs.moveTo(1000);
    rs.insert();
    QCOMPARE(rs.recordCount(), kHouses + 1);
    QCOMPARE(rs.recNo(), 1001);
    rs.fieldByName(QStringLiteral("所有者氏名")).setAsString(QStringLiteral("新しい家"));
    rs.post();
    QVERIFY(!rs.fieldByName(QStringLiteral("ID")).isNull());
    // Away past many pages and back: the new row keeps its place.
    rs.last();
    rs.first();
    rs.moveTo(1000);
    QCOMPARE(rs.fieldByName(QStringLiteral("所有者氏名")).asString(), QStringLiteral("新しい家"));
    rs.moveTo(1001);
    QCOMPARE(no(rs), 1000);

    // An insert cancelled leaves the rows as they were.
    rs.moveTo(2000);
    rs.insert();
    rs.cancel();
    QCOMPARE(rs.recordCount(), kHouses + 1);
    QCOMPARE(no(rs), 1999);

    // An edit posted by a move is there when the row is read again.
    rs.moveTo(2500);
    rs.edit();
    rs.fieldByName(QStringLiteral("備考")).setAsString(QStringLiteral("後で"));
    rs.moveTo(10);
    rs.last();
    rs.moveTo(2500);
    QCOMPARE(rs.fieldByName(QStringLiteral("備考")).asString(), QStringLiteral("後で"));
    QSqlQuery q = conn_->exec(QStringLiteral("SELECT No FROM 基本データ WHERE 備考 = ?"), {QStringLiteral("後で")});
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 2499);
}
DBTEST_CATCH

void PagingTest::tableModelReadsRowN()
try {
    RecordSet rs(conn_.get());
    rs.addSql(QStringLiteral("select * from 基本データ"));
    RecordSetModel model(&rs);
    rs.open();
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCoreApplication::sendPostedEvents(&rs); // the keys, as the window's event loop reads them
    QCOMPARE(model.rowCount(), kHouses);
    const int column = rs.fieldIndex(QStringLiteral("No"));
    const int owner = rs.fieldIndex(QStringLiteral("所有者氏名"));
    for (int row : {kHouses - 1, 1234, 0, 2999, 64})
        QCOMPARE(model.index(row, column).data().toInt(), row);
    rs.fetchRows(2000, 2039);
    for (int row = 2000; row < 2040; ++row)
        QVERIFY(rs.isRowFetched(row));
    QCOMPARE(model.index(2039, owner).data().toString(), QStringLiteral("名02039"));
    for (int row = 0; row < kHouses; ++row)
        QCOMPARE(model.index(row, column).data().toInt(), row);
    QVERIFY(rs.keptRows() <= kKeptAtMost);
    QCOMPARE(rs.recNo(), 1);
}
DBTEST_CATCH

void PagingTest::firstRecordBeforeTheKeys()
try {
    const QByteArray drawing("plan\0!", 6);
    conn_->exec(QStringLiteral("UPDATE 基本データ SET zumen = ? WHERE No = 1"), {drawing});
    RecordSet rs(conn_.get());
    rs.addSql(QStringLiteral("select * from 基本データ"));
    rs.open();
    QVERIFY(!rs.recordCountKnown());
    QCOMPARE(no(rs), 0);
    // Attachments as sizes, their bytes on first use.
    const Field zumen = rs.fieldByName(QStringLiteral("zumen"));
    QVERIFY(zumen.isNull());
    QCOMPARE(zumen.blobSize(), 0);
    QVERIFY(zumen.asBytes().isEmpty());
    QVERIFY(rs.bof());
    QVERIFY(!rs.eof());
    QVERIFY(!rs.isEmpty());
    QCOMPARE(rs.fieldByName(QStringLiteral("所有者氏名")).asString(), QStringLiteral("名00000"));
    rs.next();
    QCOMPARE(no(rs), 1);
    QCOMPARE(rs.recNo(), 2);
    QCOMPARE(zumen.blobSize(), drawing.size());
    QCOMPARE(zumen.asBytes(), drawing);
    QVERIFY(!rs.recordCountKnown());

    // Others change the table before the keys come: the records seen keep
    // their places, the rest is read as it is now.
    Connection other;
    other.setTarget(dbtest::targetFor(backend_, path_));
    other.exec(QStringLiteral("DELETE FROM 基本データ WHERE No IN (1, 2)"));
    QCOMPARE(rs.recordCount(), kHouses - 1);
    QCOMPARE(no(rs), 1);
    rs.moveTo(2);
    QCOMPARE(no(rs), 3);
    rs.last();
    QCOMPARE(no(rs), kHouses - 1);
    rs.first();
    QCOMPARE(no(rs), 0);

    // A search reads its keys at once; a result of a single row has them.
    rs.close();
    rs.clearSql();
    rs.addSql(QStringLiteral("select * from 基本データ where No = 7"));
    rs.open();
    QVERIFY(rs.recordCountKnown());
    QCOMPARE(rs.recordCount(), 1);
    other.exec(QStringLiteral("DELETE FROM 基本データ WHERE No <> 5"));
    rs.close();
    rs.clearSql();
    rs.addSql(QStringLiteral("select * from 基本データ;"));
    rs.open();
    QVERIFY(rs.recordCountKnown());
    QCOMPARE(rs.recordCount(), 1);
    QCOMPARE(no(rs), 5);
    QVERIFY(rs.eof());
}
DBTEST_CATCH

void PagingTest::keysComeFromTheEventLoop()
try {
    RecordSet rs(conn_.get());
    rs.addSql(QStringLiteral("select * from 基本データ"));
    RecordSetModel model(&rs);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    rs.open();
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(!rs.recordCountKnown());
    reset.clear();
    QCoreApplication::sendPostedEvents(&rs);
    QVERIFY(rs.recordCountKnown());
    QCOMPARE(reset.count(), 1);
    QCOMPARE(model.rowCount(), kHouses);
    // Then the rest of the first page, so the next records come at once.
    QCoreApplication::sendPostedEvents(&rs);
    QVERIFY(rs.isRowFetched(ResultRows::kPageRows - 1));
    QCOMPARE(rs.recNo(), 1);
    QCOMPARE(no(rs), 0);
}
DBTEST_CATCH

void PagingTest::movesBeforeTheKeys_data()
{
    QTest::addColumn<QString>("move");
    QTest::addColumn<int>("recNo");
    QTest::addColumn<int>("count");
    QTest::newRow("last") << "last" << kHouses << kHouses;
    QTest::newRow("far") << "moveTo 2500" << 2501 << kHouses;
    QTest::newRow("past the first rows") << "next twice" << 3 << kHouses;
    QTest::newRow("insert") << "insert" << 1 << kHouses + 1;
    QTest::newRow("edit and post") << "edit" << 1 << kHouses;
    QTest::newRow("delete") << "delete" << 1 << kHouses - 1;
    QTest::newRow("refresh") << "refresh" << 1 << kHouses;
}

void PagingTest::movesBeforeTheKeys()
try {
    QFETCH(QString, move);
    QFETCH(int, recNo);
    QFETCH(int, count);
    RecordSet rs(conn_.get());
    rs.addSql(QStringLiteral("select * from 基本データ"));
    rs.open();
    QVERIFY(!rs.recordCountKnown());
    if (move == u"last") {
        rs.last();
    } else if (move == u"moveTo 2500") {
        rs.moveTo(2500);
    } else if (move == u"next twice") {
        rs.next();
        rs.next();
    } else if (move == u"insert") {
        rs.insert();
        rs.fieldByName(QStringLiteral("所有者氏名")).setAsString(QStringLiteral("新しい家"));
        rs.post();
    } else if (move == u"edit") {
        rs.edit();
        rs.fieldByName(QStringLiteral("備考")).setAsString(QStringLiteral("先に書く"));
        rs.post();
        QCOMPARE(rs.fieldByName(QStringLiteral("備考")).asString(), QStringLiteral("先に書く"));
    } else if (move == u"delete") {
        rs.deleteRecord();
        QCOMPARE(no(rs), 1);
    } else if (move == u"refresh") {
        rs.refresh();
    }
    QCOMPARE(rs.recNo(), recNo);
    QCOMPARE(rs.recordCount(), count);
    if (move == u"insert")
        QCOMPARE(rs.fieldByName(QStringLiteral("所有者氏名")).asString(), QStringLiteral("新しい家"));
    else if (move != u"delete")
        QCOMPARE(no(rs), recNo - 1);
    // Whatever came first, every record is in its place after it.
    rs.last();
    QCOMPARE(no(rs), kHouses - 1);
    rs.moveTo(count - 2);
    QCOMPARE(no(rs), kHouses - 2);
    rs.first();
    QCOMPARE(no(rs), move == u"delete" ? 1 : move == u"insert" ? -1
                                                               : 0);
    QCOMPARE(rs.eof(), false);
}
DBTEST_CATCH

void PagingPiecesTest::orderByIsFound_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("ordered");
    QTest::newRow("none") << "select * from t" << false;
    QTest::newRow("plain") << "select * from t order by a" << true;
    QTest::newRow("lines and case") << "SELECT * FROM t\r\nORDER\r\n  By a;\r\n"
                                    << true;
    QTest::newRow("in a literal") << "select * from t where x = 'order by'" << false;
    QTest::newRow("in a doubled-quote literal") << "select * from t where x = 'it''s order by'" << false;
    QTest::newRow("a bracketed name") << "select * from t where [order by] = 1" << false;
    QTest::newRow("a quoted name") << "select * from t where \"order by\" = 1" << false;
    QTest::newRow("inside parentheses") << "select * from (select * from t order by a) x" << false;
    QTest::newRow("after parentheses") << "select * from t where a in (1, 2) order by a" << true;
    QTest::newRow("a longer word") << "select * from t where reorder by = 1" << false;
    QTest::newRow("order alone") << "select * from t where [x] = 1 order" << false;
}

void PagingPiecesTest::orderByIsFound()
{
    QFETCH(QString, sql);
    QFETCH(bool, ordered);
    QCOMPARE(hasOrderBy(sql), ordered);
}

void PagingPiecesTest::keysSort_data()
{
    QTest::addColumn<QList<qint64>>("keys");
    QRandomGenerator random(11);
    auto randomKeys = [&](int n, qint64 low, qint64 high) {
        QList<qint64> keys;
        for (int i = 0; i < n; ++i)
            keys << low + qint64(random.bounded(quint64(high - low)));
        return keys;
    };
    QList<qint64> descending;
    for (int i = 20000; i > 0; --i)
        descending << i;
    QTest::newRow("none") << QList<qint64>{};
    QTest::newRow("few") << QList<qint64>{3, 1, 2};
    QTest::newRow("descending, many") << descending;
    QTest::newRow("below 2^16") << randomKeys(10000, 1, 60000);
    QTest::newRow("below 2^32") << randomKeys(50000, 1, qint64(4000000000));
    QTest::newRow("negative and past 2^32") << randomKeys(50000, -(qint64(1) << 40), qint64(1) << 50);
    QTest::newRow("the whole range") << randomKeys(10000, std::numeric_limits<qint64>::min() / 2, std::numeric_limits<qint64>::max() / 2) + QList<qint64>{std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max()};
    QTest::newRow("repeated") << QList<qint64>(9000, 42) + randomKeys(9000, 40, 45);
}

void PagingPiecesTest::firstRowsKeepTheirPlaces_data()
{
    QTest::addColumn<QList<qint64>>("first");
    QTest::addColumn<QList<qint64>>("all");
    QTest::addColumn<QList<qint64>>("places");
    QTest::newRow("as they were") << QList<qint64>{1, 2} << QList<qint64>{1, 2, 3, 4} << QList<qint64>{1, 2, 3, 4};
    QTest::newRow("a first row gone") << QList<qint64>{1, 2} << QList<qint64>{2, 3, 4} << QList<qint64>{1, 2, 3, 4};
    QTest::newRow("both gone") << QList<qint64>{1, 2} << QList<qint64>{3, 4} << QList<qint64>{1, 2, 3, 4};
    QTest::newRow("one put before them") << QList<qint64>{5, 7} << QList<qint64>{3, 5, 7, 9} << QList<qint64>{5, 7, 3, 9};
    QTest::newRow("one put between them") << QList<qint64>{5, 7} << QList<qint64>{5, 6, 7, 9} << QList<qint64>{5, 7, 6, 9};
    QTest::newRow("nothing left") << QList<qint64>{5, 7} << QList<qint64>{} << QList<qint64>{5, 7};
}

void PagingPiecesTest::firstRowsKeepTheirPlaces()
{
    QFETCH(QList<qint64>, first);
    QFETCH(QList<qint64>, all);
    QFETCH(QList<qint64>, places);
    // Rows of two columns: the key and the key's tenfold, as a page gives them.
    QList<ResultRows::Row> rows;
    for (qint64 k : first)
        rows.append({k, -k});
    int keyReads = 0, counted = 0;
    std::vector<qint64> asked;
    ResultRows r;
    r.setFirstRows(
        rows, 0, 2,
        [&](const std::vector<qint64>& keys) {
            asked.insert(asked.end(), keys.begin(), keys.end());
            QHash<qint64, ResultRows::Row> page;
            for (qint64 k : keys)
                if (all.contains(k))
                    page.insert(k, {k, k * 10});
            return page;
        },
        [&] {
            ++keyReads;
            return std::vector<qint64>(all.begin(), all.end());
        },
        [&] { ++counted; });
    QCOMPARE(r.knownCount(), int(first.size()));
    QVERIFY(r.keysPending());
    QCOMPARE(r.row(1).value(1).toLongLong(), -first[1]);
    QVERIFY(r.hasRowAfter(0));
    QCOMPARE(keyReads, 0);

    QCOMPARE(r.count(), int(places.size()));
    QCOMPARE(keyReads, 1);
    QCOMPARE(counted, 1);
    QVERIFY(!r.keysPending());
    for (int p = 0; p < places.size(); ++p) {
        qint64 key = 0;
        QVERIFY(r.keyAt(p, key));
        QCOMPARE(key, places[p]);
        // The first rows as they were read; the others as the table has them.
        const qint64 expected = p < first.size() ? -places[p] : places[p] * 10;
        QCOMPARE(r.row(p).value(1).toLongLong(), expected);
    }
    for (qint64 k : asked)
        QVERIFY(!first.contains(k));
    QCOMPARE(r.find(places.last()), int(places.size()) - 1);
    QCOMPARE(r.count(), int(places.size()));
    QCOMPARE(keyReads, 1);
    QCOMPARE(counted, 1);
}

void PagingPiecesTest::keysSort()
{
    QFETCH(QList<qint64>, keys);
    std::vector<qint64> ours(keys.begin(), keys.end());
    std::vector<qint64> expected = ours;
    std::sort(expected.begin(), expected.end());
    sortKeys(ours);
    QVERIFY(ours == expected);
}
