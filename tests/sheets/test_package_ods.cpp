// What .ods packages carry beyond cells: repeats, merges, number formats,
// formula results, views, page setup, print ranges and page breaks.
#include "PackageChecks.h"
#include "PackageSamples.h"

#include "sheets/book/WorkbookFile.h"
#include "sheets/container/ZipWriter.h"
#include "sheets/formula/Formulas.h"
#include "sheets/model/CellReference.h"
#include "sheets/model/SheetErrors.h"
#include "sheets/xls/XlsFile.h"

#include <QtTest>

using namespace tegaro;
using namespace tegaro::sheets;
using namespace tegaro::sheets::testing;

namespace {

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

class TestOdsPackages : public QObject {
    Q_OBJECT
private slots:
    void odsValuesKept();
    void odsRepeatedColumns();
    void odsMergesAndHiddenAgree();
    void odsNumberFormats_data();
    void odsNumberFormats();
    void odsCellValues_data();
    void odsCellValues();
    void odsEmptyPart();
    void odsCoveredCells_data();
    void odsCoveredCells();
    void odsRepeatedResults();
    void odsView_data();
    void odsView();
    void odsPageSetup_data();
    void odsPageSetup();
    void odsPrintRanges();
    void odsPageBreaks();
    void odsStandardFont();
    void odsHiddenSheetsAndNames();
    void odsRowsRepeatedToTheEnd();
};

void TestOdsPackages::odsValuesKept()
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

void TestOdsPackages::odsRepeatedColumns()
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

void TestOdsPackages::odsMergesAndHiddenAgree()
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

void TestOdsPackages::odsNumberFormats_data()
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

void TestOdsPackages::odsNumberFormats()
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

void TestOdsPackages::odsCellValues_data()
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
        << true << true << text << "一行\n二   行\t末"
        << "一行\n二   行\t末";
    QTest::newRow("empty paragraph between")
        << QByteArray("office:value-type=\"string\"><text:p>一</text:p><text:p/><text:p>三<text:line-break/>四</text:p>")
        << true << true << text << "一\n\n三\n四"
        << "一\n\n三\n四";
    // every text with & < " ' as LibreOffice saves it
    QTest::newRow("references")
        << QByteArray("office:value-type=\"string\"><text:p>say &quot;hi&quot; &amp; &lt;b&gt; &apos;x&apos; &#65;&#x42;"
                      "]]&gt;</text:p>")
        << true << true << text << "say \"hi\" & <b> 'x' AB]]>"
        << "say \"hi\" & <b> 'x' AB]]>";
    QTest::newRow("references in a run")
        << QByteArray("office:value-type=\"string\"><text:p>a<text:span text:style-name=\"T1\">&amp;b</text:span>"
                      "&lt;</text:p>")
        << true << true << text << "a&b<"
        << "a&b<";
    QTest::newRow("a comment is not the text")
        << QByteArray("office:value-type=\"string\"><office:annotation><text:p>メモ</text:p></office:annotation>"
                      "<text:p>本文</text:p>")
        << true << true << text << "本文"
        << "本文";
    QTest::newRow("a comment after the text")
        << QByteArray("office:value-type=\"string\"><text:p>本文</text:p><office:annotation><text:p>メモ &amp;</text:p>"
                      "</office:annotation>")
        << true << true << text << "本文"
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

void TestOdsPackages::odsCellValues()
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
        if (kind == int(CellKind::Empty)) {
            // a formula without a result that reads is worked out on loading
            QCOMPARE(s.cell(0, 0)->result, CellKind::Number);
            QCOMPARE(book.cellText(0, 0, 0), QStringLiteral("1"));
        } else {
            QCOMPARE(int(s.cell(0, 0)->result), kind);
            QCOMPARE(book.cellText(0, 0, 0), shown);
            QCOMPARE(valueOf(s.cell(0, 0)), value);
        }
    }
    if (plain) {
        QCOMPARE(s.cell(0, 1) ? int(s.cell(0, 1)->kind) : int(CellKind::Empty), kind);
        QCOMPARE(book.cellText(0, 0, 1), shown);
    }
    QVERIFY2(book.leftOut.isEmpty() || book.leftOut == QStringList{QStringLiteral("コメント")},
             qPrintable(book.leftOut.join(u'\n')));
    // an .xls keeps what shows
    const Workbook back = readXls(writeXls(book));
    QCOMPARE(back.cellText(0, 0, 0), book.cellText(0, 0, 0));
    QCOMPARE(back.cellText(0, 0, 1), book.cellText(0, 0, 1));
}

void TestOdsPackages::odsEmptyPart()
{
    // LibreOffice leaves Configurations2/accelerator/current.xml empty
    const Workbook book = readWorkbook(writeZip(
        {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
         {"content.xml", odsContent("<table:table table:name=\"S\"><table:table-row><table:table-cell "
                                    "office:value-type=\"float\" office:value=\"5\"/></table:table-row></table:table>")},
         {"Configurations2/accelerator/current.xml", {}}}));
    QCOMPARE(book.cellText(0, 0, 0), QStringLiteral("5"));
    QVERIFY(book.leftOut.isEmpty());
}

void TestOdsPackages::odsCoveredCells_data()
{
    QTest::addColumn<QByteArray>("row");
    QTest::addColumn<QString>("cells"); // the texts of A1 to E1
    const QByteArray a = "<table:table-cell office:value-type=\"string\" table:number-columns-spanned=\"";
    QTest::newRow("one covered") << QByteArray(a + "2\"><text:p>A</text:p></table:table-cell><table:covered-table-cell/>"
                                                   "<table:table-cell office:value-type=\"float\" office:value=\"3\"/>")
                                 << "A||3||";
    QTest::newRow("repeated covered")
        << QByteArray(a + "3\"><text:p>A</text:p></table:table-cell><table:covered-table-cell "
                          "table:number-columns-repeated=\"2\"/><table:table-cell office:value-type=\"string\">"
                          "<text:p>D</text:p></table:table-cell>")
        << "A|||D|";
    // LibreOffice keeps what a covered cell held
    QTest::newRow("covered with a value")
        << QByteArray(a + "2\"><text:p>A</text:p></table:table-cell><table:covered-table-cell office:value-type=\"float\" "
                          "office:value=\"9\"><text:p>9</text:p></table:covered-table-cell>"
                          "<table:table-cell office:value-type=\"string\"><text:p>C</text:p></table:table-cell>")
        << "A|9|C||";
    QTest::newRow("merged down")
        << QByteArray("<table:table-cell/><table:covered-table-cell/><table:table-cell office:value-type=\"string\">"
                      "<text:p>C</text:p></table:table-cell>")
        << "||C||";
}

void TestOdsPackages::odsCoveredCells()
{
    // a covered cell is a column of its row: the cells after it stay in place
    QFETCH(QByteArray, row);
    QFETCH(QString, cells);
    const Workbook book = readWorkbook(simpleOds("<table:table-row>" + row + "</table:table-row>"));
    QStringList shown;
    for (int col = 0; col < 5; ++col)
        shown << book.cellText(0, 0, col);
    QCOMPARE(shown.join(u'|'), cells);
}

void TestOdsPackages::odsRepeatedResults()
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

void TestOdsPackages::odsView_data()
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

void TestOdsPackages::odsView()
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

void TestOdsPackages::odsPageSetup_data()
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

void TestOdsPackages::odsPageSetup()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, page);
    const Workbook book = readWorkbook(bytes);
    QCOMPARE(pageOf(book, 0), page);
    QVERIFY2(book.leftOut.isEmpty(), qPrintable(book.leftOut.join(u'\n')));
    // and an .xls made of it prints the same
    QCOMPARE(pageOf(readXls(writeXls(book)), 0), page);
}

void TestOdsPackages::odsPrintRanges()
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

void TestOdsPackages::odsPageBreaks()
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

void TestOdsPackages::odsStandardFont()
{
    // Cells without a style of their own show in the "Default" cell style,
    // which overrides the default properties: its font is the workbook's
    // standard font, the one column widths count in.
    const QByteArray styles = odsStyles(
        "<office:styles><style:default-style style:family=\"table-cell\"><style:text-properties "
        "style:font-name=\"DejaVu Sans\" fo:font-size=\"10pt\"/></style:default-style>"
        "<style:style style:name=\"Default\" style:family=\"table-cell\"><style:text-properties "
        "style:font-name=\"Calibri\" fo:font-size=\"11pt\"/></style:style>"
        "<style:style style:name=\"Heading\" style:family=\"table-cell\" style:parent-style-name=\"Default\">"
        "<style:text-properties fo:font-weight=\"bold\"/></style:style></office:styles>");
    const QByteArray content = odsContent(
        "<table:table table:name=\"S\"><table:table-row><table:table-cell office:value-type=\"float\" office:value=\"1\"/>"
        "<table:table-cell table:style-name=\"ce1\" office:value-type=\"float\" office:value=\"2\"/></table:table-row>"
        "</table:table>",
        "<style:style style:name=\"ce1\" style:family=\"table-cell\" style:parent-style-name=\"Heading\">"
        "<style:text-properties fo:font-size=\"14pt\"/></style:style>");
    const Workbook book = readWorkbook(odsPackage(content, styles));
    QCOMPARE(book.fonts[0].name, QStringLiteral("Calibri"));
    QCOMPARE(book.fonts[0].height, 220);
    QCOMPARE(book.fonts[book.format(book.sheets[0].cell(0, 0)->xf).font].name, QStringLiteral("Calibri"));
    // through its parents: Calibri from Default, bold from Heading, 14 points of its own
    const Font& own = book.fonts[book.format(book.sheets[0].cell(0, 1)->xf).font];
    QCOMPARE(own.name, QStringLiteral("Calibri"));
    QVERIFY(own.bold());
    QCOMPARE(own.height, 280);
}

void TestOdsPackages::odsHiddenSheetsAndNames()
{
    // a table its style does not display is a hidden sheet; a named
    // expression is a formula in the OpenDocument grammar
    const QByteArray content = odsContent(
        "<table:table table:name=\"S\"><table:table-row><table:table-cell office:value-type=\"float\" "
        "office:value=\"4\"/></table:table-row></table:table>"
        "<table:table table:name=\"H\" table:style-name=\"ta2\"><table:table-row><table:table-cell "
        "office:value-type=\"float\" office:value=\"5\"/></table:table-row></table:table>"
        "<table:named-expressions><table:named-expression table:name=\"Twice\" table:expression=\"of:=[$S.$A$1]*2\"/>"
        "<table:named-range table:name=\"Rate\" table:cell-range-address=\"$H.$A$1\"/></table:named-expressions>",
        "<style:style style:name=\"ta2\" style:family=\"table\"><style:table-properties table:display=\"false\"/>"
        "</style:style>");
    Workbook book = readWorkbook(odsPackage(content));
    QCOMPARE(book.sheets[0].visibility, 0);
    QCOMPARE(book.sheets[1].visibility, 1);
    QCOMPARE(book.names.size(), 2);
    QCOMPARE(book.names[0].source, QStringLiteral("S!$A$1*2"));
    QCOMPARE(book.names[1].source, QStringLiteral("H!$A$1"));
    for (const DefinedName& n : book.names)
        QVERIFY2(!n.tokens.isEmpty(), qPrintable(n.name));
    QVERIFY2(book.leftOut.isEmpty(), qPrintable(book.leftOut.join(u'\n')));
    const Workbook back = readXls(writeXls(book));
    QCOMPARE(back.sheets[1].visibility, 1);
}

void TestOdsPackages::odsRowsRepeatedToTheEnd()
{
    // LibreOffice ends every table with a row that stands for the rest of
    // the sheet: it costs no rows and no cells, whatever its count
    const QByteArray content = odsContent(
        "<table:table table:name=\"S\"><table:table-row table:style-name=\"ro2\"><table:table-cell "
        "office:value-type=\"float\" office:value=\"1\"/><table:table-cell table:number-columns-repeated=\"16383\"/>"
        "</table:table-row><table:table-row table:style-name=\"ro1\" table:number-rows-repeated=\"1048575\">"
        "<table:table-cell table:number-columns-repeated=\"16384\"/></table:table-row></table:table>",
        "<style:style style:name=\"ro1\" style:family=\"table-row\"><style:table-row-properties "
        "style:row-height=\"0.178in\" style:use-optimal-row-height=\"true\"/></style:style>"
        "<style:style style:name=\"ro2\" style:family=\"table-row\"><style:table-row-properties "
        "style:row-height=\"0.5in\" style:use-optimal-row-height=\"false\"/></style:style>");
    const Workbook book = readWorkbook(odsPackage(content));
    const Sheet& s = book.sheets[0];
    QCOMPARE(s.cellCount(), 1);
    QCOMPARE(int(s.rows.size()), 1);
    QCOMPARE(s.rowHeight(0), 720);
    QVERIFY2(book.leftOut.isEmpty(), qPrintable(book.leftOut.join(u'\n')));
}

QObject* makeTestOdsPackages() { return new TestOdsPackages; }

#include "test_package_ods.moc"
