// Printed pages: how a page setup cuts a sheet into pages, header and
// footer codes, PDF files, and the page counts LibreOffice prints.
#include "MiniBook.h"
#include "ToolRun.h"

#include "sheets/model/SheetErrors.h"
#include "sheets/xls/XlsFile.h"
#include "sheets/render/HeaderFooter.h"
#include "sheets/render/PrintLayout.h"
#include "sheets/render/SheetGeometry.h"

#include <QPdfWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace tegaro::sheets;
using namespace tegaro::sheets::testing;

namespace {

// A4 is 595.28 x 841.89 points; with the default margins (0.75 inch at the
// sides, 1 inch above and below) 487.28 x 697.89 points are left for cells.
// Rows of 270 twips are 13.5 points: 51 to a portrait page, 33 to a
// landscape one.
MiniBook tall(int rows, int cols = 1)
{
    MiniBook b;
    b.sheet().defaultRowHeight = 270;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            b.number(r, c, r);
    return b;
}

void printerData(PageSetup& p)
{
    p.options = (p.options & ~0x04) | 0x02; // the scale and paper in the file count; portrait
}

QString soffice()
{
    for (const char* name : {"soffice", "libreoffice"})
        if (const QString path = QStandardPaths::findExecutable(QLatin1String(name)); !path.isEmpty())
            return path;
    return {};
}

int pdfPages(const QString& pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {pdf});
    p.waitForFinished(30000);
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split(u'\n'))
        if (line.startsWith(QLatin1String("Pages:")))
            return line.mid(6).trimmed().toInt();
    return -1;
}

QString pdfText(const QString& pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

using Setup = void (*)(MiniBook&);

// The workbooks of the page table, by number.
const Setup kSetups[] = {
    [](MiniBook& b) { b = tall(5); },
    [](MiniBook& b) { b = tall(5); b.sheet().page.rowBreaks = {3}; },
    [](MiniBook& b) { b = tall(120); },
    [](MiniBook& b) { b = tall(120); b.sheet().page.setLandscape(true); },
    [](MiniBook& b) {
        b = tall(120);
        printerData(b.sheet().page);
        b.sheet().page.scale = 50;
    },
    [](MiniBook& b) {
        b = tall(200);
        b.sheet().page.fitToPage = true;
        b.sheet().page.fitWidth = 1;
        b.sheet().page.fitHeight = 1;
        b.sheet().page.rowBreaks = {10};
    },
    [](MiniBook& b) {
        b = tall(100);
        for (int r = 0; r < 60; ++r)
            b.row(r, 270, true);
    },
    [](MiniBook& b) { b = tall(0); },
    [](MiniBook& b) { b = tall(0); b.sheet().page.printArea = {{2, 3, 1, 2}}; },
    [](MiniBook& b) {
        b = tall(120);
        b.sheet().page.scale = 50;
        b.sheet().page.paperSize = 8;
    },
    [](MiniBook& b) {
        b = tall(30);
        printerData(b.sheet().page);
        b.sheet().page.paperSize = 8;
        b.sheet().defaultRowHeight = 1200;
    },
};

} // namespace

class TestPrint : public QObject {
    Q_OBJECT
private slots:
    void pages_data();
    void pages();
    void pageOrder_data();
    void pageOrder();
    void titlesRepeatAndTakeRoom();
    void centredOnThePaper();
    void headerCodes_data();
    void headerCodes();
    void headerFonts();
    void pdfHoldsPagesAndTexts();
    void onePaperPrinters();
    void cellsSitOnTheMargins_data();
    void cellsSitOnTheMargins();
    void aFailingDeviceIsAnError();
    void pdfRefusals_data();
    void pdfRefusals();
    void pageCountsAsLibreOffice_data();
    void pageCountsAsLibreOffice();
};

void TestPrint::pages_data()
{
    QTest::addColumn<int>("setup");
    QTest::addColumn<QList<int>>("lastRows"); // the last row of each page
    QTest::addColumn<int>("paperWidth");      // points, rounded
    QTest::addColumn<int>("percent");
    QTest::newRow("one page") << 0 << QList<int>{4} << 595 << 100;
    QTest::newRow("manual break") << 1 << QList<int>{2, 4} << 595 << 100;
    QTest::newRow("rows to a portrait page") << 2 << QList<int>{50, 101, 119} << 595 << 100;
    QTest::newRow("rows to a landscape page") << 3 << QList<int>{32, 65, 98, 119} << 842 << 100;
    QTest::newRow("half size") << 4 << QList<int>{102, 119} << 595 << 50;
    QTest::newRow("fit to one page") << 5 << QList<int>{199} << 595 << 25;
    QTest::newRow("hidden rows take no room") << 6 << QList<int>{99} << 595 << 100;
    QTest::newRow("an empty sheet prints nothing") << 7 << QList<int>{} << 595 << 100;
    QTest::newRow("a print area prints even empty") << 8 << QList<int>{3} << 595 << 100;
    QTest::newRow("no printer data: A4 at 100%") << 9 << QList<int>{50, 101, 119} << 595 << 100;
    QTest::newRow("A3") << 10 << QList<int>{16, 29} << 842 << 100;
}

void TestPrint::pages()
{
    QFETCH(int, setup);
    QFETCH(QList<int>, lastRows);
    QFETCH(int, paperWidth);
    QFETCH(int, percent);
    MiniBook b;
    kSetups[setup](b);
    const PrintLayout layout(b.book);
    QList<int> got;
    for (const PrintedPage& p : layout.pages()) {
        got << p.cells.lastRow;
        QCOMPARE(qRound(p.paper.fullRect(QPageLayout::Point).width()), paperWidth);
        QCOMPARE(qRound(p.scale * 100), percent);
    }
    QCOMPARE(got, lastRows);
    for (int i = 0; i < layout.pageCount(); ++i)
        QCOMPARE(layout.pages()[i].number, i + 1);
}

void TestPrint::pageOrder_data()
{
    QTest::addColumn<bool>("overFirst");
    QTest::addColumn<QList<Range>>("cells");
    // 100 rows: two pages down; 12 columns of 64 pixels (48 points): ten to a page
    QTest::newRow("down, then over") << false
                                     << QList<Range>{{0, 50, 0, 9}, {51, 99, 0, 9}, {0, 50, 10, 11}, {51, 99, 10, 11}};
    QTest::newRow("over, then down") << true
                                     << QList<Range>{{0, 50, 0, 9}, {0, 50, 10, 11}, {51, 99, 0, 9}, {51, 99, 10, 11}};
}

void TestPrint::pageOrder()
{
    QFETCH(bool, overFirst);
    QFETCH(QList<Range>, cells);
    MiniBook b = tall(100, 12);
    const int digit = SheetGeometry(b.book, 0, 1.0).digitWidth();
    b.columns(0, 11, (64 * 256 + digit / 2) / digit); // 64 pixels
    QCOMPARE(SheetGeometry(b.book, 0, 1.0).columnWidth(0), 64);
    printerData(b.sheet().page);
    if (overFirst)
        b.sheet().page.options |= 0x01;
    QList<Range> got;
    for (const PrintedPage& p : PrintLayout(b.book).pages())
        got << p.cells;
    QCOMPARE(got, cells);
}

void TestPrint::titlesRepeatAndTakeRoom()
{
    MiniBook b = tall(120);
    // print titles: rows 1-2 of sheet 1, as the file stores them
    DefinedName titles;
    titles.name = QStringLiteral("\x07");
    titles.options = 0x20;
    titles.sheet = 1;
    titles.tokens = QByteArray::fromHex("3b"
                                        "0000"
                                        "0000"
                                        "0100"
                                        "0000"
                                        "ff00");
    b.book.names << titles;
    const PrintLayout layout(b.book);
    QList<int> lastRows;
    for (const PrintedPage& p : layout.pages())
        lastRows << p.cells.lastRow;
    // 51 rows on the first page, where the titles are rows of their own;
    // then 27 points fewer: 49 rows
    QCOMPARE(lastRows, (QList<int>{50, 99, 119}));
    QVERIFY(!layout.pages()[0].titleRows);
    QCOMPARE(*layout.pages()[1].titleRows, std::pair(0, 1));
}

void TestPrint::centredOnThePaper()
{
    MiniBook b = tall(4);
    b.sheet().page.hCenter = true;
    b.sheet().page.vCenter = true;
    const PrintedPage p = PrintLayout(b.book).pages().first();
    const SheetGeometry g(b.book, 0, 1.0);
    const double width = g.columnWidth(0) * 0.75, height = 4 * 13.5;
    QVERIFY2(qAbs(p.origin.x() - (54 + (487.28 - width) / 2)) < 0.05, qPrintable(QString::number(p.origin.x()) + u' ' + QString::number(width)));
    QVERIFY(qAbs(p.origin.y() - (72 + (697.89 - height) / 2)) < 0.05);
}

void TestPrint::headerCodes_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QStringList>("parts"); // left, centre, right
    QTest::newRow("sections") << "&L&A&C&P / &N&R&D" << QStringList{"明細", "3 / 7", "2024/04/01"};
    QTest::newRow("no section is centred") << "Page &P" << QStringList{"", "Page 3", ""};
    QTest::newRow("file name and path") << "&L&F&R&Z&F" << QStringList{"評価.xls", "", "/data/明細/評価.xls"};
    QTest::newRow("ampersand") << "A&&B" << QStringList{"", "A&B", ""};
    QTest::newRow("page arithmetic") << "&P+2 &P-1" << QStringList{"", "5 2", ""};
    QTest::newRow("time") << "&R&T" << QStringList{"", "", "9:05"};
    QTest::newRow("fonts say nothing") << "&C&\"IPAMincho,Bold\"&14&B&I&U&S見出し" << QStringList{"", "見出し", ""};
    QTest::newRow("pictures are left out") << "&L&G社名" << QStringList{"社名", "", ""};
    QTest::newRow("a code at the end") << "末尾&" << QStringList{"", "末尾&", ""};
}

void TestPrint::headerCodes()
{
    QFETCH(QString, code);
    QFETCH(QStringList, parts);
    const PageFacts facts{3, 7, QStringLiteral("明細"), QStringLiteral("/data/明細/評価.xls"),
                          QDateTime(QDate(2024, 4, 1), QTime(9, 5))};
    const HeaderText h = parseHeader(code, facts, QFont());
    QCOMPARE(QStringList({h.left.text, h.centre.text, h.right.text}), parts);
}

void TestPrint::headerFonts()
{
    QFont base;
    base.setPointSize(11);
    const HeaderText h = parseHeader(QStringLiteral("&B太字&B普通&18大"), PageFacts{}, base);
    QCOMPARE(h.centre.text, QStringLiteral("太字普通大"));
    QCOMPARE(h.centre.formats.size(), 3);
    QVERIFY(h.centre.formats[0].format.font().bold());
    QVERIFY(!h.centre.formats[1].format.font().bold());
    QCOMPARE(h.centre.formats[2].format.font().pointSizeF(), 18.0);
    QCOMPARE(h.centre.formats[2].start, 4);
}

void TestPrint::pdfHoldsPagesAndTexts()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
        QSKIP("pdfinfo and pdftotext (poppler-utils) are not installed");
    QTemporaryDir dir;
    MiniBook b = tall(0);
    b.text(0, 0, QStringLiteral("家屋評価明細書"));
    b.text(1, 0, QStringLiteral("所有者"));
    b.text(1, 1, QStringLiteral("山田　太郎"));
    b.number(60, 0, 1234567, b.numberFormat(QStringLiteral("#,##0")));
    b.sheet().page.footer = QStringLiteral("&C&P / &N ページ");
    Sheet& second = b.book.addSheet(QStringLiteral("二枚目"));
    second.cellRef(0, 0).kind = CellKind::Text;
    second.cellRef(0, 0).text = QStringLiteral("集計表");
    const QString xls = dir.filePath(QStringLiteral("明細.xls"));
    writeXlsFile(b.book, xls);

    const QString all = dir.filePath(QStringLiteral("all.pdf"));
    ToolRun run = runTool(QStringLiteral("tegaro-sheet"), {QStringLiteral("convert"), xls, all});
    QCOMPARE(run.code, 0);
    QCOMPARE(pdfPages(all), 3); // rows 1-51, 52-61, then the second sheet
    const QString text = pdfText(all);
    for (const char* shown : {"家屋評価明細書", "所有者", "太郎", "1,234,567", "集計表", "1 / 3 ページ", "2 / 3 ページ"})
        QVERIFY2(text.contains(QString::fromUtf8(shown)), shown);

    const QString one = dir.filePath(QStringLiteral("one.pdf"));
    run = runTool(QStringLiteral("tegaro-sheet"), {QStringLiteral("convert"), xls, one, QStringLiteral("--sheet"), QStringLiteral("2")});
    QCOMPARE(run.code, 0);
    QCOMPARE(pdfPages(one), 1);
    QVERIFY(pdfText(one).contains(QStringLiteral("集計表")));
    QVERIFY(!pdfText(one).contains(QStringLiteral("所有者")));
}

namespace {

// Like a printer: the paper is fixed once the job has started.
class OnePaperDevice : public QPdfWriter {
public:
    using QPdfWriter::QPdfWriter;
    bool setPageLayout(const QPageLayout& layout) override
    {
        return !paintingActive() && QPdfWriter::setPageLayout(layout);
    }
};

QString pdfPageSizes(const QString& pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("9"), pdf});
    p.waitForFinished(30000);
    QStringList sizes;
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split(u'\n'))
        if (line.startsWith(QLatin1String("Page")) && line.contains(QLatin1String("size:")))
            sizes << line.section(u':', 1).section(u'p', 0, 0).simplified();
    return sizes.join(u';');
}

} // namespace

void TestPrint::onePaperPrinters()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
        QSKIP("pdfinfo (poppler-utils) is not installed");
    // a portrait sheet, then a landscape one
    MiniBook b = tall(3);
    Sheet& wide = b.book.addSheet(QStringLiteral("横"));
    wide.cellRef(0, 0).kind = CellKind::Text;
    wide.cellRef(0, 0).text = QStringLiteral("横向きの頁");
    wide.page.setLandscape(true);
    QTemporaryDir dir;
    const QString free = dir.filePath(QStringLiteral("free.pdf")), fixed = dir.filePath(QStringLiteral("fixed.pdf"));
    const PrintLayout layout(b.book);
    {
        QPdfWriter pdf(free);
        layout.print(pdf);
        OnePaperDevice printer(fixed);
        layout.print(printer);
    }
    QCOMPARE(pdfPageSizes(free), QStringLiteral("595 x 842;842 x 595"));
    // the landscape page turned onto the portrait paper, its text all there
    QCOMPARE(pdfPageSizes(fixed), QStringLiteral("595 x 842;595 x 842"));
    QVERIFY(pdfText(fixed).contains(QStringLiteral("横向きの頁")));
}

void TestPrint::cellsSitOnTheMargins_data()
{
    QTest::addColumn<bool>("landscape");
    QTest::addColumn<double>("left"); // inches
    QTest::addColumn<double>("top");
    QTest::addColumn<double>("deviceMargin"); // millimetres the device keeps to itself
    QTest::newRow("portrait") << false << 0.75 << 1.0 << -1.0;
    QTest::newRow("landscape") << true << 0.75 << 1.0 << -1.0;
    QTest::newRow("wide margins") << false << 2.0 << 1.5 << -1.0;
    QTest::newRow("device with margins") << false << 0.75 << 1.0 << 15.0;
    QTest::newRow("device without margins") << false << 0.5 << 0.5 << 0.0;
}

void TestPrint::cellsSitOnTheMargins()
{
    QFETCH(bool, landscape);
    QFETCH(double, left);
    QFETCH(double, top);
    QFETCH(double, deviceMargin);
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    MiniBook b;
    b.text(0, 0, QStringLiteral("左上"));
    PageSetup& page = b.sheet().page;
    page.setLandscape(landscape);
    page.leftMargin = left;
    page.topMargin = top;
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("m.pdf"));
    {
        QPdfWriter writer(pdf);
        writer.setResolution(1200);
        if (deviceMargin >= 0)
            writer.setPageMargins(QMarginsF(deviceMargin, deviceMargin, deviceMargin, deviceMargin), QPageLayout::Millimeter);
        PrintLayout(b.book).print(writer);
    }
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    p.waitForFinished(30000);
    const QRegularExpressionMatch word = QRegularExpression(QStringLiteral("xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\"[^>]*>左上<"))
                                             .match(QString::fromUtf8(p.readAllStandardOutput()));
    QVERIFY(word.hasMatch());
    // a left-aligned text starts a few points in from the cell's edge; the
    // row of 12.75 points holds it
    const double x = word.captured(1).toDouble(), y = word.captured(2).toDouble();
    QVERIFY2(x >= left * 72 && x <= left * 72 + 4, qPrintable(QString::number(x)));
    QVERIFY2(y >= top * 72 - 1 && y <= top * 72 + 12.75, qPrintable(QString::number(y)));
}

void TestPrint::aFailingDeviceIsAnError()
{
    // a printer that stops taking pages after the first
    class Jammed : public QPdfWriter {
    public:
        using QPdfWriter::QPdfWriter;
        bool newPage() override { return false; }
    };
    QTemporaryDir dir;
    const MiniBook b = tall(120);
    const PrintLayout layout(b.book);
    Jammed jammed(dir.filePath(QStringLiteral("x.pdf")));
    try {
        layout.print(jammed);
        QFAIL("printing went on");
    } catch (const ESheetError& e) {
        QVERIFY(e.message().contains(QStringLiteral("印刷できません")));
    }
    // and a workbook with nothing on it says so
    const Workbook empty;
    QVERIFY_THROWS_EXCEPTION(ESheetError, PrintLayout(empty).print(jammed));
}

void TestPrint::pdfRefusals_data()
{
    QTest::addColumn<QString>("target"); // relative to a fresh folder
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<int>("code");
    QTest::newRow("no such folder") << "no/such/dir/out.pdf" << QStringList{} << 1;
    QTest::newRow("no such sheet") << "out.pdf" << QStringList{"--sheet", "5"} << 1;
    QTest::newRow("bad sheet") << "out.pdf" << QStringList{"--sheet", "x"} << 2;
    QTest::newRow("sheets of an xls copy") << "out.xls" << QStringList{"--sheet", "1"} << 2;
    QTest::newRow("an empty sheet") << "out.pdf" << QStringList{"--sheet", "2"} << 1;
}

void TestPrint::pdfRefusals()
{
    QFETCH(QString, target);
    QFETCH(QStringList, extra);
    QFETCH(int, code);
    QTemporaryDir dir;
    MiniBook b = tall(3);
    b.book.addSheet(QStringLiteral("空"));
    const QString xls = dir.filePath(QStringLiteral("in.xls"));
    writeXlsFile(b.book, xls);
    const ToolRun run = runTool(QStringLiteral("tegaro-sheet"), QStringList{QStringLiteral("convert"), xls, dir.filePath(target)} + extra);
    QCOMPARE(run.code, code);
    QVERIFY(!run.err.isEmpty());
    QVERIFY(!QFile::exists(dir.filePath(target)));
}

void TestPrint::pageCountsAsLibreOffice_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("detail sheet") << QStringLiteral(TEGARO_FIXTURES "/sheets/meisai.xls");
    QTest::newRow("layout") << QStringLiteral(TEGARO_FIXTURES "/sheets/layout.xls");
    QTest::newRow("long and wide") << QString();
}

void TestPrint::pageCountsAsLibreOffice()
{
    QFETCH(QString, file);
    const QString office = soffice();
    if (office.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
        QSKIP("LibreOffice or pdfinfo is not installed");
    QTemporaryDir dir;
    if (file.isEmpty()) {
        // rows and columns well inside their pages, so small width rules do not matter
        MiniBook b = tall(130, 3);
        b.columns(0, 2, 3000);
        PageSetup& page = b.sheet().page;
        page.leftMargin = page.rightMargin = 0.75;
        page.topMargin = page.bottomMargin = 1.0;
        file = dir.filePath(QStringLiteral("tall.xls"));
        writeXlsFile(b.book, file);
    }
    QProcess p;
    p.start(office, {QStringLiteral("--headless"), QStringLiteral("-env:UserInstallation=file://") + dir.filePath(QStringLiteral("profile")), QStringLiteral("--convert-to"), QStringLiteral("pdf"), QStringLiteral("--outdir"), dir.path(), file});
    QVERIFY(p.waitForFinished(180000));
    const int theirs = pdfPages(dir.filePath(QFileInfo(file).completeBaseName() + QStringLiteral(".pdf")));
    QVERIFY(theirs > 0);
    const Workbook book = readXlsFile(file);
    QCOMPARE(PrintLayout(book).pageCount(), theirs);
}

QObject* makeTestPrint() { return new TestPrint; }

#include "test_print.moc"
