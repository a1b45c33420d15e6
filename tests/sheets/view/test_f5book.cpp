// The control driven as a user drives it: keys, mouse, the edit bar, the
// clipboard, undo, and the interface the window calls.
#include "support/ScriptedSeam.h"
#include "sheets/formula/Formulas.h"
#include "sheets/model/SheetErrors.h"
#include "sheets/xls/XlsFile.h"
#include "sheets/view/SheetGrid.h"
#include "sheets/view/TF5Book.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTabBar>
#include <QTemporaryDir>
#include <QtTest>

using namespace tegaro;
using namespace tegaro::sheets;

namespace {

// Keys that type `text`, any script, one character after another.
void typeInto(QWidget* target, const QString& text)
{
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// A window of its own holding the control where the page will place it.
struct Window {
    QWidget top;
    TF5Book* book;
    SheetGrid* grid;
    QLineEdit* editBar;
    QLineEdit* nameBox;

    Window() { open(); }
    void open()
    {
        top.resize(870, 460);
        auto* control = new TF5Book(&top);
        control->setGeometry(148, 8, 710, 433);
        // as the page does: what the control tells goes to the user
        QObject::connect(control, &TF5Book::told, [](const QString& text) { seam().message(text); });
        QObject::connect(control, &TF5Book::failed, [](const QString& text) { seam().error(text); });
        top.show();
        top.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&top));
        book = top.findChild<TF5Book*>(QStringLiteral("F5Book1"));
        grid = book->findChild<SheetGrid*>(QStringLiteral("SheetGrid"));
        editBar = book->findChild<QLineEdit*>(QStringLiteral("EditBar"));
        nameBox = book->findChild<QLineEdit*>(QStringLiteral("NameBox"));
        grid->setFocus();
    }
    QWidget* focused() const { return QApplication::focusWidget() ? QApplication::focusWidget() : grid; }
    void click(int row, int col, Qt::KeyboardModifiers mods = {})
    {
        const QRect r = grid->cellRect(row, col);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, mods, r.center());
    }
    void type(const QString& text)
    {
        for (QChar c : text) // the focus moves to the cell editor on the first key
            typeInto(focused(), QString(c));
    }
    void key(int key, Qt::KeyboardModifiers mods = {}) { QTest::keyClick(focused(), Qt::Key(key), mods); }
    void setBook(const Workbook& w) { book->book().setWorkbook(w); }
};

Workbook twoSheets()
{
    Workbook w;
    w.sheets[0].name = QStringLiteral("明細");
    w.addSheet(QStringLiteral("隠し")).visibility = 1;
    Cell& c = w.addSheet(QStringLiteral("集計")).cellRef(0, 0);
    c.kind = CellKind::Text;
    c.text = QStringLiteral("三枚目");
    return w;
}

} // namespace

class TestF5Book : public QObject {
    Q_OBJECT
private slots:
    void init() { QApplication::clipboard()->clear(); }
    void typeEnterEscape_data();
    void typeEnterEscape();
    void keysMoveTheCursor_data();
    void keysMoveTheCursor();
    void clicksInsideTheSelection_data();
    void clicksInsideTheSelection();
    void editBarAndNameBox();
    void undoRedo();
    void formulasFollowTheirCells();
    void brokenFormulasAreRefused_data();
    void brokenFormulasAreRefused();
    void brokenFormulaStopsASave();
    void circularReferenceToldOnce();
    void f9WorksOutStaleResults();
    void copyPasteThroughTheClipboard();
    void copiedFormulasReadFromTheirNewPlace_data();
    void copiedFormulasReadFromTheirNewPlace();
    void cutMovesCells();
    void arrayFormulasChangeAsOne();
    void deleteKeepsFormats();
    void protectedCellsRefuseEdits();
    void inputMethodStartsAnEntry();
    void standardView();
    void cellTextPlaces_data();
    void cellTextPlaces();
    void loadsReplaceOrKeep();
    void sheetTabs();
    void zoomWithCtrlWheel();
    void printWorkbook();
    void screenReadersSeeATable();
};

void TestF5Book::typeEnterEscape_data()
{
    QTest::addColumn<QString>("before"); // B2's entry first
    QTest::addColumn<QString>("keys");   // typed; \n Enter, \t Tab, \e Escape, \2 F2
    QTest::addColumn<QString>("shown");  // B2's text after
    QTest::addColumn<QString>("active"); // the active cell after
    QTest::newRow("Enter stores and moves down") << ""
                                                 << "123\n"
                                                 << "123"
                                                 << "B3";
    QTest::newRow("Tab stores and moves right") << ""
                                                << "abc\t"
                                                << "abc"
                                                << "C2";
    QTest::newRow("Escape keeps what was there") << "old"
                                                 << "new\e"
                                                 << "old"
                                                 << "B2";
    QTest::newRow("typing replaces") << "old"
                                     << "x\n"
                                     << "x"
                                     << "B3";
    QTest::newRow("F2 edits the entry") << "old"
                                        << "\2er\n"
                                        << "older"
                                        << "B3";
    QTest::newRow("a date") << ""
                            << "2024/4/1\n"
                            << "2024/4/1"
                            << "B3";
    QTest::newRow("separators") << ""
                                << "1,234\n"
                                << "1,234"
                                << "B3";
    QTest::newRow("an era date") << ""
                                 << "R6.4.1\n"
                                 << "R6.4.1"
                                 << "B3";
    QTest::newRow("arrows end a typed entry") << ""
                                              << "7\x1f"
                                              << "7"
                                              << "B3";
}

void TestF5Book::typeEnterEscape()
{
    QFETCH(QString, before);
    QFETCH(QString, keys);
    QFETCH(QString, shown);
    QFETCH(QString, active);
    Window w;
    if (!before.isEmpty())
        w.book->book().SetEntry(0, 1, 1, before);
    w.click(1, 1);
    for (QChar c : keys) {
        switch (c.unicode()) {
        case '\n': w.key(Qt::Key_Return); break;
        case '\t': w.key(Qt::Key_Tab); break;
        case 0x1b: w.key(Qt::Key_Escape); break;
        case 0x02: w.key(Qt::Key_F2); break;
        case 0x1f: w.key(Qt::Key_Down); break;
        default: w.type(QString(c));
        }
    }
    QCOMPARE(w.book->CellText(1, 2, 2), shown);
    QCOMPARE(w.nameBox->text(), active);
    QVERIFY(!w.grid->isEditing());
}

void TestF5Book::keysMoveTheCursor_data()
{
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<int>("mods");
    QTest::addColumn<QString>("name"); // the name box after
    const int ctrl = int(Qt::ControlModifier), shift = int(Qt::ShiftModifier);
    // from B2, on a sheet with values in B2:B5, D2 and G10, column C hidden, E8:F9 merged
    QTest::newRow("right skips a hidden column") << QList<int>{Qt::Key_Right} << 0 << "D2";
    QTest::newRow("left") << QList<int>{Qt::Key_Left} << 0 << "A2";
    QTest::newRow("up stops at the edge") << QList<int>{Qt::Key_Up, Qt::Key_Up, Qt::Key_Up} << 0 << "B1";
    QTest::newRow("ctrl down to the last value") << QList<int>{Qt::Key_Down} << ctrl << "B5";
    QTest::newRow("ctrl right to the next value") << QList<int>{Qt::Key_Right} << ctrl << "D2";
    QTest::newRow("ctrl home") << QList<int>{Qt::Key_Home} << ctrl << "A1";
    QTest::newRow("ctrl end") << QList<int>{Qt::Key_End} << ctrl << "G10";
    QTest::newRow("home") << QList<int>{Qt::Key_Home} << 0 << "A2";
    QTest::newRow("shift extends") << QList<int>{Qt::Key_Down, Qt::Key_Down} << shift << "3R x 1C";
    QTest::newRow("into a merged area") << QList<int>{Qt::Key_Right, Qt::Key_Right, Qt::Key_Down, Qt::Key_Down,
                                                      Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down}
                                        << 0 << "E8";
    QTest::newRow("out of a merged area") << QList<int>{Qt::Key_Right, Qt::Key_Right, Qt::Key_Down, Qt::Key_Down,
                                                        Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down,
                                                        Qt::Key_Down}
                                          << 0 << "E10";
    QTest::newRow("page down") << QList<int>{Qt::Key_PageDown} << 0 << "";
}

void TestF5Book::keysMoveTheCursor()
{
    QFETCH(QList<int>, keys);
    QFETCH(int, mods);
    QFETCH(QString, name);
    Workbook book;
    Sheet& s = book.sheets[0];
    for (int r = 1; r <= 4; ++r) {
        Cell& c = s.cellRef(r, 1);
        c.kind = CellKind::Number;
        c.number = r;
    }
    s.cellRef(1, 3).kind = CellKind::Number;
    s.cellRef(9, 6).kind = CellKind::Number; // G10: the last used cell
    ColumnInfo hidden;
    hidden.first = hidden.last = 2;
    hidden.options = 1;
    s.columns << hidden;
    s.merged << Range{7, 8, 4, 5};
    Window w;
    w.setBook(book);
    w.click(1, 1);
    for (int k : keys)
        w.key(k, Qt::KeyboardModifiers(mods));
    if (name.isEmpty()) // a page: as many rows as fit, and the view follows
        QCOMPARE(w.book->book().activeRow(), 1 + w.grid->visibleRows());
    else
        QCOMPARE(w.nameBox->text(), name);
    QVERIFY(!w.grid->cellRect(w.book->book().activeRow(), w.book->book().activeCol()).isEmpty());
}

void TestF5Book::clicksInsideTheSelection_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("col");
    QTest::addColumn<QString>("selected"); // afterwards, first:last
    // B2:C4 is selected before each click
    QTest::newRow("right inside keeps it") << int(Qt::RightButton) << 2 << 2 << QStringLiteral("B2:C4");
    QTest::newRow("right on its corner keeps it") << int(Qt::RightButton) << 1 << 1 << QStringLiteral("B2:C4");
    QTest::newRow("right outside moves") << int(Qt::RightButton) << 5 << 4 << QStringLiteral("E6:E6");
    QTest::newRow("left inside moves") << int(Qt::LeftButton) << 2 << 2 << QStringLiteral("C3:C3");
    QTest::newRow("middle inside moves") << int(Qt::MiddleButton) << 3 << 1 << QStringLiteral("B4:B4");
}

void TestF5Book::clicksInsideTheSelection()
{
    QFETCH(int, button);
    QFETCH(int, row);
    QFETCH(int, col);
    QFETCH(QString, selected);
    Window w;
    w.click(1, 1);
    w.click(3, 2, Qt::ShiftModifier);
    QTest::mouseClick(w.grid->viewport(), Qt::MouseButton(button), {}, w.grid->cellRect(row, col).center());
    const Range r = w.grid->selection();
    QCOMPARE(cellName(r.firstRow, r.firstCol) + u':' + cellName(r.lastRow, r.lastCol), selected);
}

void TestF5Book::editBarAndNameBox()
{
    Window w;
    w.book->book().SetEntry(0, 0, 0, QStringLiteral("0.5"));
    w.click(0, 0);
    QCOMPARE(w.editBar->text(), QStringLiteral("0.5"));
    // typing in the cell shows in the edit bar as it goes
    w.type(QStringLiteral("12"));
    QCOMPARE(w.editBar->text(), QStringLiteral("12"));
    w.key(Qt::Key_Escape);
    QCOMPARE(w.editBar->text(), QStringLiteral("0.5"));
    // an entry made in the edit bar
    w.editBar->setFocus();
    w.editBar->selectAll();
    typeInto(w.editBar, QStringLiteral("所有者"));
    QTest::keyClick(w.editBar, Qt::Key_Return);
    QCOMPARE(w.book->CellText(1, 1, 1), QStringLiteral("所有者"));
    QCOMPARE(w.nameBox->text(), QStringLiteral("A2"));
    // Escape in the edit bar gives the entry back
    w.click(0, 0);
    w.editBar->setFocus();
    QTest::keyClicks(w.editBar, QStringLiteral("xyz"));
    QTest::keyClick(w.editBar, Qt::Key_Escape);
    QCOMPARE(w.editBar->text(), QStringLiteral("所有者"));
    QCOMPARE(w.book->CellText(1, 1, 1), QStringLiteral("所有者"));
    // the name box goes to a place, and refuses what is none
    ScriptedSeam seam;
    w.nameBox->setFocus();
    w.nameBox->selectAll();
    QTest::keyClicks(w.nameBox, QStringLiteral("d4:e6"));
    QTest::keyClick(w.nameBox, Qt::Key_Return);
    QCOMPARE(w.grid->selection(), (Range{3, 5, 3, 4}));
    QCOMPARE(w.nameBox->text(), QStringLiteral("3R x 2C"));
    w.nameBox->setFocus();
    w.nameBox->selectAll();
    QTest::keyClicks(w.nameBox, QStringLiteral("ZZZ9"));
    QTest::keyClick(w.nameBox, Qt::Key_Return);
    QCOMPARE(seam.messages(), QStringList{QStringLiteral("参照が正しくありません。")});
}

void TestF5Book::undoRedo()
{
    Window w;
    w.click(0, 0);
    w.type(QStringLiteral("1"));
    w.key(Qt::Key_Return);
    w.type(QStringLiteral("2"));
    w.key(Qt::Key_Return);
    QCOMPARE(w.book->CellText(1, 2, 1), QStringLiteral("2"));
    w.key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(w.book->CellText(1, 2, 1), QString());
    QCOMPARE(w.nameBox->text(), QStringLiteral("A2")); // the cursor goes to what was undone
    w.key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(w.book->CellText(1, 1, 1), QString());
    w.key(Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(w.book->CellText(1, 1, 1), QStringLiteral("1"));
    QCOMPARE(w.book->CellText(1, 2, 1), QString());
}

void TestF5Book::formulasFollowTheirCells()
{
    ScriptedSeam seam;
    Window w;
    w.click(0, 0);
    w.type(QStringLiteral("3"));
    w.key(Qt::Key_Tab);
    w.type(QStringLiteral("=A1*2"));
    w.key(Qt::Key_Return);
    QCOMPARE(w.book->CellText(1, 1, 2), QStringLiteral("6"));
    w.click(0, 1);
    QCOMPARE(w.editBar->text(), QStringLiteral("=A1*2"));
    // an edit of what it reads, typed in the cell or in the edit bar
    w.click(0, 0);
    w.type(QStringLiteral("5"));
    w.key(Qt::Key_Return);
    QCOMPARE(w.book->CellText(1, 1, 2), QStringLiteral("10"));
    w.click(0, 0);
    w.editBar->setFocus();
    w.editBar->selectAll();
    QTest::keyClicks(w.editBar, QStringLiteral("7"));
    QTest::keyClick(w.editBar, Qt::Key_Return);
    QCOMPARE(w.book->CellText(1, 1, 2), QStringLiteral("14"));
    // undo takes back the value and the result with it, redo brings both
    w.key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(w.book->CellText(1, 1, 1), QStringLiteral("5"));
    QCOMPARE(w.book->CellText(1, 1, 2), QStringLiteral("10"));
    w.key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(w.book->CellText(1, 1, 2), QStringLiteral("6"));
    w.key(Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(w.book->CellText(1, 1, 2), QStringLiteral("10"));
    // Delete empties what it reads
    w.click(0, 0);
    w.key(Qt::Key_Delete);
    QCOMPARE(w.book->CellText(1, 1, 2), QStringLiteral("0"));
    // a pasted formula is a formula too
    QApplication::clipboard()->setText(QStringLiteral("4\t=A1+1"));
    w.key(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(w.book->CellText(1, 1, 1), QStringLiteral("4"));
    QCOMPARE(w.book->CellText(1, 1, 2), QStringLiteral("5"));
    QCOMPARE(w.book->book().EntryText(0, 0, 1), QStringLiteral("=A1+1"));
    QVERIFY(seam.messages().isEmpty());
}

void TestF5Book::brokenFormulasAreRefused_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("editBar"); // typed into the edit bar, not the cell
    for (const bool bar : {false, true}) {
        const char* where = bar ? "edit bar: " : "cell: ";
        QTest::newRow(QByteArray(where).append("open bracket").constData()) << "=A1*(2" << bar;
        QTest::newRow(QByteArray(where).append("missing operand").constData()) << "=1+" << bar;
        QTest::newRow(QByteArray(where).append("open string").constData()) << "=\"abc" << bar;
        QTest::newRow(QByteArray(where).append("full-width equals").constData()) << "＝SUM(A1" << bar;
    }
}

void TestF5Book::brokenFormulasAreRefused()
{
    QFETCH(QString, entry);
    QFETCH(bool, editBar);
    // what the engine says about the entry is what the user is told
    Workbook probe;
    QString expected;
    try {
        compileFormula(probe, 0, entry);
        QFAIL("the entry compiles");
    } catch (const EFormulaError& e) {
        expected = e.message();
    }
    ScriptedSeam seam;
    Window w;
    w.book->book().SetEntry(0, 0, 1, QStringLiteral("old"));
    w.click(0, 1);
    if (editBar) {
        w.editBar->setFocus();
        w.editBar->selectAll();
        typeInto(w.editBar, entry);
        QTest::keyClick(w.editBar, Qt::Key_Return);
        QCOMPARE(w.editBar->text(), entry);
        QVERIFY(w.editBar->hasFocus());
    } else {
        w.type(entry);
        w.key(Qt::Key_Return);
        QVERIFY(w.grid->isEditing());
        QCOMPARE(w.grid->editText(), entry);
    }
    QCOMPARE(seam.messages(), QStringList{expected});
    QCOMPARE(w.book->CellText(1, 1, 2), QStringLiteral("old"));
    QCOMPARE(w.nameBox->text(), QStringLiteral("B1"));
    QVERIFY(!w.book->book().canUndo() || w.book->book().EntryText(0, 0, 1) == u"old");
    // Escape gives the old entry back
    w.key(Qt::Key_Escape);
    QVERIFY(!w.grid->isEditing());
    QCOMPARE(w.editBar->text(), QStringLiteral("old"));
}

void TestF5Book::brokenFormulaStopsASave()
{
    ScriptedSeam seam;
    Window w;
    w.click(0, 0);
    w.type(QStringLiteral("=SUM("));
    HGLOBAL h = 0;
    QVERIFY_THROWS_EXCEPTION(EFormulaError, w.book->SaveToMemoryHandle(h));
    QVERIFY(!h);
    // the entry waits to be put right, then goes in
    QVERIFY(w.grid->isEditing());
    w.type(QStringLiteral("1,2)"));
    w.book->SaveToMemoryHandle(h);
    QVERIFY(h);
    QVERIFY(!w.grid->isEditing());
    TSheetBook back;
    back.LoadFromMemoryHandle(h);
    GlobalFree(h);
    QCOMPARE(back.EntryText(0, 0, 0), QStringLiteral("=SUM(1,2)"));
    QCOMPARE(back.cellText(0, 0, 0), QStringLiteral("3"));
}

void TestF5Book::circularReferenceToldOnce()
{
    ScriptedSeam seam;
    Window w;
    w.click(0, 0);
    w.type(QStringLiteral("=B1+1"));
    w.key(Qt::Key_Tab);
    QVERIFY(seam.messages().isEmpty());
    w.type(QStringLiteral("=A1+1"));
    w.key(Qt::Key_Return);
    QCOMPARE(seam.messages().size(), 1);
    QVERIFY(seam.messages()[0].contains(QStringLiteral("循環参照")));
    QVERIFY(seam.messages()[0].contains(QStringLiteral("A1")));
    // the same loop worked out again is not told again
    w.click(0, 2);
    w.type(QStringLiteral("=A1"));
    w.key(Qt::Key_Return);
    w.key(Qt::Key_F9);
    QCOMPARE(seam.messages().size(), 1);
    // a loop of its own is
    w.click(5, 5);
    w.type(QStringLiteral("=F6"));
    w.key(Qt::Key_Return);
    QCOMPARE(seam.messages().size(), 2);
}

void TestF5Book::f9WorksOutStaleResults()
{
    // a file whose formula results were saved out of date
    Workbook book;
    Cell& a1 = book.sheets[0].cellRef(0, 0);
    a1.kind = CellKind::Number;
    a1.number = 21;
    Cell& b1 = book.sheets[0].cellRef(0, 1);
    b1.kind = CellKind::Formula;
    b1.result = CellKind::Number;
    b1.number = 1;
    b1.formula = compileFormula(book, 0, QStringLiteral("=A1*2"));
    Window w;
    w.setBook(book);
    QCOMPARE(w.book->CellText(1, 1, 2), QStringLiteral("1"));
    w.key(Qt::Key_F9);
    QCOMPARE(w.book->CellText(1, 1, 2), QStringLiteral("42"));
    QVERIFY(!w.book->book().canUndo());
}

void TestF5Book::copyPasteThroughTheClipboard()
{
    Workbook book;
    Sheet& s = book.sheets[0];
    CellFormat area = book.formats[15];
    area.numberFormat = quint16(book.addNumberFormat(QStringLiteral("0.00\"㎡\"")));
    const int xf = book.addFormat(area);
    Cell& a = s.cellRef(0, 0);
    a.kind = CellKind::Number;
    a.number = 85.5;
    a.xf = quint16(xf);
    Cell& b = s.cellRef(0, 1);
    b.kind = CellKind::Text;
    b.text = QStringLiteral("山田\t太郎");
    Window w;
    w.setBook(book);
    w.click(0, 0);
    w.key(Qt::Key_Right, Qt::ShiftModifier);
    w.key(Qt::Key_C, Qt::ControlModifier);
    // out to other programs: the shown texts, tab-separated, quoted where needed
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("85.50㎡\t\"山田\t太郎\"\r\n"));
    w.click(2, 0);
    w.key(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(w.book->CellText(1, 3, 1), QStringLiteral("85.50㎡")); // with its format
    QCOMPARE(w.book->CellText(1, 3, 2), QStringLiteral("山田\t太郎"));
    QCOMPARE(w.grid->selection(), (Range{2, 2, 0, 1}));
    // one copied cell fills a larger selection
    w.click(0, 0);
    w.key(Qt::Key_C, Qt::ControlModifier);
    w.click(5, 0);
    w.key(Qt::Key_Down, Qt::ShiftModifier);
    w.key(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(w.book->CellText(1, 7, 1), QStringLiteral("85.50㎡"));
    // from another program: text read as typed entries
    QApplication::clipboard()->setText(QStringLiteral("1,234\t令和6年4月1日\r\nx\t\"a\"\"b\"\r\n"));
    w.click(9, 2);
    w.key(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(w.book->CellText(1, 10, 3), QStringLiteral("1,234"));
    QCOMPARE(w.book->CellText(1, 10, 4), QStringLiteral("令和6年4月1日"));
    QCOMPARE(w.book->CellText(1, 11, 3), QStringLiteral("x"));
    QCOMPARE(w.book->CellText(1, 11, 4), QStringLiteral("a\"b"));
    w.key(Qt::Key_Z, Qt::ControlModifier); // one paste, one step
    QCOMPARE(w.book->CellText(1, 10, 3), QString());
    QCOMPARE(w.book->CellText(1, 11, 4), QString());
}

void TestF5Book::copiedFormulasReadFromTheirNewPlace_data()
{
    // B1 =A1*2, C1 =$A$1+A2, D1 =SUM(A1:A2), E1 =A$1&B1 are copied (or cut) at row 1, column 1
    QTest::addColumn<bool>("cut");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("col");
    QTest::addColumn<QStringList>("formulas");
    QTest::newRow("down one") << false << 1 << 1
                              << QStringList{"=A2*2", "=$A$1+A3", "=SUM(A2:A3)", "=A$1&B2"};
    QTest::newRow("across two") << false << 0 << 3
                                << QStringList{"=C1*2", "=$A$1+C2", "=SUM(C1:C2)", "=C$1&D1"};
    QTest::newRow("off the sheet") << false << 0 << 0
                                   << QStringList{"=#REF!*2", "=$A$1+#REF!", "=SUM(#REF!)", "=#REF!&A1"};
    QTest::newRow("cut keeps them") << true << 4 << 2
                                    << QStringList{"=A1*2", "=$A$1+A2", "=SUM(A1:A2)", "=A$1&B1"};
}

void TestF5Book::copiedFormulasReadFromTheirNewPlace()
{
    QFETCH(bool, cut);
    QFETCH(int, row);
    QFETCH(int, col);
    QFETCH(QStringList, formulas);
    ScriptedSeam seam;
    Window w;
    TSheetBook& b = w.book->book();
    b.SetEntry(0, 0, 0, QStringLiteral("1"));
    b.SetEntry(0, 1, 0, QStringLiteral("2"));
    const QStringList entries{"=A1*2", "=$A$1+A2", "=SUM(A1:A2)", "=A$1&B1"};
    for (int i = 0; i < entries.size(); ++i)
        b.SetEntry(0, 0, 1 + i, entries[i]);
    w.click(0, 1);
    for (int i = 1; i < entries.size(); ++i)
        w.key(Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(w.grid->selection(), (Range{0, 0, 1, 4}));
    w.key(cut ? Qt::Key_X : Qt::Key_C, Qt::ControlModifier);
    w.click(row, col);
    w.key(Qt::Key_V, Qt::ControlModifier);
    for (int i = 0; i < formulas.size(); ++i)
        QCOMPARE(b.EntryText(0, row, col + i), formulas[i]);
    if (row == 1 && col == 1)
        QCOMPARE(b.cellText(0, 1, 1), QStringLiteral("4")); // worked out at once
    // pasted into another workbook they stay as they were
    if (!cut) {
        Window other;
        other.click(5, 5);
        other.key(Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(other.book->book().EntryText(0, 5, 5), QStringLiteral("=A1*2"));
    }
    QCOMPARE(seam.messages(), QStringList());
}

void TestF5Book::cutMovesCells()
{
    Window w;
    w.book->book().SetEntry(0, 0, 0, QStringLiteral("移動"));
    w.click(0, 0);
    w.key(Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(w.book->CellText(1, 1, 1), QStringLiteral("移動")); // nothing moves before the paste
    w.click(0, 2);
    w.key(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(w.book->CellText(1, 1, 3), QStringLiteral("移動"));
    QCOMPARE(w.book->CellText(1, 1, 1), QString());
    QVERIFY(!w.book->book().workbook().sheets[0].cell(0, 0));
    // and onto another sheet
    w.setBook(twoSheets());
    w.book->book().SetEntry(0, 0, 0, QStringLiteral("移動"));
    w.click(0, 0);
    w.key(Qt::Key_X, Qt::ControlModifier);
    w.book->findChild<QTabBar*>(QStringLiteral("SheetTabs"))->setCurrentIndex(1);
    w.click(3, 3);
    w.key(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(w.book->CellText(3, 4, 4), QStringLiteral("移動"));
    QVERIFY(!w.book->book().workbook().sheets[0].cell(0, 0));
    QCOMPARE(w.book->CellText(3, 1, 1), QStringLiteral("三枚目"));
}

void TestF5Book::arrayFormulasChangeAsOne()
{
    // B1:B2 hold {=A1:A2*3}
    Workbook book;
    Sheet& s = book.sheets[0];
    for (int r = 0; r < 2; ++r) {
        Cell& a = s.cellRef(r, 0);
        a.kind = CellKind::Number;
        a.number = r + 1;
        Cell& b = s.cellRef(r, 1);
        b.kind = CellKind::Formula;
        b.result = CellKind::Number;
        b.number = 3 * (r + 1);
    }
    auto f = std::make_shared<Formula>();
    f->source = QStringLiteral("A1:A2*3");
    f->array = Range{0, 1, 1, 1};
    s.cellRef(0, 1).formula = f;
    compileSources(book);
    QCOMPARE(formulaText(book, 0, 1, 1), QStringLiteral("{=A1:A2*3}"));
    ScriptedSeam seam;
    Window w;
    w.setBook(book);
    const QString refused = QStringLiteral("配列数式の一部は変更できません。");
    // Delete, a paste and a cut over one cell of it are refused; nothing changes
    w.click(1, 1);
    w.key(Qt::Key_Delete);
    QApplication::clipboard()->setText(QStringLiteral("7"));
    w.key(Qt::Key_V, Qt::ControlModifier);
    w.key(Qt::Key_X, Qt::ControlModifier);
    w.click(0, 3);
    w.key(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(seam.messages(), (QStringList{refused, refused, refused}));
    QCOMPARE(w.book->CellText(1, 2, 2), QStringLiteral("6"));
    QCOMPARE(w.book->CellText(1, 1, 4), QString());
    QCOMPARE(w.book->book().EntryText(0, 1, 1), QStringLiteral("{=A1:A2*3}"));
    // over all of it, it goes
    w.click(0, 0);
    w.key(Qt::Key_Down, Qt::ShiftModifier);
    w.key(Qt::Key_Right, Qt::ShiftModifier);
    w.key(Qt::Key_Delete);
    QCOMPARE(seam.messages().size(), 3);
    QCOMPARE(w.book->CellText(1, 1, 2), QString());
    QCOMPARE(w.book->CellText(1, 2, 2), QString());
}

void TestF5Book::deleteKeepsFormats()
{
    Workbook book;
    CellFormat red = book.formats[15];
    red.pattern = 1;
    red.patternColor = 10;
    const int xf = book.addFormat(red);
    for (int c = 0; c < 3; ++c) {
        Cell& cell = book.sheets[0].cellRef(0, c);
        cell.kind = CellKind::Number;
        cell.number = c;
        cell.xf = quint16(xf);
    }
    Window w;
    w.setBook(book);
    w.click(0, 0);
    w.key(Qt::Key_Right, Qt::ShiftModifier);
    w.key(Qt::Key_Delete);
    const Sheet& s = w.book->book().workbook().sheets[0];
    QCOMPARE(int(s.cell(0, 0)->kind), int(CellKind::Empty));
    QCOMPARE(s.cell(0, 1)->xf, quint16(xf));
    QCOMPARE(w.book->CellText(1, 1, 3), QStringLiteral("2")); // outside the selection
}

void TestF5Book::protectedCellsRefuseEdits()
{
    Workbook book;
    Sheet& s = book.sheets[0];
    s.protection = QByteArray::fromHex("120002000100");
    CellFormat open = book.formats[15];
    open.locked = false;
    s.cellRef(1, 1).xf = quint16(book.addFormat(open));
    ScriptedSeam seam;
    Window w;
    w.setBook(book);
    w.click(0, 0);
    w.type(QStringLiteral("x"));
    QVERIFY(!w.grid->isEditing());
    QCOMPARE(seam.messages().size(), 1);
    QVERIFY(w.editBar->isReadOnly());
    w.key(Qt::Key_Delete);
    QCOMPARE(seam.messages().size(), 2);
    // an unlocked cell takes entries
    w.click(1, 1);
    w.type(QStringLiteral("入力"));
    w.key(Qt::Key_Return);
    QCOMPARE(w.book->CellText(1, 2, 2), QStringLiteral("入力"));
    QCOMPARE(seam.messages().size(), 2);
    // a paste that touches a locked cell changes nothing
    QApplication::clipboard()->setText(QStringLiteral("a\tb"));
    w.click(1, 1);
    w.key(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(seam.messages().size(), 3);
    QCOMPARE(w.book->CellText(1, 2, 2), QStringLiteral("入力"));
}

void TestF5Book::inputMethodStartsAnEntry()
{
    Window w;
    w.click(3, 3);
    QInputMethodEvent preedit(QStringLiteral("やまだ"), {});
    QApplication::sendEvent(w.grid, &preedit);
    QVERIFY(w.grid->isEditing());
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("山田"));
    QApplication::sendEvent(QApplication::focusWidget(), &commit);
    w.key(Qt::Key_Return);
    QCOMPARE(w.book->CellText(1, 4, 4), QStringLiteral("山田"));
}

void TestF5Book::standardView()
{
    Window w;
    Workbook book;
    book.sheets[0].view.topRow = 30;
    book.sheets[0].view.leftCol = 5;
    book.sheets[0].view.zoom = 150;
    w.setBook(book);
    QCOMPARE(w.book->TopRow(), 31);
    QCOMPARE(w.book->LeftCol(), 6);
    QVERIFY(w.book->ShowColHeading()); // the file shows headings
    QVERIFY(!w.grid->cellRect(30, 5).topLeft().isNull());
    w.book->SetShowEditBar(false);
    QVERIFY(!w.editBar->isVisible());
    w.book->ApplyStandardView();
    QCOMPARE(w.book->TopRow(), 1);
    QCOMPARE(w.book->LeftCol(), 1);
    QVERIFY(w.book->ShowEditBar());
    QVERIFY(w.editBar->isVisible());
    QVERIFY(!w.book->ShowColHeading());
    QVERIFY(!w.book->ShowRowHeading());
    QCOMPARE(w.book->ViewScale(), 95);
    // without headings A1 sits in the corner
    QCOMPARE(w.grid->cellRect(0, 0).topLeft(), QPoint(0, 0));
    w.book->SetShowRowHeading(true);
    QVERIFY(w.grid->cellRect(0, 0).left() > 0);
    QCOMPARE(w.grid->cellRect(0, 0).top(), 0);
}

void TestF5Book::cellTextPlaces_data()
{
    QTest::addColumn<int>("sheet");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("col");
    QTest::addColumn<QString>("text"); // "!" for a refused place
    QTest::newRow("first cell") << 1 << 1 << 1 << "";
    QTest::newRow("last cell") << 1 << 65536 << 256 << "";
    QTest::newRow("third sheet") << 3 << 1 << 1 << "三枚目";
    QTest::newRow("sheet 0") << 0 << 1 << 1 << "!";
    QTest::newRow("sheet beyond") << 4 << 1 << 1 << "!";
    QTest::newRow("row 0") << 1 << 0 << 1 << "!";
    QTest::newRow("row beyond") << 1 << 65537 << 1 << "!";
    QTest::newRow("column beyond") << 1 << 1 << 257 << "!";
}

void TestF5Book::cellTextPlaces()
{
    QFETCH(int, sheet);
    QFETCH(int, row);
    QFETCH(int, col);
    QFETCH(QString, text);
    Window w;
    w.setBook(twoSheets());
    if (text == u"!")
        QVERIFY_THROWS_EXCEPTION(ESheetError, w.book->CellText(sheet, row, col));
    else
        QCOMPARE(w.book->CellText(sheet, row, col), text);
}

void TestF5Book::loadsReplaceOrKeep()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("明細.xls"));
    writeXlsFile(twoSheets(), path);
    Window w;
    w.book->book().SetEntry(0, 0, 0, QStringLiteral("前の"));
    short type = 0;
    w.book->LoadWorkbook(path, &type);
    QCOMPARE(type, short(4));
    QCOMPARE(w.book->CellText(3, 1, 1), QStringLiteral("三枚目"));
    // a file that cannot be read leaves the shown workbook
    QVERIFY_THROWS_EXCEPTION(tegaro::Exception, w.book->LoadWorkbook(dir.filePath(QStringLiteral("ない.xls"))));
    QCOMPARE(w.book->CellText(3, 1, 1), QStringLiteral("三枚目"));
    // an entry being typed is kept when the workbook is saved
    w.click(4, 0);
    w.type(QStringLiteral("途中"));
    HGLOBAL h = 0;
    w.book->SaveToMemoryHandle(h);
    w.book->ClearWorkbook();
    QCOMPARE(w.book->CellText(1, 5, 1), QString());
    w.book->LoadFromMemoryHandle(h);
    GlobalFree(h);
    QCOMPARE(w.book->CellText(1, 5, 1), QStringLiteral("途中"));
}

void TestF5Book::sheetTabs()
{
    Window w;
    w.setBook(twoSheets());
    auto* tabs = w.book->findChild<QTabBar*>(QStringLiteral("SheetTabs"));
    QCOMPARE(tabs->count(), 2); // the hidden sheet has none
    QCOMPARE(tabs->tabText(1), QStringLiteral("集計"));
    tabs->setCurrentIndex(1);
    QCOMPARE(w.book->book().activeSheet(), 2);
    QCOMPARE(w.editBar->text(), QStringLiteral("三枚目"));
    // CellText still reads the sheet it is asked for
    QCOMPARE(w.book->CellText(1, 1, 1), QString());
}

void TestF5Book::zoomWithCtrlWheel()
{
    Window w;
    const int before = w.book->ViewScale();
    const QPoint at = w.grid->cellRect(2, 2).center();
    QWheelEvent up(at, w.grid->viewport()->mapToGlobal(at), {}, {0, 120}, Qt::NoButton, Qt::ControlModifier,
                   Qt::NoScrollPhase, false);
    QApplication::sendEvent(w.grid->viewport(), &up);
    QCOMPARE(w.book->ViewScale(), before + 10);
    w.book->SetViewScale(1000);
    QCOMPARE(w.book->ViewScale(), 400);
}

void TestF5Book::printWorkbook()
{
    ScriptedSeam seam;
    Window w;
    const auto print = [](const PrintJob& job) { return tegaro::seam().print(job); };
    QVERIFY_THROWS_EXCEPTION(ESheetError, (void)w.book->PrintWorkbook(print)); // nothing to print
    w.book->book().SetEntry(0, 0, 0, QStringLiteral("一頁目"));
    w.book->book().SetEntry(0, 0, 1, QStringLiteral("x"));
    // rows 1-51 fill the first page (rows of 17 pixels, 12.75 points), so row 81 is on the second
    w.grid->select(80, 0);            // out of sight until selected
    w.type(QStringLiteral("二頁目")); // still being typed: printed all the same
    // a cancelled dialog prints nothing and says so
    seam.printAnswers.enqueue({});
    QVERIFY(!w.book->PrintWorkbook(print));
    QCOMPARE(seam.shown.last().kind, ScriptedSeam::Shown::Print);
    QCOMPARE(seam.shown.last().text, QStringLiteral("2")); // pages
    QCOMPARE(w.book->CellText(1, 81, 1), QStringLiteral("二頁目"));
    QTemporaryDir dir;
    const QString all = dir.filePath(QStringLiteral("all.pdf")), second = dir.filePath(QStringLiteral("second.pdf"));
    seam.printAnswers.enqueue({all});
    QVERIFY(w.book->PrintWorkbook(print));
    QVERIFY(QFileInfo(all).size() > 0);
    seam.printAnswers.enqueue({second, 1, 1});
    QVERIFY(w.book->PrintWorkbook(print));
    if (QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
        QSKIP("pdfinfo (poppler-utils) is not installed to count the pages");
    auto run = [](const QString& tool, const QString& pdf) {
        QProcess p;
        p.start(tool, tool == u"pdftotext" ? QStringList{pdf, QStringLiteral("-")} : QStringList{pdf});
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput());
    };
    QVERIFY(run(QStringLiteral("pdfinfo"), all).contains(QRegularExpression(QStringLiteral("Pages:\\s+2\\b"))));
    QVERIFY(run(QStringLiteral("pdfinfo"), second).contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\b"))));
    QVERIFY(run(QStringLiteral("pdftotext"), second).contains(QStringLiteral("二頁目")));
    QVERIFY(!run(QStringLiteral("pdftotext"), second).contains(QStringLiteral("一頁目")));
}

void TestF5Book::screenReadersSeeATable()
{
    Window w;
    w.book->book().SetEntry(0, 2, 1, QStringLiteral("所有者"));
    w.click(2, 1);
    QAccessibleInterface* grid = QAccessible::queryAccessibleInterface(w.grid);
    QVERIFY(grid);
    QCOMPARE(grid->role(), QAccessible::Table);
    QAccessibleTableInterface* table = grid->tableInterface();
    QVERIFY(table);
    QAccessibleInterface* cell = table->cellAt(2, 1);
    QCOMPARE(cell->role(), QAccessible::Cell);
    QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("B3"));
    QCOMPARE(cell->text(QAccessible::Value), QStringLiteral("所有者"));
    QCOMPARE(grid->focusChild(), cell);
    QVERIFY(cell->tableCellInterface()->isSelected());
    QVERIFY(!table->cellAt(3, 1)->tableCellInterface()->isSelected());
    QCOMPARE(grid->child(grid->indexOfChild(cell)), cell);
    QVERIFY(table->rowCount() >= 3 && table->columnCount() >= 2);
    QCOMPARE(table->columnDescription(27), QStringLiteral("AB"));
    // what it says follows the cell
    w.type(QStringLiteral("7"));
    w.key(Qt::Key_Return);
    QCOMPARE(cell->text(QAccessible::Value), QStringLiteral("7"));
    QCOMPARE(grid->focusChild()->text(QAccessible::Name), QStringLiteral("B4"));
    // the other parts by name
    auto nameOf = [&](const char* object) {
        return QAccessible::queryAccessibleInterface(w.book->findChild<QWidget*>(QLatin1String(object)))->text(QAccessible::Name);
    };
    QCOMPARE(nameOf("EditBar"), QStringLiteral("数式バー"));
    QCOMPARE(nameOf("NameBox"), QStringLiteral("名前ボックス"));
    // each sheet tab by its sheet's name
    w.setBook(twoSheets());
    QAccessibleInterface* tabs = QAccessible::queryAccessibleInterface(w.book->findChild<QTabBar*>());
    QStringList names;
    for (int i = 0; i < tabs->childCount(); ++i)
        if (tabs->child(i)->role() == QAccessible::PageTab)
            names << tabs->child(i)->text(QAccessible::Name);
    QCOMPARE(names, (QStringList{QStringLiteral("明細"), QStringLiteral("集計")}));
}

QTEST_MAIN(TestF5Book)
#include "test_f5book.moc"
