// Formula text and references as the package formats write them: shared
// formulas moved to each cell, OpenDocument formulas in Excel's grammar,
// areas of print ranges and names.
#include "sheets/model/CellReference.h"
#include "sheets/formula/FormulaText.h"

#include <QtTest>

using namespace tegaro::sheets;

class TestFormulaText : public QObject {
    Q_OBJECT
private slots:
    void shiftFormula_data();
    void shiftFormula();
    void odfFormula_data();
    void odfFormula();
    void areas_data();
    void areas();
    void quotedSheetName_data();
    void quotedSheetName();
};

void TestFormulaText::shiftFormula_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("cols");
    QTest::addColumn<QString>("moved");
    QTest::newRow("relative cells") << "A1+B1" << 1 << 0 << "A2+B2";
    QTest::newRow("absolute parts stay") << "$A$1+A$1+$A1" << 2 << 3 << "$A$1+D$1+$A3";
    QTest::newRow("range") << "SUM(A1:B2)" << 1 << 1 << "SUM(B2:C3)";
    QTest::newRow("other sheet") << "Sheet2!A1*2" << 4 << 0 << "Sheet2!A5*2";
    QTest::newRow("quoted sheet") << "'My Sheet'!B2" << 0 << 1 << "'My Sheet'!C2";
    QTest::newRow("text is not a reference") << "\"A1\"&A1" << 1 << 0 << "\"A1\"&A2";
    QTest::newRow("quote inside text") << "\"a\"\"B1\"&B1" << 1 << 0 << "\"a\"\"B1\"&B2";
    QTest::newRow("whole columns") << "SUM(A:B)" << 5 << 1 << "SUM(B:C)";
    QTest::newRow("whole rows") << "SUM($1:2)" << 2 << 9 << "SUM($1:4)";
    QTest::newRow("function that looks like a cell") << "LOG10(A1)" << 1 << 0 << "LOG10(A2)";
    QTest::newRow("booleans and numbers") << "IF(TRUE,1.5E+3,A1)" << 1 << 0 << "IF(TRUE,1.5E+3,A2)";
    QTest::newRow("above the first row") << "A1+B2" << -1 << 0 << "#REF!+B1";
    QTest::newRow("past the last column") << "XFD1" << 0 << 1 << "#REF!";
    QTest::newRow("error stays") << "#REF!+A1" << 1 << 0 << "#REF!+A2";
    QTest::newRow("structured reference stays") << "SUM(Table1[Col1])+A1" << 1 << 0 << "SUM(Table1[Col1])+A2";
    QTest::newRow("Japanese sheet") << "明細!B3*2" << 1 << 0 << "明細!B4*2";
}

void TestFormulaText::shiftFormula()
{
    QFETCH(QString, text);
    QFETCH(int, rows);
    QFETCH(int, cols);
    QFETCH(QString, moved);
    QCOMPARE(tegaro::sheets::shiftFormula(text, rows, cols), moved);
}

void TestFormulaText::odfFormula_data()
{
    // the OpenDocument side as LibreOffice writes the Excel formula on the right
    QTest::addColumn<QString>("odf");
    QTest::addColumn<QString>("excel");
    QTest::newRow("cells") << "[.B3]+[.C3]"
                           << "B3+C3";
    QTest::newRow("argument separator") << "ROUND([.B4]*1.1;0)"
                                        << "ROUND(B4*1.1,0)";
    QTest::newRow("text with separators") << "\"a;b|c\"&[.A1]"
                                          << "\"a;b|c\"&A1";
    QTest::newRow("absolute") << "[.$A$1]+[.A$1]+[.$A1]"
                              << "$A$1+A$1+$A1";
    QTest::newRow("range") << "SUM([.A1:.A3])"
                           << "SUM(A1:A3)";
    QTest::newRow("other sheet") << "[$明細.B3]*2"
                                 << "明細!B3*2";
    QTest::newRow("quoted sheet") << "[$'My Sheet'.A1:.B2]"
                                  << "'My Sheet'!A1:B2";
    QTest::newRow("quote in sheet name") << "[$'Bob''s'.A1]"
                                         << "'Bob''s'!A1";
    QTest::newRow("across sheets") << "SUM([$Sheet2.A1:$Sheet3.A1])"
                                   << "SUM(Sheet2:Sheet3!A1)";
    QTest::newRow("whole column") << "[.A:.A]"
                                  << "A:A";
    QTest::newRow("whole row") << "SUM([.1:.1])"
                               << "SUM(1:1)";
    QTest::newRow("inline array") << "{1;2|3;4}"
                                  << "{1,2;3,4}";
    QTest::newRow("intersection") << "SUM([.A1:.A3]![.A2:.B2])"
                                  << "SUM(A1:A3 A2:B2)";
    QTest::newRow("union") << "SUM(([.A1]~[.A2]))"
                           << "SUM((A1,A2))";
    QTest::newRow("Excel function kept under its own name") << "COM.MICROSOFT.CEILING([.A1];2)"
                                                            << "CEILING(A1,2)";
    QTest::newRow("old Excel function") << "LEGACY.NORMSDIST(1)"
                                        << "NORMSDIST(1)";
    QTest::newRow("lower case function") << "phonetic([.A1])"
                                         << "PHONETIC(A1)";
    QTest::newRow("booleans") << "IF([.A1]>=1;TRUE();FALSE())"
                              << "IF(A1>=1,TRUE(),FALSE())";
    QTest::newRow("error value") << "IF([.A1];#DIV/0!;#N/A)"
                                 << "IF(A1,#DIV/0!,#N/A)";
    QTest::newRow("deleted reference") << "[.#REF!]+1"
                                       << "#REF!+1";
    QTest::newRow("name") << "税率*[.B1]"
                          << "税率*B1";
}

void TestFormulaText::odfFormula()
{
    QFETCH(QString, odf);
    QFETCH(QString, excel);
    QCOMPARE(odfToExcelFormula(odf), excel);
}

void TestFormulaText::areas_data()
{
    QTest::addColumn<bool>("odf");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<QList<int>>("range"); // first row, last row, first col, last col

    QTest::newRow("cell") << false << "B3" << true << "" << QList<int>{2, 2, 1, 1};
    QTest::newRow("print area") << false << "明細!$A$1:$D$9" << true << "明細" << QList<int>{0, 8, 0, 3};
    QTest::newRow("reversed") << false << "D9:A1" << true << "" << QList<int>{0, 8, 0, 3};
    QTest::newRow("quoted sheet") << false << "'A ''b'''!C2:C3" << true << "A 'b'" << QList<int>{1, 2, 2, 2};
    QTest::newRow("columns") << false << "S!$A:$C" << true << "S" << QList<int>{0, kGridRows - 1, 0, 2};
    QTest::newRow("rows") << false << "1:3" << true << "" << QList<int>{0, 2, 0, kGridColumns - 1};
    QTest::newRow("last cell") << false << "XFD1048576" << true << "" << QList<int>{kGridRows - 1, kGridRows - 1, kGridColumns - 1, kGridColumns - 1};
    QTest::newRow("column past the grid") << false << "XFE1" << false << "" << QList<int>{};
    QTest::newRow("row 0") << false << "A0" << false << "" << QList<int>{};
    QTest::newRow("lone column") << false << "A" << false << "" << QList<int>{};
    QTest::newRow("mixed ends") << false << "A1:3" << false << "" << QList<int>{};
    QTest::newRow("junk") << false << "A1:B2junk" << false << "" << QList<int>{};
    QTest::newRow("odf range") << true << "$配置.$A$1:.$D$6" << true << "配置" << QList<int>{0, 5, 0, 3};
    QTest::newRow("odf quoted") << true << "$'My sheet'.B2" << true << "My sheet" << QList<int>{1, 1, 1, 1};
    QTest::newRow("odf no sheet") << true << ".A1:.B2" << true << "" << QList<int>{0, 1, 0, 1};
    QTest::newRow("odf three ends") << true << "S.A1:.B2:.C3" << false << "" << QList<int>{};
}

void TestFormulaText::areas()
{
    QFETCH(bool, odf);
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QString, sheet);
    QFETCH(QList<int>, range);
    const auto areas = odf ? parseOdfAreas(text) : parseAreas(text);
    QCOMPARE(bool(areas), valid);
    if (!valid)
        return;
    QCOMPARE(areas->size(), 1);
    QCOMPARE(areas->first().sheet, sheet);
    const Range& r = areas->first().range;
    QCOMPARE((QList<int>{r.firstRow, r.lastRow, r.firstCol, r.lastCol}), range);
}

void TestFormulaText::quotedSheetName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("written");
    QTest::newRow("plain") << "Sheet1"
                           << "Sheet1";
    QTest::newRow("Japanese") << "明細"
                              << "明細";
    QTest::newRow("space") << "My Sheet"
                           << "'My Sheet'";
    QTest::newRow("quote") << "Bob's"
                           << "'Bob''s'";
    QTest::newRow("starts with a digit") << "2019"
                                         << "'2019'";
    QTest::newRow("looks like a cell") << "AB12"
                                       << "'AB12'";
    QTest::newRow("looks like R1C1") << "R2C3"
                                     << "'R2C3'";
    QTest::newRow("hyphen") << "a-b"
                            << "'a-b'";
}

void TestFormulaText::quotedSheetName()
{
    QFETCH(QString, name);
    QFETCH(QString, written);
    QCOMPARE(tegaro::sheets::quotedSheetName(name), written);
    // what is written reads back as the same sheet
    const auto areas = parseAreas(written + QStringLiteral("!A1"));
    QVERIFY(areas);
    QCOMPARE(areas->first().sheet, name);
}

QObject* makeTestFormulaText() { return new TestFormulaText; }

#include "test_formulatext.moc"
