// The selection of the shown workbook and the edits made on it (cut and
// paste, clearing), as the book keeps them without a window.
#include "sheets/book/CellClipboard.h"
#include "sheets/book/SheetBook.h"
#include "sheets/formula/Formulas.h"
#include "sheets/model/SheetErrors.h"

#include <QtTest>

using namespace tegaro::sheets;

namespace {

Range rangeOf(const QString& text)
{
    const auto r = parseRange(text);
    return r ? *r : Range{};
}

QString nameOf(const Range& r)
{
    return cellName(r.firstRow, r.firstCol) + u':' + cellName(r.lastRow, r.lastCol);
}

void put(Sheet& s, const QString& at, double number)
{
    const Range r = rangeOf(at);
    Cell& c = s.cellRef(r.firstRow, r.firstCol);
    c.kind = CellKind::Number;
    c.number = number;
}

// Values in B2:B5, D2 and G10; column C hidden, column H of no width,
// row 7 hidden; E8:F9 merged.
Workbook movesSheet()
{
    Workbook w;
    Sheet& s = w.sheets[0];
    for (int r = 2; r <= 5; ++r)
        put(s, QStringLiteral("B%1").arg(r), r);
    put(s, QStringLiteral("D2"), 1);
    put(s, QStringLiteral("G10"), 1);
    ColumnInfo hidden;
    hidden.first = hidden.last = 2;
    hidden.options = 1;
    ColumnInfo none;
    none.first = none.last = 7;
    none.width = 0;
    s.columns << hidden << none;
    RowInfo row;
    row.options |= 0x20;
    s.rows[6] = row;
    s.merged << rangeOf(QStringLiteral("E8:F9"));
    return w;
}

// A1:A3 hold 1, 2, 3; a second sheet is empty.
Workbook cutSheet()
{
    Workbook w;
    w.addSheet(QStringLiteral("二"));
    for (int r = 0; r < 3; ++r)
        put(w.sheets[0], cellName(r, 0), r + 1);
    return w;
}

QStringList columnTexts(const TSheetBook& book, int sheet, int col, int rows)
{
    QStringList out;
    for (int r = 0; r < rows; ++r)
        out << book.cellText(sheet, r, col);
    return out;
}

// The cells of every sheet alike; formats and views may differ.
bool sameCells(const Workbook& a, const Workbook& b)
{
    if (a.sheets.size() != b.sheets.size())
        return false;
    for (int i = 0; i < a.sheets.size(); ++i)
        if (a.sheets[i].cells() != b.sheets[i].cells())
            return false;
    return true;
}

} // namespace

class TestSelection : public QObject {
    Q_OBJECT
private slots:
    void cursorMoves_data();
    void cursorMoves();
    void wholeLines_data();
    void wholeLines();
    void startsAfreshWithEachSheet();
    void cutMovesOnPaste_data();
    void cutMovesOnPaste();
    void copyAndEscapeForgetTheCut();
    void clearKeepsFormats_data();
    void clearKeepsFormats();
    void undoSelectsWhatChangedBack();
};

void TestSelection::cursorMoves_data()
{
    QTest::addColumn<QString>("from");     // the cell selected first
    QTest::addColumn<QString>("keys");     // d u l r: arrows
    QTest::addColumn<bool>("jump");        // with Ctrl
    QTest::addColumn<bool>("extend");      // with Shift
    QTest::addColumn<QString>("selected"); // the selection after
    QTest::addColumn<QString>("active");
    QTest::newRow("right skips a hidden column") << "B2"
                                                 << "r" << false << false << "D2:D2"
                                                 << "D2";
    QTest::newRow("right skips a column of no width") << "G2"
                                                      << "r" << false << false << "I2:I2"
                                                      << "I2";
    QTest::newRow("down skips a hidden row") << "B6"
                                             << "d" << false << false << "B8:B8"
                                             << "B8";
    QTest::newRow("up stops at the edge") << "B2"
                                          << "uuu" << false << false << "B1:B1"
                                          << "B1";
    QTest::newRow("left stops at the edge") << "A5"
                                            << "l" << false << false << "A5:A5"
                                            << "A5";
    QTest::newRow("ctrl down along the values") << "B2"
                                                << "d" << true << false << "B5:B5"
                                                << "B5";
    QTest::newRow("ctrl right to the next value") << "B2"
                                                  << "r" << true << false << "D2:D2"
                                                  << "D2";
    QTest::newRow("ctrl down past the last value to the edge") << "B5"
                                                               << "d" << true << false << "B65536:B65536"
                                                               << "B65536";
    QTest::newRow("ctrl right over empty cells") << "D10"
                                                 << "r" << true << false << "G10:G10"
                                                 << "G10";
    QTest::newRow("shift grows from the anchor") << "B2"
                                                 << "dd" << false << true << "B2:B4"
                                                 << "B2";
    QTest::newRow("shift back over the anchor") << "B4"
                                                << "uuu" << false << true << "B1:B4"
                                                << "B4";
    QTest::newRow("shift takes a merged area whole") << "D8"
                                                     << "r" << false << true << "D8:F9"
                                                     << "D8";
    QTest::newRow("into a merged area") << "E6"
                                        << "d" << false << false << "E8:F9"
                                        << "E8";
    QTest::newRow("out of a merged area from its far side") << "E8"
                                                            << "d" << false << false << "E10:E10"
                                                            << "E10";
    QTest::newRow("a cell inside a merged area") << "F9"
                                                 << "" << false << false << "E8:F9"
                                                 << "E8";
}

void TestSelection::cursorMoves()
{
    QFETCH(QString, from);
    QFETCH(QString, keys);
    QFETCH(bool, jump);
    QFETCH(bool, extend);
    QFETCH(QString, selected);
    QFETCH(QString, active);
    TSheetBook book;
    book.setWorkbook(movesSheet());
    const Range start = rangeOf(from);
    book.select(start.firstRow, start.firstCol);
    for (QChar k : keys) {
        const int dRow = k == u'd' ? 1 : k == u'u' ? -1
                                                   : 0;
        const int dCol = k == u'r' ? 1 : k == u'l' ? -1
                                                   : 0;
        book.moveCursor(dRow, dCol, jump, extend);
    }
    QCOMPARE(nameOf(book.selection().range), selected);
    QCOMPARE(cellName(book.activeRow(), book.activeCol()), active);
    QCOMPARE(book.singleCell(), !extend || keys.isEmpty());
}

void TestSelection::wholeLines_data()
{
    QTest::addColumn<bool>("columns");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<bool>("extend");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("active");
    // C3 is active before
    QTest::newRow("columns") << true << 1 << 3 << false << "B1:D65536"
                             << "B1";
    QTest::newRow("rows") << false << 4 << 4 << false << "A5:IV5"
                          << "A5";
    QTest::newRow("rows extended keep the active cell") << false << 0 << 5 << true << "A1:IV6"
                                                        << "C3";
    QTest::newRow("beyond the sheet is cut to it") << true << 250 << 400 << false << "IQ1:IV65536"
                                                   << "IQ1";
}

void TestSelection::wholeLines()
{
    QFETCH(bool, columns);
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(bool, extend);
    QFETCH(QString, selected);
    QFETCH(QString, active);
    TSheetBook book;
    book.select(2, 2);
    book.selectLines(first, last, columns, extend);
    QCOMPARE(nameOf(book.selection().range), selected);
    QCOMPARE(cellName(book.activeRow(), book.activeCol()), active);
    QVERIFY(!book.singleCell());
}

void TestSelection::startsAfreshWithEachSheet()
{
    Workbook w = movesSheet();
    w.addSheet(QStringLiteral("二")).view.activeRow = 4;
    w.sheets[0].view.activeRow = 8; // inside E8:F9
    w.sheets[0].view.activeCol = 5;
    TSheetBook book;
    int told = 0;
    book.onChanged = [&](const BookChange&) { ++told; };
    book.setWorkbook(w);
    QCOMPARE(nameOf(book.selection().range), QStringLiteral("E8:F9"));
    book.moveCursor(1, 0, false, true);
    book.setActiveSheet(1);
    QCOMPARE(nameOf(book.selection().range), QStringLiteral("A5:A5"));
    book.setActiveSheet(0);
    QCOMPARE(nameOf(book.selection().range), QStringLiteral("E8:F9"));
    // each change of the selection is told, once
    told = 0;
    book.select(0, 0);
    book.selectRange(rangeOf(QStringLiteral("B2:C3")));
    QCOMPARE(told, 2);
    QCOMPARE(book.selection().end, (CellPos{2, 2}));
}

void TestSelection::cutMovesOnPaste_data()
{
    QTest::addColumn<QString>("cut");        // on the first sheet
    QTest::addColumn<int>("sheet");          // pasted on
    QTest::addColumn<QString>("target");     // the selection pasted at
    QTest::addColumn<QStringList>("first");  // column A of the first sheet after, rows 1-4
    QTest::addColumn<QStringList>("pasted"); // the pasted range's first column after, rows 1-4
    QTest::addColumn<int>("pastedCol");
    QTest::newRow("aside") << "A1:A2" << 0 << "C1" << QStringList{"", "", "3", ""}
                           << QStringList{"1", "2", "", ""} << 2;
    QTest::newRow("down over itself") << "A1:A3" << 0 << "A2" << QStringList{"", "1", "2", "3"}
                                      << QStringList{"", "1", "2", "3"} << 0;
    QTest::newRow("onto another sheet") << "A2:A3" << 1 << "A1" << QStringList{"1", "", "", ""}
                                        << QStringList{"2", "3", "", ""} << 0;
}

void TestSelection::cutMovesOnPaste()
{
    QFETCH(QString, cut);
    QFETCH(int, sheet);
    QFETCH(QString, target);
    QFETCH(QStringList, first);
    QFETCH(QStringList, pasted);
    QFETCH(int, pastedCol);
    TSheetBook book;
    book.setWorkbook(cutSheet());
    const Workbook before = book.workbook();
    book.selectRange(rangeOf(cut));
    QCOMPARE(book.cutSelection(), SelectionEdit::Done);
    QVERIFY(book.cutMark() == (CutMark{0, rangeOf(cut)}));
    const std::unique_ptr<QMimeData> clip = book.selectionData();
    QCOMPARE(columnTexts(book, 0, 0, 3), (QStringList{"1", "2", "3"})); // nothing moves before the paste
    book.setActiveSheet(sheet);
    const Range at = rangeOf(target);
    book.select(at.firstRow, at.firstCol);
    const SelectionPaste done = book.pasteSelection(*clip);
    QCOMPARE(done.result, SelectionEdit::Done);
    QVERIFY(done.cutMoved);
    QVERIFY(!book.cutMark());
    QCOMPARE(columnTexts(book, 0, 0, 4), first);
    QCOMPARE(columnTexts(book, sheet, pastedCol, 4), pasted);
    const Range cutRange = rangeOf(cut);
    QCOMPARE(book.selection().range.lastRow - book.selection().range.firstRow, cutRange.lastRow - cutRange.firstRow);
    // one step takes it all back
    QVERIFY(book.undo());
    QVERIFY(!book.canUndo());
    QVERIFY(sameCells(book.workbook(), before));
    // pasted again, the same copy no longer moves anything
    book.setActiveSheet(0);
    book.select(5, 5);
    QCOMPARE(book.pasteSelection(*clip).cutMoved, false);
    QCOMPARE(columnTexts(book, 0, 0, 3), (QStringList{"1", "2", "3"}));
}

void TestSelection::copyAndEscapeForgetTheCut()
{
    TSheetBook book;
    book.setWorkbook(cutSheet());
    book.select(0, 0);
    QCOMPARE(book.cutSelection(), SelectionEdit::Done);
    const std::unique_ptr<QMimeData> copied = book.copySelection();
    QVERIFY(!book.cutMark());
    book.select(0, 3);
    QVERIFY(!book.pasteSelection(*copied).cutMoved);
    QCOMPARE(book.cellText(0, 0, 0), QStringLiteral("1"));
    QCOMPARE(book.cellText(0, 0, 3), QStringLiteral("1"));
    QCOMPARE(book.cutSelection(), SelectionEdit::Done);
    book.forgetCut();
    QVERIFY(!book.cutMark());
    QCOMPARE(book.cutSelection(), SelectionEdit::Done);
    book.setWorkbook(cutSheet());
    QVERIFY(!book.cutMark()); // a new workbook has nothing cut
    // a plain text paste moves nothing either
    QCOMPARE(book.cutSelection(), SelectionEdit::Done);
    QMimeData text;
    text.setText(QStringLiteral("9"));
    book.select(0, 1);
    const SelectionPaste done = book.pasteSelection(text);
    QVERIFY(!done.cutMoved);
    QCOMPARE(book.cellText(0, 0, 0), QStringLiteral("1"));
    QCOMPARE(book.cellText(0, 0, 1), QStringLiteral("9"));
}

void TestSelection::clearKeepsFormats_data()
{
    QTest::addColumn<QString>("selected");
    QTest::addColumn<bool>("protect");        // the sheet protected, B1:B3 unlocked
    QTest::addColumn<int>("result");          // SelectionEdit
    QTest::addColumn<QStringList>("columnA"); // rows 1-3 after
    QTest::addColumn<QStringList>("columnB");
    const int done = int(SelectionEdit::Done), locked = int(SelectionEdit::Locked), nothing = int(SelectionEdit::Nothing);
    const QStringList full{"1", "2", "3"}, none{"", "", ""};
    QTest::newRow("a range") << "A1:B2" << false << done << QStringList{"", "", "3"} << QStringList{"", "", "30"};
    QTest::newRow("a whole column") << "A1:A65536" << false << done << none << QStringList{"10", "20", "30"};
    QTest::newRow("empty cells") << "D4:E9" << false << nothing << full << QStringList{"10", "20", "30"};
    QTest::newRow("locked cells refuse") << "A1:B1" << true << locked << full << QStringList{"10", "20", "30"};
    QTest::newRow("unlocked cells of a protected sheet") << "B1:B3" << true << done << full << none;
}

void TestSelection::clearKeepsFormats()
{
    QFETCH(QString, selected);
    QFETCH(bool, protect);
    QFETCH(int, result);
    QFETCH(QStringList, columnA);
    QFETCH(QStringList, columnB);
    Workbook w;
    Sheet& s = w.sheets[0];
    CellFormat money = w.formats[15];
    money.numberFormat = quint16(w.addNumberFormat(QStringLiteral("0\"円\"")));
    money.locked = false;
    const int xf = w.addFormat(money);
    for (int r = 0; r < 3; ++r) {
        put(s, cellName(r, 0), r + 1);
        put(s, cellName(r, 1), (r + 1) * 10);
        s.cell(r, 1)->xf = quint16(xf);
    }
    if (protect)
        s.protection = QByteArray::fromHex("120002000100");
    TSheetBook book;
    book.setWorkbook(w);
    book.selectRange(rangeOf(selected));
    QCOMPARE(int(book.clearContents()), result);
    QCOMPARE(columnTexts(book, 0, 0, 3), columnA);
    QStringList shownB;
    for (const QString& t : columnTexts(book, 0, 1, 3))
        shownB << QString(t).remove(QStringLiteral("円"));
    QCOMPARE(shownB, columnB);
    // what is cleared keeps its format, and comes back in one step
    for (int r = 0; r < 3; ++r)
        QCOMPARE(book.workbook().sheets[0].cell(r, 1)->xf, quint16(xf));
    QCOMPARE(book.canUndo(), result == int(SelectionEdit::Done));
    if (book.undo())
        QVERIFY(sameCells(book.workbook(), w));
}

void TestSelection::undoSelectsWhatChangedBack()
{
    TSheetBook book;
    book.setWorkbook(cutSheet());
    book.selectRange(rangeOf(QStringLiteral("A2:A3")));
    QCOMPARE(book.clearContents(), SelectionEdit::Done);
    book.select(10, 10);
    QVERIFY(book.undo());
    QCOMPARE(nameOf(book.selection().range), QStringLiteral("A2:A3"));
    QCOMPARE(book.activeRow(), 1);
    book.select(10, 10);
    QVERIFY(book.redo());
    QCOMPARE(nameOf(book.selection().range), QStringLiteral("A2:A3"));
    // a step on another sheet leaves the shown sheet's selection alone
    book.SetEntry(1, 4, 4, QStringLiteral("x"));
    book.select(7, 7);
    QVERIFY(book.undo());
    QCOMPARE(nameOf(book.selection().range), QStringLiteral("H8:H8"));
    // an array formula cut in two refuses the clear, nothing changed
    Workbook w = cutSheet();
    auto f = std::make_shared<Formula>();
    f->source = QStringLiteral("A1:A2*3");
    f->array = Range{0, 1, 1, 1};
    for (int r = 0; r < 2; ++r) {
        Cell& c = w.sheets[0].cellRef(r, 1);
        c.kind = CellKind::Formula;
        c.result = CellKind::Number;
        c.number = 3 * (r + 1);
    }
    w.sheets[0].cellRef(0, 1).formula = f;
    compileSources(w);
    book.setWorkbook(w);
    book.select(1, 1);
    QVERIFY_THROWS_EXCEPTION(ESheetError, book.clearContents());
    QCOMPARE(book.cellText(0, 1, 1), QStringLiteral("6"));
    QVERIFY(!book.canUndo());
}

QObject* makeTestSelection() { return new TestSelection; }

#include "test_selection.moc"
