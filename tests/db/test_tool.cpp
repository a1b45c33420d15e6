#include "test_tool.h"

#include "db/Connection.h"
#include "db/RecordSet.h"
#include "db/odbc/OdbcLogin.h"
#include "DbFixture.h"

#include <QFile>
#include "ToolRun.h"

#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace tegaro;

namespace {
ToolRun tool(const QStringList& args) { return runTool(QStringLiteral("tegaro-db"), args); }
} // namespace

namespace {
// The demo houses as the program reads them.
void checkDemo(Connection& c)
{
    RecordSet districts(&c);
    districts.setTableName(QStringLiteral("行政区"));
    districts.open();
    QSet<QString> known;
    for (districts.first(); known.size() < districts.recordCount(); districts.next())
        known << districts.fieldByName(QStringLiteral("所在区")).asString();

    RecordSet houses(&c);
    houses.addSql(QStringLiteral("select * from 基本データ"));
    houses.open();
    QVERIFY(houses.recordCount() >= 150 && houses.recordCount() <= 250);
    int drawings = 0;
    for (int i = 0; i < houses.recordCount(); ++i) {
        houses.moveTo(i);
        QVERIFY(known.contains(houses.fieldByName(QStringLiteral("所在区")).asString()));
        QVERIFY(!houses.fieldByName(QStringLiteral("所有者氏名")).isNull());
        QCOMPARE(houses.fieldByName(QStringLiteral("日付")).asDateTime().time(), QTime(16, 1));
        Field zumen = houses.fieldByName(QStringLiteral("zumen"));
        if (zumen.blobSize() > 0) {
            ++drawings;
            QByteArray bytes = zumen.asBytes();
            QVERIFY(bytes.startsWith("$headerpas\r\n"));
            QCOMPARE(bytes.count("\r\n"), bytes.count('\n')); // CR LF throughout
        }
        Field excel = houses.fieldByName(QStringLiteral("excel"));
        if (excel.blobSize() > 0)
            QVERIFY(excel.asBytes().startsWith("\xD0\xCF\x11\xE0")); // an OLE2 file
    }
    QVERIFY(drawings > 10);
}
} // namespace

void ToolTest::demoDatabase()
try {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("demo.sqlite"));
    ToolRun r = tool({QStringLiteral("init"), path, QStringLiteral("--demo")});
    QCOMPARE(r.code, 0);
    Connection c;
    c.setTarget(sqliteFileTarget(path));
    checkDemo(c);
}
DBTEST_CATCH

void ToolTest::serverDatabase()
try {
    DBTEST_NEEDS_SERVER();
    // A database of its own, so the other tests' one stays as it is.
    QList<odbc::Attribute> attributes = odbc::parseConnectString(qEnvironmentVariable("TEGARO_TEST_MSSQL"));
    attributes.removeIf([](const odbc::Attribute& a) { return a.first.compare(u"DATABASE", Qt::CaseInsensitive) == 0; });
    attributes.append({QStringLiteral("DATABASE"), QStringLiteral("TegaroToolTest")});
    const QString server = odbc::buildConnectString(attributes);

    ToolRun r = tool({QStringLiteral("init"), QStringLiteral("--server"), server, QStringLiteral("--demo"), QStringLiteral("--force")});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY2(r.out.contains(QStringLiteral("house records")), qPrintable(r.out));
    // The tables are there now: without --force they stay.
    r = tool({QStringLiteral("init"), QStringLiteral("--server"), server});
    QCOMPARE(r.code, 1);
    QVERIFY(r.err.contains(QStringLiteral("--force")));

    Connection c;
    c.setTarget(odbcStringTarget(server));
    checkDemo(c);
}
DBTEST_CATCH

void ToolTest::refusesToOverwrite()
{
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("keep.sqlite"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("precious");
    f.close();
    ToolRun r = tool({QStringLiteral("init"), path});
    QCOMPARE(r.code, 1);
    QVERIFY(r.err.contains(QStringLiteral("--force")));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("precious"));
    f.close();
    QCOMPARE(tool({QStringLiteral("init"), path, QStringLiteral("--force")}).code, 0);
    QVERIFY(!QFile::exists(path + QStringLiteral(".part")));
    Connection c;
    c.setTarget(sqliteFileTarget(path));
    QCOMPARE(c.tableColumns(QStringLiteral("基本データ")).size(), 32);
}

void ToolTest::badArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("nothing") << QStringList{};
    QTest::newRow("unknown command") << QStringList{"drop"};
    QTest::newRow("init without path") << QStringList{"init", "--demo"};
    QTest::newRow("unknown option") << QStringList{"init", "x.sqlite", "--fast"};
    QTest::newRow("unknown dialect") << QStringList{"schema", "oracle"};
}

void ToolTest::badArguments()
{
    QFETCH(QStringList, args);
    ToolRun r = tool(args);
    QCOMPARE(r.code, 2);
    QVERIFY(r.err.contains(QStringLiteral("usage:")));
}

void ToolTest::sqlServerScript()
{
    ToolRun r = tool({QStringLiteral("schema"), QStringLiteral("sqlserver")});
    QCOMPARE(r.code, 0);
    for (const char* piece : {"CREATE DATABASE [MUNEYA]", "USE [MUNEYA]", "CREATE TABLE [基本データ]", "IDENTITY", "rowversion",
                              "varbinary(max)", "[１Ｆ] decimal", "CREATE TABLE [行政区]", "\nGO\n"})
        QVERIFY2(r.out.contains(QString::fromUtf8(piece)), piece);
}
