#include "core/Cp932.h"
#include "core/ErrorGuard.h"
#include "core/Errors.h"
#include "core/FileFilter.h"
#include "core/ScriptedSeam.h"

#include <QtTest>

using namespace tegaro;

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
    void guardTurnsExceptionsIntoErrorBoxes()
    {
        ScriptedSeam s;
        guarded([] { throw EInOutError(QStringLiteral("ファイルが見つかりません")); });
        guarded([] { throw std::runtime_error("plain"); });
        guarded([] {});
        QCOMPARE(s.messages(), QStringList({QStringLiteral("ファイルが見つかりません"), QStringLiteral("plain")}));
        QCOMPARE(s.shown.first().kind, ScriptedSeam::Shown::Error);
    }
    void scriptedDialogs()
    {
        ScriptedSeam s;
        FileDialogState st{QStringLiteral("図面|*.hbd"), QStringLiteral("old.hbd"), QStringLiteral("hbd"), {}};
        s.fileAnswers << QStringLiteral("/tmp/new") << QString();
        QVERIFY(s.saveFile(st));
        QCOMPARE(st.fileName, QStringLiteral("/tmp/new.hbd"));
        QVERIFY(!s.openFile(st));
        QCOMPARE(st.fileName, QStringLiteral("/tmp/new.hbd")); // a cancel changes nothing
        QCOMPARE(s.shown[0].fileName, QStringLiteral("old.hbd"));
    }
    void filters()
    {
        QCOMPARE(qtNameFilters(QStringLiteral("Excel|*.xls;*.xlt|全て|*.*")),
                 QStringList({QStringLiteral("Excel (*.xls *.xlt)"), QStringLiteral("全て (*.*)")}));
    }
};

QTEST_MAIN(TestCore)
#include "test_core.moc"
