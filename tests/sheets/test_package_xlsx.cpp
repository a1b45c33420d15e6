// .xlsx packages as Excel and others write them: formulas, date systems,
// views and printing, sheets larger than .xls holds, and what is passed over.
#include "PackageChecks.h"
#include "PackageSamples.h"

#include "sheets/book/WorkbookFile.h"
#include "sheets/container/ZipWriter.h"
#include "sheets/formula/Formulas.h"
#include "sheets/model/CellReference.h"
#include "sheets/xls/XlsFile.h"

#include <QLocale>
#include <QtTest>

using namespace tegaro;
using namespace tegaro::sheets;
using namespace tegaro::sheets::testing;

namespace {

QString cellAt(const Workbook& book, int sheet, const QString& ref)
{
    const auto cell = parseCell(ref);
    return cell ? book.cellText(sheet, cell->row, cell->col) : QString();
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

// The parts of a two-sheet workbook as Excel lays them out, changed the
// way other writers lay them out.
QList<ZipPart> twoSheetParts(const QString& layout)
{
    const QByteArray main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    const QByteArray rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    const QByteArray pkg = "http://schemas.openxmlformats.org/package/2006/relationships";
    QByteArray mainType = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";
    QByteArray book = "xl/workbook.xml", bookRels = "xl/_rels/workbook.xml.rels", bookTarget = "xl/workbook.xml";
    QByteArray sheet1 = "worksheets/sheet1.xml", sheet2 = "worksheets/sheet2.xml", strings = "sharedStrings.xml";
    QByteArray stringsPart = "xl/sharedStrings.xml", ids = "1 2";
    if (layout == u"macro-enabled")
        mainType = "application/vnd.ms-excel.sheet.macroEnabled.main+xml";
    if (layout == u"workbook elsewhere") {
        book = "book/main.xml";
        bookRels = "book/_rels/main.xml.rels";
        bookTarget = "/book/main.xml";
        sheet1 = "../xl/worksheets/sheet1.xml";
        sheet2 = "../xl/worksheets/sheet2.xml";
        strings = "../xl/sharedStrings.xml";
    }
    if (layout == u"absolute targets") {
        sheet1 = "/xl/worksheets/sheet1.xml";
        sheet2 = "/xl/worksheets/sheet2.xml";
        strings = "/xl/sharedStrings.xml";
    }
    if (layout == u"other capitals")
        stringsPart = "xl/SharedStrings.xml";
    if (layout == u"sheet ids out of order")
        ids = "3 1";
    const QList<QByteArray> id = ids.split(' ');
    auto rels = [&](const QList<std::pair<QByteArray, QByteArray>>& list) {
        QByteArray out = "<?xml version=\"1.0\"?><Relationships xmlns=\"" + pkg + "\">";
        int n = 0;
        for (const auto& [type, target] : list)
            out += "<Relationship Id=\"rId" + QByteArray::number(++n) + "\" Type=\"" + rel + '/' + type + "\" Target=\""
                + target + "\"/>";
        return out + "</Relationships>";
    };
    QList<ZipPart> parts = {
        {"[Content_Types].xml",
         "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
         "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
         "<Default Extension=\"xml\" ContentType=\"application/xml\"/><Override PartName=\"/"
             + book + "\" ContentType=\"" + mainType + "\"/></Types>"},
        {"_rels/.rels", rels({{"officeDocument", bookTarget}})},
        {book, "<?xml version=\"1.0\"?><workbook xmlns=\"" + main + "\" xmlns:r=\"" + rel + "\"><sheets><sheet name=\"一\" "
                                                                                            "sheetId=\""
             + id[0] + "\" r:id=\"rId1\"/><sheet name=\"二\" sheetId=\"" + id[1] + "\" r:id=\"rId2\"/></sheets></workbook>"},
        {bookRels, rels({{"worksheet", sheet1}, {"worksheet", sheet2}, {"sharedStrings", strings}})},
        {"xl/worksheets/sheet1.xml", worksheetPart("<sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c>"
                                                   "<c r=\"B1\"><f>二!A1*2</f><v>42</v></c></row></sheetData>")},
        {"xl/worksheets/sheet2.xml", worksheetPart("<sheetData><row r=\"1\"><c r=\"A1\"><v>21</v></c>"
                                                   "<c r=\"B1\"><f>A1+1</f><v>22</v></c></row></sheetData>")},
        {stringsPart, sharedStringsPart("<si><t>一枚目</t></si>")},
    };
    if (layout == u"macro-enabled")
        parts << ZipPart{"xl/vbaProject.bin", QByteArray("\xD0\xCF\x11\xE0", 4)};
    if (layout == u"empty part")
        parts << ZipPart{"customXml/item1.xml", {}};
    if (layout == u"part nobody reads not UTF-8")
        parts << ZipPart{"docProps/custom.xml", "<?xml version=\"1.0\"?><Properties>Caf\xE9</Properties>"};
    if (layout == u"sheet relationship of a misspelt type")
        parts[3].data.replace("relationships/worksheet\" Target=\"" + sheet1, "relationships/owrksheet\" Target=\"" + sheet1);
    if (layout == u"strict") {
        for (ZipPart& p : parts) {
            p.data.replace(main, "http://purl.oclc.org/ooxml/spreadsheetml/main");
            p.data.replace(rel, "http://purl.oclc.org/ooxml/officeDocument/relationships");
        }
    }
    return parts;
}

} // namespace

class TestXlsxPackages : public QObject {
    Q_OBJECT
private slots:
    void cellsAsWritten_data();
    void cellsAsWritten();
    void resultsNotWorkedOutAreTold();
    void fontsAsStyled_data();
    void fontsAsStyled();
    void packageLayouts_data();
    void packageLayouts();
    void packageFormulasCompile_data();
    void packageFormulasCompile();
    void excelPackage();
    void dateSystems_data();
    void dateSystems();
    void xlsxViewAndPrinting_data();
    void xlsxViewAndPrinting();
    void passedOverIsReported_data();
    void passedOverIsReported();
    void largeSheetIsReported();
};

void TestXlsxPackages::cellsAsWritten_data()
{
    QTest::addColumn<QByteArray>("cells"); // of row 1, A1 first
    QTest::addColumn<QString>("shown");    // in A1
    QTest::newRow("text in the cell") << QByteArray("<c r=\"A1\" t=\"inlineStr\"><is><t>家屋 &amp; 土地</t></is></c>")
                                      << "家屋 & 土地";
    QTest::newRow("runs in the cell")
        << QByteArray("<c r=\"A1\" t=\"inlineStr\"><is><r><t>評</t></r><r><rPr><b/></rPr><t>点</t></r>"
                      "<rPh sb=\"0\" eb=\"1\"><t>ヒョウ</t></rPh></is></c>")
        << "評点";
    QTest::newRow("error value") << QByteArray("<c r=\"A1\" t=\"e\"><v>#N/A</v></c>") << "#N/A";
    QTest::newRow("error result") << QByteArray("<c r=\"A1\" t=\"e\"><f>1/0</f><v>#DIV/0!</v></c>") << "#DIV/0!";
    QTest::newRow("truth result") << QByteArray("<c r=\"A1\" t=\"b\"><f>1=1</f><v>1</v></c>") << "TRUE";
    QTest::newRow("no string index") << QByteArray("<c r=\"A1\" t=\"s\"><v/></c>") << "";
    QTest::newRow("empty shared string") << QByteArray("<c r=\"A1\" t=\"s\"><v>1</v></c>") << "";
    QTest::newRow("escaped character") << QByteArray("<c r=\"A1\" t=\"s\"><v>2</v></c>") << "二\r行";
    QTest::newRow("plain text before runs") << QByteArray("<c r=\"A1\" t=\"s\"><v>3</v></c>") << "普通太字";
    QTest::newRow("escaped character before runs") << QByteArray("<c r=\"A1\" t=\"s\"><v>4</v></c>") << "_\r太字";
    // a formula's text result whose formula is left out shows as the text it is
    QTest::newRow("formula text without its formula") << QByteArray("<c r=\"A1\" t=\"str\"><v>家屋</v></c>") << "家屋";
    // what looks like a character reference but is none
    QTest::newRow("reference in CDATA and a comment")
        << QByteArray("<c r=\"A1\" t=\"inlineStr\"><is><t><![CDATA[&#-5;]]></t></is></c><!-- &#x110000; -->") << "&#-5;";
    // scripts save formulas without results: they are worked out on loading
    QTest::newRow("formula without result") << QByteArray("<c r=\"A1\"><f>2+3</f></c>") << "5";
    QTest::newRow("formulas without results in a chain")
        << QByteArray("<c r=\"A1\"><f>B1*2</f><v></v></c><c r=\"B1\"><f>1+2</f></c>") << "6";
}

void TestXlsxPackages::cellsAsWritten()
{
    QFETCH(QByteArray, cells);
    QFETCH(QString, shown);
    const QByteArray strings = sharedStringsPart("<si><t>零</t></si><si><t/></si><si><t>二_x000D_行</t></si>"
                                                 "<si><t>普通</t><r><rPr><b/></rPr><t>太字</t></r></si>"
                                                 "<si><t>_x005F__x000D_</t><r><rPr><b/></rPr><t>太字</t></r></si>");
    const Workbook book = readWorkbook(xlsxPackage(
        {workbookPart({QStringLiteral("S")}), worksheetPart("<sheetData><row r=\"1\">" + cells + "</row></sheetData>"), {}, strings}));
    QCOMPARE(book.cellText(0, 0, 0), shown);
    QVERIFY2(book.leftOut.isEmpty(), qPrintable(leftOutMessage(book)));
    if (QByteArray(QTest::currentDataTag()).contains("before runs")) {
        // the plain text keeps the standard font, the run its own, from
        // where it starts in the text as shown
        const QList<RichRun> runs = book.sheets[0].cell(0, 0)->runs;
        QCOMPARE(runs.size(), 2);
        QCOMPARE(runs[1].first, 2);
        QVERIFY(!book.font(runs[0].font).bold());
        QVERIFY(book.font(runs[1].font).bold());
    }
    QCOMPARE(readXls(writeXls(book)).cellText(0, 0, 0), shown);
}

void TestXlsxPackages::fontsAsStyled_data()
{
    QTest::addColumn<QByteArray>("font"); // inside <font>
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italic");
    QTest::addColumn<bool>("strike");
    QTest::addColumn<int>("underline");
    QTest::newRow("bold") << QByteArray("<b/>") << true << false << false << 0;
    QTest::newRow("bold turned off") << QByteArray("<b val=\"0\"/><i val=\"false\"/>") << false << false << false << 0;
    QTest::newRow("italic and struck") << QByteArray("<i val=\"1\"/><strike/>") << false << true << true << 0;
    QTest::newRow("struck turned off") << QByteArray("<strike val=\"0\"/>") << false << false << false << 0;
    // an underline without a kind is a single one
    QTest::newRow("underline") << QByteArray("<u/>") << false << false << false << int(Font::kSingle);
    QTest::newRow("double underline") << QByteArray("<u val=\"double\"/>") << false << false << false << int(Font::kDouble);
    QTest::newRow("no underline") << QByteArray("<u val=\"none\"/>") << false << false << false << 0;
}

void TestXlsxPackages::fontsAsStyled()
{
    QFETCH(QByteArray, font);
    QFETCH(bool, bold);
    QFETCH(bool, italic);
    QFETCH(bool, strike);
    QFETCH(int, underline);
    const QByteArray styles = stylesPart("<fonts count=\"2\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font><font>" + font
                                         + "<sz val=\"11\"/><name val=\"Calibri\"/></font></fonts>"
                                           "<fills count=\"1\"><fill><patternFill patternType=\"none\"/></fill></fills>"
                                           "<borders count=\"1\"><border/></borders>"
                                           "<cellXfs count=\"2\"><xf fontId=\"0\"/><xf fontId=\"1\"/></cellXfs>");
    const Workbook book = readWorkbook(xlsxPackage(
        {workbookPart({QStringLiteral("S")}), worksheetPart("<sheetData><row r=\"1\"><c r=\"A1\" s=\"1\"><v>1</v></c></row></sheetData>"), {}, {}, styles}));
    const Font& f = book.font(book.format(book.sheets[0].cell(0, 0)->xf).font);
    QCOMPARE(f.bold(), bold);
    QCOMPARE(bool(f.options & Font::kItalic), italic);
    QCOMPARE(f.strike(), strike);
    QCOMPARE(int(f.underline), underline);
}

// A formula saved without its result that the engine cannot work out
// either shows no made-up value, and the message after loading counts it.
void TestXlsxPackages::resultsNotWorkedOutAreTold()
{
    const Workbook book = readWorkbook(xlsxPackage(
        {workbookPart({QStringLiteral("S")}),
         worksheetPart("<sheetData><row r=\"1\"><c r=\"A1\"><f>INFO(\"osversion\")</f></c><c r=\"B1\"><f>1/0</f></c>"
                       "<c r=\"C1\"><f>2*3</f></c></row></sheetData>")}));
    QVERIFY(!book.cellText(0, 0, 0).contains(QStringLiteral("nan"), Qt::CaseInsensitive));
    QCOMPARE(book.cellText(0, 0, 1), QStringLiteral("#DIV/0!"));
    QCOMPARE(book.cellText(0, 0, 2), QStringLiteral("6"));
    QVERIFY2(leftOutMessage(book).contains(QStringLiteral("計算もできなかった数式 1 個")), qPrintable(leftOutMessage(book)));
}

void TestXlsxPackages::packageLayouts_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QString>("note"); // in the message after loading
    QTest::newRow("as Excel writes") << "as Excel writes"
                                     << "";
    QTest::newRow("macro-enabled") << "macro-enabled"
                                   << "マクロ";
    QTest::newRow("workbook elsewhere") << "workbook elsewhere"
                                        << "";
    QTest::newRow("absolute targets") << "absolute targets"
                                      << "";
    QTest::newRow("other capitals") << "other capitals"
                                    << "";
    QTest::newRow("sheet ids out of order") << "sheet ids out of order"
                                            << "";
    QTest::newRow("strict") << "strict"
                            << "";
    QTest::newRow("empty part") << "empty part"
                                << "";
    // what is never read may be in another encoding
    QTest::newRow("part nobody reads not UTF-8") << "part nobody reads not UTF-8"
                                                 << "";
    // the sheet names its part by the relationship's id
    QTest::newRow("sheet relationship of a misspelt type") << "sheet relationship of a misspelt type"
                                                           << "";
}

void TestXlsxPackages::packageLayouts()
{
    // every way of laying out the parts reads as the same two sheets, with
    // each formula on its own sheet
    QFETCH(QString, layout);
    QFETCH(QString, note);
    const Workbook book = readWorkbook(writeZip(twoSheetParts(layout)));
    QCOMPARE(book.sheets.size(), 2);
    QCOMPARE(book.sheets[0].name, QStringLiteral("一"));
    QCOMPARE(book.cellText(0, 0, 0), QStringLiteral("一枚目"));
    QCOMPARE(formulaText(book, 0, 0, 1), QStringLiteral("=二!A1*2"));
    QCOMPARE(book.cellText(0, 0, 1), QStringLiteral("42"));
    QCOMPARE(book.cellText(1, 0, 0), QStringLiteral("21"));
    QCOMPARE(formulaText(book, 1, 0, 1), QStringLiteral("=A1+1"));
    QCOMPARE(book.cellText(1, 0, 1), QStringLiteral("22"));
    const QString message = leftOutMessage(book);
    if (note.isEmpty())
        QVERIFY2(book.leftOut.isEmpty(), qPrintable(message));
    else
        QVERIFY2(message.contains(note), qPrintable(message));
}

void TestXlsxPackages::packageFormulasCompile_data()
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

void TestXlsxPackages::packageFormulasCompile()
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

void TestXlsxPackages::excelPackage()
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

void TestXlsxPackages::dateSystems_data()
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

void TestXlsxPackages::dateSystems()
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

void TestXlsxPackages::xlsxViewAndPrinting_data()
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

void TestXlsxPackages::xlsxViewAndPrinting()
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

void TestXlsxPackages::passedOverIsReported_data()
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
        << simpleXlsx("<sheetData><row r=\"1\"><c r=\"A1\" t=\"e\"><v>#DIV/0!</v></c></row></sheetData>") << "";
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

void TestXlsxPackages::passedOverIsReported()
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

void TestXlsxPackages::largeSheetIsReported()
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

QObject* makeTestXlsxPackages() { return new TestXlsxPackages; }

#include "test_package_xlsx.moc"
