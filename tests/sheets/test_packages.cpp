// Workbooks of today's formats: one workbook saved by LibreOffice as .xls,
// .xlsx and .ods reads the same three ways; packages as Excel writes them;
// sheets larger than .xls holds; damaged and hostile packages.
#include "Fixtures.h"
#include "PackageSamples.h"

#include "sheets/calc/Calculator.h"
#include "sheets/model/CellReference.h"
#include "sheets/formula/Formulas.h"
#include "sheets/memory/GlobalMemory.h"
#include "sheets/package/PackageCheck.h"
#include "sheets/book/SheetBook.h"
#include "sheets/model/SheetErrors.h"
#include "sheets/book/WorkbookFile.h"
#include "sheets/xls/XlsFile.h"
#include "sheets/container/ZipWriter.h"

#include "ToolRun.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <cstring>

using namespace tegaro;
using namespace tegaro::sheets;
using namespace tegaro::sheets::testing;

namespace {

const Workbook& detail(const QString& format)
{
    static std::map<QString, Workbook> books;
    auto it = books.find(format);
    if (it == books.end())
        it = books.emplace(format, readWorkbook(fixture(("detail." + format).toLatin1().constData()))).first;
    return it->second;
}

QString cellAt(const Workbook& book, int sheet, const QString& ref)
{
    const auto cell = parseCell(ref);
    return cell ? book.cellText(sheet, cell->row, cell->col) : QString();
}

const Cell* cellOf(const Workbook& book, int sheet, const QString& ref)
{
    const auto cell = parseCell(ref);
    return book.sheets[sheet].cell(cell->row, cell->col);
}

// The value a cell holds, whatever shows it.
QString valueOf(const Cell* c)
{
    if (!c)
        return {};
    const CellKind kind = c->kind == CellKind::Formula ? c->result : c->kind;
    switch (kind) {
    case CellKind::Number: return QString::number(c->number, 'g', 15);
    case CellKind::Text: return c->text;
    case CellKind::Boolean: return c->number ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case CellKind::Error: return errorText(int(c->number));
    default: return {};
    }
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

// Merged areas and hidden rows and columns of every sheet.
QStringList mergedAndHidden(const Workbook& book)
{
    QStringList lines;
    for (const Sheet& s : book.sheets) {
        for (const Range& m : s.merged)
            lines << s.name + QStringLiteral(" merged %1:%2").arg(cellName(m.firstRow, m.firstCol), cellName(m.lastRow, m.lastCol));
        for (int col = 0; col < kMaxColumns; ++col)
            if (s.columnHidden(col))
                lines << s.name + QStringLiteral(" column %1 hidden").arg(col);
        for (const auto& [row, info] : s.rows)
            if (info.hidden())
                lines << s.name + QStringLiteral(" row %1 hidden").arg(row);
    }
    return lines;
}

// Package bytes with one field of the n-th file of the ZIP directory changed.
QByteArray patchDirectory(QByteArray zip, int file, int offset, quint32 value)
{
    qsizetype at = -1;
    for (int i = 0; i <= file; ++i) {
        at = zip.indexOf("PK\x01\x02", at + 1);
        const qsizetype nameLength = qFromLittleEndian<quint16>(zip.constData() + at + 28);
        if (zip.at(at + 46 + nameLength - 1) == '/')
            --i; // a folder
    }
    qToLittleEndian<quint32>(value, zip.data() + at + offset);
    return zip;
}

QByteArray simpleXlsx(const QByteArray& sheetInside, bool compress = false)
{
    return xlsxPackage({workbookPart({QStringLiteral("S")}), worksheetPart(sheetInside)}, compress);
}

QByteArray simpleOds(const QByteArray& tableInside, const QByteArray& styles = {})
{
    return odsPackage(odsContent("<table:table table:name=\"S\">" + tableInside + "</table:table>", styles));
}

// The view of a sheet in the terms a user sees.
QString viewOf(const Workbook& book, int sheet)
{
    const SheetView& v = book.sheets[sheet].view;
    QString text = QStringLiteral("zoom %1, grid %2, top %3, cursor %4")
                       .arg(v.zoom)
                       .arg(v.gridlines() ? "on" : "off", cellName(v.topRow, v.leftCol), cellName(v.activeRow, v.activeCol));
    if (v.frozen())
        text += QStringLiteral(", frozen %1x%2 at %3").arg(v.frozenRows()).arg(v.frozenCols()).arg(cellName(v.scrollRow(), v.scrollCol()));
    else if (!v.pane.isEmpty())
        text += QStringLiteral(", split");
    return text + QStringLiteral(", sheet %1").arg(book.activeSheet + 1);
}

// A settings part as LibreOffice writes it: the document's items, one view
// with its own items and the items of each table named.
QByteArray odsSettings(const QByteArray& tables, const QByteArray& view = {}, const QByteArray& document = {})
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-settings "
           "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
           "xmlns:config=\"urn:oasis:names:tc:opendocument:xmlns:config:1.0\"><office:settings>"
           "<config:config-item-set config:name=\"ooo:view-settings\"><config:config-item-map-indexed config:name=\"Views\">"
           "<config:config-item-map-entry><config:config-item config:name=\"ViewId\" config:type=\"string\">view1"
           "</config:config-item><config:config-item-map-named config:name=\"Tables\">"
        + tables
        + "</config:config-item-map-named>" + view + "</config:config-item-map-entry></config:config-item-map-indexed>"
                                                     "</config:config-item-set><config:config-item-set config:name=\"ooo:configuration-settings\">"
        + document
        + "</config:config-item-set></office:settings></office:document-settings>";
}

// "ZoomValue=85 ShowGrid=false" as config items.
QByteArray configItems(const QByteArray& items)
{
    QByteArray out;
    for (const QByteArray& item : items.split(' ')) {
        const QList<QByteArray> nv = item.split('=');
        if (nv.size() == 2)
            out += "<config:config-item config:name=\"" + nv[0] + "\" config:type=\"int\">" + nv[1] + "</config:config-item>";
    }
    return out;
}

QByteArray tableSettings(const QByteArray& name, const QByteArray& items)
{
    return "<config:config-item-map-entry config:name=\"" + name + "\">" + configItems(items) + "</config:config-item-map-entry>";
}

// A sheet's page setup in the terms of the printed page.
QString pageOf(const Workbook& book, int sheet)
{
    const PageSetup& p = book.sheets[sheet].page;
    QStringList parts;
    parts << (p.landscape() ? "landscape" : "portrait") << QStringLiteral("paper %1").arg(p.paperSize)
          << QStringLiteral("scale %1").arg(p.scale);
    if (p.fitToPage)
        parts << QStringLiteral("fit %1x%2").arg(p.fitWidth).arg(p.fitHeight);
    parts << QStringLiteral("margins %1 %2 %3 %4")
                 .arg(p.leftMargin.value_or(-1))
                 .arg(p.rightMargin.value_or(-1))
                 .arg(p.topMargin.value_or(-1))
                 .arg(p.bottomMargin.value_or(-1))
          << QStringLiteral("header at %1, footer at %2").arg(p.headerMargin).arg(p.footerMargin);
    if (p.options & 0x01)
        parts << "over then down";
    if (p.options & 0x80)
        parts << QStringLiteral("first page %1").arg(p.pageStart);
    if (p.hCenter)
        parts << "centred across";
    if (p.vCenter)
        parts << "centred down";
    if (p.printGridlines)
        parts << "gridlines";
    if (p.printHeadings)
        parts << "headings";
    if (!p.header.isEmpty())
        parts << "header " + p.header;
    if (!p.footer.isEmpty())
        parts << "footer " + p.footer;
    return parts.join(QStringLiteral(", "));
}

// A one-table package whose table prints with page style PM1 of layout L1.
QByteArray odsWithPage(const QByteArray& layout, const QByteArray& master, const QByteArray& tableStyle = "ta1")
{
    return odsPackage(
        odsContent("<table:table table:name=\"S\" table:style-name=\"" + tableStyle + "\"><table:table-row>"
                                                                                      "<table:table-cell office:value-type=\"float\" office:value=\"1\"/></table:table-row></table:table>",
                   "<style:style style:name=\"ta1\" style:family=\"table\" style:master-page-name=\"PM1\"/>"),
        odsStyles("<office:automatic-styles><style:page-layout style:name=\"L1\">" + layout
                  + "</style:page-layout><style:page-layout style:name=\"L2\"><style:page-layout-properties "
                    "fo:margin-left=\"1in\" fo:margin-right=\"1in\" fo:margin-top=\"1in\" fo:margin-bottom=\"1in\"/>"
                    "</style:page-layout></office:automatic-styles><office:master-styles>"
                    "<style:master-page style:name=\"Default\" style:page-layout-name=\"L2\"/>"
                    "<style:master-page style:name=\"PM1\" style:page-layout-name=\"L1\">"
                  + master + "</style:master-page></office:master-styles>"));
}

} // namespace

class TestPackages : public QObject {
    Q_OBJECT
private slots:
    void cellsAgree_data();
    void cellsAgree();
    void formulasAgree();
    void compiledFormulasAgree_data();
    void compiledFormulasAgree();
    void packageFormulasCompile_data();
    void packageFormulasCompile();
    void layoutAgrees();
    void looksAgree_data();
    void looksAgree();
    void excelPackage();
    void dateSystems_data();
    void dateSystems();
    void odsValuesKept();
    void odsRepeatedColumns();
    void odsMergesAndHiddenAgree();
    void odsNumberFormats_data();
    void odsNumberFormats();
    void odsCellValues_data();
    void odsCellValues();
    void odsRepeatedResults();
    void odsView_data();
    void odsView();
    void odsPageSetup_data();
    void odsPageSetup();
    void odsPrintRanges();
    void odsPageBreaks();
    void passedOverIsReported_data();
    void passedOverIsReported();
    void largeSheetIsReported();
    void damagedPackages_data();
    void damagedPackages();
    void bytesAfterThePackage_data();
    void xlsxViewAndPrinting_data();
    void xlsxViewAndPrinting();
    void bytesAfterThePackage();
    void everyTruncationFailsCleanly_data();
    void everyTruncationFailsCleanly();
    void engineLoadsPackages();
    void toolConvertsPackages_data();
    void toolConvertsPackages();
    void officeReadsConverted();
};

void TestPackages::cellsAgree_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("sameTexts");
    QTest::newRow("xlsx") << "xlsx" << true;
    QTest::newRow("ods") << "ods" << true;
}

void TestPackages::cellsAgree()
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

void TestPackages::formulasAgree()
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

void TestPackages::compiledFormulasAgree_data()
{
    QTest::addColumn<QString>("format");
    QTest::newRow("xlsx") << "xlsx";
    QTest::newRow("ods") << "ods";
}

void TestPackages::compiledFormulasAgree()
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

void TestPackages::packageFormulasCompile_data()
{
    QTest::addColumn<QByteArray>("cells"); // the <c> elements of row 1 and 2
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("formula"); // empty: it did not compile
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << QByteArray("<c r=\"A1\"><f>A2*2</f><v>4</v></c>") << "A1"
                           << "=A2*2"
                           << "4";
    QTest::newRow("other sheet, quoted") << QByteArray("<c r=\"A1\"><f>'S'!$B$2+1</f><v>1</v></c>") << "A1"
                                         << "=S!$B$2+1"
                                         << "1";
    QTest::newRow("shared, second cell")
        << QByteArray("<c r=\"B1\"><f t=\"shared\" ref=\"B1:B2\" si=\"0\">A1*2</f><v>0</v></c>"
                      "<c r=\"B2\"><f t=\"shared\" si=\"0\"/><v>6</v></c>")
        << "B2"
        << "=A2*2"
        << "6";
    QTest::newRow("array, first cell")
        << QByteArray("<c r=\"A1\"><f t=\"array\" ref=\"A1:A2\">{1;2}*3</f><v>3</v></c><c r=\"A2\"><v>6</v></c>")
        << "A1"
        << "{={1;2}*3}"
        << "3";
    QTest::newRow("array, second cell")
        << QByteArray("<c r=\"A1\"><f t=\"array\" ref=\"A1:A2\">{1;2}*3</f><v>3</v></c><c r=\"A2\"><v>6</v></c>")
        << "A2"
        << "{={1;2}*3}"
        << "6";
    QTest::newRow("beyond the .xls grid") << QByteArray("<c r=\"A1\"><f>B70000*2</f><v>7</v></c>") << "A1"
                                          << ""
                                          << "7";
    QTest::newRow("broken text") << QByteArray("<c r=\"A1\"><f>SUM(A2</f><v>8</v></c>") << "A1"
                                 << ""
                                 << "8";
}

void TestPackages::packageFormulasCompile()
{
    QFETCH(QByteArray, cells);
    QFETCH(QString, cell);
    QFETCH(QString, formula);
    QFETCH(QString, shown);
    const qsizetype second = cells.indexOf("<c r=\"A2\"") >= 0 ? cells.indexOf("<c r=\"A2\"") : cells.indexOf("<c r=\"B2\"");
    const QByteArray rows = second < 0 ? "<row r=\"1\">" + cells + "</row>"
                                       : "<row r=\"1\">" + cells.left(second) + "</row><row r=\"2\">" + cells.mid(second) + "</row>";
    Workbook book = readWorkbook(simpleXlsx("<sheetData>" + rows + "</sheetData>"));
    const auto at = parseCell(cell);
    QCOMPARE(formulaText(book, 0, at->row, at->col), formula);
    QCOMPARE(book.cellText(0, at->row, at->col), shown); // the cached result, as read
    const bool listed = !book.leftOut.filter(QStringLiteral("数式 1 個")).isEmpty();
    QCOMPARE(listed, formula.isEmpty());
    // what compiled is written as a formula, the rest as its value
    const Workbook again = readXls(writeXls(book));
    QCOMPARE(formulaText(again, 0, at->row, at->col), formula);
    QCOMPARE(again.cellText(0, at->row, at->col), shown);
}

void TestPackages::layoutAgrees()
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

void TestPackages::looksAgree_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("cell");
    for (const char* format : {"xlsx", "ods"})
        for (const char* cell : {"A1", "B3", "C5", "A7", "B7", "C7", "B10", "B5"})
            QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(format, cell))) << format << cell;
}

void TestPackages::looksAgree()
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

void TestPackages::excelPackage()
{
    // written the way Excel writes: phonetic readings, shared formulas,
    // "1" for true, rich text, a frozen pane with the cursor in it
    const QByteArray sheet = worksheetPart(
        "<sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\"><pane xSplit=\"1\" ySplit=\"2\" "
        "topLeftCell=\"B3\" activePane=\"bottomRight\" state=\"frozen\"/><selection pane=\"bottomRight\" "
        "activeCell=\"C4\" sqref=\"C4:D5 F6\"/></sheetView></sheetViews>"
        "<cols><col min=\"3\" max=\"4\" width=\"5\" hidden=\"1\" customWidth=\"1\"/></cols><sheetData>"
        "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c><c r=\"C1\" t=\"b\"><v>1</v></c></row>"
        "<row r=\"2\" hidden=\"1\"><c r=\"A2\"><v>1.5</v></c><c r=\"B2\"><f t=\"shared\" ref=\"B2:B4\" si=\"0\">A2*2+$A$1</f><v>3</v></c></row>"
        "<row r=\"3\"><c r=\"A3\"><v>2</v></c><c r=\"B3\"><f t=\"shared\" si=\"0\"/><v>4</v></c></row>"
        "<row r=\"4\"><c r=\"B4\"><f t=\"shared\" si=\"0\"/><v>0</v></c><c r=\"C4\" t=\"str\"><f>A1&amp;\"様\"</f><v>山田太郎様</v></c></row>"
        "</sheetData><mergeCells count=\"1\"><mergeCell ref=\"E1:F2\"/></mergeCells>");
    const QByteArray strings = sharedStringsPart(
        "<si><t>山田太郎</t><rPh sb=\"0\" eb=\"2\"><t>ヤマダ</t></rPh><rPh sb=\"2\" eb=\"4\"><t>タロウ</t></rPh>"
        "<phoneticPr fontId=\"1\"/></si>"
        "<si><r><rPr><b/><sz val=\"14\"/><color rgb=\"FFFF0000\"/><rFont val=\"Arial\"/></rPr><t>家屋</t></r>"
        "<r><t>評価</t></r></si>");
    const Workbook book = readWorkbook(xlsxPackage({workbookPart({QStringLiteral("明細")}), sheet, {}, strings}, true));
    const Sheet& s = book.sheets[0];
    QCOMPARE(book.cellText(0, 0, 0), QStringLiteral("山田太郎")); // not the reading
    QCOMPARE(book.cellText(0, 0, 1), QStringLiteral("家屋評価"));
    QCOMPARE(book.cellText(0, 0, 2), QStringLiteral("TRUE"));
    QCOMPARE(book.cellText(0, 3, 2), QStringLiteral("山田太郎様"));
    QCOMPARE(s.cell(1, 1)->formula->source, QStringLiteral("A2*2+$A$1"));
    QCOMPARE(s.cell(2, 1)->formula->source, QStringLiteral("A3*2+$A$1"));
    QCOMPARE(s.cell(3, 1)->formula->source, QStringLiteral("A4*2+$A$1"));
    QCOMPARE(book.cellText(0, 2, 1), QStringLiteral("4"));
    QVERIFY(s.rowHidden(1));
    QVERIFY(s.columnHidden(2) && s.columnHidden(3) && !s.columnHidden(4));
    QCOMPARE(s.merged, QList<Range>({Range{0, 1, 4, 5}}));
    // frozen at B3: one column, two rows; the cursor where Excel left it
    QCOMPARE(s.view.pane.left(8), QByteArray::fromHex("0100020002000100"));
    QVERIFY(s.view.options & 0x0008);
    QCOMPARE(cellName(s.view.activeRow, s.view.activeCol), QStringLiteral("C4"));
    // the run of the rich text has its own font; the rest goes back to the standard one
    const QList<RichRun> runs = s.cell(0, 1)->runs;
    QCOMPARE(runs.size(), 2);
    const Font& bold = book.font(runs[0].font);
    QVERIFY(bold.bold());
    QCOMPARE(bold.height, 280);
    QCOMPARE(bold.name, QStringLiteral("Arial"));
    QCOMPARE(book.color(bold.color) & 0xFFFFFF, 0xFF0000u);
    QCOMPARE(runs[1], (RichRun{2, 0}));
    // and it all survives an .xls
    const Workbook back = readXls(writeXls(book));
    QCOMPARE(back.cellText(0, 0, 1), QStringLiteral("家屋評価"));
    QCOMPARE(back.sheets[0].cell(0, 1)->runs.size(), 2);
    QCOMPARE(back.cellText(0, 3, 1), QStringLiteral("0"));
}

void TestPackages::dateSystems_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("date1904");
    QTest::addColumn<QString>("date"); // where the date 2019/5/1 is
    const QByteArray styles = stylesPart("<cellXfs count=\"2\"><xf numFmtId=\"0\"/><xf numFmtId=\"14\" applyNumberFormat=\"1\"/></cellXfs>");
    for (bool in1904 : {false, true}) {
        const QByteArray value = QByteArray::number(QDate(in1904 ? 1904 : 1899, in1904 ? 1 : 12, in1904 ? 1 : 30)
                                                        .daysTo(QDate(2019, 5, 1)));
        QTest::newRow(in1904 ? "xlsx 1904" : "xlsx 1900")
            << xlsxPackage({workbookPart({QStringLiteral("S")}, in1904 ? "<workbookPr date1904=\"1\"/>" : ""),
                            worksheetPart("<sheetData><row r=\"1\"><c r=\"A1\" s=\"1\"><v>" + value + "</v></c></row></sheetData>"),
                            {},
                            {},
                            styles})
            << in1904 << "A1";
        const QByteArray settings = in1904 ? "<table:calculation-settings><table:null-date table:date-value=\"1904-01-01\"/>"
                                             "</table:calculation-settings>"
                                           : "";
        QTest::newRow(in1904 ? "ods 1904" : "ods 1900")
            << odsPackage(odsContent(settings + "<table:table table:name=\"S\"><table:table-row><table:table-cell "
                                                "office:value-type=\"date\" office:date-value=\"2019-05-01\"/>"
                                                "<table:table-cell office:value-type=\"date\" "
                                                "office:date-value=\"2019-05-01T18:00:00\"/></table:table-row></table:table>"))
            << in1904 << "A1";
    }
}

void TestPackages::dateSystems()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, date1904);
    QFETCH(QString, date);
    const Workbook book = readWorkbook(bytes);
    QCOMPARE(book.date1904, date1904);
    QCOMPARE(cellAt(book, 0, date), QStringLiteral("2019/5/1"));
    if (book.sheets[0].cell(0, 1)) // a date with a time of day shows both
        QCOMPARE(cellAt(book, 0, QStringLiteral("B1")), QStringLiteral("2019/5/1 18:00"));
    QCOMPARE(readXls(writeXls(book)).cellText(0, 0, 0), QStringLiteral("2019/5/1"));
}

void TestPackages::odsValuesKept()
{
    // percentages and amounts keep their values; linked tables of other
    // documents are left out
    const Workbook book = readWorkbook(odsPackage(odsContent(
        "<table:dde-links><table:dde-link><office:dde-source office:dde-application=\"soffice\"/>"
        "<table:table><table:table-row><table:table-cell office:value-type=\"float\" office:value=\"9\"/>"
        "</table:table-row></table:table></table:dde-link></table:dde-links>"
        "<table:table table:name=\"S\"><table:table-row>"
        "<table:table-cell office:value-type=\"percentage\" office:value=\"0.125\"/>"
        "<table:table-cell office:value-type=\"currency\" office:currency=\"JPY\" office:value=\"1500\"/>"
        "<table:table-cell table:number-columns-repeated=\"2\" office:value-type=\"float\" office:value=\"7\"/>"
        "</table:table-row></table:table>")));
    QCOMPARE(book.sheets.size(), 1);
    QCOMPARE(valueOf(book.sheets[0].cell(0, 0)), QStringLiteral("0.125"));
    QCOMPARE(valueOf(book.sheets[0].cell(0, 1)), QStringLiteral("1500"));
    QCOMPARE(valueOf(book.sheets[0].cell(0, 3)), QStringLiteral("7"));
    QCOMPARE(book.sheets[0].cellCount(), 4);
}

void TestPackages::odsRepeatedColumns()
{
    // one column element for three columns of one width, then one of its own
    const Workbook book = readWorkbook(simpleOds(
        "<table:table-column table:style-name=\"co1\" table:number-columns-repeated=\"3\"/>"
        "<table:table-column table:style-name=\"co2\"/>"
        "<table:table-column table:style-name=\"co1\" table:number-columns-repeated=\"16380\"/>"
        "<table:table-row><table:table-cell/></table:table-row>",
        "<style:style style:name=\"co1\" style:family=\"table-column\"><style:table-column-properties "
        "style:column-width=\"1in\"/></style:style><style:style style:name=\"co2\" style:family=\"table-column\">"
        "<style:table-column-properties style:column-width=\"2in\"/></style:style>"));
    const Sheet& s = book.sheets[0];
    for (int col : {0, 1, 2, 4, 255})
        QCOMPARE(s.columnWidth(col), s.columnWidth(0));
    QCOMPARE(qRound(s.columnWidth(3) / double(s.columnWidth(0))), 2);
}

void TestPackages::odsMergesAndHiddenAgree()
{
    const QStringList xls = mergedAndHidden(detail(QStringLiteral("xls")));
    QVERIFY(xls.contains(QStringLiteral("明細 merged A1:D1")));
    QVERIFY(xls.contains(QStringLiteral("明細 row 8 hidden")));
    QVERIFY(xls.contains(QStringLiteral("明細 column 4 hidden")));
    QCOMPARE(mergedAndHidden(detail(QStringLiteral("ods"))), xls);
    // the title centred over its merged area as LibreOffice shows it
    const Workbook& ods = detail(QStringLiteral("ods"));
    QCOMPARE(ods.sheets[0].mergedAt(0, 3), ods.sheets[0].mergedAt(0, 0));
    QVERIFY(ods.sheets[0].mergedAt(0, 0));
}

void TestPackages::odsNumberFormats_data()
{
    QTest::addColumn<QByteArray>("style"); // the data style N1
    QTest::addColumn<QByteArray>("cell");  // value attributes of the cell
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("shown");
    const QByteArray number = "office:value-type=\"float\" office:value=";
    QTest::newRow("grouping, two decimals and a unit")
        << QByteArray("<number:number-style style:name=\"N1\"><number:number number:decimal-places=\"2\" "
                      "number:min-decimal-places=\"2\" number:min-integer-digits=\"1\" number:grouping=\"true\"/>"
                      "<number:text>㎡</number:text></number:number-style>")
        << number + "\"1234.5\"" << QStringLiteral("#,##0.00\"㎡\"") << QStringLiteral("1,234.50㎡");
    QTest::newRow("grouping only")
        << QByteArray("<number:number-style style:name=\"N1\"><number:number number:decimal-places=\"0\" "
                      "number:min-integer-digits=\"1\" number:grouping=\"true\"/></number:number-style>")
        << number + "\"1234567\"" << QStringLiteral("#,##0") << QStringLiteral("1,234,567");
    QTest::newRow("optional decimals")
        << QByteArray("<number:number-style style:name=\"N1\"><number:number number:decimal-places=\"3\" "
                      "number:min-decimal-places=\"1\" number:min-integer-digits=\"1\"/></number:number-style>")
        << number + "\"2.5\"" << QStringLiteral("0.0##") << QStringLiteral("2.5");
    QTest::newRow("thousands")
        << QByteArray("<number:number-style style:name=\"N1\"><number:number number:decimal-places=\"0\" "
                      "number:min-integer-digits=\"1\" number:display-factor=\"1000\"/><number:text>千円</number:text>"
                      "</number:number-style>")
        << number + "\"2500000\"" << QStringLiteral("0,\"千円\"") << QStringLiteral("2500千円");
    QTest::newRow("percentage")
        << QByteArray("<number:percentage-style style:name=\"N1\"><number:number number:decimal-places=\"1\" "
                      "number:min-decimal-places=\"1\" number:min-integer-digits=\"1\"/><number:text>%</number:text>"
                      "</number:percentage-style>")
        << QByteArray("office:value-type=\"percentage\" office:value=\"0.125\"") << QStringLiteral("0.0%")
        << QStringLiteral("12.5%");
    QTest::newRow("scientific")
        << QByteArray("<number:number-style style:name=\"N1\"><number:scientific-number number:decimal-places=\"2\" "
                      "number:min-integer-digits=\"1\" number:min-exponent-digits=\"2\"/></number:number-style>")
        << number + "\"12345\"" << QStringLiteral("0.00E+00") << QStringLiteral("1.23E+04");
    QTest::newRow("fraction")
        << QByteArray("<number:number-style style:name=\"N1\"><number:fraction number:min-integer-digits=\"0\" "
                      "number:min-numerator-digits=\"1\" number:min-denominator-digits=\"1\"/></number:number-style>")
        << number + "\"1.5\"" << QStringLiteral("# ?/?") << QStringLiteral("1 1/2");
    QTest::newRow("red negatives in brackets")
        << QByteArray("<number:number-style style:name=\"N1P0\"><number:number number:decimal-places=\"0\" "
                      "number:min-integer-digits=\"1\" number:grouping=\"true\"/></number:number-style>"
                      "<number:number-style style:name=\"N1\"><style:text-properties fo:color=\"#ff0000\"/>"
                      "<number:text>(</number:text><number:number number:decimal-places=\"0\" number:min-integer-digits=\"1\" "
                      "number:grouping=\"true\"/><number:text>)</number:text>"
                      "<style:map style:condition=\"value()&gt;=0\" style:apply-style-name=\"N1P0\"/></number:number-style>")
        << number + "\"-1234\"" << QStringLiteral("#,##0;[Red](#,##0)") << QStringLiteral("(1,234)");
    QTest::newRow("positive, negative and zero")
        << QByteArray("<number:number-style style:name=\"N1P0\"><number:number number:decimal-places=\"1\" "
                      "number:min-integer-digits=\"1\"/></number:number-style>"
                      "<number:number-style style:name=\"N1P1\"><number:text>▲</number:text><number:number "
                      "number:decimal-places=\"1\" number:min-integer-digits=\"1\"/></number:number-style>"
                      "<number:number-style style:name=\"N1\"><number:text>-</number:text>"
                      "<style:map style:condition=\"value()&gt;0\" style:apply-style-name=\"N1P0\"/>"
                      "<style:map style:condition=\"value()&lt;0\" style:apply-style-name=\"N1P1\"/></number:number-style>")
        << number + "\"-2.5\"" << QStringLiteral("0.0;\"▲\"0.0;-") << QStringLiteral("▲2.5");
    QTest::newRow("condition on a value")
        << QByteArray("<number:number-style style:name=\"N1P0\"><number:number number:decimal-places=\"0\" "
                      "number:min-integer-digits=\"1\"/><number:text>以上</number:text></number:number-style>"
                      "<number:number-style style:name=\"N1\"><number:number number:decimal-places=\"1\" "
                      "number:min-integer-digits=\"1\"/>"
                      "<style:map style:condition=\"value()&gt;=100\" style:apply-style-name=\"N1P0\"/></number:number-style>")
        << number + "\"150\"" << QStringLiteral("[>=100]0\"以上\";0.0") << QStringLiteral("150以上");
    QTest::newRow("date in Japanese")
        << QByteArray("<number:date-style style:name=\"N1\"><number:year number:style=\"long\"/><number:text>年</number:text>"
                      "<number:month/><number:text>月</number:text><number:day/><number:text>日</number:text></number:date-style>")
        << QByteArray("office:value-type=\"date\" office:date-value=\"2019-05-01\"") << QStringLiteral("yyyy\"年\"m\"月\"d\"日\"")
        << QStringLiteral("2019年5月1日");
    QTest::newRow("date with slashes")
        << QByteArray("<number:date-style style:name=\"N1\"><number:year number:style=\"long\"/><number:text>/</number:text>"
                      "<number:month number:style=\"long\"/><number:text>/</number:text><number:day number:style=\"long\"/>"
                      "</number:date-style>")
        << QByteArray("office:value-type=\"date\" office:date-value=\"2019-05-31\"") << QStringLiteral("yyyy/mm/dd")
        << QStringLiteral("2019/05/31");
    QTest::newRow("era")
        << QByteArray("<number:date-style style:name=\"N1\" number:language=\"ja\"><number:era number:style=\"long\" "
                      "number:calendar=\"gengou\"/><number:year number:calendar=\"gengou\"/><number:text>年</number:text>"
                      "<number:month/><number:text>月</number:text><number:day/><number:text>日</number:text></number:date-style>")
        << QByteArray("office:value-type=\"date\" office:date-value=\"2019-05-01\"")
        << QStringLiteral("[$-411]ggge\"年\"m\"月\"d\"日\"") << QStringLiteral("令和1年5月1日");
    QTest::newRow("time past a day")
        << QByteArray("<number:time-style style:name=\"N1\" number:truncate-on-overflow=\"false\"><number:hours/>"
                      "<number:text>:</number:text><number:minutes number:style=\"long\"/></number:time-style>")
        << number + "\"1.25\"" << QStringLiteral("[h]:mm") << QStringLiteral("30:00");
    QTest::newRow("time of day")
        << QByteArray("<number:time-style style:name=\"N1\"><number:hours number:style=\"long\"/><number:text>:</number:text>"
                      "<number:minutes number:style=\"long\"/><number:text>:</number:text><number:seconds "
                      "number:style=\"long\"/><number:text> </number:text><number:am-pm/></number:time-style>")
        << number + "\"0.75\"" << QStringLiteral("hh:mm:ss AM/PM") << QStringLiteral("06:00:00 PM");
    QTest::newRow("text")
        << QByteArray("<number:text-style style:name=\"N1\"><number:text>「</number:text><number:text-content/>"
                      "<number:text>」</number:text></number:text-style>")
        << QByteArray("office:value-type=\"string\"><text:p>木造</text:p></table:table-cell><table:table-cell")
        << QStringLiteral("\"「\"@\"」\"") << QStringLiteral("「木造」");
    QTest::newRow("currency")
        << QByteArray("<number:currency-style style:name=\"N1\"><number:currency-symbol>￥</number:currency-symbol>"
                      "<number:number number:decimal-places=\"0\" number:min-integer-digits=\"1\" number:grouping=\"true\"/>"
                      "</number:currency-style>")
        << QByteArray("office:value-type=\"currency\" office:currency=\"JPY\" office:value=\"5000\"")
        << QStringLiteral("\"￥\"#,##0") << QStringLiteral("￥5,000");
}

void TestPackages::odsNumberFormats()
{
    QFETCH(QByteArray, style);
    QFETCH(QByteArray, cell);
    QFETCH(QString, code);
    QFETCH(QString, shown);
    // the cell's own style in one row, the column's default style in the next
    const QByteArray styles = style + "<style:style style:name=\"ce1\" style:family=\"table-cell\" "
                                      "style:data-style-name=\"N1\"/>";
    const Workbook book = readWorkbook(simpleOds(
        "<table:table-column table:default-cell-style-name=\"Default\"/>"
        "<table:table-column table:default-cell-style-name=\"ce1\"/>"
        "<table:table-row><table:table-cell table:style-name=\"ce1\" "
            + cell + "/></table:table-row>"
                     "<table:table-row><table:table-cell/><table:table-cell "
            + cell + "/></table:table-row>",
        styles));
    QCOMPARE(book.formatCode(book.format(book.sheets[0].cell(0, 0)->xf).numberFormat), code);
    QCOMPARE(book.cellText(0, 0, 0), shown);
    QCOMPARE(book.cellText(0, 1, 1), shown);
    // a cell of the default style keeps the standard format
    QVERIFY(book.sheets[0].cell(1, 0) == nullptr || book.format(book.sheets[0].cell(1, 0)->xf).numberFormat == 0);
    QVERIFY2(book.leftOut.filter(QStringLiteral("表示形式")).isEmpty(), qPrintable(book.leftOut.join(u'\n')));
}

void TestPackages::odsCellValues_data()
{
    QTest::addColumn<QByteArray>("cell"); // attributes, then what the cell holds
    QTest::addColumn<bool>("formula");
    QTest::addColumn<bool>("plain"); // a cell without a formula states its value so too
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("value");
    const int number = int(CellKind::Number), text = int(CellKind::Text), boolean = int(CellKind::Boolean);
    const int error = int(CellKind::Error), none = int(CellKind::Empty);
    QTest::newRow("text given apart")
        << QByteArray("office:value-type=\"string\" office:string-value=\"床面積計\"><text:p>床面積</text:p>")
        << true << false << text << "床面積計"
        << "床面積計";
    QTest::newRow("text of paragraphs")
        << QByteArray("office:value-type=\"string\"><text:p>一行</text:p><text:p>二<text:s text:c=\"3\"/>行"
                      "<text:tab/>末</text:p>")
        << true << false << text << "一行\n二   行\t末"
        << "一行\n二   行\t末";
    QTest::newRow("a comment is not the text")
        << QByteArray("office:value-type=\"string\"><office:annotation><text:p>メモ</text:p></office:annotation>"
                      "<text:p>本文</text:p>")
        << true << false << text << "本文"
        << "本文";
    QTest::newRow("empty text") << QByteArray("office:value-type=\"string\" office:string-value=\"\">") << true << false
                                << text << ""
                                << "";
    QTest::newRow("date") << QByteArray("office:value-type=\"date\" office:date-value=\"2019-05-31\">") << true << false
                          << number << "2019/5/31"
                          << "43616";
    QTest::newRow("date and time")
        << QByteArray("office:value-type=\"date\" office:date-value=\"2019-05-31T18:00:00\">") << true << false << number
        << "2019/5/31 18:00"
        << "43616.75";
    QTest::newRow("date before March 1900")
        << QByteArray("office:value-type=\"date\" office:date-value=\"1900-02-28\">") << true << false << number
        << "1900/2/28"
        << "59";
    QTest::newRow("true") << QByteArray("office:value-type=\"boolean\" office:boolean-value=\"true\"><text:p>TRUE</text:p>")
                          << true << true << boolean << "TRUE"
                          << "TRUE";
    QTest::newRow("false") << QByteArray("office:value-type=\"boolean\" office:boolean-value=\"false\">") << true << true
                           << boolean << "FALSE"
                           << "FALSE";
    QTest::newRow("time of day") << QByteArray("office:value-type=\"time\" office:time-value=\"PT01H02M03S\">") << true
                                 << true << number << "1:02:03" << QString::number(3723.0 / 86400, 'g', 15);
    QTest::newRow("time past a day") << QByteArray("office:value-type=\"time\" office:time-value=\"PT36H30M00S\">")
                                     << true << true << number << "36:30:00"
                                     << "1.52083333333333";
    QTest::newRow("division by zero")
        << QByteArray("office:value-type=\"string\" office:string-value=\"\" calcext:value-type=\"error\">"
                      "<text:p>#DIV/0!</text:p>")
        << true << false << error << "#DIV/0!"
        << "#DIV/0!";
    QTest::newRow("error of its own")
        << QByteArray("office:value-type=\"string\" office:string-value=\"\" calcext:value-type=\"error\">"
                      "<text:p>Err:502</text:p>")
        << true << false << error << "#VALUE!"
        << "#VALUE!";
    QTest::newRow("percentage") << QByteArray("office:value-type=\"percentage\" office:value=\"0.125\">") << true << false
                                << number << "0.125"
                                << "0.125";
    // what does not read as its type is left as the reader gave it
    QTest::newRow("no such day") << QByteArray("office:value-type=\"date\" office:date-value=\"2019-02-30\">") << true
                                 << true << none << ""
                                 << "";
    QTest::newRow("beyond the last day")
        << QByteArray("office:value-type=\"date\" office:date-value=\"12019-01-01\">") << true << false << none << ""
        << "";
    QTest::newRow("not a span") << QByteArray("office:value-type=\"time\" office:time-value=\"12:00\">") << true << true
                                << none << ""
                                << "";
    QTest::newRow("not a truth") << QByteArray("office:value-type=\"boolean\" office:boolean-value=\"yes\">") << true
                                 << true << none << ""
                                 << "";
}

void TestPackages::odsCellValues()
{
    QFETCH(QByteArray, cell);
    QFETCH(bool, formula);
    QFETCH(bool, plain);
    QFETCH(int, kind);
    QFETCH(QString, shown);
    QFETCH(QString, value);
    // the same statement with a formula in A1 and without one in B1
    const Workbook book = readWorkbook(simpleOds("<table:table-row><table:table-cell table:formula=\"of:=1\" " + cell
                                                 + "</table:table-cell><table:table-cell " + cell
                                                 + "</table:table-cell></table:table-row>"));
    const Sheet& s = book.sheets[0];
    if (formula) {
        QVERIFY(s.cell(0, 0) && s.cell(0, 0)->kind == CellKind::Formula);
        QCOMPARE(int(s.cell(0, 0)->result), kind);
        QCOMPARE(book.cellText(0, 0, 0), shown);
        QCOMPARE(valueOf(s.cell(0, 0)), value);
    }
    if (plain) {
        QCOMPARE(s.cell(0, 1) ? int(s.cell(0, 1)->kind) : int(CellKind::Empty), kind);
        QCOMPARE(book.cellText(0, 0, 1), shown);
    }
    QVERIFY2(book.leftOut.isEmpty() || book.leftOut == QStringList{QStringLiteral("コメント")},
             qPrintable(book.leftOut.join(u'\n')));
    // an .xls keeps what shows
    const Workbook back = readXls(writeXls(book));
    QCOMPARE(back.cellText(0, 0, 0), formula ? shown : book.cellText(0, 0, 0));
    QCOMPARE(back.cellText(0, 0, 1), book.cellText(0, 0, 1));
}

void TestPackages::odsRepeatedResults()
{
    // a row that stands for three, of repeated formula cells and an amount
    // in per cent: each cell has its value, the dates in the workbook's
    // date system
    const Workbook book = readWorkbook(odsPackage(odsContent(
        "<table:calculation-settings><table:null-date table:date-value=\"1904-01-01\"/></table:calculation-settings>"
        "<table:table table:name=\"S\"><table:table-row table:number-rows-repeated=\"3\"><table:table-cell "
        "table:number-columns-repeated=\"2\" table:formula=\"of:=DATE(2019;5;31)\" office:value-type=\"date\" "
        "office:date-value=\"2019-05-31\"/><table:table-cell office:value-type=\"percentage\" office:value=\"0.5\"/>"
        "</table:table-row><table:table-row><table:table-cell office:value-type=\"float\" office:value=\"4\"/>"
        "</table:table-row></table:table>")));
    QVERIFY(book.date1904);
    const Sheet& s = book.sheets[0];
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 2; ++col) {
            const Cell* c = s.cell(row, col);
            QVERIFY(c && c->kind == CellKind::Formula);
            QCOMPARE(c->number, double(QDate(1904, 1, 1).daysTo(QDate(2019, 5, 31))));
            QCOMPARE(book.cellText(0, row, col), QStringLiteral("2019/5/31"));
        }
        QCOMPARE(valueOf(s.cell(row, 2)), QStringLiteral("0.5"));
    }
    QCOMPARE(book.cellText(0, 3, 0), QStringLiteral("4"));
    QCOMPARE(s.lastRow(), 3);
    QVERIFY2(book.leftOut.isEmpty(), qPrintable(book.leftOut.join(u'\n')));

    // as far as an .xls sheet reaches; the rest is told
    const Workbook past = readWorkbook(simpleOds(
        "<table:table-row table:number-rows-repeated=\"65530\"/><table:table-row table:number-rows-repeated=\"10\">"
        "<table:table-cell office:value-type=\"float\" office:value=\"7\"/></table:table-row>"));
    QCOMPARE(past.sheets[0].cellCount(), 6);
    QCOMPARE(past.cellText(0, kMaxRows - 1, 0), QStringLiteral("7"));
    QVERIFY2(leftOutMessage(past).contains(QStringLiteral("65,536 行目より下")), qPrintable(leftOutMessage(past)));

    // a row of values repeated a great many times is refused, not spread out without end
    QVERIFY_THROWS_EXCEPTION(ECorruptWorkbook,
                             readWorkbook(simpleOds("<table:table-row table:number-rows-repeated=\"65536\">"
                                                    + QByteArray("<table:table-cell office:value-type=\"float\" "
                                                                 "office:value=\"1\"/>")
                                                          .repeated(30)
                                                    + "</table:table-row>")));
}

void TestPackages::odsView_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QString>("first");  // the view of sheet 一
    QTest::addColumn<QString>("second"); // and of sheet 二
    const QString plain = QStringLiteral("zoom 100, grid on, top A1, cursor A1, sheet 1");
    QTest::newRow("none") << QByteArray() << plain << plain;
    // as Gnumeric writes a sheet frozen at C4 and scrolled to F11
    QTest::newRow("frozen rows and columns")
        << odsSettings(tableSettings("一", "CursorPositionX=6 CursorPositionY=12 ZoomValue=85 ShowGrid=false "
                                           "HorizontalSplitMode=2 VerticalSplitMode=2 HorizontalSplitPosition=2 "
                                           "VerticalSplitPosition=3 PositionLeft=0 PositionRight=5 PositionTop=0 "
                                           "PositionBottom=10"))
        << "zoom 85, grid off, top A1, cursor G13, frozen 3x2 at F11, sheet 1" << plain;
    QTest::newRow("scrolled")
        << odsSettings(tableSettings("二", "CursorPositionX=3 CursorPositionY=6 ZoomValue=120 PositionLeft=2 "
                                           "PositionRight=0 PositionTop=0 PositionBottom=4"),
                       configItems("ActiveTable=二"))
        << plain.chopped(1) + u'2' << "zoom 120, grid on, top C5, cursor D7, sheet 2";
    QTest::newRow("rows frozen")
        << odsSettings(tableSettings("一", "VerticalSplitMode=2 VerticalSplitPosition=1 PositionTop=0 PositionBottom=20 "
                                           "PositionLeft=3 CursorPositionY=25"))
        << "zoom 100, grid on, top D1, cursor A26, frozen 1x0 at D21, sheet 1" << plain;
    QTest::newRow("columns frozen")
        << odsSettings(tableSettings("一", "HorizontalSplitMode=2 HorizontalSplitPosition=2 PositionLeft=0 "
                                           "PositionRight=7 PositionBottom=9"))
        << "zoom 100, grid on, top A10, cursor A1, frozen 0x2 at H10, sheet 1" << plain;
    QTest::newRow("frozen, scrolled to the split")
        << odsSettings(tableSettings("一", "VerticalSplitMode=2 VerticalSplitPosition=3 PositionBottom=0"))
        << "zoom 100, grid on, top A1, cursor A1, frozen 3x0 at A4, sheet 1" << plain;
    QTest::newRow("split, not frozen")
        << odsSettings(tableSettings("一", "HorizontalSplitMode=1 HorizontalSplitPosition=120 PositionRight=4"))
        << "zoom 100, grid on, top A1, cursor A1, split, sheet 1" << plain;
    QTest::newRow("out of bounds")
        << odsSettings(tableSettings("一", "ZoomValue=5000 CursorPositionX=100000 CursorPositionY=-5 HorizontalSplitMode=2 "
                                           "HorizontalSplitPosition=99999 PositionRight=0 PositionBottom=9999999")
                       + tableSettings("二", "ZoomValue=3"))
        << "zoom 400, grid on, top A65536, cursor IV1, frozen 0x255 at IV65536, sheet 1"
        << "zoom 10, grid on, top A1, cursor A1, sheet 1";
    QTest::newRow("not numbers")
        << odsSettings(tableSettings("一", "ZoomValue=0 CursorPositionX=B HorizontalSplitMode=2 HorizontalSplitPosition=x"))
        << plain << plain;
    QTest::newRow("grid of the view")
        << odsSettings(tableSettings("一", "ZoomValue=100"), configItems("ShowGrid=false ZoomValue=75"))
        << "zoom 100, grid off, top A1, cursor A1, sheet 1"
        << "zoom 75, grid off, top A1, cursor A1, sheet 1";
    QTest::newRow("grid of the table first")
        << odsSettings(tableSettings("一", "ShowGrid=true"), {}, configItems("ShowGrid=false"))
        << plain << "zoom 100, grid off, top A1, cursor A1, sheet 1";
    QTest::newRow("a table of another name")
        << odsSettings(tableSettings("三", "ZoomValue=50 CursorPositionX=3"), configItems("ActiveTable=三")) << plain << plain;
}

void TestPackages::odsView()
{
    QFETCH(QByteArray, settings);
    QFETCH(QString, first);
    QFETCH(QString, second);
    const QByteArray table = "<table:table-row><table:table-cell office:value-type=\"float\" office:value=\"1\"/>"
                             "</table:table-row></table:table>";
    const Workbook book = readWorkbook(odsPackage(
        odsContent("<table:table table:name=\"一\">" + table + "<table:table table:name=\"二\">" + table), {}, false,
        settings));
    QCOMPARE(viewOf(book, 0), first);
    QCOMPARE(viewOf(book, 1), second);
    QVERIFY2(book.leftOut.isEmpty(), qPrintable(book.leftOut.join(u'\n')));
    // and so in an .xls
    const Workbook back = readXls(writeXls(book));
    QCOMPARE(viewOf(back, 0), first);
    QCOMPARE(viewOf(back, 1), second);
}

void TestPackages::odsPageSetup_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("page");
    // the header and footer as LibreOffice writes them: their room is
    // inside the page's margins, one 10 pt line of text and the spacing
    const QByteArray a4 = "fo:page-width=\"8.2681in\" fo:page-height=\"11.6929in\" fo:margin-top=\"0.5in\" "
                          "fo:margin-bottom=\"0.6in\" fo:margin-left=\"0.7in\" fo:margin-right=\"0.8in\"";
    const QByteArray headerStyles = "<style:header-style><style:header-footer-properties fo:min-height=\"0.3in\" "
                                    "fo:margin-bottom=\"0.1in\"/></style:header-style><style:footer-style>"
                                    "<style:header-footer-properties fo:min-height=\"0.4in\" fo:margin-top=\"0.2in\"/>"
                                    "</style:footer-style>";
    const QByteArray fields = "<style:header><style:region-left><text:p>L</text:p></style:region-left><style:region-center>"
                              "<text:p>P <text:page-number>1</text:page-number>/<text:page-count>9</text:page-count></text:p>"
                              "</style:region-center><style:region-right><text:p><text:sheet-name>S</text:sheet-name> "
                              "<text:file-name>x.ods</text:file-name> <text:date>2019/5/1</text:date></text:p>"
                              "</style:region-right></style:header><style:footer><text:p>foot <text:page-number>1"
                              "</text:page-number></text:p></style:footer>";
    QTest::newRow("header and footer")
        << odsWithPage("<style:page-layout-properties " + a4 + " style:print-orientation=\"portrait\"/>" + headerStyles, fields)
        << "portrait, paper 9, scale 100, margins 0.7 0.8 0.738889 0.938889, header at 0.5, footer at 0.6, "
           "header &LL&CP &P/&N&R&A &Z&F &D, footer &Cfoot &P";
    QTest::newRow("header and footer off")
        << odsWithPage("<style:page-layout-properties " + a4 + "/>" + headerStyles,
                       "<style:header style:display=\"false\"><text:p>見えない</text:p></style:header>"
                       "<style:footer style:display=\"false\"/>")
        << "portrait, paper 9, scale 100, margins 0.7 0.8 0.5 0.6, header at 0.511811, footer at 0.511811";
    QTest::newRow("two lines, quotes and ampersands")
        << odsWithPage("<style:page-layout-properties fo:margin-top=\"1in\" fo:margin-bottom=\"1in\"/><style:header-style>"
                       "<style:header-footer-properties fo:margin-bottom=\"0.05in\"/></style:header-style>",
                       "<style:header><text:p>中央<text:s text:c=\"2\"/>&amp; \"q\"</text:p><text:p>二行目</text:p>"
                       "</style:header><style:header-left><text:p>偶数</text:p></style:header-left>")
        << "portrait, paper 9, scale 100, margins 0.787402 0.787402 1.32778 1, header at 1, footer at 0.511811, "
           "header &C中央  && \"q\"\n二行目";
    QTest::newRow("file name parts")
        << odsWithPage("<style:page-layout-properties/>",
                       "<style:footer><style:region-right><text:p><text:file-name text:display=\"path\"/>/"
                       "<text:file-name text:display=\"name-and-extension\"/><text:line-break/><text:span>"
                       "<text:page-number>3</text:page-number></text:span></text:p></style:region-right></style:footer>")
        << "portrait, paper 9, scale 100, margins 0.787402 0.787402 0.787402 1.06518, header at 0.511811, footer at "
           "0.787402, footer &R&Z/&F\n&P";
    QTest::newRow("B4 across, fitted, ordered, centred, with grid")
        << odsWithPage("<style:page-layout-properties fo:page-width=\"14.33in\" fo:page-height=\"10.12in\" "
                       "style:print-orientation=\"landscape\" style:scale-to-X=\"2\" style:scale-to-Y=\"3\" "
                       "style:print-page-order=\"ltr\" style:table-centering=\"both\" style:first-page-number=\"5\" "
                       "style:print=\"grid headers charts drawings objects zero-values\"/>",
                       "")
        << "landscape, paper 12, scale 100, fit 2x3, margins 0.787402 0.787402 0.787402 0.787402, header at 0.511811, "
           "footer at 0.511811, over then down, first page 5, centred across, centred down, gridlines, headings";
    QTest::newRow("B5 at 75 %")
        << odsWithPage("<style:page-layout-properties fo:page-width=\"182mm\" fo:page-height=\"257mm\" "
                       "style:scale-to=\"75%\" style:table-centering=\"horizontal\" fo:margin=\"1cm\"/>",
                       "")
        << "portrait, paper 13, scale 75, margins 0.787402 0.787402 0.787402 0.787402, header at 0.511811, "
           "footer at 0.511811, centred across";
    QTest::newRow("Legal in two pages")
        << odsWithPage("<style:page-layout-properties fo:page-width=\"8.5in\" fo:page-height=\"14in\" "
                       "style:scale-to-pages=\"2\" style:first-page-number=\"continue\"/>",
                       "")
        << "portrait, paper 5, scale 100, fit 1x2, margins 0.787402 0.787402 0.787402 0.787402, header at 0.511811, "
           "footer at 0.511811";
    QTest::newRow("A3 turned by its size")
        << odsWithPage("<style:page-layout-properties fo:page-width=\"420mm\" fo:page-height=\"297mm\" "
                       "fo:margin-left=\"36pt\" fo:margin-right=\"3pc\" fo:margin-top=\"96px\" fo:margin-bottom=\"2.54cm\"/>",
                       "")
        << "landscape, paper 8, scale 100, margins 0.5 0.5 1 1, header at 0.511811, footer at 0.511811";
    QTest::newRow("Letter") << odsWithPage("<style:page-layout-properties fo:page-width=\"215.9mm\" fo:page-height=\"279.4mm\"/>", "")
                            << "portrait, paper 1, scale 100, margins 0.787402 0.787402 0.787402 0.787402, header at "
                               "0.511811, footer at 0.511811";
    QTest::newRow("a paper of no name")
        << odsWithPage("<style:page-layout-properties fo:page-width=\"5in\" fo:page-height=\"5in\" fo:margin-left=\"0.1in\"/>", "")
        << "portrait, paper 9, scale 100, margins 0.1 0.787402 0.787402 0.787402, header at 0.511811, footer at 0.511811";
    QTest::newRow("out of bounds")
        << odsWithPage("<style:page-layout-properties style:scale-to=\"5000%\" style:scale-to-X=\"99999\" "
                       "style:scale-to-Y=\"-3\" fo:margin-left=\"-1in\" fo:margin-right=\"100in\" fo:margin-top=\"1e308in\" "
                       "fo:margin-bottom=\"nan\" style:first-page-number=\"99999\"/>",
                       "<style:header><text:p>" + QByteArray("<text:p>").repeated(400) + QByteArray("</text:p>").repeated(400)
                           + "</text:p></style:header>")
        << "portrait, paper 9, scale 400, fit 32767x0, margins 0 49 49 0.787402, header at 49, footer at 0.511811, "
           "first page 32767, header &C"
            + QString(253, u'\n');
    QTest::newRow("no page style of its own")
        << odsWithPage("<style:page-layout-properties style:print-orientation=\"landscape\"/>", "", "ta9")
        << "portrait, paper 9, scale 100, margins 1 1 1 1, header at 0.511811, footer at 0.511811";
}

void TestPackages::odsPageSetup()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, page);
    const Workbook book = readWorkbook(bytes);
    QCOMPARE(pageOf(book, 0), page);
    QVERIFY2(book.leftOut.isEmpty(), qPrintable(book.leftOut.join(u'\n')));
    // and an .xls made of it prints the same
    QCOMPARE(pageOf(readXls(writeXls(book)), 0), page);
}

void TestPackages::odsPrintRanges()
{
    // print ranges given by the table alone, one reaching past the last row
    const QByteArray table = "<table:table-row><table:table-cell office:value-type=\"float\" office:value=\"1\"/>"
                             "</table:table-row></table:table>";
    const Workbook book = readWorkbook(odsPackage(odsContent(
        "<table:table table:name=\"S\" table:print-ranges=\"S.A1:S.C3 $S.$E$5:.$F$99999\">" + table
        + "<table:table table:name=\"T\">" + table)));
    QCOMPARE(book.sheets[0].page.printArea, (QList<Range>{Range{0, 2, 0, 2}, Range{4, kMaxRows - 1, 4, 5}}));
    QVERIFY(book.sheets[1].page.printArea.isEmpty());
    QCOMPARE(readXls(writeXls(book)).sheets[0].page.printArea, book.sheets[0].page.printArea);
}

void TestPackages::odsPageBreaks()
{
    // rows and columns of a style that starts a new page; a break before
    // the first row means nothing, a repeated row breaks before each
    const QByteArray styles =
        "<style:style style:name=\"ro1\" style:family=\"table-row\"><style:table-row-properties fo:break-before=\"auto\"/>"
        "</style:style><style:style style:name=\"ro2\" style:family=\"table-row\"><style:table-row-properties "
        "fo:break-before=\"page\"/></style:style><style:style style:name=\"co2\" style:family=\"table-column\">"
        "<style:table-column-properties fo:break-before=\"page\" style:column-width=\"1in\"/></style:style>";
    const QByteArray row = "<table:table-cell office:value-type=\"float\" office:value=\"1\"/></table:table-row>";
    const Workbook book = readWorkbook(simpleOds(
        "<table:table-column table:number-columns-repeated=\"2\"/><table:table-column table:style-name=\"co2\"/>"
        "<table:table-row table:style-name=\"ro2\">"
            + row + "<table:table-row table:style-name=\"ro1\" "
                    "table:number-rows-repeated=\"9\">"
            + row + "<table:table-row table:style-name=\"ro2\">" + row
            + "<table:table-row table:style-name=\"ro1\">" + row + "<table:table-row table:style-name=\"ro2\" "
                                                                   "table:number-rows-repeated=\"2\">"
            + row,
        styles));
    const PageSetup& p = book.sheets[0].page;
    QCOMPARE(p.rowBreaks, (QList<int>{10, 12, 13}));
    QCOMPARE(p.columnBreaks, QList<int>{2});
    const Workbook back = readXls(writeXls(book));
    QCOMPARE(back.sheets[0].page.rowBreaks, p.rowBreaks);
    QCOMPARE(back.sheets[0].page.columnBreaks, p.columnBreaks);
}

void TestPackages::passedOverIsReported_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("note"); // empty: nothing to report
    const QByteArray row = "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row></sheetData>";
    QTest::newRow("plain xlsx") << simpleXlsx(row) << "";
    QTest::newRow("zoom, carried") << simpleXlsx("<sheetViews><sheetView zoomScale=\"85\" workbookViewId=\"0\"/></sheetViews>" + row)
                                   << "";
    QTest::newRow("page setup, carried") << simpleXlsx(row + "<pageMargins left=\"1\" right=\"1\" top=\"1\" bottom=\"1\" "
                                                             "header=\"0\" footer=\"0\"/><pageSetup orientation=\"landscape\"/>")
                                         << "";
    QTest::newRow("first page header") << simpleXlsx(row + "<headerFooter differentFirst=\"1\"><firstHeader>&amp;C表紙</firstHeader>"
                                                           "</headerFooter>")
                                       << "先頭ページのヘッダー";
    QTest::newRow("error value")
        << simpleXlsx("<sheetData><row r=\"1\"><c r=\"A1\" t=\"e\"><v>#DIV/0!</v></c></row></sheetData>") << "エラー値のセル";
    QTest::newRow("wrapped text")
        << xlsxPackage({workbookPart({QStringLiteral("S")}), worksheetPart(row), {}, {}, stylesPart("<cellXfs count=\"1\"><xf><alignment wrapText=\"1\"/></xf></cellXfs>")})
        << "折り返し";
    QTest::newRow("plain ods") << simpleOds("<table:table-row><table:table-cell office:value-type=\"float\" "
                                            "office:value=\"1\"/></table:table-row>")
                               << "";
    // merges, hidden rows and number formats are read; a number format with
    // no Excel counterpart is not
    QTest::newRow("ods merge") << simpleOds("<table:table-row><table:table-cell table:number-columns-spanned=\"2\"/>"
                                            "<table:covered-table-cell/></table:table-row>")
                               << "";
    QTest::newRow("ods merge past the grid")
        << simpleOds("<table:table-row><table:table-cell table:number-columns-repeated=\"255\"/>"
                     "<table:table-cell table:number-columns-spanned=\"2\"/><table:covered-table-cell/></table:table-row>")
        << "範囲の外にかかる結合セル 1 個";
    QTest::newRow("ods number format")
        << simpleOds("<table:table-row><table:table-cell table:style-name=\"ce1\" office:value-type=\"float\" "
                     "office:value=\"1\"/></table:table-row>",
                     "<number:number-style style:name=\"N2\"><number:number number:decimal-places=\"2\"/>"
                     "</number:number-style><style:style style:name=\"ce1\" style:family=\"table-cell\" "
                     "style:data-style-name=\"N2\"/>")
        << "";
    QTest::newRow("ods quarter format")
        << simpleOds("<table:table-row><table:table-cell table:style-name=\"ce1\" office:value-type=\"float\" "
                     "office:value=\"1\"/></table:table-row>",
                     "<number:date-style style:name=\"N2\"><number:quarter/></number:date-style>"
                     "<style:style style:name=\"ce1\" style:family=\"table-cell\" style:data-style-name=\"N2\"/>")
        << "数値の表示形式の一部";
    // as Gnumeric gives its default column width and row height
    QTest::newRow("ods default column style")
        << odsPackage(odsContent("<table:table table:name=\"S\"><table:table-row><table:table-cell "
                                 "office:value-type=\"float\" office:value=\"1\"/></table:table-row></table:table>"),
                      odsStyles("<office:styles><style:default-style style:family=\"table-column\">"
                                "<style:table-column-properties style:column-width=\"60.75pt\"/></style:default-style>"
                                "<style:default-style style:family=\"table-row\"><style:table-row-properties "
                                "style:row-height=\"13.5pt\"/></style:default-style></office:styles>"))
        << "";
    QTest::newRow("ods hidden row")
        << simpleOds("<table:table-row table:visibility=\"collapse\"><table:table-cell/></table:table-row>") << "";
    QTest::newRow("ods text result")
        << simpleOds("<table:table-row><table:table-cell table:formula=\"of:=&quot;a&quot;\" office:value-type=\"string\">"
                     "<text:p>a</text:p></table:table-cell></table:table-row>")
        << "";
}

void TestPackages::passedOverIsReported()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, note);
    const Workbook book = readWorkbook(bytes);
    const QString message = leftOutMessage(book);
    if (note.isEmpty())
        QVERIFY2(book.leftOut.isEmpty(), qPrintable(message));
    else
        QVERIFY2(message.contains(note), qPrintable(message));
}

void TestPackages::largeSheetIsReported()
{
    // more rows than an .xls sheet has, a cell past its last column, and a
    // merged area that reaches beyond it
    constexpr int rows = 100000;
    QByteArray data = "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"IW1\"><v>2</v></c></row>";
    for (int r = 2; r <= rows; ++r)
        data += "<row r=\"" + QByteArray::number(r) + "\"><c r=\"A" + QByteArray::number(r) + "\"><v>" + QByteArray::number(r) + "</v></c></row>";
    data += "</sheetData><mergeCells count=\"1\"><mergeCell ref=\"A65536:B65537\"/></mergeCells>";
    const Workbook book = readWorkbook(xlsxPackage({workbookPart({QStringLiteral("大きい")}), worksheetPart(data)}, true));
    const Sheet& s = book.sheets[0];
    QCOMPARE(s.lastRow(), kMaxRows - 1);
    QCOMPARE(book.cellText(0, kMaxRows - 1, 0), QString::number(kMaxRows));
    QVERIFY(s.merged.isEmpty());
    const QString beyondRows = QLocale(QLocale::Japanese).toString(rows - kMaxRows);
    const QString message = leftOutMessage(book);
    QVERIFY2(message.contains(QStringLiteral("シート「大きい」の 65,536 行目より下のセル %1 個").arg(beyondRows)), qPrintable(message));
    QVERIFY(message.contains(QStringLiteral("より右のセル 1 個")));
    QVERIFY(message.contains(QStringLiteral("結合セル 1 個")));
    QCOMPARE(message.count(u'\n'), book.leftOut.size()); // one line each after the heading
    // what was kept is saved
    const Workbook back = readXls(writeXls(book));
    QCOMPARE(back.sheets[0].cellCount(), kMaxRows);
    QVERIFY(back.leftOut.isEmpty());
}

void TestPackages::bytesAfterThePackage_data()
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

void TestPackages::bytesAfterThePackage()
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

// A worksheet's view and printing in the terms a user sees.
QString printingOf(const Sheet& s)
{
    const PageSetup& p = s.page;
    auto margin = [](const std::optional<double>& m) { return m ? QString::number(*m) : QStringLiteral("-"); };
    QStringList breaks;
    for (int r : p.rowBreaks)
        breaks << QStringLiteral("r%1").arg(r);
    for (int c : p.columnBreaks)
        breaks << QStringLiteral("c%1").arg(c);
    return QStringLiteral("zoom %1 grid %2 headings %3 | %4 paper %5 scale %6 fit %7 %8x%9 first %10 order %11 | "
                          "margins %12 %13 %14 %15 %16 %17 | centre %18%19 print %20%21 | [%22] [%23] | %24")
        .arg(s.view.zoom)
        .arg(s.view.gridlines())
        .arg(s.view.headings())
        .arg(p.landscape() ? "landscape" : (p.options & 0x04) ? "unknown"
                                                              : "portrait")
        .arg(p.paperSize)
        .arg(p.scale)
        .arg(p.fitToPage)
        .arg(p.fitWidth)
        .arg(p.fitHeight)
        .arg((p.options & 0x80) ? p.pageStart : 0)
        .arg((p.options & 0x01) ? "across" : "down")
        .arg(margin(p.leftMargin), margin(p.rightMargin), margin(p.topMargin), margin(p.bottomMargin))
        .arg(p.headerMargin)
        .arg(p.footerMargin)
        .arg(p.hCenter)
        .arg(p.vCenter)
        .arg(p.printGridlines)
        .arg(p.printHeadings)
        .arg(p.header, p.footer, breaks.join(u' '));
}

void TestPackages::xlsxViewAndPrinting_data()
{
    QTest::addColumn<QByteArray>("inside"); // of the worksheet, around the cells
    QTest::addColumn<QString>("expected");
    const QString plain = QStringLiteral("zoom 100 grid 1 headings 1 | unknown paper 9 scale 100 fit 0 1x1 first 0 order down | "
                                         "margins - - - - 0.5 0.5 | centre 00 print 00 | [] [] | ");
    QTest::newRow("nothing said") << QByteArray() << plain;
    QTest::newRow("view")
        << QByteArray("<sheetViews><sheetView showGridLines=\"0\" showRowColHeaders=\"false\" zoomScale=\"85\" workbookViewId=\"0\"/>"
                      "<sheetView zoomScale=\"200\" workbookViewId=\"1\"/></sheetViews>")
        << QString(plain).replace(QStringLiteral("zoom 100 grid 1 headings 1"), QStringLiteral("zoom 85 grid 0 headings 0"));
    QTest::newRow("zoom out of range") << QByteArray("<sheetViews><sheetView zoomScale=\"5000\" workbookViewId=\"0\"/></sheetViews>")
                                       << QString(plain).replace(QStringLiteral("zoom 100"), QStringLiteral("zoom 400"));
    QTest::newRow("margins") << QByteArray("@<pageMargins left=\"0.25\" right=\"0.3\" top=\"1.2\" bottom=\"0.9\" header=\"0.1\" footer=\"0.2\"/>")
                             << QString(plain).replace(QStringLiteral("margins - - - - 0.5 0.5"),
                                                       QStringLiteral("margins 0.25 0.3 1.2 0.9 0.1 0.2"));
    QTest::newRow("paper and way")
        << QByteArray("@<pageSetup paperSize=\"12\" orientation=\"landscape\" scale=\"85\" pageOrder=\"overThenDown\" "
                      "useFirstPageNumber=\"1\" firstPageNumber=\"3\"/>")
        << QString(plain).replace(QStringLiteral("unknown paper 9 scale 100 fit 0 1x1 first 0 order down"),
                                  QStringLiteral("landscape paper 12 scale 85 fit 0 1x1 first 3 order across"));
    QTest::newRow("fit to pages")
        << QByteArray("<sheetPr><pageSetUpPr fitToPage=\"1\"/></sheetPr>@<pageSetup fitToWidth=\"1\" fitToHeight=\"0\"/>")
        << QString(plain).replace(QStringLiteral("unknown paper 9 scale 100 fit 0 1x1"), QStringLiteral("portrait paper 9 scale 100 fit 1 1x0"));
    QTest::newRow("centred, grid and headings printed")
        << QByteArray("@<printOptions horizontalCentered=\"1\" verticalCentered=\"true\" gridLines=\"1\" headings=\"1\"/>")
        << QString(plain).replace(QStringLiteral("centre 00 print 00"), QStringLiteral("centre 11 print 11"));
    QTest::newRow("header and footer")
        << QByteArray("@<headerFooter><oddHeader>&amp;L&amp;\"ＭＳ 明朝,太字\"家屋評価&amp;R&amp;D</oddHeader>"
                      "<oddFooter>&amp;C&amp;P / &amp;N</oddFooter></headerFooter>")
        << QString(); // the texts are compared as they stand
    QTest::newRow("page breaks")
        << QByteArray("@<rowBreaks count=\"2\" manualBreakCount=\"2\"><brk id=\"20\" max=\"16383\" man=\"1\"/><brk id=\"40\" man=\"1\"/>"
                      "</rowBreaks><colBreaks count=\"1\"><brk id=\"5\" man=\"1\"/><brk id=\"99999\"/></colBreaks>")
        << plain.left(plain.size() - 2) + QStringLiteral("| r20 r40 c5 c255");
}

void TestPackages::xlsxViewAndPrinting()
{
    QFETCH(QByteArray, inside);
    QFETCH(QString, expected);
    // "@" marks where the cells go: what follows them in the part
    const qsizetype at = inside.indexOf('@');
    const QByteArray before = at < 0 ? inside : inside.left(at), after = at < 0 ? QByteArray() : inside.mid(at + 1);
    const QByteArray cells = "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row></sheetData>";
    const Workbook book = readWorkbook(simpleXlsx(before + cells + after));
    const Sheet& s = book.sheets[0];
    if (QByteArray(QTest::currentDataTag()) == "header and footer") {
        QCOMPARE(s.page.header, QStringLiteral("&L&\"ＭＳ 明朝,太字\"家屋評価&R&D"));
        QCOMPARE(s.page.footer, QStringLiteral("&C&P / &N"));
        return;
    }
    QCOMPARE(printingOf(s), expected);
    // and an .xls keeps it
    QCOMPARE(printingOf(readXls(writeXls(book)).sheets[0]), expected);
}

void TestPackages::damagedPackages_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("notAWorkbook"); // else damaged
    QTest::addColumn<QString>("says");

    const QByteArray good = simpleXlsx("<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row></sheetData>", true);
    QTest::newRow("empty ZIP") << QByteArray("PK\x05\x06", 4) + QByteArray(18, 0) << false << "壊れています";
    QTest::newRow("ZIP head and junk") << QByteArray("PK\x03\x04") + QByteArray(100, 'x') << false << "目次がありません";
    QTest::newRow("other kind of package")
        << writeZip({{"mimetype", "application/vnd.oasis.opendocument.text"}, {"content.xml", "<a/>"}}) << true << "ではありません";
    QTest::newRow("package without sheets")
        << xlsxPackage({workbookPart({})}) << true << "ワークシートがありません";
    // a control character before the content: our checks passed it over, and
    // the reader went on to crash on a style of no known family
    QTest::newRow("content that is not XML")
        << odsPackage("  \x02" + odsContent("<table:table table:name=\"S\"/>", "<style:style style:name=\"ro1\" x:family=\"table-row\">"
                                                                               "<style:table-row-properties style:row-height=\"0.2in\"/></style:style>"))
        << false << "XML ではありません";
    QTest::newRow("part larger than the file") << patchDirectory(good, 0, 20, 0x7FFFFFF0) << false << "大きさ";
    QTest::newRow("part said to unpack to 4 GB") << patchDirectory(good, 0, 24, 0xFFFFFFF0) << false << "大きすぎる";
    QByteArray three = patchDirectory(good, 2, 24, quint32(kMaxPartSize));
    three = patchDirectory(patchDirectory(three, 3, 24, quint32(kMaxPartSize)), 4, 24, quint32(kMaxPartSize));
    QTest::newRow("parts that unpack to too much together") << three << false << "展開後の大きさ";
    QTest::newRow("deep nesting")
        << simpleXlsx("<sheetData>" + QByteArray("<x>").repeated(kMaxXmlDepth) + QByteArray("</x>").repeated(kMaxXmlDepth)
                      + "</sheetData>")
        << false << "入れ子の深さ";
    // entities that expand a thousandfold at each step
    QByteArray laughs = "<?xml version=\"1.0\"?><!DOCTYPE w [<!ENTITY a \"aaaaaaaaaa\">";
    for (char c = 'b'; c <= 'j'; ++c)
        laughs += QByteArray("<!ENTITY ") + c + " \"" + QByteArray("&").append(char(c - 1)).append(';').repeated(10) + "\">";
    laughs += "]><worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData><row "
              "r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>&j;</t></is></c></row></sheetData></worksheet>";
    QTest::newRow("entity expansion")
        << xlsxPackage({workbookPart({QStringLiteral("S")}), laughs}) << false << "壊れています";
    QTest::newRow("character past Unicode")
        << simpleXlsx("<sheetData><row r=\"1\"><c r=\"A1\" t=\"str\"><v>&#x110000;</v></c></row></sheetData>") << false << "壊れています";
    QTest::newRow("comment cut short") << simpleXlsx("<sheetData/><!--ab") << false << "壊れています";
    QTest::newRow("column past the grid")
        << simpleXlsx("<cols><col min=\"1\" max=\"2000000000\" width=\"9\"/></cols><sheetData/>") << false << "列の範囲";
    QTest::newRow("many column settings")
        << simpleXlsx("<cols>" + QByteArray("<col min=\"1\" max=\"16384\" width=\"9\"/>").repeated(100) + "</cols><sheetData/>")
        << false << "列の設定";
    QTest::newRow("array formula over the whole grid")
        << simpleXlsx("<sheetData><row r=\"1\"><c r=\"A1\"><f t=\"array\" ref=\"A1:XFD1048576\">1</f><v>1</v></c></row></sheetData>")
        << false << "配列数式";
    QTest::newRow("cell reference past the grid")
        << simpleXlsx("<sheetData><row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row></sheetData>") << false << "壊れています";
    QTest::newRow("ods cells repeated past the grid")
        << simpleOds("<table:table-row><table:table-cell table:number-columns-repeated=\"2000000000\"/></table:table-row>")
        << false << "セルの繰り返し";
    QTest::newRow("ods cells repeated too often")
        << simpleOds(("<table:table-row>" + QByteArray("<table:table-cell table:number-columns-repeated=\"16384\"/>").repeated(200)
                      + "</table:table-row>")
                         .repeated(100))
        << false << "セル数";
    QTest::newRow("ods rows repeated past the grid")
        << simpleOds("<table:table-row table:number-rows-repeated=\"99999999999\"><table:table-cell/></table:table-row>")
        << false << "行の繰り返し";
    QTest::newRow("ods column properties in a cell style")
        << simpleOds("", "<style:style style:name=\"ce1\" style:family=\"table-cell\"><style:table-column-properties "
                         "style:column-width=\"1in\"/></style:style>")
        << false << "スタイルの種類";
    QTest::newRow("ods column properties in the default cell style")
        << simpleOds("", "<style:default-style style:family=\"table-cell\"><style:table-column-properties "
                         "style:column-width=\"1in\"/></style:default-style>")
        << false << "スタイルの種類";
    QTest::newRow("ods column of a cell style")
        << simpleOds("<table:table-column table:style-name=\"co1\"/>",
                     "<style:style style:name=\"co1\" style:family=\"table-cell\"/>"
                     "<style:style style:name=\"co1\" style:family=\"table-column\"/>")
        << false << "列のスタイル";
}

void TestPackages::damagedPackages()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, notAWorkbook);
    QFETCH(QString, says);
    try {
        readWorkbook(bytes);
        QFAIL("read without an error");
    } catch (const ENotAWorkbook& e) {
        QVERIFY2(notAWorkbook, qPrintable(e.message()));
        QVERIFY2(e.message().contains(says), qPrintable(e.message()));
    } catch (const ESheetError& e) {
        QVERIFY2(!notAWorkbook, qPrintable(e.message()));
        QVERIFY2(e.message().contains(says), qPrintable(e.message()));
    }
}

void TestPackages::everyTruncationFailsCleanly_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("xlsx") << "detail.xlsx";
    QTest::newRow("ods") << "detail.ods";
}

void TestPackages::everyTruncationFailsCleanly()
{
    // cut short, or with bytes changed, a package reads or fails with an error of ours
    QFETCH(QString, name);
    const QByteArray file = fixture(name.toLatin1().constData());
    for (qsizetype n = 4; n < file.size(); n += 11) {
        try {
            readWorkbook(file.left(n));
        } catch (const ESheetError&) {
        }
    }
    QRandomGenerator random(1234);
    for (int i = 0; i < 300; ++i) {
        QByteArray damaged = file;
        for (int j = 0; j < 4; ++j)
            damaged[random.bounded(int(damaged.size()))] = char(random.bounded(256));
        try {
            readWorkbook(damaged);
        } catch (const ESheetError&) {
        }
    }
}

void TestPackages::engineLoadsPackages()
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

void TestPackages::toolConvertsPackages_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("xlsx") << "detail.xlsx";
    QTest::newRow("ods") << "detail.ods";
}

void TestPackages::toolConvertsPackages()
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

void TestPackages::officeReadsConverted()
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

QObject* makeTestPackages() { return new TestPackages; }

#include "test_packages.moc"
