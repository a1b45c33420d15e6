// Where rows and columns lie: the width and height rules, hidden rows and
// columns, zoom, merged areas and frozen panes.
#include "MiniBook.h"
#include "sheets/PackageSamples.h"

#include "sheets/book/WorkbookFile.h"
#include "sheets/model/MergeIndex.h"
#include "sheets/render/SheetGeometry.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace tegaro::sheets;
using namespace tegaro::sheets::testing;

class TestGeometry : public QObject {
    Q_OBJECT
private slots:
    void conversions_data();
    void conversions();
    void sheetLayout_data();
    void sheetLayout();
    void positionsFindTheirCells();
    void hiddenNeighboursAreSkipped();
    void defaultRowsHidden();
    void mergedAreas_data();
    void mergedAreas();
    void frozenPanes();
    void lengthsDrawnAsLong_data();
    void lengthsDrawnAsLong();
};

void TestGeometry::conversions_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("digit");
    QTest::addColumn<int>("pixels");
    // what the spreadsheet program shows for these widths and heights
    QTest::newRow("8.43 characters of a 7-pixel digit") << "column" << 2340 << 7 << 64;
    QTest::newRow("8.38 characters of an 8-pixel digit") << "column" << 2305 << 8 << 72;
    QTest::newRow("10 characters") << "column" << 2560 << 7 << 70;
    QTest::newRow("zero width") << "column" << 0 << 7 << 0;
    QTest::newRow("default 8 of a 7-pixel digit") << "default" << 8 << 7 << 64;
    QTest::newRow("default 8 of an 8-pixel digit") << "default" << 8 << 8 << 72;
    QTest::newRow("default rounds up to 8") << "default" << 8 << 9 << 80;
    QTest::newRow("default 10") << "default" << 10 << 7 << 80;
    QTest::newRow("13.5 points") << "row" << 270 << 0 << 18;
    QTest::newRow("12.75 points") << "row" << 255 << 0 << 17;
    QTest::newRow("30 points") << "row" << 600 << 0 << 40;
    QTest::newRow("0.75 points") << "row" << 15 << 0 << 1;
}

void TestGeometry::conversions()
{
    QFETCH(QString, rule);
    QFETCH(int, value);
    QFETCH(int, digit);
    QFETCH(int, pixels);
    if (rule == u"column")
        QCOMPARE(SheetGeometry::columnPixels(value, digit), pixels);
    else if (rule == u"default")
        QCOMPARE(SheetGeometry::defaultColumnPixels(value, digit), pixels);
    else
        QCOMPARE(SheetGeometry::rowPixels(value), pixels);
}

namespace {

// A: 80 px, B hidden, C on: default 72 px (8 characters of an 8-pixel digit).
// Rows: 1 is 18 px, 2 hidden, 3 is 40 px, the rest 18 px.
MiniBook layoutBook()
{
    MiniBook b;
    b.sheet().defaultRowHeight = 270;
    b.columns(0, 0, 2560);
    b.columns(1, 1, 2560, true);
    b.row(1, 270, true);
    b.row(2, 600);
    return b;
}

} // namespace

void TestGeometry::sheetLayout_data()
{
    QTest::addColumn<double>("scale");
    QTest::addColumn<QList<int>>("xs"); // columnX of A..D
    QTest::addColumn<QList<int>>("ys"); // rowY of 1..4, and of row 65537 (the end)
    QTest::newRow("100%") << 1.0 << QList<int>{0, 80, 80, 152} << QList<int>{0, 18, 18, 58, 18 * 65536 - 18 + 22};
    QTest::newRow("200%") << 2.0 << QList<int>{0, 160, 160, 304} << QList<int>{0, 36, 36, 116, 36 * 65536 - 36 + 44};
    QTest::newRow("50%") << 0.5 << QList<int>{0, 40, 40, 76} << QList<int>{0, 9, 9, 29, 9 * 65536 - 9 + 11};
    // each column and row is rounded on its own, so equal ones stay equal
    QTest::newRow("95%") << 0.95 << QList<int>{0, 76, 76, 144} << QList<int>{0, 17, 17, 55, 17 * 65536 - 17 + 21};
}

void TestGeometry::sheetLayout()
{
    QFETCH(double, scale);
    QFETCH(QList<int>, xs);
    QFETCH(QList<int>, ys);
    const MiniBook b = layoutBook();
    const SheetGeometry g(b.book.sheets[0], 8, scale);
    for (int c = 0; c < xs.size(); ++c)
        QCOMPARE(g.columnX(c), xs[c]);
    QCOMPARE(g.columnWidth(1), 0);
    for (int r = 0; r < 4; ++r)
        QCOMPARE(g.rowY(r), ys[r]);
    QCOMPARE(g.rowY(kMaxRows), ys[4]);
    QCOMPARE(g.rowHeight(1), 0);
}

void TestGeometry::positionsFindTheirCells()
{
    const MiniBook b = layoutBook();
    for (double scale : {1.0, 0.37, 3.0}) {
        const SheetGeometry g(b.book.sheets[0], 8, scale);
        QRandomGenerator random(7);
        for (int i = 0; i < 2000; ++i) {
            const int y = random.bounded(g.rowY(kMaxRows));
            const int r = g.rowAt(y);
            QVERIFY2(g.rowY(r) <= y && y < g.rowY(r + 1), qPrintable(QStringLiteral("y %1 row %2").arg(y).arg(r)));
            const int x = random.bounded(g.columnX(kMaxColumns));
            const int c = g.columnAt(x);
            QVERIFY(g.columnX(c) <= x && x < g.columnX(c + 1));
        }
        QCOMPARE(g.rowAt(-5), 0);
        QCOMPARE(g.rowAt(g.rowY(kMaxRows) + 100), kMaxRows - 1);
        QCOMPARE(g.columnAt(g.columnX(kMaxColumns) + 100), kMaxColumns - 1);
    }
}

void TestGeometry::hiddenNeighboursAreSkipped()
{
    const MiniBook b = layoutBook();
    const SheetGeometry g(b.book.sheets[0], 8, 1.0);
    QCOMPARE(g.nextColumn(0, 1), 2);
    QCOMPARE(g.nextColumn(2, -1), 0);
    QCOMPARE(g.nextColumn(0, -1), 0); // nothing left of A
    QCOMPARE(g.nextColumn(255, 1), 255);
    QCOMPARE(g.nextRow(0, 1), 2);
    QCOMPARE(g.nextRow(2, -1), 0);
}

void TestGeometry::defaultRowsHidden()
{
    MiniBook b;
    b.sheet().defaultRowOptions = 0x02; // rows without a record are hidden
    b.row(4, 300);
    const SheetGeometry g(b.book.sheets[0], 8, 1.0);
    QCOMPARE(g.rowHeight(0), 0);
    QCOMPARE(g.rowHeight(4), 20);
    QCOMPARE(g.rowY(kMaxRows), 20);
    QCOMPARE(g.rowAt(10), 4);
}

void TestGeometry::mergedAreas_data()
{
    QTest::addColumn<Range>("block");
    QTest::addColumn<QList<Range>>("found");
    const Range tall{0, 999, 2, 2}, a{1, 2, 0, 3}, b{5, 5, 1, 2}, far{40000, 40010, 10, 12};
    QTest::newRow("top rows") << Range{0, 1, 0, 1} << QList<Range>{a}; // the tall one is in column C only
    QTest::newRow("column C down low") << Range{500, 600, 2, 2} << QList<Range>{tall};
    QTest::newRow("row 6") << Range{5, 5, 0, 255} << QList<Range>{tall, b};
    QTest::newRow("far down") << Range{40005, 40005, 0, 255} << QList<Range>{far};
    QTest::newRow("nothing") << Range{3, 4, 3, 9} << QList<Range>{};
}

void TestGeometry::mergedAreas()
{
    QFETCH(Range, block);
    QFETCH(QList<Range>, found);
    // a single cell is no merged area
    const MergeIndex index({{5, 5, 1, 2}, {40000, 40010, 10, 12}, {1, 2, 0, 3}, {0, 999, 2, 2}, {7, 7, 7, 7}});
    QCOMPARE(index.within(block), found);
    for (const Range& r : found) {
        QCOMPARE(*index.at(r.lastRow, r.lastCol), r);
        QCOMPARE(*index.at(r.firstRow, r.firstCol), r);
    }
    QCOMPARE(index.at(7, 7), nullptr);
    QCOMPARE(index.at(3, 0), nullptr);
}

void TestGeometry::frozenPanes()
{
    SheetView v;
    v.topRow = 4;
    v.setScroll(10, 3);
    QCOMPARE(v.scrollRow(), 10); // no panes: the top row itself
    QCOMPARE(v.topRow, 10);
    // two rows and one column frozen, the rest scrolled to row 20, column E
    v.options |= 0x0008;
    v.pane = QByteArray::fromHex("0100"
                                 "0200"
                                 "1300"
                                 "0400"
                                 "00"
                                 "00");
    QCOMPARE(v.frozenRows(), 2);
    QCOMPARE(v.frozenCols(), 1);
    QCOMPARE(v.scrollRow(), 19);
    QCOMPARE(v.scrollCol(), 4);
    v.setScroll(0, 0); // the scrolled part cannot go under the frozen one
    QCOMPARE(v.scrollRow(), 2);
    QCOMPARE(v.scrollCol(), 1);
    QCOMPARE(v.topRow, 10);
}

QObject* makeTestGeometry() { return new TestGeometry; }

void TestGeometry::lengthsDrawnAsLong_data()
{
    QTest::addColumn<QByteArray>("width");
    QTest::addColumn<int>("pixels");
    QTest::newRow("one inch") << QByteArray("1in") << 96;
    QTest::newRow("centimetres") << QByteArray("5.08cm") << 192;
    QTest::newRow("points") << QByteArray("54pt") << 72;
}

void TestGeometry::lengthsDrawnAsLong()
{
    // .ods widths are lengths: they are drawn that long, whatever digit the
    // installed substitute of the workbook's font has, as LibreOffice draws them
    QFETCH(QByteArray, width);
    QFETCH(int, pixels);
    const QByteArray styles = "<style:style style:name=\"co1\" style:family=\"table-column\">"
                              "<style:table-column-properties style:column-width=\""
        + width + "\"/></style:style>";
    const Workbook book = readWorkbook(odsPackage(odsContent(
        "<table:table table:name=\"S\"><table:table-column table:style-name=\"co1\"/>"
        "<table:table-row><table:table-cell/></table:table-row></table:table>",
        styles)));
    const SheetGeometry g(book, 0, 1.0);
    QVERIFY2(std::abs(g.columnWidth(0) - pixels) <= 2, qPrintable(QString::number(g.columnWidth(0))));
}

#include "test_geometry.moc"
