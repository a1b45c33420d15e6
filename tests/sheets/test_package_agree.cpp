// One workbook saved by LibreOffice as .xls, .xlsx and .ods reads the same
// three ways, loads into the sheet engine and converts to .xls that
// LibreOffice reads as it read the original.
#include "Fixtures.h"
#include "PackageChecks.h"
#include "PackageSamples.h"

#include "sheets/book/SheetBook.h"
#include "sheets/book/WorkbookFile.h"
#include "sheets/calc/Calculator.h"
#include "sheets/formula/Formulas.h"
#include "sheets/memory/GlobalMemory.h"
#include "sheets/model/CellReference.h"
#include "sheets/xls/XlsFile.h"

#include "ToolRun.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

using namespace tegaro;
using namespace tegaro::sheets;
using namespace tegaro::sheets::testing;

namespace {

const Cell* cellOf(const Workbook& book, int sheet, const QString& ref)
{
    const auto cell = parseCell(ref);
    return book.sheets[sheet].cell(cell->row, cell->col);
}

// How a cell looks, in the terms both file kinds can state.
QString lookOf(const Workbook& book, int sheet, const QString& ref, bool withNumberFormat)
{
    const auto at = parseCell(ref);
    const Cell* c = book.sheets[sheet].cell(at->row, at->col);
    const CellFormat& f = book.format(c ? c->xf : 15);
    const Font& font = book.font(f.font);
    QStringList look;
    look << QStringLiteral("%1pt").arg(font.height / 20.0) << (font.bold() ? "bold" : "") << (font.italic() ? "italic" : "");
    if (font.color != 0x7FFF && (book.color(font.color) & 0xFFFFFF) != 0)
        look << QStringLiteral("colour %1").arg(book.color(font.color) & 0xFFFFFF, 6, 16, QLatin1Char('0'));
    if (f.pattern)
        look << QStringLiteral("fill %1 %2").arg(f.pattern).arg(book.color(f.patternColor) & 0xFFFFFF, 6, 16, QLatin1Char('0'));
    look << QStringLiteral("borders %1%2%3%4").arg(f.left.style).arg(f.right.style).arg(f.top.style).arg(f.bottom.style);
    look << QStringLiteral("align %1").arg(f.hAlign);
    if (withNumberFormat)
        look << book.formatCode(f.numberFormat);
    return look.join(u' ');
}

// Sizes of the cells the workbook uses and what hides them.
QStringList layoutOf(const Workbook& book)
{
    QStringList lines;
    const Sheet& s = book.sheets[0];
    for (const Range& m : s.merged)
        lines << QStringLiteral("merged %1:%2").arg(cellName(m.firstRow, m.firstCol), cellName(m.lastRow, m.lastCol));
    for (int col = 0; col <= s.lastColumn(); ++col)
        lines << QStringLiteral("column %1 width %2%3").arg(col).arg(s.columnWidth(col)).arg(s.columnHidden(col) ? " hidden" : "");
    for (int row = 0; row <= s.lastRow(); ++row)
        lines << QStringLiteral("row %1 height %2%3").arg(row).arg(s.rowHeight(row)).arg(s.rowHidden(row) ? " hidden" : "");
    lines << QStringLiteral("pane %1").arg(QString::fromLatin1(s.view.pane.left(8).toHex()));
    lines << QStringLiteral("active %1 %2").arg(book.activeSheet).arg(cellName(s.view.activeRow, s.view.activeCol));
    for (const Range& a : s.page.printArea)
        lines << QStringLiteral("print %1:%2").arg(cellName(a.firstRow, a.firstCol), cellName(a.lastRow, a.lastCol));
    return lines;
}

} // namespace

class TestPackageAgreement : public QObject {
    Q_OBJECT
private slots:
    void cellsAgree_data();
    void cellsAgree();
    void formulasAgree();
    void compiledFormulasAgree_data();
    void compiledFormulasAgree();
    void layoutAgrees();
    void looksAgree_data();
    void looksAgree();
    void bytesAfterThePackage_data();
    void bytesAfterThePackage();
    void engineLoadsPackages();
    void toolConvertsPackages_data();
    void toolConvertsPackages();
    void officeReadsConverted();
};

void TestPackageAgreement::cellsAgree_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("sameTexts");
    QTest::newRow("xlsx") << "xlsx" << true;
    QTest::newRow("ods") << "ods" << true;
}

void TestPackageAgreement::cellsAgree()
{
    QFETCH(QString, format);
    QFETCH(bool, sameTexts);
    const Workbook& xls = detail(QStringLiteral("xls"));
    const Workbook& other = detail(format);
    QCOMPARE(other.sheets.size(), xls.sheets.size());
    for (int s = 0; s < xls.sheets.size(); ++s) {
        QCOMPARE(other.sheets[s].name, xls.sheets[s].name);
        for (const auto& [key, cell] : xls.sheets[s].cells()) {
            const int row = Sheet::rowOf(key), col = Sheet::colOf(key);
            const QString where = xls.sheets[s].name + u'!' + cellName(row, col);
            const Cell* mine = other.sheets[s].cell(row, col);
            if (sameTexts)
                QVERIFY2(other.cellText(s, row, col) == xls.cellText(s, row, col), qPrintable(where));
            if (cell.kind != CellKind::Formula || (cell.result == CellKind::Number && mine && mine->result != CellKind::Empty))
                QVERIFY2(valueOf(mine) == valueOf(&cell), qPrintable(where + ": " + valueOf(mine)));
        }
        // and nothing more
        for (const auto& [key, cell] : other.sheets[s].cells())
            if (!valueOf(&cell).isEmpty())
                QVERIFY(xls.sheets[s].cell(Sheet::rowOf(key), Sheet::colOf(key)));
    }
}

void TestPackageAgreement::formulasAgree()
{
    const Workbook& xls = detail(QStringLiteral("xls"));
    const Workbook& xlsx = detail(QStringLiteral("xlsx"));
    const Workbook& ods = detail(QStringLiteral("ods"));
    int formulas = 0;
    for (int s = 0; s < xls.sheets.size(); ++s) {
        for (const auto& [key, cell] : xls.sheets[s].cells()) {
            if (cell.kind != CellKind::Formula)
                continue;
            ++formulas;
            const Cell* a = xlsx.sheets[s].cell(Sheet::rowOf(key), Sheet::colOf(key));
            const Cell* b = ods.sheets[s].cell(Sheet::rowOf(key), Sheet::colOf(key));
            QVERIFY(a && a->kind == CellKind::Formula && b && b->kind == CellKind::Formula);
            QVERIFY(!a->formula->source.isEmpty());
            QCOMPARE(b->formula->source, a->formula->source); // .ods text translated to Excel's
        }
    }
    QCOMPARE(formulas, 8);
    // as they were typed in the workbook that made the three files
    QCOMPARE(cellOf(ods, 0, QStringLiteral("C6"))->formula->source, QStringLiteral("IF(B4>1000000,\"大\",\"小\")"));
    QCOMPARE(cellOf(ods, 0, QStringLiteral("D7"))->formula->source, QStringLiteral("集計!A1*2"));
    QCOMPARE(cellOf(ods, 1, QStringLiteral("A3"))->formula->source, QStringLiteral("A1*明細!B3"));
    // the defined name, in both
    for (const Workbook* book : {&xlsx, &ods}) {
        QCOMPARE(book->names.size(), 1);
        QCOMPARE(book->names[0].name, QStringLiteral("税率"));
        QCOMPARE(book->names[0].source, QStringLiteral("集計!$A$1"));
    }
}

void TestPackageAgreement::compiledFormulasAgree_data()
{
    QTest::addColumn<QString>("format");
    QTest::newRow("xlsx") << "xlsx";
    QTest::newRow("ods") << "ods";
}

void TestPackageAgreement::compiledFormulasAgree()
{
    // The formula text became tokens: the same formulas show as in the .xls
    // file, and working them out again gives what LibreOffice worked out.
    QFETCH(QString, format);
    const Workbook& xls = detail(QStringLiteral("xls"));
    Workbook book = detail(format);
    QVERIFY(book.names[0].tokens.size() > 0);
    Calculator calc(book);
    const Recalculation r = calc.recalculateAll();
    QVERIFY(r.circular.isEmpty());
    int formulas = 0;
    for (int s = 0; s < xls.sheets.size(); ++s) {
        for (const auto& [key, cell] : xls.sheets[s].cells()) {
            if (cell.kind != CellKind::Formula)
                continue;
            const int row = Sheet::rowOf(key), col = Sheet::colOf(key);
            const QString where = xls.sheets[s].name + u'!' + cellName(row, col);
            const Cell* mine = book.sheets[s].cell(row, col);
            QVERIFY2(mine && mine->formula && mine->formula->compiled(), qPrintable(where));
            QCOMPARE(formulaText(book, s, row, col), formulaText(xls, s, row, col));
            QCOMPARE(valueOf(mine), valueOf(&cell));
            ++formulas;
        }
    }
    QCOMPARE(formulas, 8);
    QVERIFY(book.leftOut.filter(QStringLiteral("数式 ")).isEmpty());
}

void TestPackageAgreement::layoutAgrees()
{
    const QStringList xls = layoutOf(detail(QStringLiteral("xls")));
    QCOMPARE(layoutOf(detail(QStringLiteral("xlsx"))), xls);
    // the workbook has all of these, so they came through
    QVERIFY(xls.contains(QStringLiteral("merged A1:D1")));
    QVERIFY(xls.contains(QStringLiteral("row 7 height 600")));
    QVERIFY(xls.filter(QStringLiteral("row 8 height")).value(0).endsWith(QStringLiteral("hidden")));
    QVERIFY(xls.filter(QStringLiteral("column 4 width")).value(0).endsWith(QStringLiteral("hidden")));
    QVERIFY(xls.contains(QStringLiteral("print A1:D9")));
    // of .ods layout liborcus hands over row heights, the print area and
    // column widths (in inches, which the reader turns into characters)
    const Workbook& ods = detail(QStringLiteral("ods"));
    const Workbook& x = detail(QStringLiteral("xlsx"));
    QCOMPARE(ods.sheets[0].rowHeight(7), x.sheets[0].rowHeight(7));
    QCOMPARE(ods.sheets[0].page.printArea, x.sheets[0].page.printArea);
    for (int col = 1; col < 5; ++col) {
        const double a = double(ods.sheets[0].columnWidth(col)) / ods.sheets[0].columnWidth(0);
        const double b = double(x.sheets[0].columnWidth(col)) / x.sheets[0].columnWidth(0);
        QVERIFY2(qAbs(a - b) < 0.01, qPrintable(QString::number(col)));
    }
}

void TestPackageAgreement::looksAgree_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("cell");
    for (const char* format : {"xlsx", "ods"})
        for (const char* cell : {"A1", "B3", "C5", "A7", "B7", "C7", "B10", "B5"})
            QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(format, cell))) << format << cell;
}

void TestPackageAgreement::looksAgree()
{
    QFETCH(QString, format);
    QFETCH(QString, cell);
    const bool xlsx = format == QLatin1String("xlsx");
    const Workbook& xls = detail(QStringLiteral("xls"));
    const Workbook& other = detail(format);
    // .ods number formats become codes that quote their texts where the
    // .xls escapes each character: they show the same (cellsAgree)
    QCOMPARE(lookOf(other, 0, cell, xlsx), lookOf(xls, 0, cell, xlsx));
}

void TestPackageAgreement::bytesAfterThePackage_data()
{
    // a package read from a memory block runs on into what the block held before
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("after");
    const QByteArray older = fixture("detail.xlsx");
    for (const char* format : {"xlsx", "ods"}) {
        QTest::addRow("%s, zeros", format) << format << QByteArray(8000, '\0');
        QTest::addRow("%s, the end of an older package", format) << format << older.right(300) + QByteArray(100, 'x');
        QTest::addRow("%s, a whole older package", format) << format << older;
    }
}

void TestPackageAgreement::bytesAfterThePackage()
{
    QFETCH(QString, format);
    QFETCH(QByteArray, after);
    const QByteArray file = fixture(("detail." + format).toLatin1().constData());
    const Workbook read = readWorkbook(file + after);
    const Workbook& alone = detail(format);
    QCOMPARE(read.sheets.size(), alone.sheets.size());
    for (int s = 0; s < alone.sheets.size(); ++s)
        for (const auto& [key, cell] : alone.sheets[s].cells())
            QCOMPARE(read.cellText(s, Sheet::rowOf(key), Sheet::colOf(key)),
                     alone.cellText(s, Sheet::rowOf(key), Sheet::colOf(key)));
    QCOMPARE(read.leftOut, alone.leftOut);
}

void TestPackageAgreement::engineLoadsPackages()
{
    TSheetBook book;
    book.LoadWorkbook(QStringLiteral(TEGARO_FIXTURES "/sheets/detail.xlsx"));
    QCOMPARE(book.cellText(0, 1, 1), QStringLiteral("山田　太郎①"));
    QCOMPARE(leftOutMessage(book.workbook()), QString()); // all of it is carried

    // stored bytes come back through a memory block longer than they are
    const QByteArray ods = fixture("detail.ods");
    const HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size_t(ods.size() + 4096));
    std::memcpy(GlobalLock(h), ods.constData(), size_t(ods.size()));
    GlobalUnlock(h);
    book.LoadFromMemoryHandle(h);
    GlobalFree(h);
    QCOMPARE(book.cellText(1, 1, 0), QStringLiteral("二枚目"));

    // and are saved as .xls
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("saved.xls"));
    book.SaveWorkbook(path);
    const Workbook saved = readXlsFile(path);
    for (int s = 0; s < 2; ++s)
        for (const auto& [key, cell] : book.workbook().sheets[s].cells())
            QCOMPARE(saved.cellText(s, Sheet::rowOf(key), Sheet::colOf(key)),
                     book.workbook().cellText(s, Sheet::rowOf(key), Sheet::colOf(key)));
    book.ClearWorkbook();
    QVERIFY(book.workbook().leftOut.isEmpty());
}

void TestPackageAgreement::toolConvertsPackages_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("xlsx") << "detail.xlsx";
    QTest::newRow("ods") << "detail.ods";
}

void TestPackageAgreement::toolConvertsPackages()
{
    QFETCH(QString, name);
    const QString in = QStringLiteral(TEGARO_FIXTURES "/sheets/") + name;
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("out.xls"));
    const ToolRun convert = runTool(QStringLiteral("tegaro-sheet"), {QStringLiteral("convert"), in, out});
    QCOMPARE(convert.code, 0);
    QVERIFY2(!convert.err.contains(QStringLiteral("計算結果の値だけ")), qPrintable(convert.err)); // every formula compiles
    const ToolRun before = runTool(QStringLiteral("tegaro-sheet"), {QStringLiteral("cat"), in});
    const ToolRun after = runTool(QStringLiteral("tegaro-sheet"), {QStringLiteral("cat"), out});
    QCOMPARE(before.code, 0);
    QCOMPARE(after.code, 0);
    QCOMPARE(after.out, before.out);
    QVERIFY(after.err.isEmpty());
    QVERIFY(before.out.startsWith(QStringLiteral("A1\t家屋評価明細書\n")));
}

void TestPackageAgreement::officeReadsConverted()
{
    const QString soffice = office();
    if (soffice.isEmpty())
        QSKIP("LibreOffice is not installed");
    QTemporaryDir dir;
    const QString xls = dir.filePath(QStringLiteral("converted.xls"));
    writeXlsFile(readWorkbook(fixture("detail.xlsx")), xls);
    // the same values, and the same formulas: they were written as formulas
    for (const bool formulas : {false, true}) {
        const QStringList ours = officeCsv(xls, dir.path(), formulas);
        const QStringList theirs = officeCsv(QStringLiteral(TEGARO_FIXTURES "/sheets/detail.xlsx"), dir.path(), formulas);
        QVERIFY(!theirs.isEmpty());
        QCOMPARE(ours, theirs);
        if (formulas)
            QVERIFY(ours.join(u'\n').contains(QStringLiteral("=ROUND(B4*1.1,0)")));
    }
}

QObject* makeTestPackageAgreement() { return new TestPackageAgreement; }

#include "test_package_agree.moc"
