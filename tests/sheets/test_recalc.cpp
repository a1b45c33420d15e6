// Recalculation: what another program computed comes out again, an edit
// works out exactly what depends on it, cycles are reported and end, and
// the results reach the saved file, other programs and the tool.
#include "Fixtures.h"
#include "ToolRun.h"

#include "sheets/biff/ByteWriter.h"
#include "sheets/calc/Calculator.h"
#include "sheets/formula/FormulaCode.h"
#include "sheets/formula/Formulas.h"
#include "sheets/book/SheetBook.h"
#include "sheets/model/SheetErrors.h"
#include "sheets/xls/XlsFile.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace tegaro::sheets;
using namespace tegaro::sheets::testing;

namespace {

Workbook fixtureBook(const char* name)
{
    return readXlsFile(QStringLiteral(TEGARO_FIXTURES "/sheets/") + QLatin1String(name));
}

void set(Workbook& book, int sheet, const QString& cell, const QString& entry)
{
    int col = 0, i = 0;
    for (; cell[i].isLetter(); ++i)
        col = col * 26 + (cell[i].unicode() - u'A' + 1);
    Cell& c = book.sheets[sheet].cellRef(cell.mid(i).toInt() - 1, col - 1);
    if (entry.startsWith(u'=')) {
        c.kind = CellKind::Formula;
        c.formula = compileFormula(book, sheet, entry);
    } else {
        c.kind = CellKind::Number;
        c.number = entry.toDouble();
    }
}

const Cell& at(const Workbook& book, int sheet, const QString& cell)
{
    int col = 0, i = 0;
    for (; cell[i].isLetter(); ++i)
        col = col * 26 + (cell[i].unicode() - u'A' + 1);
    static const Cell none;
    const Cell* c = book.sheets[sheet].cell(cell.mid(i).toInt() - 1, col - 1);
    return c ? *c : none;
}

QString names(const Workbook& book, const QList<CellAddress>& cells)
{
    QStringList out;
    for (const CellAddress& a : cells)
        out << (a.sheet ? book.sheets[a.sheet].name + u'!' : QString()) + cellName(a.row, a.col);
    out.sort();
    return out.join(u',');
}

// Equal as shown: numbers to 15 significant digits.
bool sameResult(const Cell& a, const Cell& b)
{
    if (a.result != b.result)
        return false;
    if (a.result == CellKind::Text)
        return a.text == b.text;
    return round15(a.number) == round15(b.number);
}

// A book where each formula can be told apart: a stale value planted in a
// formula cell stays as long as nothing works that formula out.
Workbook dependencyBook()
{
    Workbook book;
    book.addSheet(QStringLiteral("Sheet2"));
    DefinedName base;
    base.name = QStringLiteral("base");
    base.tokens = QByteArray::fromHex("3a0000000003000300"); // Sheet1!$D$1, written below
    book.names << base;
    set(book, 0, QStringLiteral("A1"), QStringLiteral("1"));
    set(book, 0, QStringLiteral("A2"), QStringLiteral("2"));
    set(book, 0, QStringLiteral("A3"), QStringLiteral("3"));
    set(book, 0, QStringLiteral("D1"), QStringLiteral("100"));
    set(book, 0, QStringLiteral("B1"), QStringLiteral("=A1*2"));
    set(book, 0, QStringLiteral("B2"), QStringLiteral("=B1+A2"));
    set(book, 0, QStringLiteral("C1"), QStringLiteral("=SUM(A1:A2)"));
    set(book, 0, QStringLiteral("C2"), QStringLiteral("=SUM(A:A)"));
    set(book, 0, QStringLiteral("E1"), QStringLiteral("=D1+1"));
    set(book, 0, QStringLiteral("G1"), QStringLiteral("=base*2"));
    set(book, 1, QStringLiteral("A1"), QStringLiteral("=Sheet1!A1+10"));
    set(book, 0, QStringLiteral("F1"), QStringLiteral("=Sheet2!A1"));
    // the name's tokens point at Sheet1 through the link table the formulas made
    book.names[0].tokens = compileFormula(book, 0, QStringLiteral("=Sheet1!$D$1"))->tokens;
    return book;
}

} // namespace

class TestRecalc : public QObject {
    Q_OBJECT
private slots:
    void otherProgramsResultsAgain_data();
    void otherProgramsResultsAgain();
    void editWorksOutExactlyItsDependents_data();
    void editWorksOutExactlyItsDependents();
    void longChainInAnyOrder();
    void circularReferences_data();
    void circularReferences();
    void arrayFormulaFillsItsCells();
    void functionsNotWorkedOutKeepTheirResult();
    void volatileFormulasFollowEveryEdit();
    void sheetBookEntersFormulas();
    void savedFileCarriesNewResults();
    void officeReadsOurFormulas();
    void gnumericWorksOutOurFormulas();
    void toolSetsAndShows();
};

void TestRecalc::otherProgramsResultsAgain_data()
{
    QTest::addColumn<QString>("file");
    // made by LibreOffice from a workbook it worked out (meisai.xls came
    // from a text file and holds stale results: see toolSetsAndShows)
    QTest::newRow("formulas") << "formulas.xls";
}

void TestRecalc::otherProgramsResultsAgain()
{
    // every cell keeps what LibreOffice worked out, once worked out again here
    QFETCH(QString, file);
    const Workbook stored = fixtureBook(file.toLatin1().constData());
    Workbook book = stored;
    Calculator calc(book);
    QVERIFY(calc.formulaCount() > 3);
    const Recalculation r = calc.recalculateAll();
    QCOMPARE(r.notCalculated, 0);
    QVERIFY(r.circular.isEmpty());
    int formulas = 0;
    for (int s = 0; s < book.sheets.size(); ++s) {
        QCOMPARE(book.sheets[s].cellCount(), stored.sheets[s].cellCount());
        for (const auto& [key, cell] : book.sheets[s].cells()) {
            const Cell& before = *stored.sheets[s].cell(Sheet::rowOf(key), Sheet::colOf(key));
            const QString where = cellName(Sheet::rowOf(key), Sheet::colOf(key));
            if (cell.kind != CellKind::Formula) {
                QVERIFY2(cell == before, qPrintable(where));
                continue;
            }
            ++formulas;
            QVERIFY2(sameResult(cell, before), qPrintable(QStringLiteral("%1 %2: %3 against %4").arg(where, formulaText(book, s, Sheet::rowOf(key), Sheet::colOf(key)), book.cellText(cell), stored.cellText(before))));
        }
    }
    QCOMPARE(formulas, calc.formulaCount());
}

void TestRecalc::editWorksOutExactlyItsDependents_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("changed");
    QTest::newRow("feeds a chain, a range, a whole column, another sheet") << "A1"
                                                                           << "B1,B2,C1,C2,F1,Sheet2!A1";
    QTest::newRow("in a range") << "A2"
                                << "B2,C1,C2";
    QTest::newRow("only in a whole column") << "A3"
                                            << "C2";
    QTest::newRow("read through a name") << "D1"
                                         << "E1,G1";
    QTest::newRow("read by nothing") << "Z99"
                                     << "";
}

void TestRecalc::editWorksOutExactlyItsDependents()
{
    QFETCH(QString, cell);
    QFETCH(QString, changed);
    int col = 0;
    for (QChar ch : cell.left(1))
        col = ch.unicode() - u'A';
    const CellAddress edited{0, cell.mid(1).toInt() - 1, col};
    Workbook book = dependencyBook();
    Calculator calc(book);
    calc.recalculateAll();
    QCOMPARE(at(book, 1, QStringLiteral("A1")).number, 11.0);
    QCOMPARE(at(book, 0, QStringLiteral("G1")).number, 200.0);
    Workbook incremental = book;
    Calculator follows(incremental);

    // a stale value in every formula: only those worked out lose it
    for (Sheet& s : book.sheets)
        s.forEachCell([](quint32, Cell& c) {
            if (c.kind == CellKind::Formula)
                c.number = -1;
        });
    set(book, 0, cell, QStringLiteral("1000"));
    const Recalculation r = calc.cellsChanged({edited});
    QCOMPARE(names(book, r.changed), changed);
    for (int s = 0; s < 2; ++s)
        for (const auto& [key, c] : book.sheets[s].cells()) {
            if (c.kind != CellKind::Formula)
                continue;
            const QString name = (s ? QStringLiteral("Sheet2!") : QString()) + cellName(Sheet::rowOf(key), Sheet::colOf(key));
            QCOMPARE(c.number == -1, !changed.split(u',').contains(name));
        }

    // and what the edit works out is what working out everything gives
    set(incremental, 0, cell, QStringLiteral("1000"));
    follows.cellsChanged({edited});
    Workbook whole = incremental;
    Calculator(whole).recalculateAll();
    QVERIFY(whole == incremental);
}

void TestRecalc::longChainInAnyOrder()
{
    // A1 = 1, An = A(n-1)+1, entered from the bottom up: the order comes from
    // the references, not from where the formulas stand, and no walk runs
    // out of stack
    constexpr int kRows = 20000;
    Workbook book;
    for (int r = kRows; r >= 2; --r)
        set(book, 0, QStringLiteral("A%1").arg(r), QStringLiteral("=A%1+1").arg(r - 1));
    set(book, 0, QStringLiteral("A1"), QStringLiteral("1"));
    Calculator calc(book);
    QCOMPARE(calc.recalculateAll().changed.size(), kRows - 1);
    QCOMPARE(at(book, 0, QStringLiteral("A%1").arg(kRows)).number, double(kRows));
    set(book, 0, QStringLiteral("A1"), QStringLiteral("5"));
    QCOMPARE(calc.cellsChanged({{0, 0, 0}}).changed.size(), kRows - 1);
    QCOMPARE(at(book, 0, QStringLiteral("A%1").arg(kRows)).number, double(kRows + 4));
}

void TestRecalc::circularReferences_data()
{
    QTest::addColumn<QStringList>("formulas");
    QTest::addColumn<QString>("circular");
    QTest::newRow("itself") << QStringList{"A1", "=A1+1"} << "A1";
    QTest::newRow("two cells") << QStringList{"A1", "=B1+1", "B1", "=A1+1"} << "A1,B1";
    QTest::newRow("a cycle and what reads it") << QStringList{"A1", "=B1+1", "B1", "=A1+1", "C1", "=A1*10"} << "A1,B1";
    QTest::newRow("through a range") << QStringList{"A1", "=SUM(A1:A3)", "A2", "5"} << "A1";
    QTest::newRow("two separate cycles") << QStringList{"A1", "=A1", "C1", "=D1", "D1", "=C1"} << "A1,C1,D1";
}

void TestRecalc::circularReferences()
{
    QFETCH(QStringList, formulas);
    QFETCH(QString, circular);
    Workbook book;
    for (int i = 0; i < formulas.size(); i += 2)
        set(book, 0, formulas[i], formulas[i + 1]);
    Calculator calc(book);
    const Recalculation first = calc.recalculateAll();
    QCOMPARE(names(book, first.circular), circular);
    QVERIFY(first.newCircular);
    const QString message = Calculator::circularMessage(book, first.circular);
    QVERIFY(message.contains(QStringLiteral("循環参照")));
    QVERIFY(message.contains(QStringLiteral("Sheet1!A1")) || message.contains(QStringLiteral("Sheet1!C1")));
    // every cell has a value, and what reads the cycle reads its value
    for (const auto& [key, c] : book.sheets[0].cells())
        QVERIFY(c.result == CellKind::Number || c.kind != CellKind::Formula);
    if (formulas.contains(QStringLiteral("C1")) && formulas.contains(QStringLiteral("=A1*10")))
        QCOMPARE(at(book, 0, QStringLiteral("C1")).number, at(book, 0, QStringLiteral("A1")).number * 10);
    // told once: working it out again finds the same cycle, not a new one
    const Recalculation again = calc.recalculateAll();
    QCOMPARE(names(book, again.circular), circular);
    QVERIFY(!again.newCircular);
}

void TestRecalc::arrayFormulaFillsItsCells()
{
    // {=B1:B2*2} over A1:A3: one result a cell, #N/A where the array ends
    Workbook book;
    set(book, 0, QStringLiteral("B1"), QStringLiteral("3"));
    set(book, 0, QStringLiteral("B2"), QStringLiteral("4"));
    const EncodedFormula e = encodeProgram(parseFormula(QStringLiteral("=B1:B2*2"), book, 0), book, true);
    ByteWriter body;
    body.u16(0).u16(2).u8(0).u8(0).u16(0).u32(0).u16(quint16(e.tokens.size())).bytes(e.tokens).bytes(e.extra);
    ByteWriter record;
    record.u16(0x0221).u16(quint16(body.data.size())).bytes(body.data);
    for (int r = 0; r < 3; ++r) {
        auto f = std::make_shared<Formula>();
        f->tokens = QByteArray::fromHex("0100000000");
        if (r == 0)
            f->anchored = record.data;
        Cell& c = book.sheets[0].cellRef(r, 0);
        c.kind = CellKind::Formula;
        c.formula = f;
    }
    QCOMPARE(formulaText(book, 0, 2, 0), QStringLiteral("{=B1:B2*2}"));
    Calculator calc(book);
    calc.recalculateAll();
    QCOMPARE(book.cellText(0, 0, 0), QStringLiteral("6"));
    QCOMPARE(book.cellText(0, 1, 0), QStringLiteral("8"));
    QCOMPARE(book.cellText(0, 2, 0), QStringLiteral("#N/A"));
    set(book, 0, QStringLiteral("B2"), QStringLiteral("10"));
    QCOMPARE(names(book, calc.cellsChanged({{0, 1, 1}}).changed), QStringLiteral("A2"));
    QCOMPARE(book.cellText(0, 1, 0), QStringLiteral("20"));
    // the written file keeps it an array formula
    const Workbook back = readXls(writeXls(book));
    QCOMPARE(formulaText(back, 0, 1, 0), QStringLiteral("{=B1:B2*2}"));
    QCOMPARE(back.cellText(0, 1, 0), QStringLiteral("20"));
    // and a part of it cannot be typed over
    TSheetBook sheet;
    sheet.setWorkbook(book);
    sheet.RecalculateAll();
    QVERIFY_THROWS_EXCEPTION(ESheetError, sheet.SetEntry(0, 1, 0, QStringLiteral("1")));
    QCOMPARE(sheet.cellText(0, 1, 0), QStringLiteral("20"));
}

void TestRecalc::functionsNotWorkedOutKeepTheirResult()
{
    // NORMSDIST is Excel's but not worked out here: the file's result stays,
    // and formulas reading it use it
    Workbook book;
    Cell& a1 = book.sheets[0].cellRef(0, 0);
    a1.kind = CellKind::Formula;
    a1.result = CellKind::Number;
    a1.number = 0.841344746068543;
    auto f = std::make_shared<Formula>();
    f->tokens = QByteArray::fromHex("1e0100 412601");
    a1.formula = f;
    set(book, 0, QStringLiteral("B1"), QStringLiteral("=A1*2"));
    QCOMPARE(formulaText(book, 0, 0, 0), QStringLiteral("=NORMSDIST(1)"));
    Calculator calc(book);
    const Recalculation r = calc.recalculateAll();
    QCOMPARE(r.notCalculated, 1);
    QCOMPARE(at(book, 0, QStringLiteral("A1")).number, 0.841344746068543);
    QCOMPARE(at(book, 0, QStringLiteral("B1")).number, 1.682689492137086);
    // typed, with no result of its own, it shows #NAME?
    set(book, 0, QStringLiteral("C1"), QStringLiteral("=NORMSDIST(1)"));
    calc.cellsChanged({{0, 0, 2}});
    QCOMPARE(book.cellText(0, 0, 2), QStringLiteral("#NAME?"));
}

void TestRecalc::volatileFormulasFollowEveryEdit()
{
    Workbook book;
    set(book, 0, QStringLiteral("A1"), QStringLiteral("=NOW()"));
    set(book, 0, QStringLiteral("B1"), QStringLiteral("=A1+1"));
    Calculator calc(book);
    QDateTime now(QDate(2024, 4, 1), QTime(12, 0));
    calc.evaluator().setClock([&now] { return now; });
    calc.recalculateAll();
    QCOMPARE(at(book, 0, QStringLiteral("A1")).number, 45383.5);
    now = now.addSecs(6 * 3600);
    set(book, 0, QStringLiteral("Z9"), QStringLiteral("1"));
    QCOMPARE(names(book, calc.cellsChanged({{0, 8, 25}}).changed), QStringLiteral("A1,B1"));
    QCOMPARE(at(book, 0, QStringLiteral("B1")).number, 45384.75);
}

void TestRecalc::sheetBookEntersFormulas()
{
    TSheetBook book;
    book.SetEntry(0, 0, 0, QStringLiteral("1"));
    book.SetEntry(0, 0, 1, QStringLiteral("=A1*3"));
    QCOMPARE(book.cellText(0, 0, 1), QStringLiteral("3"));
    QCOMPARE(book.EntryText(0, 0, 1), QStringLiteral("=A1*3"));
    book.SetEntry(0, 0, 0, QStringLiteral("5"));
    QCOMPARE(book.cellText(0, 0, 1), QStringLiteral("15"));
    QCOMPARE(names(book.workbook(), book.lastRecalculation().changed), QStringLiteral("B1"));
    // a faulty formula changes nothing
    try {
        book.SetEntry(0, 0, 1, QStringLiteral("=A1*(2"));
        QFAIL("a faulty formula was taken");
    } catch (const EFormulaError& e) {
        QVERIFY(e.message().contains(QStringLiteral("5 文字目")));
    }
    QCOMPARE(book.EntryText(0, 0, 1), QStringLiteral("=A1*3"));
    QCOMPARE(book.cellText(0, 0, 1), QStringLiteral("15"));
    // a value over a formula ends it, and what read it follows
    book.SetEntry(0, 0, 2, QStringLiteral("=B1+1"));
    book.SetEntry(0, 0, 1, QStringLiteral("7"));
    QCOMPARE(book.cellText(0, 0, 2), QStringLiteral("8"));
    book.SetEntry(0, 0, 0, QStringLiteral("100"));
    QCOMPARE(book.cellText(0, 0, 1), QStringLiteral("7"));
    // a formula cleared in one step with the cells it reads, in either order
    for (bool inputFirst : {true, false}) {
        book.SetEntry(0, 4, 0, QStringLiteral("2"));
        book.SetEntry(0, 4, 1, QStringLiteral("=A5*2"));
        book.SetEntry(0, 4, 2, QStringLiteral("=B5+A5"));
        CellChanges clear{{0, 4, 0, std::nullopt}, {0, 4, 1, std::nullopt}};
        if (!inputFirst)
            std::swap(clear[0], clear[1]);
        book.apply(clear);
        QCOMPARE(book.cellText(0, 4, 2), QStringLiteral("0"));
    }
    // a cycle typed in ends and says so
    book.SetEntry(0, 1, 0, QStringLiteral("=A2+1"));
    QVERIFY(book.lastRecalculation().newCircular);
    QCOMPARE(book.cellText(0, 1, 0), QStringLiteral("1"));
    // loaded again, the formulas still follow their cells
    tegaro::HGLOBAL h = 0;
    book.SaveToMemoryHandle(h);
    TSheetBook other;
    other.LoadFromMemoryHandle(h);
    tegaro::GlobalFree(h);
    other.SetEntry(0, 0, 1, QStringLiteral("41"));
    QCOMPARE(other.cellText(0, 0, 2), QStringLiteral("42"));
    // a book handed over keeps the results it has until worked out again
    Workbook changed = other.workbook();
    changed.sheets[0].cellRef(0, 1).number = 1;
    other.setWorkbook(changed);
    QCOMPARE(other.cellText(0, 0, 2), QStringLiteral("42"));
    other.RecalculateAll();
    QCOMPARE(other.cellText(0, 0, 2), QStringLiteral("2"));
    other.ClearWorkbook();
    other.SetEntry(0, 0, 0, QStringLiteral("=1+1"));
    QCOMPARE(other.cellText(0, 0, 0), QStringLiteral("2"));
}

void TestRecalc::savedFileCarriesNewResults()
{
    Workbook book = fixtureBook("meisai.xls");
    Calculator calc(book);
    book.sheets[0].cellRef(2, 1).number = 100; // B3, read by D3 and by the second sheet
    const Recalculation r = calc.cellsChanged({{0, 2, 1}});
    QCOMPARE(names(book, r.changed), QStringLiteral("D3,二枚目!B1").replace(QStringLiteral("二枚目"), book.sheets[1].name));
    const Workbook back = readXls(writeXls(book));
    QCOMPARE(back.cellText(0, 2, 3), QStringLiteral("142.13"));
    QCOMPARE(back.cellText(1, 0, 1), QStringLiteral("200"));
    QCOMPARE(formulaText(back, 1, 0, 1), formulaText(book, 1, 0, 1));
}

void TestRecalc::officeReadsOurFormulas()
{
    // Typed formulas written by us: LibreOffice reads the same formulas and,
    // working them out itself, gets the same results.
    if (office().isEmpty())
        QSKIP("soffice/libreoffice is not on PATH: our formulas are not checked against another program");
    TSheetBook book;
    const QStringList entries = {
        "10",
        "20.5",
        "=A1+B1",
        "=ROUND(B1*1.1,0)",
        "=IF(A1>5,\"大\",\"小\")",
        "=SUM(A1:B1)*2",
        "=HLOOKUP(20.5,A1:B1,1,FALSE)",
        "=LEFTB(\"家屋評価\",4)",
        "=TEXT(A1,\"0.00\")",
        "=IFERROR(1/0,\"x\")",
        "=SUMPRODUCT((A1:B1>15)*A1:B1)",
        "=CHOOSE(2,\"a\",\"b\")",
        "=DATE(2024,4,1)",
        "=A1&\"円\"",
        "={1,2;3,4}",
    };
    for (int i = 0; i < entries.size(); ++i)
        book.SetEntry(0, 0, i, entries[i]);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ours.xls"));
    book.SaveWorkbook(path);
    const QStringList values = officeCsv(path, dir.path());
    const QStringList formulas = officeCsv(path, dir.path(), true);
    QVERIFY2(!values.isEmpty() && !formulas.isEmpty(), "LibreOffice converted nothing");
    auto fields = [](const QString& line) {
        QStringList out;
        QString field;
        bool quoted = false;
        for (int i = 0; i < line.size(); ++i) {
            const QChar c = line[i];
            if (c == u'"') {
                if (quoted && i + 1 < line.size() && line[i + 1] == u'"')
                    field += line[++i];
                else
                    quoted = !quoted;
            } else if (c == u',' && !quoted) {
                out << field;
                field.clear();
            } else {
                field += c;
            }
        }
        return out << field;
    };
    const QStringList shown = fields(values[0]), typed = fields(formulas[0]);
    for (int i = 0; i < entries.size(); ++i) {
        QCOMPARE(shown.value(i), book.cellText(0, 0, i));
        if (!entries[i].startsWith(u'='))
            continue;
        // LibreOffice spells the constants FALSE() and TRUE()
        QString theirs = typed.value(i).replace(u';', u',');
        theirs.replace(QStringLiteral("FALSE()"), QStringLiteral("FALSE")).replace(QStringLiteral("TRUE()"), QStringLiteral("TRUE"));
        QCOMPARE(theirs, book.EntryText(0, 0, i).replace(u';', u','));
    }
}

void TestRecalc::gnumericWorksOutOurFormulas()
{
    // Gnumeric, working out the formulas we wrote itself, gets our results.
    // (It counts UTF-8 bytes in LEFTB and the like, so those are left out.)
    const QString ssconvert = QStandardPaths::findExecutable(QStringLiteral("ssconvert"));
    if (ssconvert.isEmpty())
        QSKIP("ssconvert is not on PATH: our formulas are not checked against Gnumeric");
    TSheetBook book;
    const QStringList entries = {
        "10",
        "20.5",
        "=A1+B1",
        "=ROUND(B1*1.1,0)",
        "=IF(A1>5,\"大\",\"小\")",
        "=SUMPRODUCT((A1:B1>15)*A1:B1)",
        "=IFERROR(1/0,\"x\")",
        "=HLOOKUP(20.5,A1:B1,1,FALSE)",
        "=MOD(-7,3)",
        "=A1&\"円\"",
        "=CHOOSE(2,\"a\",\"b\")",
    };
    for (int i = 0; i < entries.size(); ++i)
        book.SetEntry(0, 0, i, entries[i]);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ours.xls"));
    const QString csv = dir.filePath(QStringLiteral("theirs.csv"));
    book.SaveWorkbook(path);
    QProcess p;
    p.start(ssconvert, {QStringLiteral("--recalc"), QStringLiteral("-T"), QStringLiteral("Gnumeric_stf:stf_csv"), path, csv});
    QVERIFY(p.waitForFinished(120000));
    QFile f(csv);
    QVERIFY2(f.open(QIODevice::ReadOnly), "Gnumeric converted nothing");
    const QStringList theirs = QString::fromUtf8(f.readAll()).trimmed().split(u',');
    QCOMPARE(theirs.size(), entries.size());
    for (int i = 0; i < entries.size(); ++i)
        QCOMPARE(theirs[i], book.cellText(0, 0, i));
}

void TestRecalc::toolSetsAndShows()
{
    QTemporaryDir dir;
    const QString in = QStringLiteral(TEGARO_FIXTURES "/sheets/meisai.xls");
    const QString out = dir.filePath(QStringLiteral("set.xls"));
    ToolRun run = runTool(QStringLiteral("tegaro-sheet"),
                          {QStringLiteral("set"), in, out, QStringLiteral("B3=100"), QStringLiteral("E1==SUM(B3:D3)"),
                           QStringLiteral("E2=令和6年4月1日")});
    QCOMPARE(run.code, 0);
    run = runTool(QStringLiteral("tegaro-sheet"), {QStringLiteral("cat"), out});
    QVERIFY2(run.out.contains(QStringLiteral("D3\t142.13\n")), qPrintable(run.out));
    QVERIFY(run.out.contains(QStringLiteral("E1\t284.25\n")));
    run = runTool(QStringLiteral("tegaro-sheet"), {QStringLiteral("cat"), out, QStringLiteral("--formulas")});
    QVERIFY(run.out.contains(QStringLiteral("E1\t=SUM(B3:D3)\n")));
    QVERIFY(run.out.contains(QStringLiteral("B3\t100.00\n")));
    // --recalc works out what the file's program left stale
    run = runTool(QStringLiteral("tegaro-sheet"), {QStringLiteral("cat"), in, QStringLiteral("--recalc")});
    QCOMPARE(run.code, 0);
    QVERIFY2(run.out.contains(QStringLiteral("D4\t床面積計\n")), qPrintable(run.out));
    run = runTool(QStringLiteral("tegaro-sheet"), {QStringLiteral("cat"), in});
    QVERIFY(run.out.contains(QStringLiteral("D4\t0\n")));
    // a faulty formula stops it, and nothing is written
    const QString bad = dir.filePath(QStringLiteral("bad.xls"));
    run = runTool(QStringLiteral("tegaro-sheet"), {QStringLiteral("set"), in, bad, QStringLiteral("A1=1"), QStringLiteral("B1==SUM(")});
    QCOMPARE(run.code, 1);
    QVERIFY2(run.err.contains(QStringLiteral("B1: 数式の")), qPrintable(run.err));
    QVERIFY(!QFile::exists(bad));
    run = runTool(QStringLiteral("tegaro-sheet"), {QStringLiteral("set"), in, bad, QStringLiteral("nonsense")});
    QCOMPARE(run.code, 2);
    // a cycle is said once, and the file is still written
    run = runTool(QStringLiteral("tegaro-sheet"),
                  {QStringLiteral("set"), in, out, QStringLiteral("F1==G1"), QStringLiteral("G1==F1+1")});
    QCOMPARE(run.code, 0);
    QCOMPARE(run.err.count(QStringLiteral("循環参照")), 1);
}

QObject* makeTestRecalc() { return new TestRecalc; }

#include "test_recalc.moc"
