#include "ReaderHarness.h"

#include "drawing/DrawingRenderer.h"

#include "ToolRun.h"

#include <QProcess>
#include <QtTest>

using namespace tegaro;

namespace {

ToolRun tool(const QStringList& args) { return runTool(QStringLiteral("tegaro-drawing"), args); }

const QString kPlan = QStringLiteral(TEGARO_FIXTURES "/drawing/plan.hbd");

} // namespace

class TestTool : public QObject {
    Q_OBJECT
private slots:
    void infoOfBothFormats()
    {
        ToolRun r = tool({"info", kPlan});
        QCOMPARE(r.code, 0);
        for (const char* line : {"format: current (.hbd)", "header: 20 30 1 2 3 4", "grid step y: 45.5",
                                 "area total:   32.75", "LinesF1: 2", "ExtraLines: 1", "BoxesF3: 0"})
            QVERIFY2(r.out.contains(QString::fromUtf8(line)), qPrintable(r.out));
        r = tool({"info", TEGARO_FIXTURES "/drawing/old.had"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains("format: old (.had)") && r.out.contains("grid origin: -15 2"));
    }

    void renderMatchesTheRenderer()
    {
        QTemporaryDir dir;
        const QString png = dir.filePath("plan.png");
        QCOMPARE(tool({"render", kPlan, "-o", png, "--floor", "2", "--zoom", "0.9"}).code, 0);

        ReaderHarness h;
        DrawingRenderer renderer;
        renderer.InitCanvas(h.model, QString());
        h.model.CurrentFloor = 2;
        h.model.Zoom = 0.9;
        ReadDrawingFile(h.model, kPlan);
        renderer.Redraw(h.model);
        const QImage written(png);
        QCOMPARE(written.convertToFormat(QImage::Format_RGB32), renderer.offscreen());
        QCOMPARE(written.pixel(50, 44), qRgb(0, 0, 255)); // the blue floor-2 segment
    }

    void badInput_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("error");
        QTest::newRow("not a drawing") << QStringList{"info", TEGARO_FIXTURES "/drawing/notdrawing.txt"} << 1
                                       << QStringLiteral("家屋図面(木造)ではありません!");
        QTest::newRow("missing file") << QStringList{"info", "/no/such.hbd"} << 1 << QStringLiteral("no such file");
        QTest::newRow("no command") << QStringList{} << 2 << QStringLiteral("usage");
        QTest::newRow("bad floor") << QStringList{"render", kPlan, "-o", "/tmp/x.png", "--floor", "4"} << 2
                                   << QStringLiteral("--floor");
        QTest::newRow("bad zoom") << QStringList{"render", kPlan, "-o", "/tmp/x.png", "--zoom", "-1"} << 2
                                  << QStringLiteral("--zoom");
        QTest::newRow("no output") << QStringList{"render", kPlan} << 2 << QStringLiteral("-o");
        QTest::newRow("background not a picture")
            << QStringList{"render", kPlan, "-o", "/tmp/x.png", "--background", kPlan} << 1 << QStringLiteral("BMP");
    }
    void badInput()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, error);
        const ToolRun r = tool(args);
        QCOMPARE(r.code, code);
        QVERIFY2(r.err.contains(error), qPrintable(r.err));
    }

    void malformedFileIsReported()
    {
        ReaderHarness h;
        const QString path = h.write(withLine(ReaderHarness::fixture("plan.hbd"), 5, "x1"));
        const ToolRun r = tool({"info", path});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("5 行目"), qPrintable(r.err));
    }
};

QTEST_GUILESS_MAIN(TestTool)
#include "test_tool.moc"
