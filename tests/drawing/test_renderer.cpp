#include "core/Errors.h"
#include "drawing/DrawingModel.h"
#include "drawing/DrawingRenderer.h"
#include "drawing/ZoomControl.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace tegaro;

namespace {

const QRgb White = qRgb(255, 255, 255);
const QRgb Green = qRgb(0, 255, 0);
const QRgb Yellow = qRgb(255, 255, 0);
const QRgb Red = qRgb(255, 0, 0);  // 0x0000FF
const QRgb Blue = qRgb(0, 0, 255); // 0xFF0000

QRgb px(const QImage& img, int x, int y) { return img.pixel(x, y) | 0xFF000000u; }

// A canvas with the grid moved off it, so only elements show.
DrawingModel bareModel(double zoom = 1.0)
{
    DrawingModel m;
    m.GridOriginX = m.GridOriginY = 5000;
    m.Zoom = zoom;
    return m;
}

QImage render(DrawingModel& m)
{
    DrawingRenderer r;
    DrawingModel start; // InitCanvas empties the lists of its model's floor
    r.InitCanvas(start, QString());
    r.Redraw(m);
    return r.offscreen();
}

QImage renderKeep(const DrawingModel& m, DrawingRenderer& r)
{
    r.Redraw(m);
    return r.offscreen();
}

} // namespace

class TestRenderer : public QObject {
    Q_OBJECT
private slots:
    void defaultGridAtHalfZoom()
    {
        DrawingModel m;
        DrawingRenderer r;
        QCOMPARE(r.InitCanvas(m, QString()), QStringLiteral("Tegaro : "));
        const QImage img = r.offscreen();
        QCOMPARE(img.size(), QSize(590, 410));
        // Column 10 lies between vertical lines: it shows the horizontal rows.
        for (int y : {5, 27, 50, 72, 95, 117, 140, 162, 185, 207, 230, 252, 275, 297, 320, 342, 365, 387})
            QCOMPARE(px(img, 10, y), Green);
        for (int y : {16, 38, 61, 83, 106, 128})
            QCOMPARE(px(img, 10, y), Yellow);
        for (int y : {0, 4, 6, 15, 17, 26, 28, 409})
            QCOMPARE(px(img, 10, y), White);
        // Rows start at column 5 and run to the right edge.
        QCOMPARE(px(img, 4, 27), White);
        QCOMPARE(px(img, 589, 27), Green);
        // Row 12 lies between horizontal lines: it shows the vertical columns.
        for (int x : {5, 27, 50, 72, 567})
            QCOMPARE(px(img, x, 12), Green);
        for (int x : {16, 38, 61, 83})
            QCOMPARE(px(img, x, 12), Yellow);
        QCOMPARE(px(img, 6, 12), White);
        // Columns start at row 5, run to the bottom and lie over the rows.
        QCOMPARE(px(img, 27, 4), White);
        QCOMPARE(px(img, 27, 409), Green);
        QCOMPARE(px(img, 16, 27), Yellow);
        QCOMPARE(px(img, 27, 16), Green);
    }

    void gridStepsOutOfRangeEnd_data()
    {
        QTest::addColumn<double>("step");
        QTest::addColumn<QRgb>("at5");
        QTest::newRow("zero: main and half line coincide") << 0.0 << Yellow;
        QTest::newRow("negative: first main line only") << -45.0 << Green;
        QTest::newRow("not a number") << qQNaN() << Green;
        QTest::newRow("tiny: ends by the line limit") << 1e-9 << Yellow;
    }
    void gridStepsOutOfRangeEnd()
    {
        QFETCH(double, step);
        QFETCH(QRgb, at5);
        DrawingModel m;
        m.GridStepX = step;
        const QImage img = render(m);
        QCOMPARE(px(img, 5, 12), at5);
        QCOMPARE(px(img, 27, 12), White);
        QCOMPARE(px(img, 10, 27), Green); // the other family is untouched
    }

    void differentStepsPerAxis()
    {
        DrawingModel m;
        m.Zoom = 1.0;
        m.GridStepY = 200; // rows 10, 210, half rows 110, 310
        m.GridStepX = 30;  // columns 10, 40, 70 ..., half 25, 55 ...
        const QImage img = render(m);
        for (int y : {10, 210})
            QCOMPARE(px(img, 12, y), Green);
        for (int y : {110, 310})
            QCOMPARE(px(img, 12, y), Yellow);
        QCOMPARE(px(img, 12, 55), White);
        for (int x : {10, 40, 70, 580})
            QCOMPARE(px(img, x, 20), Green);
        QCOMPARE(px(img, 25, 20), Yellow);
    }

    void linePixels_data()
    {
        QTest::addColumn<QList<int>>("line"); // X1 Y1 X2 Y2 at zoom 1
        QTest::addColumn<QList<QPoint>>("painted");
        QTest::addColumn<QList<QPoint>>("clear");
        QTest::newRow("horizontal: rows y-1 and y, columns x1-1..x2")
            << QList<int>{20, 40, 60, 40}
            << QList<QPoint>{{19, 39}, {19, 40}, {60, 39}, {60, 40}, {35, 39}}
            << QList<QPoint>{{18, 40}, {61, 40}, {35, 38}, {35, 41}};
        QTest::newRow("vertical, drawn upwards")
            << QList<int>{30, 80, 30, 50}
            << QList<QPoint>{{29, 49}, {30, 49}, {29, 80}, {30, 80}}
            << QList<QPoint>{{28, 60}, {31, 60}, {30, 48}, {30, 81}};
        QTest::newRow("shallow: halves go to the larger y")
            << QList<int>{10, 10, 14, 12}
            << QList<QPoint>{{9, 9}, {10, 10}, {11, 11}, {12, 11}, {13, 12}, {14, 12}}
            << QList<QPoint>{{11, 9}, {13, 10}, {14, 13}, {15, 12}, {9, 11}};
        QTest::newRow("negative x truncates toward zero")
            << QList<int>{-1, 20, -1, 60} // at zoom 0.5 below: column 0
            << QList<QPoint>{{0, 10}, {0, 30}}
            << QList<QPoint>{{1, 20}};
    }
    void linePixels()
    {
        QFETCH(QList<int>, line);
        QFETCH(QList<QPoint>, painted);
        QFETCH(QList<QPoint>, clear);
        const bool half = QTest::currentDataTag() == QByteArray("negative x truncates toward zero");
        DrawingModel m = bareModel(half ? 0.5 : 1.0);
        m.LinesF1 << TLine{line[0], line[1], line[2], line[3], 0x0000FF, 7, QStringLiteral("壁")};
        const QImage img = render(m);
        for (const QPoint& p : painted)
            QVERIFY2(px(img, p.x(), p.y()) == Red, qPrintable(QStringLiteral("(%1,%2)").arg(p.x()).arg(p.y())));
        for (const QPoint& p : clear)
            QVERIFY2(px(img, p.x(), p.y()) == White, qPrintable(QStringLiteral("(%1,%2)").arg(p.x()).arg(p.y())));
    }

    void lineDirectionDoesNotMatter()
    {
        DrawingModel a = bareModel(0.7), b = bareModel(0.7);
        a.LinesF1 << TLine{13, 17, 401, 211, 0x00AA00, 0, {}} << TLine{50, 300, 61, 20, 0xAA0000, 0, {}};
        b.LinesF1 << TLine{401, 211, 13, 17, 0x00AA00, 0, {}} << TLine{61, 20, 50, 300, 0xAA0000, 0, {}};
        QCOMPARE(render(a), render(b));
    }

    void farCoordinatesAreClipped()
    {
        DrawingModel m = bareModel(3.0);
        m.LinesF1 << TLine{-2147483647, 100, 2147483647, 100, 0x0000FF, 0, {}}
                  << TLine{-2147483647, -2147483647, 2147483647, 2147483647, 0x0000FF, 0, {}};
        m.BoxesF1 << TBox{{2147483647, 2147483647, -2147483647, -2147483647}, 0xFF0000};
        const QImage img = render(m); // the whole canvas is box interior
        QCOMPARE(px(img, 300, 299), White);
        QCOMPARE(px(img, 0, 0), White);
    }

    void boxHidesGridAndLines()
    {
        DrawingModel m;
        m.Zoom = 1.0; // grid rows 10, 55, half row 32; columns the same
        m.LinesF1 << TLine{30, 30, 40, 30, 0x0000FF, 0, {}};
        m.BoxesF1 << TBox{{20, 20, 60, 50}, 0xFF0000};
        const QImage img = render(m);
        // Border: path from (20,20) to (59,49), 2 pixels up/left of it.
        for (QPoint p : {QPoint(19, 19), QPoint(20, 30), QPoint(58, 30), QPoint(59, 49), QPoint(40, 48), QPoint(40, 20)})
            QCOMPARE(px(img, p.x(), p.y()), Blue);
        for (QPoint p : {QPoint(21, 21), QPoint(35, 30), QPoint(40, 32), QPoint(32, 40), QPoint(57, 47)})
            QCOMPARE(px(img, p.x(), p.y()), White);
        QCOMPARE(px(img, 60, 32), Yellow); // the grid goes on outside
        QCOMPARE(px(img, 18, 32), Yellow);
        QCOMPARE(px(img, 40, 50), White);
    }

    void floorsDrawTheirOwnLists_data()
    {
        QTest::addColumn<int>("floor");
        QTest::addColumn<QList<bool>>("shown"); // LinesF1, ExtraLines, LinesF2, BoxesF3
        QTest::newRow("1F") << 1 << QList<bool>{true, true, false, false};
        QTest::newRow("2F") << 2 << QList<bool>{false, false, true, false};
        QTest::newRow("3F") << 3 << QList<bool>{false, false, false, true};
        QTest::newRow("no floor") << 0 << QList<bool>{false, false, false, false};
    }
    void floorsDrawTheirOwnLists()
    {
        QFETCH(int, floor);
        QFETCH(QList<bool>, shown);
        DrawingModel m = bareModel();
        m.LinesF1 << TLine{10, 10, 100, 10, 0x0000FF, 0, {}};
        m.ExtraLines << TLine{10, 30, 100, 30, 0x0000FF, 0, {}};
        m.LinesF2 << TLine{10, 50, 100, 50, 0x0000FF, 0, {}};
        m.BoxesF3 << TBox{{10, 70, 100, 90}, 0x0000FF};
        DrawingRenderer r;
        DrawingModel start;
        r.InitCanvas(start, QString());
        m.CurrentFloor = floor;
        const QImage img = renderKeep(m, r);
        const int rows[] = {10, 30, 50, 70};
        for (int i = 0; i < 4; ++i)
            QCOMPARE(px(img, 50, rows[i]) == Red, shown[i]);
    }

    void initCanvasBackgrounds()
    {
        QTemporaryDir dir;
        QImage small(100, 50, QImage::Format_RGB32);
        small.fill(qRgb(10, 20, 30));
        const QString smallPath = dir.filePath("small.bmp");
        QVERIFY(small.save(smallPath, "BMP"));
        QImage big(1000, 800, QImage::Format_RGB32);
        big.fill(qRgb(200, 100, 50));
        const QString bigPath = dir.filePath("big.bmp");
        QVERIFY(big.save(bigPath, "BMP"));

        DrawingModel m;
        m.LinesF1 << TLine{};
        m.LinesF2 << TLine{};
        DrawingRenderer r;
        QCOMPARE(r.InitCanvas(m, smallPath), QStringLiteral("Tegaro : ") + smallPath);
        QVERIFY(m.LinesF1.isEmpty()); // the current floor's lists go
        QCOMPARE(m.LinesF2.size(), 1);
        QCOMPARE(r.offscreen().size(), QSize(590, 410));
        QCOMPARE(px(r.offscreen(), 1, 1), qRgb(10, 20, 30));
        QCOMPARE(px(r.offscreen(), 99, 49), qRgb(10, 20, 30));
        QCOMPARE(px(r.offscreen(), 101, 49), White); // uncovered part stays white
        QCOMPARE(px(r.offscreen(), 10, 5), Green);

        DrawingRenderer r2;
        r2.InitCanvas(m, bigPath);
        QCOMPARE(r2.offscreen().size(), QSize(590, 410));
        QCOMPARE(px(r2.offscreen(), 589, 409), qRgb(200, 100, 50));

        DrawingRenderer r3; // missing file: white, no path in the caption
        QCOMPARE(r3.InitCanvas(m, dir.filePath("none.bmp")), QStringLiteral("Tegaro : "));
        QCOMPARE(px(r3.offscreen(), 1, 1), White);
    }

    void canvasFollowsTheWindow_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("designed") << QSize(590, 410);
        QTest::newRow("1600 x 1000 window") << QSize(1307, 800);
        QTest::newRow("1920 x 1080 window") << QSize(1627, 880);
        QTest::newRow("taller than the grid's fixed ends") << QSize(700, 1100);
    }
    // A larger canvas shows more of the same picture: the background from
    // its top-left corner, the grid on to the edges, elements at the same
    // pixels. Back at the designed size it is the start-up picture again.
    void canvasFollowsTheWindow()
    {
        QFETCH(QSize, size);
        QTemporaryDir dir;
        QImage picture(1000, 700, QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                picture.setPixel(x, y, qRgb(x % 200, y % 200, 128));
        const QString path = dir.filePath("plan.bmp");
        QVERIFY(picture.save(path, "BMP"));

        DrawingRenderer r;
        DrawingModel start;
        r.InitCanvas(start, path);
        const QImage designed = renderKeep(start, r);
        r.setCanvasSize(size);
        QCOMPARE(r.canvasSize(), size);

        DrawingModel bare = bareModel(0.5);
        bare.LinesF1 << TLine{2 * (size.width() - 20), 20, 2 * (size.width() - 20), 2 * (size.height() - 10), 0x0000FF, 0, {}};
        const QImage img = renderKeep(bare, r);
        QCOMPARE(img.size(), size);
        for (QPoint p : {QPoint(0, 0), QPoint(589, 409), QPoint(999, 699), QPoint(size.width() - 1, size.height() - 1)}) {
            if (p.x() >= size.width() || p.y() >= size.height())
                continue;
            const QRgb want = p.x() < 1000 && p.y() < 700 ? qRgb(p.x() % 200, p.y() % 200, 128) : White;
            QCOMPARE(px(img, p.x(), p.y()), want);
        }
        // A segment at drawing x = 2 (w - 20) lies at pixel w - 20, both ends seen.
        QCOMPARE(px(img, size.width() - 20, 20), Red);
        QCOMPARE(px(img, size.width() - 20, size.height() - 11), Red);

        // The grid reaches the right and bottom edges (rows every 22.5 px,
        // columns likewise, main lines at trunc((10 + 45 i) / 2)).
        DrawingRenderer white;
        DrawingModel grid;
        white.InitCanvas(grid, QString());
        white.setCanvasSize(size);
        const QImage g = renderKeep(grid, white);
        const int lastRow = int((10 + 45 * ((2 * (size.height() - 1) - 10) / 45)) * 0.5);
        const int lastCol = int((10 + 45 * ((2 * (size.width() - 1) - 10) / 45)) * 0.5);
        // Near the right edge, between columns, row 27 is still drawn; near
        // the bottom, between rows, column 27 is.
        int x = size.width() - 1;
        while (x > 0 && px(g, x, 12) != White)
            --x;
        QVERIFY(x > size.width() - 25);
        QCOMPARE(px(g, x, 27), Green);
        int y = size.height() - 1;
        while (y > 0 && px(g, 12, y) != White)
            --y;
        QVERIFY(y > size.height() - 25);
        QCOMPARE(px(g, 27, y), Green);
        QCOMPARE(px(g, lastCol, 12), Green);
        QCOMPARE(px(g, 12, lastRow), Green);

        r.setCanvasSize(QSize(590, 410));
        QCOMPARE(renderKeep(start, r), designed);
    }

    void initCanvasRejectsOtherFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("text") << QByteArray("$headerpas\r\n10\r\n");
        QImage png(4, 4, QImage::Format_RGB32);
        png.fill(Qt::red);
        QByteArray bytes;
        QBuffer buf(&bytes);
        buf.open(QIODevice::WriteOnly);
        png.save(&buf, "PNG");
        QTest::newRow("png named bmp") << bytes;
        QTest::newRow("empty") << QByteArray();
    }
    void initCanvasRejectsOtherFiles()
    {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        const QString path = dir.filePath("picture.bmp");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();
        DrawingModel m;
        DrawingRenderer r;
        try {
            r.InitCanvas(m, path);
            QFAIL("no error");
        } catch (const EInvalidGraphic& e) {
            QVERIFY(e.message().contains(path));
        }
        QVERIFY(r.offscreen().isNull());
        r.Redraw(m); // an empty canvas, no crash
        QVERIFY(r.offscreen().isNull());
    }

    void zoomSequence()
    {
        double zoom = 0.5;
        QStringList texts, status;
        for (int i = 0; i < 3; ++i) {
            const auto step = zoomClick(zoom, Qt::RightButton);
            texts << step->zoomText;
            status << step->statusText;
        }
        QCOMPARE(texts, QStringList({" 0.40", " 0.30", " 0.50"}));
        QCOMPARE(status, QStringList({"縮小！", "縮小！", "縮小限度！"}));
        QCOMPARE(zoom, 0.5);

        auto in = zoomClick(zoom, Qt::LeftButton);
        QCOMPARE(in->zoomText, QStringLiteral(" 0.60"));
        QCOMPARE(in->statusText, QStringLiteral("拡大！"));
        in = zoomClick(zoom, Qt::MiddleButton);
        QCOMPARE(in->zoomText, QStringLiteral(" 0.70"));
        QVERIFY(!zoomClick(zoom, Qt::BackButton));
        QCOMPARE(zoom, 0.5 + 0.1 + 0.1);
    }

    void floorTabs_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("floor");
        QTest::newRow("1F") << 0 << 1;
        QTest::newRow("2F") << 1 << 2;
        QTest::newRow("3F") << 2 << 3;
        QTest::newRow("none") << -1 << 2;
        QTest::newRow("beyond") << 3 << 2;
    }
    void floorTabs()
    {
        QFETCH(int, tab);
        QFETCH(int, floor);
        QCOMPARE(floorForTab(tab, 2), floor);
    }

    void releaseAndClear()
    {
        DrawingModel m;
        auto fill = [&] {
            m.LinesF1 = m.LinesF2 = m.LinesF3 = m.ExtraLines = {TLine{}};
            m.BoxesF1 = m.BoxesF2 = m.BoxesF3 = {TBox{}};
        };
        fill();
        m.CurrentFloor = 2;
        m.ReleaseFloorLists();
        QVERIFY(m.LinesF2.isEmpty() && m.BoxesF2.isEmpty());
        QCOMPARE(m.LinesF1.size() + m.ExtraLines.size() + m.BoxesF1.size() + m.LinesF3.size() + m.BoxesF3.size(), 5);

        fill();
        m.GridStepX = 30;
        m.Zoom = 0.7;
        for (int box = 1; box <= 6; ++box)
            setAreaText(m, box, formatAreaText(12.5));
        QCOMPARE(m.AreaTexts[3], QStringLiteral("   12.50"));
        QVERIFY(m.AreaTexts[0].isEmpty()); // boxes are numbered 1 to 5
        zclear(m);
        QCOMPARE(m.CurrentFloor, 3);
        QVERIFY(m.LinesF1.isEmpty() && m.ExtraLines.isEmpty() && m.BoxesF1.isEmpty());
        QVERIFY(m.LinesF3.isEmpty() && m.BoxesF2.isEmpty());
        for (int box = 1; box <= 5; ++box)
            QVERIFY(m.AreaTexts[box].isEmpty());
        QCOMPARE(m.GridStepX, 30.0);
        QCOMPARE(m.Zoom, 0.7);
    }
};

QTEST_GUILESS_MAIN(TestRenderer)
#include "test_renderer.moc"
