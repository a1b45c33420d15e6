// Typed entries: how a text becomes a value and a format, the text the edit
// bar shows for a cell, and the edit history of the shown workbook.
#include "WorkbookSamples.h"

#include "sheets/book/CellClipboard.h"
#include "sheets/book/CellEntry.h"
#include "sheets/numfmt/NumberFormat.h"
#include "sheets/book/SheetBook.h"
#include "sheets/model/SheetErrors.h"

#include <QtTest>

using namespace tegaro::sheets;

namespace {

const QDate kToday(2024, 6, 15);

} // namespace

class TestEntry : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void formatAfter_data();
    void formatAfter();
    void typedDatesShowAsDates_data();
    void typedDatesShowAsDates();
    void textFormatKeepsText();
    void entries_data();
    void entries();
    void editBarTexts();
    void undoAndRedo();
    void batchNotifiesItsRange();
    void protectedCells();
    void tabSeparatedText_data();
    void tabSeparatedText();
};

void TestEntry::parse_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("date1904");
    QTest::addColumn<int>("kind");
    QTest::addColumn<double>("number");
    QTest::addColumn<QString>("format");
    const int num = int(CellKind::Number), text = int(CellKind::Text);
    QTest::newRow("plain") << "85.5" << false << num << 85.5 << "";
    QTest::newRow("separators") << "1,234" << false << num << 1234.0 << "#,##0";
    QTest::newRow("separators and decimals") << "1,234,567.25" << false << num << 1234567.25 << "#,##0.00";
    QTest::newRow("bad grouping is text") << "12,34" << false << text << 0.0 << "";
    QTest::newRow("minus") << "-5" << false << num << -5.0 << "";
    QTest::newRow("brackets") << "(5)" << false << num << -5.0 << "";
    QTest::newRow("sign and brackets is text") << "-(5)" << false << text << 0.0 << "";
    QTest::newRow("plus") << "+7" << false << num << 7.0 << "";
    QTest::newRow("spaces around") << "  42 " << false << num << 42.0 << "";
    QTest::newRow("percent") << "12%" << false << num << 0.12 << "0%";
    QTest::newRow("percent decimals") << "12.5%" << false << num << 0.125 << "0.00%";
    QTest::newRow("yen") << "¥1,500" << false << num << 1500.0 << builtInFormat(5);
    QTest::newRow("yen key") << "\\1500.5" << false << num << 1500.5 << builtInFormat(7);
    QTest::newRow("full width") << "１，２３４" << false << num << 1234.0 << "#,##0";
    QTest::newRow("full width minus") << "－３" << false << num << -3.0 << "";
    QTest::newRow("exponent") << "1.5e3" << false << num << 1500.0 << "0.00E+00";
    QTest::newRow("lone point is text") << "." << false << text << 0.0 << "";
    QTest::newRow("date") << "2024/4/1" << false << num << 45383.0 << "yyyy/m/d";
    QTest::newRow("date hyphens") << "2024-04-01" << false << num << 45383.0 << "yyyy/m/d";
    QTest::newRow("two-digit year") << "24/4/1" << false << num << 45383.0 << "yyyy/m/d";
    QTest::newRow("month and day") << "4/1" << false << num << 45383.0 << "m\"月\"d\"日\"";
    QTest::newRow("kanji date") << "2024年4月1日" << false << num << 45383.0 << "yyyy\"年\"m\"月\"d\"日\"";
    QTest::newRow("kanji month") << "2024年4月" << false << num << 45383.0 << "yyyy\"年\"m\"月\"";
    QTest::newRow("era") << "令和6年4月1日" << false << num << 45383.0 << "[$-411]ggge\"年\"m\"月\"d\"日\"";
    QTest::newRow("era first year") << "令和元年5月1日" << false << num << 43586.0 << "[$-411]ggge\"年\"m\"月\"d\"日\"";
    QTest::newRow("era letter") << "R6.4.1" << false << num << 45383.0 << "[$-411]ge.m.d";
    QTest::newRow("heisei") << "H31/4/30" << false << num << 43585.0 << "[$-411]ge.m.d";
    QTest::newRow("showa") << "昭和64年1月7日" << false << num << 32515.0 << "[$-411]ggge\"年\"m\"月\"d\"日\"";
    QTest::newRow("no such day") << "2024/2/30" << false << text << 0.0 << "";
    QTest::newRow("before 1900") << "1899/12/31" << false << text << 0.0 << "";
    QTest::newRow("first day") << "1900/1/1" << false << num << 1.0 << "yyyy/m/d";
    QTest::newRow("after the day that never was") << "1900/3/1" << false << num << 61.0 << "yyyy/m/d";
    QTest::newRow("1904 system") << "1904/1/2" << true << num << 1.0 << "yyyy/m/d";
    QTest::newRow("time") << "12:30" << false << num << 0.5208333333333334 << "h:mm";
    QTest::newRow("time seconds") << "6:00:30" << false << num << 0.25034722222222222 << "h:mm:ss";
    QTest::newRow("time pm") << "1:30 PM" << false << num << 0.5625 << "h:mm AM/PM";
    QTest::newRow("bad minutes") << "12:75" << false << text << 0.0 << "";
    QTest::newRow("date and time") << "2024/4/1 18:00" << false << num << 45383.75 << "yyyy/m/d h:mm";
    QTest::newRow("true") << "true" << false << int(CellKind::Boolean) << 1.0 << "";
    QTest::newRow("false") << "FALSE" << false << int(CellKind::Boolean) << 0.0 << "";
    QTest::newRow("error") << "#n/a" << false << int(CellKind::Error) << 42.0 << "";
    QTest::newRow("apostrophe") << "'0123" << false << text << 0.0 << "";
    QTest::newRow("empty") << "" << false << int(CellKind::Empty) << 0.0 << "";
    QTest::newRow("blank") << " " << false << text << 0.0 << "";
    QTest::newRow("word") << "所有者" << false << text << 0.0 << "";
}

void TestEntry::parse()
{
    QFETCH(QString, typed);
    QFETCH(bool, date1904);
    QFETCH(int, kind);
    QFETCH(double, number);
    QFETCH(QString, format);
    const CellEntry e = parseEntry(typed, date1904, kToday);
    QCOMPARE(int(e.kind), kind);
    if (kind != int(CellKind::Text) && kind != int(CellKind::Empty))
        QVERIFY2(qAbs(e.number - number) < 1e-9, qPrintable(QString::number(e.number, 'g', 17)));
    if (kind == int(CellKind::Text))
        QCOMPARE(e.text, typed.startsWith(u'\'') ? typed.mid(1) : typed);
    QCOMPARE(e.quoted, typed.startsWith(u'\''));
    QCOMPARE(e.format, format);
}

void TestEntry::formatAfter_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("cellFormat");
    QTest::addColumn<QString>("shown");
    QTest::newRow("general takes the separators") << "1,234"
                                                  << "General"
                                                  << "#,##0";
    QTest::newRow("a number keeps the cell's format") << "1,234"
                                                      << "0.00\"㎡\""
                                                      << "0.00\"㎡\"";
    QTest::newRow("plain number keeps") << "85.5"
                                        << "#,##0"
                                        << "#,##0";
    QTest::newRow("a date is never a bare serial") << "2024/4/1"
                                                   << "0.00"
                                                   << "yyyy/m/d";
    QTest::newRow("a date cell keeps its date format") << "2024/4/1"
                                                       << "[$-411]ggge\"年\"m\"月\"d\"日\""
                                                       << "[$-411]ggge\"年\"m\"月\"d\"日\"";
    QTest::newRow("text keeps") << "abc"
                                << "0.00"
                                << "0.00";
}

void TestEntry::formatAfter()
{
    QFETCH(QString, typed);
    QFETCH(QString, cellFormat);
    QFETCH(QString, shown);
    QCOMPARE(formatAfterEntry(parseEntry(typed, false, kToday), cellFormat), shown);
}

void TestEntry::typedDatesShowAsDates_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("cellText");
    QTest::addColumn<QString>("entryText");
    QTest::newRow("slashes") << "2024/4/1"
                             << "2024/4/1"
                             << "2024/4/1";
    QTest::newRow("era") << "令和6年4月1日"
                         << "令和6年4月1日"
                         << "2024/4/1";
    QTest::newRow("separators") << "1,234,567"
                                << "1,234,567"
                                << "1234567";
    QTest::newRow("percent") << "12.5%"
                             << "12.50%"
                             << "0.125";
    QTest::newRow("apostrophe shows again in the edit bar") << "'2024/4/1"
                                                            << "2024/4/1"
                                                            << "'2024/4/1";
}

void TestEntry::typedDatesShowAsDates()
{
    QFETCH(QString, typed);
    QFETCH(QString, cellText);
    QFETCH(QString, entryText);
    TSheetBook book;
    book.SetEntry(0, 2, 1, typed);
    QCOMPARE(book.cellText(0, 2, 1), cellText);
    QCOMPARE(book.EntryText(0, 2, 1), entryText);
    // typing the edit bar's text again gives the same cell
    const Cell before = *book.workbook().sheets[0].cell(2, 1);
    book.SetEntry(0, 2, 1, book.EntryText(0, 2, 1));
    QVERIFY(*book.workbook().sheets[0].cell(2, 1) == before);
}

void TestEntry::textFormatKeepsText()
{
    Workbook w;
    CellFormat text = w.formats[15];
    text.numberFormat = 49; // "@"
    w.sheets[0].cellRef(0, 0).xf = quint16(w.addFormat(text));
    TSheetBook book;
    book.setWorkbook(w);
    for (const QString& typed : {QStringLiteral("0123"), QStringLiteral("2024/4/1"), QStringLiteral("TRUE")}) {
        book.SetEntry(0, 0, 0, typed);
        const Cell* c = book.workbook().sheets[0].cell(0, 0);
        QCOMPARE(int(c->kind), int(CellKind::Text));
        QCOMPARE(book.cellText(0, 0, 0), typed);
    }
    book.SetEntry(0, 0, 1, QStringLiteral("0123")); // beside it, General: a number
    QCOMPARE(book.cellText(0, 0, 1), QStringLiteral("123"));
}

void TestEntry::entries_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("kind");
    QTest::addColumn<double>("number");
    QTest::newRow("number") << "85.5" << int(CellKind::Number) << 85.5;
    QTest::newRow("grouped") << "1,234" << int(CellKind::Number) << 1234.0;
    QTest::newRow("percent") << "12%" << int(CellKind::Number) << 0.12;
    QTest::newRow("boolean") << "true" << int(CellKind::Boolean) << 1.0;
    QTest::newRow("text") << "山田" << int(CellKind::Text) << 0.0;
    QTest::newRow("blank is text") << " " << int(CellKind::Text) << 0.0;
    QTest::newRow("empty") << "" << int(CellKind::Empty) << 0.0;
}

void TestEntry::entries()
{
    QFETCH(QString, entry);
    QFETCH(int, kind);
    QFETCH(double, number);
    TSheetBook book;
    book.setWorkbook(testing::sampleWorkbook());
    const quint16 xf = book.workbook().sheets[0].cell(0, 0)->xf;
    book.SetEntry(0, 0, 0, entry);
    const Cell* c = book.workbook().sheets[0].cell(0, 0);
    QCOMPARE(int(c->kind), kind);
    QCOMPARE(c->xf, xf); // typing keeps the cell's format
    if (kind == int(CellKind::Number) || kind == int(CellKind::Boolean))
        QCOMPARE(c->number, number);
    if (kind == int(CellKind::Text))
        QCOMPARE(c->text, entry);
}

void TestEntry::editBarTexts()
{
    // the edit bar shows the value itself, not the formatted text
    TSheetBook book;
    book.setWorkbook(testing::sampleWorkbook());
    QCOMPARE(book.EntryText(0, 0, 0), QStringLiteral("85.5")); // shown as 85.50㎡
    QCOMPARE(book.EntryText(0, 0, 1), QStringLiteral("42.125"));
    QCOMPARE(book.EntryText(0, 5, 4), QStringLiteral("1234567"));  // shown as 1,234,567
    QCOMPARE(book.EntryText(0, 6, 0), QStringLiteral("2019/5/1")); // shown in the era
    QCOMPARE(book.EntryText(0, 7, 1), QStringLiteral("1e+300"));
    book.SetEntry(0, 9, 0, QStringLiteral("0.3"));
    QCOMPARE(book.EntryText(0, 9, 0), QStringLiteral("0.3"));
    book.SetEntry(0, 9, 0, QStringLiteral("1234567.891234"));
    QCOMPARE(book.EntryText(0, 9, 0), QStringLiteral("1234567.891234"));
}

void TestEntry::undoAndRedo()
{
    TSheetBook book;
    book.SetEntry(0, 0, 0, QStringLiteral("1"));
    book.SetEntry(0, 0, 0, QStringLiteral("2"));
    book.apply({{0, 1, 0, std::nullopt}, {0, 0, 1, Cell{CellKind::Text, {}, 15, 0, QStringLiteral("x"), {}, {}}}});
    QCOMPARE(book.cellText(0, 0, 1), QStringLiteral("x"));
    QVERIFY(book.undo());
    QCOMPARE(book.cellText(0, 0, 1), QString());
    QVERIFY(!book.workbook().sheets[0].cell(0, 1)); // a cell that was not there is gone again
    QCOMPARE(book.cellText(0, 0, 0), QStringLiteral("2"));
    const auto step = book.undo();
    QVERIFY(step);
    QCOMPARE(step->range, (Range{0, 0, 0, 0}));
    QCOMPARE(book.cellText(0, 0, 0), QStringLiteral("1"));
    QVERIFY(book.redo());
    QCOMPARE(book.cellText(0, 0, 0), QStringLiteral("2"));
    // a new edit forgets what was undone
    book.SetEntry(0, 5, 5, QStringLiteral("y"));
    QVERIFY(!book.canRedo());
    QVERIFY(!book.redo());
    while (book.canUndo())
        book.undo();
    QCOMPARE(book.workbook().sheets[0].cellCount(), 0);
    QVERIFY(!book.undo());
}

void TestEntry::batchNotifiesItsRange()
{
    TSheetBook book;
    book.setWorkbook([] {
        Workbook w;
        w.addSheet(QStringLiteral("二"));
        return w;
    }());
    QList<BookChange> seen;
    book.onChanged = [&](const BookChange& c) { seen << c; };
    book.apply({{1, 4, 2, Cell{}}, {1, 9, 1, Cell{}}, {0, 3, 3, Cell{}}});
    QCOMPARE(seen.size(), 2); // one notice a sheet
    QCOMPARE(seen[0].sheet, 1);
    QCOMPARE(seen[0].range, (Range{4, 9, 1, 2}));
    QCOMPARE(seen[1].range, (Range{3, 3, 3, 3}));
    // a bad place refuses the whole step before anything changes
    seen.clear();
    QVERIFY_THROWS_EXCEPTION(ESheetError, book.apply({{0, 0, 0, Cell{}}, {0, 0, 256, Cell{}}}));
    QVERIFY(seen.isEmpty());
    QVERIFY(!book.workbook().sheets[0].cell(0, 0));
}

void TestEntry::protectedCells()
{
    Workbook w;
    Sheet& s = w.sheets[0];
    CellFormat open = w.formats[15];
    open.locked = false;
    s.cellRef(0, 1).xf = quint16(w.addFormat(open));
    TSheetBook book;
    book.setWorkbook(w);
    QVERIFY(!book.isLocked(0, 0, 0)); // not protected: nothing is locked
    // PROTECT record, value 1
    s.protection = QByteArray::fromHex("12000200"
                                       "0100");
    book.setWorkbook(w);
    QVERIFY(book.isLocked(0, 0, 0));
    QVERIFY(!book.isLocked(0, 0, 1));
    s.protection = QByteArray::fromHex("12000200"
                                       "0000");
    book.setWorkbook(w);
    QVERIFY(!book.isLocked(0, 0, 0));
}

void TestEntry::tabSeparatedText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<QStringList>>("rows");
    QTest::addColumn<bool>("same"); // written back, the very text
    QTest::newRow("plain") << "a\tb\r\nc\td\r\n"
                           << QList<QStringList>{{"a", "b"}, {"c", "d"}} << true;
    QTest::newRow("quoted tab") << "\"a\tb\"\tc\r\n"
                                << QList<QStringList>{{"a\tb", "c"}} << true;
    QTest::newRow("quoted line break") << "\"一行目\n二行目\"\r\n"
                                       << QList<QStringList>{{"一行目\n二行目"}} << true;
    QTest::newRow("doubled quotes") << "\"say \"\"hi\"\"\"\r\n"
                                    << QList<QStringList>{{"say \"hi\""}} << true;
    QTest::newRow("empty fields") << "\t\tx\r\n"
                                  << QList<QStringList>{{"", "", "x"}} << true;
    QTest::newRow("no last line break") << "a\tb" << QList<QStringList>{{"a", "b"}} << false;
    QTest::newRow("bare line feeds") << "a\nb\n"
                                     << QList<QStringList>{{"a"}, {"b"}} << false;
    QTest::newRow("a quote inside a field") << "5\"\t6\r\n"
                                            << QList<QStringList>{{"5\"", "6"}} << false;
}

void TestEntry::tabSeparatedText()
{
    QFETCH(QString, text);
    QFETCH(QList<QStringList>, rows);
    QFETCH(bool, same);
    QCOMPARE(parseTabText(text), rows);
    QCOMPARE(parseTabText(tabText(rows)), rows);
    if (same)
        QCOMPARE(tabText(rows), text);
}

QObject* makeTestEntry() { return new TestEntry; }

#include "test_entry.moc"
