// Formulas as text and tokens: what stored formulas show, what typed ones
// store, and the faults typed ones are refused for.
#include "Biff5Builder.h"

#include "core/Cp932.h"
#include "sheets/biff/ByteWriter.h"
#include "sheets/formula/FormulaCode.h"
#include "sheets/calc/FormulaEvaluator.h"
#include "sheets/formula/Formulas.h"
#include "sheets/model/SheetErrors.h"
#include "sheets/xls/XlsFile.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace tegaro::sheets;
using namespace tegaro::sheets::testing;

namespace {

Workbook fixtureBook(const char* name)
{
    return readXlsFile(QStringLiteral(TEGARO_FIXTURES "/sheets/") + QLatin1String(name));
}

// A book with the sheets typed formulas refer to.
Workbook namedSheets()
{
    Workbook book;
    book.sheets[0].name = QStringLiteral("明細");
    book.addSheet(QStringLiteral("Sheet2"));
    book.addSheet(QStringLiteral("明細 (2)"));
    DefinedName rate;
    rate.name = QStringLiteral("税率");
    rate.tokens = QByteArray::fromHex("3a0000000000"); // 明細!$A$1
    book.names << rate;
    return book;
}

// The formula typed into A1 and shown again.
QString shownAgain(Workbook& book, const QString& typed)
{
    Cell& c = book.sheets[0].cellRef(0, 0);
    c.kind = CellKind::Formula;
    c.formula = compileFormula(book, 0, typed);
    return formulaText(book, 0, 0, 0);
}

} // namespace

class TestFormulas : public QObject {
    Q_OBJECT
private slots:
    void otherProgramsFormulas_data();
    void otherProgramsFormulas();
    void sharedFormulasBecomeTheCellsOwn();
    void excel95Formulas_data();
    void excel95Formulas();
    void typedFormulasShowAgain_data();
    void typedFormulasShowAgain();
    void tokensAsExcelStoresThem_data();
    void tokensAsExcelStoresThem();
    void faultsNameTheirPlace_data();
    void faultsNameTheirPlace();
    void refusedFormulaLeavesBookAlone();
    void hostileTokensFailCleanly();
    void storedCallsWithWrongArgumentCounts_data();
    void storedCallsWithWrongArgumentCounts();
};

void TestFormulas::otherProgramsFormulas_data()
{
    // formulas.xls: LibreOffice's tokens, Excel's spelling beside each formula
    QTest::addColumn<int>("sheet");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("text");
    const Workbook book = fixtureBook("formulas.xls");
    for (const auto& [key, cell] : book.sheets[0].cells()) {
        const int row = Sheet::rowOf(key);
        if (row >= 11 && Sheet::colOf(key) == 0)
            QTest::newRow(qPrintable(cell.text)) << 0 << row << QString(u'=' + cell.text);
    }
}

void TestFormulas::otherProgramsFormulas()
{
    QFETCH(int, sheet);
    QFETCH(int, row);
    QFETCH(QString, text);
    static const Workbook book = fixtureBook("formulas.xls");
    QCOMPARE(formulaText(book, sheet, row, 1), text);
}

void TestFormulas::sharedFormulasBecomeTheCellsOwn()
{
    // LibreOffice stored F2:F6 (=A2*B2 ...) as one shared formula
    const Workbook book = fixtureBook("formulas.xls");
    QCOMPARE(book.sheets[1].name, QStringLiteral("明細 (2)"));
    QCOMPARE(formulaText(book, 1, 0, 1), QStringLiteral("=明細!A1*2"));
    for (int row = 1; row <= 5; ++row) {
        QCOMPARE(formulaText(book, 0, row, 5), QStringLiteral("=A%1*B%1").arg(row + 1));
        const Cell* c = book.sheets[0].cell(row, 5);
        QVERIFY(c->formula->anchored.isEmpty());
        QVERIFY(quint8(c->formula->tokens[0]) != 0x01); // no reference to a shared formula left
    }
    // written again, each cell keeps its formula
    const Workbook back = readXls(writeXls(book));
    for (int row = 1; row <= 5; ++row)
        QCOMPARE(formulaText(back, 0, row, 5), QStringLiteral("=A%1*B%1").arg(row + 1));
    QCOMPARE(formulaText(back, 0, 11, 1), formulaText(book, 0, 11, 1));
}

void TestFormulas::excel95Formulas_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("text");
    QTest::newRow("another sheet, quoted") << 0 << "='集計 (2)'!A1";
    QTest::newRow("a name") << 1 << "=税率*2";
    QTest::newRow("text in the code page") << 2 << "=\"家屋①\"&A1";
    QTest::newRow("IF with its jumps") << 3 << "=IF(A1>0,\"正\",\"負\")";
    QTest::newRow("shared, first cell") << 4 << "=B4+1";
    QTest::newRow("shared, last cell") << 6 << "=B6+1";
    QTest::newRow("array formula") << 8 << "{=SUM(A1:A2*2)}";
    QTest::newRow("array formula, second cell") << 9 << "{=SUM(A1:A2*2)}";
}

void TestFormulas::excel95Formulas()
{
    QFETCH(int, row);
    QFETCH(QString, text);
    Biff5Builder b;
    b.name(QStringLiteral("税率"), QByteArray::fromHex("3a ffff 0000000000000000 0000 0000 0000 00")); // 明細!$A$1
    b.beginSheet(QStringLiteral("明細"));
    b.number(0, 1, 1.5);
    b.formula(0, 0, QByteArray::fromHex("5a ffff 0000000000000000 0100 0100 00c0 00"), 0); // tab 1, A1
    b.formula(1, 0, QByteArray::fromHex("43 0100 000000000000000000000000 1e0200 05"), 0);
    ByteWriter joined;
    const QByteArray kanji = tegaro::toCp932(QStringLiteral("家屋①"));
    joined.u8(0x17).u8(quint8(kanji.size())).bytes(kanji).u8(0x44).u16(0xC000).u8(0).u8(0x08);
    b.formula(2, 0, joined.data, 0);
    b.formula(3, 0, QByteArray::fromHex("4400c000 1e0000 0d 19020800 170290b3 19080b00 17029589 19080300 42030100"), 0);
    // A5:A7 share =B(row-1)+1, stored relative to each cell
    for (int row = 4; row <= 6; ++row) {
        b.formula(row, 0, QByteArray::fromHex("0104000000"), 0);
        if (row == 4)
            b.sheetRecord(0x04BC, QByteArray::fromHex("0400 0600 00 00 00 03 0800 4cffff01 1e0100 03"));
    }
    // A9:A10 hold one array formula
    for (int row = 8; row <= 9; ++row) {
        b.formula(row, 0, QByteArray::fromHex("0108000000"), 0);
        if (row == 8)
            b.sheetRecord(0x0221, QByteArray::fromHex("0800 0900 00 00 0000 00000000 0f00 6500c001c00000 1e0200 05 42010400"));
    }
    b.beginSheet(QStringLiteral("集計 (2)"));
    const Workbook book = readXls(b.file());
    QCOMPARE(formulaText(book, 0, row, 0), text);
    const Cell* c = book.sheets[0].cell(row, 0);
    QCOMPARE(c->formula->biff, 8); // carried over into Excel 97 tokens
    // written as an Excel 97 file, the formula is still there
    const Workbook back = readXls(writeXls(book));
    QCOMPARE(back.biffVersion, 8);
    QCOMPARE(formulaText(back, 0, row, 0), text);
}

void TestFormulas::typedFormulasShowAgain_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    auto row = [](const char* typed, const char* shown = nullptr) {
        QTest::newRow(typed) << QString::fromUtf8(typed) << QString::fromUtf8(shown ? shown : typed);
    };
    row("=ROUND(SUM(I6:K6)*$E$3,0)");
    row("=IF(G6=\"\",\"\",I6)");
    row("='明細 (2)'!A1");
    row("=Sheet2!$B$3:C4");
    row("=SUM(明細:Sheet2!A1)");
    row("=-2^2+3*4/5-6&\"円\"");
    row("=(1+2)*3");
    row("=50%*A1");
    row("=A1<>B1");
    row("=A1<=B1");
    row("=SUM((A1,B2))");
    row("=SUM(A1:B2 B1:C3)");
    row("=SUM(A:A)+SUM(3:3)");
    row("={1,2;3,4}");
    row("={\"a\",TRUE,#N/A,-1.5}");
    row("=#DIV/0!");
    row("=IFERROR(1/0,\"x\")");
    row("=FOO(1,2)");
    row("=税率*2");
    row("=IF(A1,,)");
    row("=1.5E+20+1E-10");
    row("=0.000001");
    row("=INDEX(A1:C3,2,2):C5");
    row("=ROW()+COLUMN()");
    row("= SUM ( A1 , 2 )", "=SUM(A1,2)");
    row("=sum(a1:b2)", "=SUM(A1:B2)");
    row("=true", "=TRUE");
    row("＝ＳＵＭ（Ａ１：Ａ３）＋１", "=SUM(A1:A3)+1");
    row("=\"ＳＵＭ（）\"");
    row("=sheet2!a1", "=Sheet2!A1");
    row("=A1:A1", "=A1:A1");
    row("=B2:A1", "=A1:B2");
    row("=1e3", "=1000");
    row("=.5", "=0.5");
}

void TestFormulas::typedFormulasShowAgain()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    Workbook book = namedSheets();
    QCOMPARE(shownAgain(book, typed), shown);
    // and the tokens stored mean the same to the reader of the written file
    const Workbook back = readXls(writeXls(book));
    QCOMPARE(formulaText(back, 0, 0, 0), shown);
}

void TestFormulas::tokensAsExcelStoresThem_data()
{
    // What LibreOffice writes for the same formulas, and what Excel reads:
    // classes of operands, the jumps of IF and CHOOSE, newer functions.
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("tokens");
    QTest::newRow("IF") << "=IF(A1>0,\"yes\",\"no\")"
                        << QByteArray::fromHex("440000 00c0 1e0000 0d 19020a00 17030079657319080c00 1702006e6f 19080300 42030100");
    QTest::newRow("CHOOSE") << "=CHOOSE(2,A1,B1,3)"
                            << QByteArray::fromHex("1e0200 1904 0300 0800 1100 1a00 2100 240000 00c0 19081300 240000 01c0 "
                                                   "19080a00 1e0300 19080300 42046400");
    QTest::newRow("newer function") << "=IFERROR(1/0,\"x\")" << QByteArray::fromHex("2301000000 1e0100 1e0000 06 17010078 4203ff00");
    QTest::newRow("array argument") << "=SUMPRODUCT((A1:B1>1)*A1:B1)"
                                    << QByteArray::fromHex("650000000000c001c0 1e0100 0d 15 650000000000c001c0 05 4201e400");
    QTest::newRow("reference argument") << "=VLOOKUP(1,A1:B1,2,0)" << QByteArray::fromHex("1e0100 250000000000c001c0 1e0200 1e0000 42046600");
    QTest::newRow("volatile") << "=TODAY()" << QByteArray::fromHex("19010000 41dd00");
    QTest::newRow("number") << "=ROUND(2.675,2)" << QByteArray::fromHex("1f666666666666 0540 1e0200 411b00");
    QTest::newRow("other sheet") << "=Sheet2!A1" << QByteArray::fromHex("5a0000 0000 00c0");
    QTest::newRow("absolute") << "=$A$1+A$1+$A1" << QByteArray::fromHex("440000 0000 440000 0040 03 440000 0080 03");
    QTest::newRow("wide text") << "=\"家\"" << QByteArray::fromHex("170101b65b");
}

void TestFormulas::tokensAsExcelStoresThem()
{
    QFETCH(QString, typed);
    QFETCH(QByteArray, tokens);
    Workbook book = namedSheets();
    book.sheets[1].name = QStringLiteral("Sheet2");
    book.names.clear();
    const auto f = compileFormula(book, 0, typed);
    QCOMPARE(f->tokens.toHex(' '), tokens.toHex(' '));
    QCOMPARE(bool(f->options & 0x0001), typed.contains(QLatin1String("TODAY")));
}

void TestFormulas::faultsNameTheirPlace_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("says");
    QTest::newRow("nothing after =") << "=" << 1 << "式がありません";
    QTest::newRow("operator at the end") << "=1+" << 3 << "途中で終わって";
    QTest::newRow("missing )") << "=(1+2" << 1 << "「)」が足りません";
    QTest::newRow("function not closed") << "=SUM(1,2" << 1 << "SUM の「)」";
    QTest::newRow("stray )") << "=1+2)" << 4 << "「(」がありません";
    QTest::newRow("two values") << "=1 2" << 3 << "「2」の前に演算子";
    QTest::newRow("too few arguments") << "=IF(A1)" << 1 << "IF の引数は 2 から 3 個";
    QTest::newRow("too many arguments") << "=ROUND(1,2,3)" << 1 << "ROUND の引数は 2 個";
    QTest::newRow("open string") << "=\"abc" << 1 << "閉じていません";
    QTest::newRow("unknown name") << "=A1*rate" << 4 << "名前「rate」";
    QTest::newRow("unknown sheet") << "=Sheet9!A1" << 1 << "シート「Sheet9」";
    QTest::newRow("bad error") << "=#WHAT" << 1 << "エラー値";
    QTest::newRow("odd character") << "=1+[2]" << 3 << "「[」";
    QTest::newRow("comma outside") << "=1,2" << 2 << "「,」";
    QTest::newRow("ragged array") << "={1,2;3}" << 7 << "そろっていません";
    QTest::newRow("array of references") << "={A1}" << 2 << "配列定数";
    QTest::newRow("long string") << QString(QStringLiteral("=\"") + QString(256, u'x') + u'"') << 1 << "255";
    QTest::newRow("deep nesting") << QString(u'=' + QString(600, u'(') + u'1' + QString(600, u')')) << 514 << "深すぎ";
}

void TestFormulas::faultsNameTheirPlace()
{
    QFETCH(QString, typed);
    QFETCH(int, position);
    QFETCH(QString, says);
    Workbook book = namedSheets();
    try {
        compileFormula(book, 0, typed);
        QFAIL("the formula was taken");
    } catch (const EFormulaError& e) {
        QVERIFY2(e.message().contains(says), qPrintable(e.message()));
        QCOMPARE(e.position(), position);
        QVERIFY2(e.message().contains(QStringLiteral("%1 文字目").arg(position + 1)), qPrintable(e.message()));
    }
}

void TestFormulas::refusedFormulaLeavesBookAlone()
{
    Workbook book = namedSheets();
    const QList<DefinedName> names = book.names;
    // parses, needs a hidden name and a link entry, but is too long to store
    QString typed = QStringLiteral("=IFERROR(Sheet2!A1,1)");
    for (int i = 0; i < 400; ++i)
        typed += QStringLiteral("+Sheet2!A1");
    QVERIFY_THROWS_EXCEPTION(EFormulaError, compileFormula(book, 0, typed));
    QCOMPARE(book.names, names);
    QVERIFY(book.links.refs.isEmpty());
    // the same call once it fits adds them
    compileFormula(book, 0, QStringLiteral("=IFERROR(Sheet2!A1,1)"));
    QCOMPARE(book.names.size(), names.size() + 1);
    QCOMPARE(book.links.refs.size(), 1);
}

void TestFormulas::hostileTokensFailCleanly()
{
    // Any bytes: taken apart into a program that prints and evaluates, or
    // refused with EFormulaError; never a crash or a hang.
    const Workbook book = namedSheets();
    Evaluator ev(book);
    QRandomGenerator seeded(20240401);
    int decoded = 0;
    for (int round = 0; round < 20000; ++round) {
        QByteArray tokens(int(seeded.bounded(1, 24)), Qt::Uninitialized);
        for (char& ch : tokens)
            ch = char(seeded.bounded(0, 0x80));
        TokenInput in;
        in.tokens = tokens;
        in.biff = round % 2 ? 8 : 5;
        in.book = &book;
        try {
            const Program p = decodeTokens(in);
            ++decoded;
            (void)programText(p, book, 0);
            (void)ev.evaluate(p, 0, 1, 1);
        } catch (const EFormulaError&) {
        }
    }
    QVERIFY(decoded > 0);
    // nesting deeper than any walk may go is refused
    QByteArray deep = QByteArray::fromHex("1e0100") + QByteArray(5000, '\x13');
    TokenInput in;
    in.tokens = deep;
    in.book = &book;
    QVERIFY_THROWS_EXCEPTION(EFormulaError, decodeTokens(in));
}

void TestFormulas::storedCallsWithWrongArgumentCounts_data()
{
    // tFuncVar with an argument count the function does not take, after
    // that many integer operands (tInt 1)
    QTest::addColumn<QByteArray>("tokens");
    QTest::addColumn<int>("biff");
    QTest::addColumn<bool>("fails");
    QTest::newRow("MATCH without arguments, Excel 95") << QByteArray::fromHex("424000") << 5 << true;
    QTest::newRow("MATCH without arguments") << QByteArray::fromHex("42004000") << 8 << true;
    QTest::newRow("IF without arguments") << QByteArray::fromHex("42000100") << 8 << true;
    QTest::newRow("IF with one") << QByteArray::fromHex("1e0100"
                                                        "42010100")
                                 << 8 << true;
    QTest::newRow("CHOOSE with one") << QByteArray::fromHex("1e0100"
                                                            "42016400")
                                     << 8 << true;
    QTest::newRow("ROUND with three") << QByteArray::fromHex("1e0100"
                                                             "1e0100"
                                                             "1e0100"
                                                             "42031b00")
                                      << 8 << true;
    QTest::newRow("IF with two") << QByteArray::fromHex("1e0100"
                                                        "1e0100"
                                                        "42020100")
                                 << 8 << false;
}

void TestFormulas::storedCallsWithWrongArgumentCounts()
{
    QFETCH(QByteArray, tokens);
    QFETCH(int, biff);
    QFETCH(bool, fails);
    const Workbook book = namedSheets();
    TokenInput in;
    in.tokens = tokens;
    in.biff = biff;
    in.book = &book;
    Program p;
    try {
        p = decodeTokens(in);
    } catch (const EFormulaError&) {
        QVERIFY(fails); // refusing them outright is as good
        return;
    }
    Evaluator ev(book);
    const Value v = ev.single(ev.evaluate(p, 0, 1, 1));
    if (fails) {
        QVERIFY(v.isError());
        QCOMPARE(v.errorCode(), err::Value);
    } else {
        QCOMPARE(v.kind, Value::Number);
    }
}

QObject* makeTestFormulas() { return new TestFormulas; }

#include "test_formulas.moc"
