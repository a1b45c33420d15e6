#include "core/Cp932.h"
#include "core/MatchWildcard.h"

#include <QtTest>

using namespace tegaro;

class TestMatchWildcard : public QObject {
    Q_OBJECT
private slots:
    void table_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<bool>("result");
        auto row = [](const char* tag, const char* name, const char* mask, bool r) {
            QTest::newRow(tag) << QString::fromUtf8(name) << QString::fromUtf8(mask) << r;
        };
        row("path with xls", "C:\\data\\a.xls", "*xls*", true);
        row("case-sensitive", "C:\\data\\A.XLS", "*xls*", false);
        row("bare xls", "xls", "*xls*", true);
        row("xlsx", "a.xlsx", "*xls*", true);
        row("search restarts after mismatch", "xxls.doc", "*xls*", false);
        row("later occurrence", "D:\\x\\xxls.xls", "*xls*", true);
        row("folder names count", "c:\\hbd\\x.xls", "*hbd*", true);
        row("empty name", "", "*xls*", false);
        row("star first", "a.xls", "*xls", true);
        row("name left over", "a.xlsx", "*xls", false);
        row("no backing up", "aab", "*ab", false);
        row("question mark", "abc", "a?c", true);
        row("literal after star", "abc", "*?c", false);
        row("first b only", "axbxb", "a*b", false);
        row("empty name, one star", "", "*", true);
        row("both empty", "", "", true);
        row("folder named xls", "/home/xlsfiles/plan.doc", "*xls*", true);
        row("folder hbd_old", "C:\\hbd_old\\plan.had", "*hbd*", true);
        row("capitals", "PLAN.XLS", "*xls*", false);
        row("capital hbd", "C:\\PLANS\\PLAN.HBD", "*hbd*", false);
        row("plain equal", "abc", "abc", true);
        row("mask left over", "ab", "abc", false);
        row("empty mask, some name", "a", "", false);
    }
    void table()
    {
        QFETCH(QString, name);
        QFETCH(QString, mask);
        QFETCH(bool, result);
        QCOMPARE(MatchWildcard(name, mask), result);
    }

    // Japanese folder names are compared on their CP932 bytes: "表" is
    // 0x95 0x5C, so its second byte is a backslash.
    void japanesePathsByBytes()
    {
        QVERIFY(MatchWildcard(QStringLiteral("D:\\図面\\家屋hbd\\表.txt"), QStringLiteral("*hbd*")));
        QVERIFY(!MatchWildcard(QStringLiteral("D:\\図面\\表.txt"), QStringLiteral("*hbd*")));
        QCOMPARE(toCp932(QStringLiteral("表")), QByteArray("\x95\x5C"));
        QVERIFY(MatchWildcard(QStringLiteral("表"), QStringLiteral("?\\")));
        QVERIFY(MatchWildcard(QStringLiteral("表"), QStringLiteral("??")));
        QVERIFY(!MatchWildcard(QStringLiteral("表"), QStringLiteral("?")));
    }
};

QTEST_GUILESS_MAIN(TestMatchWildcard)
#include "test_matchwildcard.moc"
