// Pictures of small workbooks: fills, borders, texts that run on and merged
// areas land where they belong, drawn in-process and by the tool.
#include "MiniBook.h"
#include "ToolRun.h"

#include "sheets/xls/XlsFile.h"
#include "sheets/model/MergeIndex.h"
#include "sheets/render/SheetGeometry.h"
#include "sheets/render/SheetImage.h"
#include "sheets/render/SheetPainter.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace tegaro::sheets;
using namespace tegaro::sheets::testing;

namespace {

bool dark(QRgb p) { return qGray(p) < 128; }

// How many pixels of a rectangle pass a test.
int count(const QImage& image, const QRect& r, const std::function<bool(QRgb)>& test)
{
    int n = 0;
    const QRect clipped = r.intersected(image.rect());
    for (int y = clipped.top(); y <= clipped.bottom(); ++y)
        for (int x = clipped.left(); x <= clipped.right(); ++x)
            n += test(image.pixel(x, y));
    return n;
}

// Cell rectangles of the picture of A1 onwards at 100%, gridline included.
QRect cellBox(const Workbook& book, int row, int col)
{
    const SheetGeometry g(book, 0, 1.0);
    return QRect(g.columnX(col), g.rowY(row), g.columnWidth(col), g.rowHeight(row));
}

QImage picture(const Workbook& book, const Range& cells = {0, 5, 0, 5})
{
    RenderRequest r;
    r.cells = cells;
    r.zoom = 100;
    return renderSheet(book, r);
}

} // namespace

class TestPixels : public QObject {
    Q_OBJECT
private slots:
    void fillLandsInItsCell();
    void thickBorderUnderItsCell();
    void textRunsOnAndStopsAtAValue();
    void tinyTextRunsOnAsALine_data();
    void tinyTextRunsOnAsALine();
    void mergedAreaCentresItsText();
    void mergedAreaKeepsItsOutline();
    void dottedLinesOnScreenAndPaper_data();
    void dottedLinesOnScreenAndPaper();
    void hiddenColumnsAndGridlines();
    void zoomScalesThePicture();
    void toolRendersAndRefuses_data();
    void toolRendersAndRefuses();
};

void TestPixels::fillLandsInItsCell()
{
    MiniBook b;
    b.blank(2, 2, b.format([](CellFormat& f) { f.pattern = 1; f.patternColor = 10; })); // red
    const QImage image = picture(b.book);
    const QRect c3 = cellBox(b.book, 2, 2);
    auto red = [](QRgb p) { return p == qRgb(255, 0, 0); };
    QVERIFY(red(image.pixel(c3.center())));
    // the fill covers its cell and the gridlines around it, nothing else
    const QRect covered = c3.adjusted(-1, -1, -1, -1);
    QCOMPARE(count(image, covered, red), covered.width() * covered.height());
    QCOMPARE(count(image, image.rect(), red), covered.width() * covered.height());
}

void TestPixels::thickBorderUnderItsCell()
{
    MiniBook b;
    b.blank(1, 1, b.format([](CellFormat& f) { f.bottom = {5, 8}; })); // thick, black
    const QImage image = picture(b.book);
    const QRect b2 = cellBox(b.book, 1, 1);
    const int line = b2.bottom(); // the gridline under B2
    const int x = b2.center().x();
    for (int y : {line - 1, line, line + 1})
        QVERIFY2(image.pixel(x, y) == qRgb(0, 0, 0), qPrintable(QString::number(y)));
    QVERIFY(image.pixel(x, line - 3) == qRgb(255, 255, 255));
    QVERIFY(image.pixel(x, line + 3) == qRgb(255, 255, 255));
    // nothing black under A2 or C2 beyond the corners
    auto black = [](QRgb p) { return p == qRgb(0, 0, 0); };
    QCOMPARE(count(image, QRect(0, line - 2, b2.left() - 2, 5), black), 0);
    QCOMPARE(count(image, QRect(b2.right() + 2, line - 2, 200, 5), black), 0);
}

void TestPixels::textRunsOnAndStopsAtAValue()
{
    MiniBook b;
    b.text(0, 0, QStringLiteral("■").repeated(60));
    b.text(0, 2, QStringLiteral(" ")); // shows nothing, yet stops the text
    b.text(2, 0, QStringLiteral("■").repeated(60));
    const QImage image = picture(b.book);
    const QRect a1 = cellBox(b.book, 0, 0), b1 = cellBox(b.book, 0, 1), c1 = cellBox(b.book, 0, 2);
    QVERIFY(count(image, b1.adjusted(1, 2, -2, -2), dark) > 0);
    QCOMPARE(count(image, QRect(c1.left(), c1.top(), 400, c1.height() - 1), dark), 0);
    // no gridline where the text runs on, but on the row below there is one
    const QColor grid = PaintOptions().gridColor;
    QVERIFY(image.pixelColor(a1.right(), a1.top() + 1) != grid);
    QCOMPARE(image.pixelColor(a1.right(), cellBox(b.book, 1, 0).center().y()), grid);
    // the third row's text runs on to the picture's edge
    const QRect a3 = cellBox(b.book, 2, 0);
    QVERIFY(count(image, QRect(image.width() - 20, a3.top() + 2, 18, a3.height() - 4), dark) > 0);
}

void TestPixels::tinyTextRunsOnAsALine_data()
{
    QTest::addColumn<int>("zoom");
    QTest::addColumn<int>("characters");
    QTest::addColumn<bool>("runsOn"); // into B1
    QTest::newRow("10%, long") << 10 << 60 << true;
    QTest::newRow("20%, long") << 20 << 60 << true;
    QTest::newRow("20%, short") << 20 << 2 << false;
    QTest::newRow("25%, long") << 25 << 60 << true;
}

void TestPixels::tinyTextRunsOnAsALine()
{
    // too small to read, a text is a line as long as it would be, running
    // on into empty cells and stopping at a filled one
    QFETCH(int, zoom);
    QFETCH(int, characters);
    QFETCH(bool, runsOn);
    MiniBook b;
    b.text(0, 0, QStringLiteral("■").repeated(characters));
    b.text(0, 2, QStringLiteral(" "));
    RenderRequest r;
    r.cells = Range{0, 3, 0, 5};
    r.zoom = zoom;
    const QImage image = renderSheet(b.book, r);
    const SheetGeometry g(b.book, 0, zoom / 100.0);
    auto box = [&](int col) { return QRect(g.columnX(col), g.rowY(0), g.columnWidth(col) - 1, g.rowHeight(0) - 1); };
    auto ink = [](QRgb p) { return qGray(p) < 200; };
    QVERIFY(count(image, box(0), ink) > 0);
    QCOMPARE(count(image, box(1), ink) > 0, runsOn);
    QCOMPARE(count(image, QRect(box(2).left(), 0, image.width(), box(2).height()), ink), 0);
}

void TestPixels::mergedAreaCentresItsText()
{
    MiniBook b;
    b.text(0, 0, QStringLiteral("■"), b.format([](CellFormat& f) { f.hAlign = 2; }));
    b.sheet().merged << Range{0, 1, 0, 2};
    const QImage image = picture(b.book);
    const QRect area = cellBox(b.book, 0, 0).united(cellBox(b.book, 1, 2));
    int left = image.width(), right = -1;
    for (int y = area.top(); y < area.bottom(); ++y)
        for (int x = area.left(); x < area.right(); ++x)
            if (dark(image.pixel(x, y))) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    QVERIFY(right >= left);
    QVERIFY2(qAbs((left + right) / 2.0 - (area.left() + area.right() - 1) / 2.0) <= 2.0,
             qPrintable(QStringLiteral("text %1-%2 in %3-%4").arg(left).arg(right).arg(area.left()).arg(area.right())));
    // no gridlines inside the area
    const QColor grid = PaintOptions().gridColor;
    QVERIFY(image.pixelColor(cellBox(b.book, 1, 0).right(), area.top() + 3) != grid);
    QVERIFY(image.pixelColor(area.left() + 3, cellBox(b.book, 0, 0).bottom()) != grid);
}

void TestPixels::mergedAreaKeepsItsOutline()
{
    // B2:C3 merged, each cell with a thick outline as the program writes it
    MiniBook b;
    const int boxed = b.format([](CellFormat& f) {
        f.left = f.right = f.top = f.bottom = {5, 8};
    });
    for (int r = 1; r <= 2; ++r)
        for (int c = 1; c <= 2; ++c)
            b.blank(r, c, boxed);
    b.sheet().merged << Range{1, 2, 1, 2};
    const QImage image = picture(b.book);
    const QRect area = cellBox(b.book, 1, 1).united(cellBox(b.book, 2, 2));
    auto black = [&](int x, int y) { return image.pixel(x, y) == qRgb(0, 0, 0); };
    const QPoint mid = area.center();
    QVERIFY(black(area.left() - 1, mid.y())); // left edge, on A's gridline
    QVERIFY(black(area.right(), mid.y()));    // right edge, on C's gridline
    QVERIFY(black(mid.x(), area.top() - 1));  // top
    QVERIFY(black(mid.x(), area.bottom()));   // bottom
    // inside, where B meets C and row 2 meets row 3, no line at all
    const QRect b2 = cellBox(b.book, 1, 1);
    QVERIFY(image.pixel(b2.right(), mid.y() + 3) == qRgb(255, 255, 255));
    QVERIFY(image.pixel(b2.center().x(), b2.bottom()) == qRgb(255, 255, 255));
}

void TestPixels::dottedLinesOnScreenAndPaper_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("dpi");
    QTest::addColumn<bool>("gaps");
    QTest::newRow("hair on screen") << 7 << 96 << true;
    QTest::newRow("hair on paper") << 7 << 1200 << false;
    QTest::newRow("dotted on screen") << 4 << 96 << true;
    QTest::newRow("dotted on paper") << 4 << 1200 << true;
    QTest::newRow("thin on paper") << 1 << 1200 << false;
}

void TestPixels::dottedLinesOnScreenAndPaper()
{
    // the hair line is dots where pixels are coarse and the finest solid
    // line on paper; a dotted line stays dotted everywhere
    QFETCH(int, style);
    QFETCH(int, dpi);
    QFETCH(bool, gaps);
    MiniBook b;
    b.blank(0, 1, b.format([&](CellFormat& f) { f.bottom = {quint8(style), 8}; }));
    const double scale = dpi / 96.0;
    const SheetGeometry g(b.book, 0, scale);
    const MergeIndex merges(b.sheet().merged);
    SheetStyles styles(b.book, scale, dpi);
    const SheetPainter painter(b.book, 0, g, merges, styles);
    QImage image(g.columnX(3), g.rowY(2), QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter p(&image);
        PaintOptions options;
        options.gridlines = false;
        painter.paint(p, {0, 1, 0, 2}, {0, 0}, options);
    }
    // along the edge under B1, away from its corners
    const int y0 = g.rowY(1) - int(scale), y1 = g.rowY(1) + int(scale);
    int inked = 0, columns = 0;
    for (int x = g.columnX(1) + g.columnWidth(1) / 4; x < g.columnX(2) - g.columnWidth(1) / 4; ++x, ++columns)
        inked += count(image, QRect(x, y0, 1, y1 - y0 + 1), dark) > 0;
    QVERIFY(inked > 0);
    QCOMPARE(inked < columns, gaps);
}

void TestPixels::hiddenColumnsAndGridlines()
{
    MiniBook b;
    b.columns(1, 1, 2560, true);
    b.blank(0, 1, b.format([](CellFormat& f) { f.pattern = 1; f.patternColor = 10; }));
    auto red = [](QRgb p) { return p == qRgb(255, 0, 0); };
    QCOMPARE(count(picture(b.book), QRect(0, 0, 2000, 2000), red), 0);
    const QColor grid = PaintOptions().gridColor;
    auto gridline = [&](QRgb p) { return QColor(p) == grid; };
    QVERIFY(count(picture(b.book), QRect(0, 0, 2000, 2000), gridline) > 0);
    b.sheet().view.options &= ~0x0002; // the sheet hides its gridlines
    QCOMPARE(count(picture(b.book), QRect(0, 0, 2000, 2000), gridline), 0);
}

void TestPixels::zoomScalesThePicture()
{
    MiniBook b;
    b.sheet().defaultRowHeight = 270; // 18 pixels: halves evenly
    b.columns(0, 9, 2560);
    RenderRequest r;
    r.cells = Range{0, 19, 0, 9};
    r.zoom = 100;
    const QSize full = renderSheet(b.book, r).size();
    r.zoom = 200;
    QCOMPARE(renderSheet(b.book, r).size(), full * 2);
    r.zoom = 50;
    QCOMPARE(renderSheet(b.book, r).size(), full / 2);
    // the sheet's own zoom when none is asked for
    b.sheet().view.zoom = 200;
    r.zoom = 0;
    QCOMPARE(renderSheet(b.book, r).size(), full * 2);
    r.headings = true;
    const QSize withBars = renderSheet(b.book, r).size();
    QVERIFY(withBars.width() > full.width() * 2 && withBars.height() > full.height() * 2);
}

void TestPixels::toolRendersAndRefuses_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QSize>("size"); // of B2:C4 at 100% and 200%
    QTest::newRow("cells") << QStringList{"--cells", "B2:C4"} << 0 << QSize(1, 1);
    QTest::newRow("cells zoomed") << QStringList{"--cells", "c4:b2", "--zoom", "200"} << 0 << QSize(2, 2);
    QTest::newRow("zoom too large") << QStringList{"--zoom", "900"} << 2 << QSize();
    QTest::newRow("bad range") << QStringList{"--cells", "B2:"} << 2 << QSize();
    QTest::newRow("no such sheet") << QStringList{"--sheet", "4"} << 1 << QSize();
    QTest::newRow("no output") << QStringList{"-o"} << 2 << QSize();
}

void TestPixels::toolRendersAndRefuses()
{
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QSize, size);
    QTemporaryDir dir;
    MiniBook b;
    b.text(1, 1, QStringLiteral("表"));
    const QString xls = dir.filePath(QStringLiteral("t.xls")), png = dir.filePath(QStringLiteral("t.png"));
    writeXlsFile(b.book, xls);
    QStringList all = {QStringLiteral("render"), xls};
    if (!args.contains(u"-o"))
        all << QStringLiteral("-o") << png;
    const ToolRun run = runTool(QStringLiteral("tegaro-sheet"), all + args);
    QCOMPARE(run.code, code);
    if (code != 0) {
        QVERIFY(!run.err.isEmpty());
        QVERIFY(!QFile::exists(png));
        return;
    }
    RenderRequest r;
    r.cells = Range{1, 3, 1, 2};
    r.zoom = 100;
    const QImage expected = renderSheet(readXlsFile(xls), r);
    const QImage image(png);
    QCOMPARE(image.size(), QSize(expected.width() * size.width(), expected.height() * size.height()));
    if (size.width() == 1)
        QCOMPARE(image.convertToFormat(QImage::Format_RGB32), expected);
}

QObject* makeTestPixels() { return new TestPixels; }

#include "test_pixels.moc"
