// Which text goes where: General alignment, texts that run on over empty
// neighbours, numbers that shorten or turn into "###", merged areas.
#include "MiniBook.h"

#include "sheets/numfmt/NumberFormat.h"
#include "sheets/render/CellTexts.h"

#include <QtTest>

using namespace tegaro::sheets;
using namespace tegaro::sheets::testing;

namespace {

// Far wider than any few columns, in any font.
const QString kLong = QStringLiteral("評価明細のとても長い見出しの文字列が続きます").repeated(3);

struct Painted {
    MiniBook b;
    std::unique_ptr<SheetGeometry> geo;
    std::unique_ptr<MergeIndex> merges;
    std::unique_ptr<SheetStyles> styles;
    std::unique_ptr<CellTexts> texts;

    explicit Painted(MiniBook book) : b(std::move(book))
    {
        geo = std::make_unique<SheetGeometry>(b.book, 0, 1.0);
        merges = std::make_unique<MergeIndex>(b.sheet().merged);
        styles = std::make_unique<SheetStyles>(b.book, 1.0, 96);
        texts = std::make_unique<CellTexts>(b.book, 0, *geo, *merges, *styles);
    }
    std::optional<TextItem> itemOf(const Range& block, int row, int col) const
    {
        for (const TextItem& t : texts->layout(block))
            if (t.row == row && t.col == col)
                return t;
        return std::nullopt;
    }
};

using Build = void (*)(MiniBook&);

const Build kScenes[] = {
    // 0: a long text in A1, a blank-looking value in D1
    [](MiniBook& b) { b.text(0, 0, kLong); b.text(0, 3, QStringLiteral(" ")); },
    // 1: the same with formatted but empty cells between
    [](MiniBook& b) {
        b.text(0, 0, kLong);
        const int fill = b.format([](CellFormat& f) { f.pattern = 1; f.patternColor = 13; });
        b.blank(0, 1, fill);
        b.blank(0, 2, fill);
        b.number(0, 3, 0);
    },
    // 2: right-aligned in E1, a value in B1
    [](MiniBook& b) { b.text(0, 4, kLong, b.format([](CellFormat& f) { f.hAlign = 3; })); b.number(0, 1, 5); },
    // 3: centred in D1, values in A1 and G1
    [](MiniBook& b) {
        b.text(0, 3, kLong, b.format([](CellFormat& f) { f.hAlign = 2; }));
        b.number(0, 0, 1);
        b.number(0, 6, 1);
    },
    // 4: a number too wide for its fixed format
    [](MiniBook& b) { b.number(0, 0, 1234567890123.0, b.numberFormat(QStringLiteral("#,##0.00"))); },
    // 5: wrapped text
    [](MiniBook& b) { b.text(0, 0, kLong, b.format([](CellFormat& f) { f.wrap = true; })); },
    // 6: A1:C2 merged, its value in A1
    [](MiniBook& b) { b.text(0, 0, QStringLiteral("結合")); b.sheet().merged << Range{0, 1, 0, 2}; },
    // 7: a long text in A1, C1:D1 merged and empty
    [](MiniBook& b) { b.text(0, 0, kLong); b.sheet().merged << Range{0, 0, 2, 3}; },
    // 8: a short text in A1
    [](MiniBook& b) { b.text(0, 0, QStringLiteral("短")); },
    // 9: centred across B1:C1, D1 not
    [](MiniBook& b) {
        const int across = b.format([](CellFormat& f) { f.hAlign = 6; });
        b.text(0, 0, QStringLiteral("見出し"), across);
        b.blank(0, 1, across);
        b.blank(0, 2, across);
        b.number(0, 4, 1, across);
    },
    // 10: values of each kind under General alignment
    [](MiniBook& b) {
        b.number(0, 0, 12);
        b.text(0, 1, QStringLiteral("字"));
        Cell& t = b.number(0, 2, 1);
        t.kind = CellKind::Boolean;
        Cell& e = b.number(0, 3, 7);
        e.kind = CellKind::Error;
    },
    // 11: a long text on a hidden row
    [](MiniBook& b) { b.text(0, 0, kLong); b.row(0, 270, true); },
};

} // namespace

class TestCellTexts : public QObject {
    Q_OBJECT
private slots:
    void spans_data();
    void spans();
    void generalShowsFewerDigits();
    void formatColours_data();
    void formatColours();
};

void TestCellTexts::spans_data()
{
    QTest::addColumn<int>("scene");
    QTest::addColumn<Range>("block");
    QTest::addColumn<int>("col");
    QTest::addColumn<int>("firstCol"); // -1: no text for that cell
    QTest::addColumn<int>("lastCol");
    QTest::addColumn<int>("hAlign");
    const Range row1{0, 0, 0, 9};
    QTest::newRow("left text runs on until a value") << 0 << row1 << 0 << 0 << 2 << 1;
    QTest::newRow("formatted empty cells let it run on") << 1 << row1 << 0 << 0 << 2 << 1;
    QTest::newRow("right-aligned runs on to the left") << 2 << row1 << 4 << 2 << 4 << 3;
    QTest::newRow("centred runs on both ways") << 3 << row1 << 3 << 1 << 5 << 2;
    QTest::newRow("numbers stay in their cell") << 4 << row1 << 0 << 0 << 0 << 3;
    QTest::newRow("wrapped text stays in its cell") << 5 << row1 << 0 << 0 << 0 << 1;
    QTest::newRow("merged area from outside the block") << 6 << Range{1, 3, 1, 3} << 0 << 0 << 2 << 1;
    QTest::newRow("a merged area stops a text") << 7 << row1 << 0 << 0 << 1 << 1;
    QTest::newRow("a text from the left runs into the block") << 0 << Range{0, 0, 2, 5} << 0 << 0 << 2 << 1;
    QTest::newRow("a text ending before the block is left out") << 8 << Range{0, 0, 3, 5} << 0 << -1 << 0 << 0;
    QTest::newRow("centred across the cells that ask") << 9 << row1 << 0 << 0 << 2 << 2;
    QTest::newRow("General puts numbers right") << 10 << row1 << 0 << 0 << 0 << 3;
    QTest::newRow("General puts texts left") << 10 << row1 << 1 << 1 << 1 << 1;
    QTest::newRow("General centres truth values") << 10 << row1 << 2 << 2 << 2 << 2;
    QTest::newRow("General centres errors") << 10 << row1 << 3 << 3 << 3 << 2;
    QTest::newRow("hidden rows show nothing") << 11 << row1 << 0 << -1 << 0 << 0;
}

void TestCellTexts::spans()
{
    QFETCH(int, scene);
    QFETCH(Range, block);
    QFETCH(int, col);
    QFETCH(int, firstCol);
    QFETCH(int, lastCol);
    QFETCH(int, hAlign);
    MiniBook b;
    kScenes[scene](b);
    const Painted p(b);
    const std::optional<TextItem> t = p.itemOf(block, 0, col);
    if (firstCol < 0) {
        QVERIFY(!t);
        return;
    }
    QVERIFY(t);
    QCOMPARE(t->firstCol, firstCol);
    QCOMPARE(t->lastCol, lastCol);
    QCOMPARE(t->hAlign, hAlign);
    if (scene == 4)
        QVERIFY2(!t->text.isEmpty() && t->text.count(u'#') == t->text.size(), qPrintable(t->text));
    if (scene == 6)
        QCOMPARE(t->area, (Range{0, 1, 0, 2}));
}

void TestCellTexts::generalShowsFewerDigits()
{
    // General gives up digits in a narrow column before it shows "###"
    MiniBook b;
    b.number(0, 0, 123456789.123456);
    b.number(0, 1, 0.000123456789);
    b.number(0, 2, 1234567890123.0);
    b.columns(0, 2, 1700); // about six digits wide
    const Painted p(b);
    for (int c = 0; c < 3; ++c) {
        const TextItem t = *p.itemOf({0, 0, 0, 2}, 0, c);
        const QString full = b.book.cellText(0, 0, c);
        QVERIFY2(t.text.size() < full.size(), qPrintable(t.text));
        const bool hashes = t.text.count(u'#') == t.text.size();
        QVERIFY2(!hashes, qPrintable(t.text));
        // what is shown is the same number, rounded at its last digit
        const double shown = t.text.toDouble();
        const double value = b.sheet().cell(0, c)->number;
        const qsizetype e = t.text.indexOf(u'E'), point = t.text.indexOf(u'.');
        const qsizetype mantissaEnd = e < 0 ? t.text.size() : e;
        const int decimals = point < 0 ? 0 : int(mantissaEnd - point - 1);
        const int exponent = e < 0 ? 0 : t.text.mid(e + 1).toInt();
        const double step = std::pow(10.0, exponent - decimals);
        QVERIFY2(qAbs(shown - value) <= step / 2 * 1.000001, qPrintable(t.text));
        QVERIFY(p.styles->metrics(0).horizontalAdvance(t.text) <= p.geo->columnWidth(c) - 2 * p.texts->padding());
    }
}

void TestCellTexts::formatColours_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QColor>("color");
    QTest::newRow("red negatives") << "#,##0;[Red]-#,##0" << -5.0 << "" << QColor(Qt::red);
    QTest::newRow("positives keep the font colour") << "#,##0;[Red]-#,##0" << 5.0 << "" << QColor(Qt::black);
    QTest::newRow("numbered colour") << "[Color10]0.00" << 1.0 << "" << QColor(0x00, 0x80, 0x00);
    QTest::newRow("Japanese name") << "[青]0" << 1.0 << "" << QColor(Qt::blue);
    QTest::newRow("text section") << "0;0;0;[Magenta]@" << 0.0 << "字" << QColor(Qt::magenta);
    QTest::newRow("condition") << "[Blue][>=100]0;[Red][<0]0;0" << 150.0 << "" << QColor(Qt::blue);
}

void TestCellTexts::formatColours()
{
    QFETCH(QString, code);
    QFETCH(double, value);
    QFETCH(QString, text);
    QFETCH(QColor, color);
    MiniBook b;
    const int xf = b.numberFormat(code);
    if (text.isEmpty())
        b.number(0, 0, value, xf);
    else
        b.text(0, 0, text, xf);
    const Painted p(b);
    QCOMPARE(p.itemOf({0, 0, 0, 0}, 0, 0)->color, color);
}

QObject* makeTestCellTexts() { return new TestCellTexts; }

#include "test_celltexts.moc"
