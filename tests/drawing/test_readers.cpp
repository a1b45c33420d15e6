#include "ReaderHarness.h"

#include "core/Cp932.h"
#include "core/Errors.h"
#include "drawing/DrawingErrors.h"

#include <QtTest>

using namespace tegaro;

namespace {

const QString kNotDrawing = QStringLiteral("家屋図面(木造)ではありません!");

void checkPlan(const DrawingModel& m)
{
    QCOMPARE(m.HeaderOriginX, 20);
    QCOMPARE(m.HeaderOriginY, 30);
    QCOMPARE(m.HeaderValue3 + m.HeaderValue4 * 10 + m.HeaderValue5 * 100 + m.HeaderValue6 * 1000, 4321);
    QCOMPARE(m.GridStepX, 45.0);
    QCOMPARE(m.GridStepY, 45.5);
    QCOMPARE(m.KenLength, 1.82);
    QCOMPARE(m.LinesF1, TLineList({{100, 100, 300, 100, 255, 0, QStringLiteral("外壁")}, {300, 100, 300, 250, 255, 1, QStringLiteral("①内壁")}}));
    QCOMPARE(m.LinesF2, TLineList({{50, 50, 150, 50, 0xFF0000, 2, QString()}}));
    QVERIFY(m.LinesF3.isEmpty());
    QCOMPARE(m.ExtraLines, TLineList({{0, 200, 400, 200, 0x00FF00, 0, QString()}}));
    QCOMPARE(m.BoxesF1, TBoxList({{{120, 120, 180, 160}, 0}}));
    QVERIFY(m.BoxesF2.isEmpty() && m.BoxesF3.isEmpty());
    QCOMPARE(m.GridOriginX, 20);
    QCOMPARE(m.GridOriginY, 30);
}

int elementCount(const DrawingModel& m)
{
    return int(m.LinesF1.size() + m.LinesF2.size() + m.LinesF3.size() + m.ExtraLines.size() + m.BoxesF1.size()
               + m.BoxesF2.size() + m.BoxesF3.size());
}

} // namespace

class TestReaders : public QObject {
    Q_OBJECT
private slots:
    void currentFormatFile()
    {
        ReaderHarness h;
        h.model.CurrentFloor = 3;
        h.model.Zoom = 0.7;
        h.model.DrawingBuffer = "kept";
        QCOMPARE(h.readBytes(ReaderHarness::fixture("plan.hbd")), DrawingFormat::Current);
        checkPlan(h.model);
        QCOMPARE(h.model.AreaTexts[1], QStringLiteral("   12.50"));
        QCOMPARE(h.model.AreaTexts[2], QStringLiteral("   20.25"));
        QCOMPARE(h.model.AreaTexts[3], QStringLiteral("    0.00"));
        QCOMPARE(h.model.AreaTexts[4], QStringLiteral("    1.82"));
        QCOMPARE(h.model.AreaTexts[5], QStringLiteral("   32.75"));
        QCOMPARE(h.gauges, QList<int>({30, 30, 30, 40, 60, 60, 60, 0}));
        QCOMPARE(h.report.statusTexts, QStringList({"読込完了..", "切替え"}));
        QCOMPARE(h.model.CurrentFloor, 3);
        QCOMPARE(h.model.Zoom, 0.7);
        QCOMPARE(h.model.DrawingBuffer, QByteArray("kept"));
        QVERIFY(h.report.messages.isEmpty());
    }

    void lineEndsAndBlankLines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray plan = ReaderHarness::fixture("plan.hbd");
        QByteArray lf = plan;
        lf.replace("\r\n", "\n");
        QTest::newRow("LF only") << lf;
        QTest::newRow("$headerpasp") << withLine(plan, 1, "$headerpasp");
        // Blanks and empty lines before a number are passed over; what follows
        // a number on its line is skipped.
        QTest::newRow("blank lines before numbers") << withLine(plan, 2, "\r\n \t\r\n  20");
        QTest::newRow("text after a number") << withLine(plan, 8, "45 grid x");
        QTest::newRow("no final line break") << plan.chopped(2);
    }
    void lineEndsAndBlankLines()
    {
        QFETCH(QByteArray, bytes);
        ReaderHarness h;
        QCOMPARE(h.readBytes(bytes), DrawingFormat::Current);
        checkPlan(h.model);
    }

    void unrecognisedFirstLines_data()
    {
        QTest::addColumn<QByteArray>("first");
        QTest::newRow("trailing blank") << QByteArray("$headerpas ");
        QTest::newRow("capitals") << QByteArray("$HEADERPAS");
        QTest::newRow("old header without quotes") << QByteArray("$heder");
        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF$headerpas");
        QTest::newRow("empty") << QByteArray();
    }
    void unrecognisedFirstLines()
    {
        QFETCH(QByteArray, first);
        ReaderHarness h;
        h.model.LinesF2 << TLine{};
        h.model.AreaF1 = 99;
        QCOMPARE(h.readBytes(withLine(ReaderHarness::fixture("plan.hbd"), 1, first)), DrawingFormat::Unrecognised);
        QCOMPARE(h.report.messages, QStringList{kNotDrawing});
        QCOMPARE(elementCount(h.model), 0);
        QCOMPARE(h.model.AreaF1, 99.0);
        QVERIFY(h.report.statusTexts.isEmpty());
    }

    void notADrawingAtAll()
    {
        ReaderHarness h;
        QCOMPARE(h.readFile(TEGARO_FIXTURES "/drawing/notdrawing.txt"), DrawingFormat::Unrecognised);
        QCOMPARE(h.report.messages, QStringList{kNotDrawing});
    }

    void counts_data()
    {
        QTest::addColumn<int>("count");
        QTest::newRow("-1 empty") << -1;
        QTest::newRow("-7 empty") << -7;
        QTest::newRow("0 one") << 0;
        QTest::newRow("2 three") << 2;
    }
    void counts()
    {
        QFETCH(int, count);
        ReaderHarness h;
        // The header, then LinesF1 with its count and as many elements as it
        // announces, then six empty lists.
        QByteArray bytes = ReaderHarness::fixture("short14.hbd") + "[1F]\r\n" + QByteArray::number(count) + "\r\n";
        for (int k = 0; k <= count; ++k)
            bytes += QByteArray::number(k) + "\r\n1\r\n2\r\n3\r\n4\r\n5\r\n" + toCp932(QStringLiteral("線")) + "\r\n";
        for (int list = 0; list < 6; ++list)
            bytes += "[x]\r\n-1\r\n";
        h.readBytes(bytes);
        QCOMPARE(h.model.LinesF1.size(), qMax(count + 1, 0));
        if (count >= 0)
            QCOMPARE(h.model.LinesF1.last(), (TLine{count, 1, 2, 3, 4, 5, QStringLiteral("線")}));
        QCOMPARE(elementCount(h.model), qMax(count + 1, 0));
    }

    void fileThatStopsAfterTheHeader()
    {
        ReaderHarness h;
        QCOMPARE(h.readBytes(ReaderHarness::fixture("short14.hbd")), DrawingFormat::Current);
        for (const TLineList* l : {&h.model.LinesF1, &h.model.LinesF2, &h.model.LinesF3, &h.model.ExtraLines})
            QCOMPARE(*l, TLineList{TLine{}});
        for (const TBoxList* b : {&h.model.BoxesF1, &h.model.BoxesF2, &h.model.BoxesF3})
            QCOMPARE(*b, TBoxList{TBox{}});
        QCOMPARE(h.report.statusTexts.last(), QStringLiteral("切替え"));
    }

    void countFarBeyondTheFileEnds()
    {
        ReaderHarness h;
        QByteArray bytes = ReaderHarness::fixture("short14.hbd");
        bytes += "[1F]\r\n2147483647\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\nA\r\n7\r\n8\r\n9";
        h.readBytes(bytes);
        // Elements are made while there is input; the rest of the file is gone.
        QCOMPARE(h.model.LinesF1, TLineList({{1, 2, 3, 4, 5, 6, "A"}, {7, 8, 9, 0, 0, 0, {}}}));
        QCOMPARE(h.model.LinesF2, TLineList{TLine{}});
        QCOMPARE(h.model.BoxesF3, TBoxList{TBox{}});
    }

    void malformedNumbers_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("letters in an integer") << 4 << QByteArray("12abc");
        QTest::newRow("fraction in an integer") << 4 << QByteArray("4.5");
        QTest::newRow("integer too large") << 4 << QByteArray("2147483648");
        QTest::newRow("sign only") << 4 << QByteArray("-");
        QTest::newRow("real without digits") << 8 << QByteArray("E5");
        QTest::newRow("real overflow") << 8 << QByteArray("1e999");
        QTest::newRow("comma decimal") << 11 << QByteArray("12,5");
        QTest::newRow("colour in hex") << 21 << QByteArray("$FF");
    }
    void malformedNumbers()
    {
        QFETCH(int, line);
        QFETCH(QByteArray, text);
        ReaderHarness h;
        const QByteArray bytes = withLine(ReaderHarness::fixture("plan.hbd"), line, text);
        const QString error = h.failing<EInOutError>([&] { h.readBytes(bytes); });
        QVERIFY2(error.contains(QString::number(line)) && error.contains(QString::fromLatin1(text)), qPrintable(error));
        if (line == 4) { // what came before stays, what came after is not read
            QCOMPARE(h.model.HeaderOriginY, 30);
            QCOMPARE(h.model.GridOriginX, 10);
        }
        if (line == 21)
            QVERIFY(h.model.LinesF1.isEmpty());
    }

    void integerLimitsAccepted()
    {
        ReaderHarness h;
        h.readBytes(withLine(withLine(ReaderHarness::fixture("plan.hbd"), 2, "-2147483648"), 3, "+2147483647"));
        QCOMPARE(h.model.HeaderOriginX, INT32_MIN);
        QCOMPARE(h.model.HeaderOriginY, INT32_MAX);
    }

    void missingFile()
    {
        ReaderHarness h;
        h.model.BoxesF3 << TBox{};
        const QString path = h.dir.filePath("nothing.hbd");
        const QString error = h.failing<EInOutError>([&] { h.readFile(path); });
        QVERIFY2(error.contains(path), qPrintable(error));
        QVERIFY(h.model.BoxesF3.isEmpty()); // emptied before the file was opened
    }

    void oldFormatFile_data()
    {
        QTest::addColumn<QByteArray>("first");
        QTest::newRow("$heder") << QByteArray("\"$heder\"");
        QTest::newRow("$heder2") << QByteArray("\"$heder2\"");
    }
    void oldFormatFile()
    {
        QFETCH(QByteArray, first);
        ReaderHarness h;
        h.model.HeaderOriginX = 7;
        h.model.HeaderValue5 = 55;
        h.model.LinesF3 << TLine{};
        h.model.BoxesF1 << TBox{};
        QCOMPARE(h.readBytes(withLine(ReaderHarness::fixture("old.had"), 1, first)), DrawingFormat::Old);

        QCOMPARE(h.model.LinesF1, TLineList({{10, 20, -1, 40, 0x00FF00, 0, QStringLiteral("壁")}, {30, 20, 30, 40, 0x00FF00, 0, QStringLiteral("柱")}}));
        QCOMPARE(h.model.LinesF2, TLineList({{1, 2, 3, 4, 0x00FF00, 0, QStringLiteral("二階")}}));
        QVERIFY(h.model.LinesF3.isEmpty() && h.model.BoxesF1.isEmpty() && h.model.ExtraLines.isEmpty());
        QCOMPARE(h.model.GridStepY, 12.0); // 0.125 -> 12.5 -> even 12
        QCOMPARE(h.model.GridStepX, 38.0); // 0.375 -> 37.5 -> even 38
        QCOMPARE(h.model.AreaF3, 0.0);
        QCOMPARE(h.model.AreaTexts[3], QStringLiteral("    0.00"));
        QCOMPARE(h.model.AreaTexts[4], QStringLiteral("    1.82"));
        QCOMPARE(h.model.AreaTexts[5], QStringLiteral("   32.75"));
        // The origin of line 4 (-155 / 10, 25 / 10) is read, then the header origin takes over.
        QCOMPARE(h.report.gridOrigin, QPoint(-15, 2));
        QCOMPARE(QPoint(h.model.GridOriginX, h.model.GridOriginY), QPoint(7, 10));
        QCOMPARE(h.model.HeaderValue5, 55);
        QCOMPARE(h.gauges, QList<int>({60, 100}));
        QCOMPARE(h.report.statusTexts, QStringList({" 図面読込完了..", "切替え"}));
    }

    void oldFormatCounts_data()
    {
        QTest::addColumn<QByteArray>("n1");
        QTest::addColumn<QByteArray>("n2");
        QTest::addColumn<int>("floor1");
        QTest::addColumn<int>("floor2");
        QTest::newRow("65535 is -1") << QByteArray("65535") << QByteArray("65535") << 0 << 0;
        QTest::newRow("n2 32766 gives none") << QByteArray("0") << QByteArray("32766") << 1 << 0;
        QTest::newRow("n2 32767 gives none") << QByteArray("0") << QByteArray("32767") << 1 << 0;
        QTest::newRow("65536 is 0") << QByteArray("65536") << QByteArray("-65536") << 1 << 1;
        QTest::newRow("quoted count") << QByteArray("\"1\"") << QByteArray("-1") << 2 << 0;
    }
    void oldFormatCounts()
    {
        QFETCH(QByteArray, n1);
        QFETCH(QByteArray, n2);
        QFETCH(int, floor1);
        QFETCH(int, floor2);
        ReaderHarness h;
        h.readBytes(withLine(withLine(ReaderHarness::fixture("old.had"), 6, n1), 9, n2));
        QCOMPARE(h.model.LinesF1.size(), floor1);
        QCOMPARE(h.model.LinesF2.size(), floor2);
    }

    void oldFormatConversions_data()
    {
        QTest::addColumn<QByteArray>("grid");
        QTest::addColumn<QList<double>>("expected"); // origin x, y, step y, step x
        QTest::newRow("tenths truncate") << QByteArray("15,-15,0.45,1") << QList<double>{1, -1, 45, 100};
        QTest::newRow("halves to even") << QByteArray("-9,9,0.005,0.015") << QList<double>{0, 0, 0, 2};
        QTest::newRow("zero step") << QByteArray("0,0,0,0.0") << QList<double>{0, 0, 0, 0};
    }
    void oldFormatConversions()
    {
        QFETCH(QByteArray, grid);
        QFETCH(QList<double>, expected);
        ReaderHarness h;
        h.readBytes(withLine(ReaderHarness::fixture("old.had"), 4, grid));
        QCOMPARE((QList<double>{double(h.report.gridOrigin.x()), double(h.report.gridOrigin.y()), h.model.GridStepY,
                                h.model.GridStepX}),
                 expected);
    }

    void oldFormatErrors_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("indexError");
        QTest::addColumn<int>("reported");
        QTest::newRow("area not a number") << 2 << QByteArray("\"\",abc,1,2") << false << 2;
        QTest::newRow("area with a blank") << 2 << QByteArray("\"\", 12.5,1,2") << false << 2;
        QTest::newRow("missing area field") << 2 << QByteArray("\"\",1,2") << true << 2;
        QTest::newRow("coordinate not a number") << 8 << QByteArray("1,2,x,4,t,5,6,7,8,u") << false << 8;
        QTest::newRow("count larger than the fields") << 6 << QByteArray("2") << true << 8;
        QTest::newRow("count not a number") << 9 << QByteArray("two") << false << 9;
        QTest::newRow("file ends after line 1") << 2 << QByteArray() << true << 2;
    }
    void oldFormatErrors()
    {
        QFETCH(int, line);
        QFETCH(QByteArray, text);
        QFETCH(bool, indexError);
        QFETCH(int, reported);
        ReaderHarness h;
        QByteArray bytes = ReaderHarness::fixture("old.had");
        bytes = line == 2 && text.isEmpty() ? QByteArray("\"$heder\"\r\n") : withLine(bytes, line, text);
        const QString error = indexError ? h.failing<EListError>([&] { h.readBytes(bytes); })
                                         : h.failing<EConvertError>([&] { h.readBytes(bytes); });
        QVERIFY2(error.contains(QStringLiteral("%1 行目").arg(reported)), qPrintable(error));
    }

    void storedDrawingReadsLikeTheFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray plan = ReaderHarness::fixture("plan.hbd");
        QByteArray lf = plan, cr = plan;
        lf.replace("\r\n", "\n");
        cr.replace("\r\n", "\r");
        QTest::newRow("CR LF") << plan;
        QTest::newRow("LF") << lf;
        QTest::newRow("CR") << cr;
        QTest::newRow("NUL ends the text") << plan + QByteArray("\0garbage", 8);
        QTest::newRow("trailer missing") << plan.left(plan.indexOf("[END]"));
    }
    void storedDrawingReadsLikeTheFile()
    {
        QFETCH(QByteArray, bytes);
        ReaderHarness h;
        h.model.StoredDrawingLines = splitStoredDrawing(bytes);
        QCOMPARE(h.readStored(), DrawingFormat::Current);
        checkPlan(h.model);
        QCOMPARE(h.model.AreaTexts[5], QStringLiteral("   32.75"));
        QCOMPARE(h.gauges, QList<int>({30, 30, 30, 40, 60, 60, 60, 0}));
        QCOMPARE(h.report.statusTexts, QStringList({"読込完了..", "切替え"}));
    }

    void splittingStoredText()
    {
        QCOMPARE(splitStoredDrawing("a\r\nb\rc\n\nd"), QStringList({"a", "b", "c", "", "d"}));
        QCOMPARE(splitStoredDrawing("a\r\n"), QStringList{"a"});
        QCOMPARE(splitStoredDrawing(QByteArray("\0a", 2)), QStringList());
        QCOMPARE(splitStoredDrawing(toCp932(QStringLiteral("図面\r\n①"))), QStringList({"図面", "①"}));
    }

    void storedOldAndOtherDrawingsKeepTheModel_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("old") << QStringList{"\"$heder\"", "\"\",1,2,3"} << QStringList{"旧家屋図面です。"};
        QTest::newRow("old 2") << QStringList{"\"$heder2\""} << QStringList{"旧家屋図面です。"};
        QTest::newRow("other") << QStringList{"hello", "1"} << QStringList();
        QTest::newRow("empty text") << QStringList() << QStringList();
    }
    void storedOldAndOtherDrawingsKeepTheModel()
    {
        QFETCH(QStringList, lines);
        QFETCH(QStringList, messages);
        ReaderHarness h;
        h.readBytes(ReaderHarness::fixture("plan.hbd"));
        const DrawingModel before = h.model;
        h.model.GridOriginX = 99;
        h.model.StoredDrawingLines = lines;
        h.readStored();
        QCOMPARE(h.report.messages, messages);
        QCOMPARE(h.model.LinesF1, before.LinesF1);
        QCOMPARE(h.model.BoxesF1, before.BoxesF1);
        QCOMPARE(h.model.AreaTexts, before.AreaTexts);
        QCOMPARE(h.model.GridOriginX, 20);
        QCOMPARE(h.report.statusTexts, QStringList{"切替え"});
    }

    void storedDrawingErrors_data()
    {
        QTest::addColumn<int>("entry"); // line number, from 1
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("indexError");
        QTest::newRow("blank before a number") << 2 << QStringLiteral(" 20") << false;
        QTest::newRow("empty entry") << 8 << QString() << false;
        QTest::newRow("not a number") << 24 << QStringLiteral("x") << false;
        QTest::newRow("ends before the floor-3 count") << 41 << QString() << true;
    }
    void storedDrawingErrors()
    {
        QFETCH(int, entry);
        QFETCH(QString, text);
        QFETCH(bool, indexError);
        ReaderHarness h;
        h.model.LinesF3 << TLine{1, 1, 1, 1, 1, 1, "kept"};
        h.model.BoxesF1 << TBox{};
        QStringList lines = splitStoredDrawing(ReaderHarness::fixture("plan.hbd"));
        if (indexError)
            lines = lines.mid(0, entry - 1);
        else
            lines[entry - 1] = text;
        h.model.StoredDrawingLines = lines;
        const QString error = indexError ? h.failing<EListError>([&] { h.readStored(); })
                                         : h.failing<EConvertError>([&] { h.readStored(); });
        QVERIFY2(error.contains(QString::number(entry)), qPrintable(error));
        // Lists are emptied one by one just before they are read.
        QCOMPARE(h.model.BoxesF1.size(), 1);
        QCOMPARE(h.model.LinesF3.isEmpty(), entry > 38);
    }

    void quotesAndFields_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("plain") << "a,b,c" << QStringList{"a", "b", "c"};
        QTest::newRow("quotes anywhere") << "\"a\",b\"\"c" << QStringList{"a", "bc"};
        QTest::newRow("empty fields and blanks") << ", x ,," << QStringList{"", " x ", "", ""};
        QTest::newRow("no comma") << "\"" << QStringList{""};
    }
    void quotesAndFields()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, fields);
        QCOMPARE(SplitFields(RemoveQuotes(line)), fields);
    }
};

QTEST_GUILESS_MAIN(TestReaders)
#include "test_readers.moc"
