#include "core/Cp932.h"
#include "core/ErrorGuard.h"
#include "core/Errors.h"
#include "core/FileFilter.h"

#include <QtTest>

using namespace tegaro;

namespace {
QStringList reported;
void recordReport(const QString& text, const QString& detail) { reported << (detail.isEmpty() ? text : text + u'|' + detail); }
} // namespace

class TestCore : public QObject {
    Q_OBJECT
private slots:
    void cp932RoundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("kana and kanji") << QStringLiteral("家屋図面ｶﾅ");
        QTest::newRow("NEC extensions") << QStringLiteral("①㈱～");
        QTest::newRow("ascii") << QStringLiteral("$headerpas");
    }
    void cp932RoundTrip()
    {
        QFETCH(QString, text);
        QCOMPARE(fromCp932(toCp932(text)), text);
    }
    void cp932KnownBytes()
    {
        // 家 is 0x89 0xC6 in Shift-JIS; ① is 0x87 0x40 only in CP932.
        QCOMPARE(toCp932(QStringLiteral("家①")), QByteArray("\x89\xC6\x87\x40"));
    }
    void guardReportsEveryExceptionAndRunsOn()
    {
        reported.clear();
        setErrorReporter(recordReport);
        guarded([] { throw EInOutError(QStringLiteral("ファイルが見つかりません")); });
        guarded([] { throw std::runtime_error("plain"); });
        guarded([] { throw 42; });
        guarded([] {});
        guarded([] { throw EDatabaseError(QStringLiteral("接続できません"), QStringLiteral("driver text")); });
        setErrorReporter(nullptr);
        QCOMPARE(reported, QStringList({QStringLiteral("ファイルが見つかりません"), QStringLiteral("plain"), QStringLiteral("不明なエラーが発生しました。"), QStringLiteral("接続できません|driver text")}));
        // Without a reporter the text goes to the log.
        QTest::ignoreMessage(QtCriticalMsg, "plain");
        guarded([] { throw std::runtime_error("plain"); });
        QCOMPARE(reported.size(), 4);
    }
    void filters()
    {
        QCOMPARE(qtNameFilters(QStringLiteral("Excel|*.xls;*.xlt|全て|*.*")),
                 QStringList({QStringLiteral("Excel (*.xls *.xlt)"), QStringLiteral("全て (*.*)")}));
    }
};

QTEST_GUILESS_MAIN(TestCore)
#include "test_core.moc"
