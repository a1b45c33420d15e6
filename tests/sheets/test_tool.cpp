// The command-line tool tegaro-sheet: the cells it prints and the workbooks
// it writes.
#include "ToolRun.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kMeisai = QStringLiteral(TEGARO_FIXTURES "/sheets/meisai.xls");

ToolRun tool(const QStringList& args) { return runTool(QStringLiteral("tegaro-sheet"), args); }

QStringList lines(const QString& out) { return out.split(u'\n', Qt::SkipEmptyParts); }

} // namespace

class TestSheetTool : public QObject {
    Q_OBJECT
private slots:
    void catPrintsCells();
    void convertKeepsCells();
};

void TestSheetTool::catPrintsCells()
{
    ToolRun r = tool({QStringLiteral("cat"), kMeisai});
    QCOMPARE(r.code, 0);
    const QStringList first = lines(r.out);
    QCOMPARE(first.value(0), QStringLiteral("A1\t家屋評価明細書"));
    QVERIFY(first.contains(QStringLiteral("B4\t1,234,567")));
    QCOMPARE(first.size(), 16);

    r = tool({QStringLiteral("cat"), kMeisai, QStringLiteral("--sheet"), QStringLiteral("2")});
    QCOMPARE(r.out, QStringLiteral("A1\t二枚目\nB1\t171\n"));

    r = tool({QStringLiteral("cat"), kMeisai, QStringLiteral("--sheet"), QStringLiteral("9")});
    QVERIFY(r.code > 0);

    r = tool({QStringLiteral("cat"), QStringLiteral(TEGARO_FIXTURES "/sheets/../../core/test_core.cpp")});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(QStringLiteral("Excel のブックではありません")), qPrintable(r.err));
    QCOMPARE(r.out, QString());
}

void TestSheetTool::convertKeepsCells()
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("again.xls"));
    QCOMPARE(tool({QStringLiteral("convert"), kMeisai, out}).code, 0);
    QCOMPARE(lines(tool({QStringLiteral("cat"), out}).out), lines(tool({QStringLiteral("cat"), kMeisai}).out));
    QCOMPARE(tool({QStringLiteral("convert"), kMeisai, dir.filePath(QStringLiteral("no/such/dir/x.xls"))}).code, 1);
}

QObject* makeTestSheetTool() { return new TestSheetTool; }

#include "test_tool.moc"
