// The house list without a window: cell texts, sorting and totals, the CSV
// and .xlsx writers (read back by LibreOffice), writing beside the target,
// and tegaro-db export.
#include "core/Cp932.h"
#include "core/Errors.h"
#include "db/Connection.h"
#include "db/RecordSet.h"
#include "db/Schema.h"
#include "records/list/CsvWriter.h"
#include "records/list/HouseSearch.h"
#include "records/list/ListExport.h"
#include "records/list/ListOrder.h"
#include "records/list/ListRows.h"
#include "records/list/XlsxWriter.h"
#include "sheets/Fixtures.h"
#include "sheets/book/WorkbookFile.h"
#include "ToolRun.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace tegaro;

Q_DECLARE_METATYPE(tegaro::HouseSearch)
Q_DECLARE_METATYPE(QList<QList<tegaro::ListCell>>)

namespace {

struct Row {
    QVariant code, name, address, district, lot, date, kind, structure, year, area, score, number, registered, memo;
    QVariant excel, zumen;
};

// Columns in houseListColumns() order, then the two attachments.
const QStringList kColumns = {"所有者コード", "所有者氏名", "所有者住所", "所在区", "所在地番", "日付", "種類", "構造", "建年",
                              "床面積", "評点数", "家屋番号", "登記面積", "備考", "excel", "zumen"};

const QString kHostile = QStringLiteral("=cmd|' /C calc'!A0");

// Houses whose values test the writers: a name outside CP932, codes with
// leading zeros, a memo with a comma, quotes and a line break, text that
// looks like a formula, NULLs.
QList<Row> sampleRows()
{
    const QVariant null;
    return {
        {"00123", "𠮷田 太郎", "東京都千代田区", "北区", "1-2", "2003-04-01 16:01:00", "専住", "木ス２", "15", 12345.5, 98765.0, "0045", 120.25,
         kHostile, QByteArray("xls"), null},
        {"000", "山田 花子", "大阪府\r\n大阪市", "南区", "3", null, "共住", "---", "11", null, 1234567.125, "12-3", 0.5,
         "畳, \"和室\"\r\n二間", null, QByteArray("hbd")},
        {"-7", "@SUM(A1)", null, "中央区", null, "1999-12-31 00:00:00", null, null, null, -42.0, 0.0, null, null,
         "+1", QByteArray(), null},
    };
}

class Database {
public:
    explicit Database(const QList<Row>& rows)
    {
        path = dir.filePath(QStringLiteral("houses.sqlite"));
        connection.setTarget(sqliteFileTarget(path, true));
        createSchema(connection);
        QStringList marks;
        for (int i = 0; i < kColumns.size(); ++i)
            marks << QStringLiteral("?");
        const QString insert = QStringLiteral("INSERT INTO 基本データ (%1) VALUES (%2)").arg(kColumns.join(u','), marks.join(u','));
        for (const Row& r : rows)
            connection.exec(insert, {r.code, r.name, r.address, r.district, r.lot, r.date, r.kind, r.structure, r.year, r.area, r.score, r.number, r.registered, r.memo, r.excel, r.zumen});
    }
    // The house record query with a search, open.
    std::unique_ptr<RecordSet> query(const HouseSearch& search = {})
    {
        auto set = std::make_unique<RecordSet>(&connection);
        applySearch(*set, search);
        set->open();
        return set;
    }

    QTemporaryDir dir;
    QString path;
    Connection connection;
};

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A list of given cells, for the cases no database needs.
class TableRows : public ListRows {
public:
    QList<QList<ListCell>> cells;
    int count() const override { return int(cells.size()); }
    ListCell cell(int row, int column) const override { return cells[row].value(column); }
};

// RFC 4180 records of a CSV text (quoted fields may hold line breaks).
QList<QStringList> csvRecords(const QString& text)
{
    QList<QStringList> records;
    QStringList fields;
    QString field;
    bool quoted = false, any = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"')
                field += c, ++i;
            else if (c == u'"')
                quoted = false;
            else
                field += c;
        } else if (c == u'"') {
            quoted = any = true;
        } else if (c == u',') {
            fields << field;
            field.clear();
        } else if (c == u'\n' || c == u'\r') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            fields << field;
            records << fields;
            fields.clear();
            field.clear();
        } else {
            field += c;
            any = true;
        }
    }
    if (!field.isEmpty() || !fields.isEmpty())
        records << (fields << field);
    (void)any;
    return records;
}

// The first sheet as LibreOffice reads it: as shown, or the values behind.
QList<QStringList> officeRecords(const QString& file, const QString& dir, bool values)
{
    using namespace tegaro::sheets::testing;
    const QString filter = values ? QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false")
                                  : QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76");
    QFile f(officeConvert(file, filter, dir, QStringLiteral("csv")));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(f.readAll());
    f.remove();
    return csvRecords(text);
}

QList<int> allColumns()
{
    QList<int> all;
    for (int c = 0; c < houseListColumns().size(); ++c)
        all << c;
    return all;
}

ListCell number(double v) { return listCell(ListKind::Number, v); }
ListCell text(const QString& t) { return listCell(ListKind::Text, t); }

const QString kHeading = QStringLiteral("所有者コード,所有者氏名,所有者住所,所在区,所在地番,日付,種類,構造,建年,床面積,評点数,家屋番号,登記面積,備考,明細,図面\r\n");

} // namespace

class ListsTest : public QObject {
    Q_OBJECT
private slots:
    void cellTexts_data();
    void cellTexts();
    void csvFields_data();
    void csvFields();
    void sortAndTotals_data();
    void sortAndTotals();
    void searches_data();
    void searches();
    void tableAgreesWithThePages_data();
    void tableAgreesWithThePages();
    void csvBytes();
    void shiftJis();
    void xlsxReadBackByLibreOffice();
    void xlsxPartsAtTheFastestLevel();
    void xlsxLayoutReadBack();
    void xlsxTextsKept();
    void xlsxManyRowsReadBack();
    void xlsxDiskFull();
    void writtenBesideThenRenamed();
    void exportCommand();
};

void ListsTest::cellTexts_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("csv");
    const int n = int(ListKind::Number), d = int(ListKind::Date), t = int(ListKind::Text), m = int(ListKind::Mark);
    QTest::newRow("number grouped") << n << QVariant(12345.5) << "12,345.5"
                                    << "12345.5";
    QTest::newRow("negative millions") << n << QVariant(-1234567.0) << "-1,234,567"
                                       << "-1234567";
    QTest::newRow("three digits") << n << QVariant(999.0) << "999"
                                  << "999";
    QTest::newRow("no binary noise") << n << QVariant(0.1 + 0.2) << "0.3"
                                     << "0.3";
    QTest::newRow("exponent kept") << n << QVariant(1e20) << "1e+20"
                                   << "1e+20";
    QTest::newRow("number as text") << n << QVariant("12.50") << "12.5"
                                    << "12.5";
    QTest::newRow("not a number") << n << QVariant("約20") << "約20"
                                  << "約20";
    QTest::newRow("null number") << n << QVariant() << ""
                                 << "";
    QTest::newRow("date as stored") << d << QVariant("2003-04-01 16:01:00") << "2003年4月1日"
                                    << "2003/04/01";
    QTest::newRow("date value") << d << QVariant(QDateTime(QDate(2024, 12, 9), QTime(0, 0))) << "2024年12月9日"
                                << "2024/12/09";
    QTest::newRow("not a date") << d << QVariant("不明") << "不明"
                                << "不明";
    QTest::newRow("leading zeros") << t << QVariant("00123") << "00123"
                                   << "00123";
    QTest::newRow("formula text") << t << QVariant(kHostile) << kHostile << "'" + kHostile;
    QTest::newRow("minus text") << t << QVariant("-abc") << "-abc"
                                << "'-abc";
    QTest::newRow("minus formula") << t << QVariant("-1+cmd|' /C calc'!A0") << "-1+cmd|' /C calc'!A0"
                                   << "'-1+cmd|' /C calc'!A0";
    QTest::newRow("plus reference") << t << QVariant("+A1") << "+A1"
                                    << "'+A1";
    QTest::newRow("at text") << t << QVariant("@x") << "@x"
                             << "'@x";
    QTest::newRow("phone number") << t << QVariant("+81 3-1234") << "+81 3-1234"
                                  << "+81 3-1234";
    QTest::newRow("dashes") << t << QVariant("---") << "---"
                            << "---";
    QTest::newRow("tab text") << t << QVariant("\tx") << "\tx"
                              << "'\tx";
    QTest::newRow("equals inside") << t << QVariant("a=b") << "a=b"
                                   << "a=b";
    QTest::newRow("mark of a size") << m << QVariant(qlonglong(10)) << "○"
                                    << "○";
    QTest::newRow("mark of bytes") << m << QVariant(QByteArray("x")) << "○"
                                   << "○";
    QTest::newRow("size 0") << m << QVariant(qlonglong(0)) << ""
                            << "";
    QTest::newRow("empty bytes") << m << QVariant(QByteArray("")) << ""
                                 << "";
}

void ListsTest::cellTexts()
{
    QFETCH(int, kind);
    QFETCH(QVariant, stored);
    const ListCell cell = listCell(ListKind(kind), stored);
    QTEST(cellText(cell), "shown");
    QTEST(csvText(cell), "csv");
}

void ListsTest::csvFields_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("field");
    QTest::newRow("plain") << "山田"
                           << "山田";
    QTest::newRow("comma") << "a,b"
                           << "\"a,b\"";
    QTest::newRow("quotes") << "say \"hi\""
                            << "\"say \"\"hi\"\"\"";
    QTest::newRow("CR LF") << "a\r\nb"
                           << "\"a\r\nb\"";
    QTest::newRow("LF") << "a\nb"
                        << "\"a\nb\"";
    QTest::newRow("blank kept") << " a "
                                << " a ";
    QTest::newRow("empty") << ""
                           << "";
}

void ListsTest::csvFields()
{
    QFETCH(QString, text);
    QTEST(csvField(text), "field");
}

void ListsTest::sortAndTotals_data()
{
    QTest::addColumn<QList<QList<ListCell>>>("cells");
    QTest::addColumn<int>("column");
    QTest::addColumn<QList<int>>("ascending");
    QTest::addColumn<QList<int>>("descending");
    QTest::addColumn<QString>("totals");
    const int area = listColumnOf("床面積"), name = listColumnOf("所有者氏名");
    const auto row = [&](ListCell nameCell, ListCell areaCell, ListCell score = {}) {
        QList<ListCell> cells(houseListColumns().size());
        cells[name] = nameCell;
        cells[area] = areaCell;
        cells[listColumnOf("評点数")] = score;
        return cells;
    };
    QTest::newRow("empty query") << QList<QList<ListCell>>() << area << QList<int>() << QList<int>()
                                 << "件数 0　床面積 合計 0 ㎡　評点数 合計 0";
    QTest::newRow("one row") << QList<QList<ListCell>>{row(text("a"), number(1234.5), number(10))} << area << QList<int>{0}
                             << QList<int>{0} << "件数 1　床面積 合計 1,234.5 ㎡　評点数 合計 10";
    QTest::newRow("nulls last both ways, ties keep their order")
        << QList<QList<ListCell>>{row(text("b"), {}), row(text("a"), number(2)), row(text("c"), number(10)),
                                  row({}, number(2)), row(text("d"), {})}
        << area << QList<int>{1, 3, 2, 0, 4} << QList<int>{2, 1, 3, 0, 4} << "件数 5　床面積 合計 14 ㎡　評点数 合計 0";
    QTest::newRow("text by characters")
        << QList<QList<ListCell>>{row(text("山田"), {}), row({}, {}), row(text("10"), {}), row(text("9"), {})}
        << name << QList<int>{2, 3, 0, 1} << QList<int>{0, 3, 2, 1} << "件数 4　床面積 合計 0 ㎡　評点数 合計 0";
    QTest::newRow("text in a number column after numbers")
        << QList<QList<ListCell>>{row({}, text("約5")), row({}, number(7)), row({}, number(-1))}
        << area << QList<int>{2, 1, 0} << QList<int>{0, 1, 2} << "件数 3　床面積 合計 6 ㎡　評点数 合計 0";
    QList<QList<ListCell>> many;
    for (int i = 0; i < 30000; ++i)
        many << row(text("x"), number(123.45), number(0.1));
    QTest::newRow("sums without binary noise") << many << area << QList<int>() << QList<int>()
                                               << "件数 30,000　床面積 合計 3,703,500 ㎡　評点数 合計 3,000";
}

void ListsTest::sortAndTotals()
{
    QFETCH(QList<QList<ListCell>>, cells);
    QFETCH(int, column);
    TableRows rows;
    rows.cells = cells;
    QTEST(totalsText(totalsOf(rows)), "totals");
    if (cells.size() > 1000)
        return;
    const auto asList = [](const std::vector<int>& v) { return QList<int>(v.begin(), v.end()); };
    QTEST(asList(sortedOrder(rows, column, Qt::AscendingOrder)), "ascending");
    QTEST(asList(sortedOrder(rows, column, Qt::DescendingOrder)), "descending");
}

void ListsTest::searches_data()
{
    QTest::addColumn<HouseSearch>("search");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("title");
    QTest::newRow("all") << HouseSearch() << 3 << "全件";
    QTest::newRow("owner") << HouseSearch::prefix(PrefixSearch::OwnerName, "山") << 1 << "氏名検索「山」";
    QTest::newRow("owner with a quote") << HouseSearch::prefix(PrefixSearch::OwnerName, "O'") << 0 << "氏名検索「O'」";
    QTest::newRow("district") << HouseSearch::prefix(PrefixSearch::District, "中") << 1 << "行政区検索「中」";
    QTest::newRow("memo") << HouseSearch::prefix(PrefixSearch::Memo, "畳") << 1 << "備考検索「畳」";
    QTest::newRow("dates")
        << HouseSearch::dates(QDateTime(QDate(1999, 1, 1), QTime(0, 0)), QDateTime(QDate(2003, 4, 1), QTime(16, 1)))
        << 2 << "日付検索 1999/01/01 00:00:00 ～ 2003/04/01 16:01:00";
}

void ListsTest::searches()
try {
    QFETCH(HouseSearch, search);
    Database db(sampleRows());
    auto query = db.query(search);
    QTEST(query->recordCount(), "count");
    // the search is read back from the query as the window leaves it
    QCOMPARE(searchOf(*query), search);
    QTEST(searchTitle(searchOf(*query)), "title");
} catch (const tegaro::Exception& e) {
    QFAIL(e.what());
}

void ListsTest::tableAgreesWithThePages_data()
{
    QTest::addColumn<HouseSearch>("search");
    QTest::newRow("all") << HouseSearch();
    QTest::newRow("owner") << HouseSearch::prefix(PrefixSearch::OwnerName, "");
    QTest::newRow("dates, with parameters")
        << HouseSearch::dates(QDateTime(QDate(1999, 1, 1), QTime(0, 0)), QDateTime(QDate(2003, 4, 1), QTime(16, 1)));
}

// The columns read at once give what the pages give, row for row: the
// record being edited as typed, a row deleted since as it was read, a row
// added since not at all.
void ListsTest::tableAgreesWithThePages()
try {
    QFETCH(HouseSearch, search);
    Database db(sampleRows());
    auto query = db.query(search);
    QVERIFY(query->isPaged());
    const int count = query->recordCount();
    QVERIFY(count >= 2);
    Connection other;
    other.setTarget(sqliteFileTarget(db.path));
    other.exec("DELETE FROM 基本データ WHERE 所有者コード = '00123'");
    other.exec("INSERT INTO 基本データ (所有者コード, 所有者氏名, 日付) VALUES ('999', '後から', '2000-01-01 00:00:00')");
    query->moveTo(1);
    query->edit();
    query->fieldByName("所有者氏名").setAsString("入力中");
    query->fieldByName("床面積").setAsString("77.5");

    const QList<int> all = allColumns();
    const ListTable table(*query, all);
    const RecordSetRows pages(*query);
    QCOMPARE(table.count(), count);
    QCOMPARE(pages.count(), count);
    for (int r = 0; r < count; ++r)
        for (int c : all) {
            const ListCell a = table.cell(r, c), b = pages.cell(r, c);
            QVERIFY2(a.type == b.type && cellText(a) == cellText(b),
                     qPrintable(QString("row %1 %2: %3 / %4").arg(r).arg(houseListColumns()[c].header, cellText(a), cellText(b))));
        }
    QCOMPARE(table.cell(1, listColumnOf("所有者氏名")).text, "入力中");
    QCOMPARE(table.cell(1, listColumnOf("床面積")).number, 77.5);
    QCOMPARE(totalsOf(*query).area, totalsOf(pages).area);
    // the list's order over the same table
    const ListTable sorted(*query, {listColumnOf("所有者コード")}, {1, 0});
    QCOMPARE(sorted.cell(0, listColumnOf("所有者コード")).text, table.cell(1, listColumnOf("所有者コード")).text);
    QVERIFY(sorted.cell(0, listColumnOf("所有者氏名")).isEmpty()); // not read
} catch (const tegaro::Exception& e) {
    QFAIL(e.what());
}

void ListsTest::csvBytes()
try {
    Database db(sampleRows());
    auto query = db.query();
    const QList<int> all = allColumns();
    const QString out = db.dir.filePath("list.csv");
    const ExportResult result = exportList(ListTable(*query, all), out, ExportFormat::CsvUtf8);
    QCOMPARE(result.outcome, ExportResult::Written);
    QCOMPARE(result.rows, 3);
    const QString expected = kHeading
        + "00123,𠮷田 太郎,東京都千代田区,北区,1-2,2003/04/01,専住,木ス２,15,12345.5,98765,0045,120.25,'" + kHostile + ",○,\r\n"
        + "000,山田 花子,\"大阪府\r\n大阪市\",南区,3,,共住,---,11,,1234567.125,12-3,0.5,\"畳, \"\"和室\"\"\r\n二間\",,○\r\n"
        + "-7,'@SUM(A1),,中央区,,1999/12/31,,,,-42,0,,,+1,,\r\n";
    const QByteArray bytes = readAll(out);
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    QCOMPARE(QString::fromUtf8(bytes.mid(3)).split(u'\n'), expected.split(u'\n'));
    QCOMPARE(bytes, QByteArray("\xEF\xBB\xBF") + expected.toUtf8());

    // Sorted by 床面積 descending: the list's order, not the query's.
    const ListTable sorted(*query, all, sortedOrder(ListTable(*query, {listColumnOf("床面積")}), listColumnOf("床面積"), Qt::DescendingOrder));
    QCOMPARE(exportList(sorted, out, ExportFormat::CsvUtf8).outcome, ExportResult::Written);
    const QList<QByteArray> lines = readAll(out).split('\n');
    QVERIFY(lines[1].startsWith("00123,"));
    QVERIFY(lines[2].startsWith("-7,"));
    QVERIFY(lines[3].startsWith("000,"));
} catch (const tegaro::Exception& e) {
    QFAIL(e.what());
}

void ListsTest::shiftJis()
try {
    Database db(sampleRows());
    auto query = db.query();
    RecordSetRows rows(*query);
    const QString out = db.dir.filePath("list-sjis.csv");
    // 𠮷 is not in CP932: told before anything is written
    const ExportResult refused = exportList(rows, out, ExportFormat::CsvCp932);
    QCOMPARE(refused.outcome, ExportResult::Refused);
    QVERIFY2(refused.message.contains("1行目 所有者氏名「𠮷」"), qPrintable(refused.message));
    QVERIFY(!QFile::exists(out));

    // Without it, the same text in CP932, no byte-order mark; NEC and IBM
    // characters (①, ㈱, ～) survive.
    auto narrowed = db.query(HouseSearch::prefix(PrefixSearch::OwnerName, "山"));
    db.connection.exec("UPDATE 基本データ SET 所有者住所 = '①㈱～' WHERE 所有者氏名 LIKE '山%'");
    narrowed->refresh();
    RecordSetRows some(*narrowed);
    QCOMPARE(exportList(some, out, ExportFormat::CsvCp932).outcome, ExportResult::Written);
    const QString expected = kHeading + "000,山田 花子,①㈱～,南区,3,,共住,---,11,,1234567.125,12-3,0.5,\"畳, \"\"和室\"\"\r\n二間\",,○\r\n";
    QCOMPARE(readAll(out), toCp932(expected));
} catch (const tegaro::Exception& e) {
    QFAIL(e.what());
}

void ListsTest::xlsxReadBackByLibreOffice()
try {
    using namespace tegaro::sheets::testing;
    if (office().isEmpty())
        QSKIP("soffice/libreoffice is not on PATH: the workbook is not read back");
    Database db(sampleRows());
    auto query = db.query();
    const QList<int> all = allColumns();
    const ListTable rows(*query, all);
    const QString out = db.dir.filePath("list.xlsx");
    QCOMPARE(exportList(rows, out, ExportFormat::Xlsx).outcome, ExportResult::Written);

    // As shown: grouped numbers, the form's dates, text as written (a
    // formula would show its result or an error).
    const QList<QStringList> shown = officeRecords(out, db.dir.path(), false);
    QCOMPARE(shown.size(), 4);
    QCOMPARE(shown[0].join(u','), kHeading.trimmed());
    QCOMPARE(shown[1], QStringList({"00123", "𠮷田 太郎", "東京都千代田区", "北区", "1-2", "2003年4月1日", "専住", "木ス２", "15", "12,345.5", "98,765", "0045", "120.25", kHostile, "○", ""}));
    QCOMPARE(shown[2], QStringList({"000", "山田 花子", "大阪府\n大阪市", "南区", "3", "", "共住", "---", "11", "", "1,234,567.125", "12-3", "0.5", "畳, \"和室\"\n二間", "", "○"}));
    QCOMPARE(shown[3], QStringList({"-7", "@SUM(A1)", "", "中央区", "", "1999年12月31日", "", "", "", "-42", "0", "", "", "+1", "", ""}));

    // The values behind: numbers are numbers (no grouping), dates are dates
    // (a value, not the text shown), codes keep their zeros.
    const QList<QStringList> values = officeRecords(out, db.dir.path(), true);
    QCOMPARE(values.size(), 4);
    QCOMPARE(values[1][0], "00123");
    QCOMPARE(values[1][9], "12345.5");
    QCOMPARE(values[1][10], "98765");
    QCOMPARE(values[1][11], "0045");
    QCOMPARE(values[1][13], kHostile);
    QVERIFY2(!values[1][5].contains(u'年'), qPrintable(values[1][5]));
    QCOMPARE(values[2][10], "1234567.125");
} catch (const tegaro::Exception& e) {
    QFAIL(e.what());
}

// A long list spends most of its time compressing: every deflated part of
// the package says (in its header's flags) that it was packed at level 1.
void ListsTest::xlsxPartsAtTheFastestLevel()
try {
    Database db(sampleRows());
    auto query = db.query();
    const QString out = db.dir.filePath("list.xlsx");
    QCOMPARE(exportList(ListTable(*query, allColumns()), out, ExportFormat::Xlsx).outcome, ExportResult::Written);
    const QByteArray bytes = readAll(out);
    int deflated = 0;
    for (qsizetype at = bytes.indexOf("PK\x03\x04"); at >= 0 && at + 10 <= bytes.size(); at = bytes.indexOf("PK\x03\x04", at + 4)) {
        const auto word = [&](qsizetype i) { return quint8(bytes[at + i]) | quint8(bytes[at + i + 1]) << 8; };
        if (word(8) != 8) // not deflated
            continue;
        ++deflated;
        QCOMPARE(word(6) & 6, 6); // deflate option bits: super fast
    }
    QVERIFY(deflated >= 5);
} catch (const tegaro::Exception& e) {
    QFAIL(e.what());
}

// The workbook read back by the program's own reader: the heading row bold
// and frozen, an autofilter, widths that fit, the formats in use.
void ListsTest::xlsxLayoutReadBack()
try {
    Database db(sampleRows());
    auto query = db.query();
    // Some columns, in an order of the user's own.
    const QList<int> shown{listColumnOf("備考"), listColumnOf("所有者コード"), listColumnOf("日付"), listColumnOf("床面積"), listColumnOf("評点数")};
    const ListTable rows(*query, shown);
    const QString out = db.dir.filePath("layout.xlsx");
    QCOMPARE(exportList(rows, out, ExportFormat::Xlsx).outcome, ExportResult::Written);
    const sheets::Workbook book = sheets::readWorkbookFile(out);
    QCOMPARE(book.sheets.size(), 1);
    const sheets::Sheet& sheet = book.sheets[0];
    QCOMPARE(sheet.name, QStringLiteral("一覧"));
    QCOMPARE(sheet.view.frozenRows(), 1);
    QCOMPARE(sheet.view.frozenCols(), 0);
    QCOMPARE(sheet.lastRow(), 3);
    QCOMPARE(sheet.lastColumn(), 4);
    const QStringList headings{"備考", "所有者コード", "日付", "床面積", "評点数"};
    for (int c = 0; c < headings.size(); ++c) {
        QCOMPARE(book.cellText(0, 0, c), headings[c]);
        QVERIFY(book.font(book.format(sheet.cell(0, c)->xf).font).bold());
        QVERIFY(!book.font(book.format(sheet.xfAt(1, c)).font).bold());
    }
    // As shown by the formats written; numbers and dates stay numbers.
    const QList<QStringList> shownRows{
        {kHostile, "00123", "2003年4月1日", "12,345.5", "98,765"},
        {"畳, \"和室\"\r\n二間", "000", "", "", "1,234,567.125"},
        {"+1", "-7", "1999年12月31日", "-42", "0"},
    };
    for (int r = 0; r < shownRows.size(); ++r)
        for (int c = 0; c < headings.size(); ++c)
            QCOMPARE(book.cellText(0, r + 1, c).remove(u'\r'), QString(shownRows[r][c]).remove(u'\r'));
    QCOMPARE(sheet.cell(1, 0)->kind, sheets::CellKind::Text); // never a formula
    QCOMPARE(sheet.cell(1, 1)->kind, sheets::CellKind::Text);
    QCOMPARE(sheet.cell(1, 2)->kind, sheets::CellKind::Number);
    QVERIFY(qAbs(sheet.cell(1, 2)->number - (37712 + (16 * 60 + 1) / 1440.0)) < 1e-9); // 2003-04-01 16:01
    QCOMPARE(sheet.cell(3, 2)->number, 36525.0);                                       // 1999-12-31
    QCOMPARE(sheet.cell(2, 4)->number, 1234567.125);
    // Widths in characters: the memo by its first line, a code by its
    // heading and the autofilter's button, numbers by their grouped digits.
    const auto characters = [&](int c) { return qRound(sheet.columnWidth(c) / 256.0 - 0.71); };
    QCOMPARE(characters(0), textWidth(kHostile) + 1);
    QCOMPARE(characters(1), textWidth("所有者コード") + 3);
    QCOMPARE(characters(4), int(QStringLiteral("1,234,567.125").size()) + 1);
    // The autofilter is there (a workbook of the program's own leaves it out, and says so).
    QVERIFY2(book.leftOut.join(u'\n').contains(QStringLiteral("オートフィルター")), qPrintable(book.leftOut.join(u'\n')));
} catch (const tegaro::Exception& e) {
    QFAIL(e.what());
}

// Texts that XML or Excel would read otherwise come back as they were.
void ListsTest::xlsxTextsKept()
try {
    using namespace tegaro::sheets::testing;
    if (office().isEmpty())
        QSKIP("soffice/libreoffice is not on PATH: the workbook is not read back");
    const QStringList texts{
        " leading blank",
        "trailing blank ",
        "a_x0041_b",
        "_x00zz_",
        "x<&>\"'y",
        QStringLiteral("tab\there"),
        QStringLiteral("bell") + QChar(7) + "end",
        QStringLiteral("𠮷野家"),
        QString(QChar(0xD842)) + "half",
    };
    TableRows rows;
    for (const QString& t : texts)
        rows.cells << QList<ListCell>{text(t)};
    rows.setColumns({0});
    QTemporaryDir dir;
    const QString out = dir.filePath("texts.xlsx");
    QCOMPARE(exportList(rows, out, ExportFormat::Xlsx).outcome, ExportResult::Written);
    const QList<QStringList> back = officeRecords(out, dir.path(), true);
    QCOMPARE(back.size(), texts.size() + 1);
    for (int i = 0; i < texts.size() - 1; ++i)
        QCOMPARE(back[i + 1].value(0), texts[i]);
    QCOMPARE(back.last().value(0), QString(QChar(0xFFFD)) + "half"); // half a pair cannot be stored
} catch (const tegaro::Exception& e) {
    QFAIL(e.what());
}

// A sheet far longer than one piece of what is packed at a time: every cell
// comes back, whichever piece it fell into.
void ListsTest::xlsxManyRowsReadBack()
try {
    TableRows rows;
    const auto textOf = [](int i) {
        // lengths that vary, now and then longer than a piece
        QString t = QStringLiteral("%1番 𠮷野 ").arg(i) + QString(i % 97, u'あ');
        if (i % 5003 == 0)
            t += QString(2 << 20, u'x').left(kXlsxMaxText - t.size());
        return t;
    };
    constexpr int kRows = 30000;
    for (int i = 0; i < kRows; ++i)
        rows.cells << QList<ListCell>{text(textOf(i)), i % 7 == 0 ? ListCell() : number(i * 1.25)};
    rows.setColumns({0, 1});
    QTemporaryDir dir;
    const QString out = dir.filePath("many.xlsx");
    QCOMPARE(exportList(rows, out, ExportFormat::Xlsx).outcome, ExportResult::Written);
    QVERIFY(QFileInfo(out).size() > 100000);
    const sheets::Workbook book = sheets::readWorkbookFile(out);
    const sheets::Sheet& sheet = book.sheets[0];
    QCOMPARE(sheet.lastRow(), kRows);
    for (int i = 0; i < kRows; ++i) {
        const sheets::Cell* t = sheet.cell(i + 1, 0);
        QVERIFY2(t && t->text == textOf(i), qPrintable(QString::number(i)));
        const sheets::Cell* n = sheet.cell(i + 1, 1);
        if (i % 7 == 0)
            QVERIFY(!n || n->kind == sheets::CellKind::Empty);
        else
            QVERIFY2(n && n->kind == sheets::CellKind::Number && n->number == i * 1.25, qPrintable(QString::number(i)));
    }
} catch (const tegaro::Exception& e) {
    QFAIL(e.what());
}

// A disk that fills up is reported, never taken for a written file.
void ListsTest::xlsxDiskFull()
{
    if (!QFile::exists("/dev/full"))
        QSKIP("no /dev/full here");
    TableRows rows;
    for (int i = 0; i < 20000; ++i)
        rows.cells << QList<ListCell>{number(i), text(QString::number(i * 7919))};
    QVERIFY_THROWS_EXCEPTION(EInOutError, writeXlsx(rows, "/dev/full"));
}

void ListsTest::writtenBesideThenRenamed()
try {
    Database db(sampleRows());
    auto query = db.query();
    RecordSetRows rows(*query);
    for (ExportFormat format : {ExportFormat::Xlsx, ExportFormat::CsvUtf8}) {
        const QString out = db.dir.filePath(format == ExportFormat::Xlsx ? "old.xlsx" : "old.csv");
        {
            QFile f(out);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("the old file");
        }
        // Stopped at the first report: the old file stays as it was and
        // nothing is left beside it.
        ListProgress stop = [](int, int) { return false; };
        TableRows many;
        for (int i = 0; i < 2500; ++i)
            many.cells << QList<ListCell>{text("x")};
        QCOMPARE(exportList(many, out, format, stop).outcome, ExportResult::Cancelled);
        QCOMPARE(readAll(out), QByteArray("the old file"));
        // the database and the old file
        QCOMPARE(QDir(db.dir.path()).entryList(QDir::Files, QDir::Name), QStringList({"houses.sqlite", QFileInfo(out).fileName()}));

        // Finished: replaced whole, progress told up to the end.
        QList<int> told;
        ListProgress record = [&told](int done, int total) {
            told << done;
            return total == 2500;
        };
        QCOMPARE(exportList(many, out, format, record).outcome, ExportResult::Written);
        QCOMPARE(told.last(), 2500);
        QVERIFY(readAll(out) != QByteArray("the old file"));
        QCOMPARE(QDir(db.dir.path()).entryList(QDir::Files).size(), 2);
        QFile::remove(out);
    }
    QVERIFY_THROWS_EXCEPTION(EInOutError, exportList(rows, db.dir.path(), ExportFormat::CsvUtf8));
    QVERIFY_THROWS_EXCEPTION(EInOutError, exportList(rows, db.dir.filePath("missing/list.xlsx"), ExportFormat::Xlsx));
} catch (const tegaro::Exception& e) {
    QFAIL(e.what());
}

void ListsTest::exportCommand()
try {
    Database db(sampleRows());
    const QString out = db.dir.filePath("tool.csv");
    ToolRun run = runTool("tegaro-db", {"export", db.path, "--owner", "山", "-o", out});
    QCOMPARE(run.code, 0);
    QCOMPARE(run.out.trimmed(), out + ": 1 houses");
    // The same bytes as the window's export of the same search.
    auto query = db.query(HouseSearch::prefix(PrefixSearch::OwnerName, "山"));
    RecordSetRows rows(*query);
    const QString page = db.dir.filePath("page.csv");
    exportList(rows, page, ExportFormat::CsvUtf8);
    QCOMPARE(readAll(out), readAll(page));

    run = runTool("tegaro-db", {"export", db.path, "--from", "1999/12/31", "--to", "2003/04/01", "-o", db.dir.filePath("d.xlsx")});
    QCOMPARE(run.code, 0);
    QVERIFY2(run.out.contains(": 2 houses"), qPrintable(run.out)); // whole days: both ends in
    run = runTool("tegaro-db", {"export", db.path, "-o", db.dir.filePath("sjis.csv"), "--shift-jis"});
    QCOMPARE(run.code, 1);
    QVERIFY2(run.err.contains("𠮷"), qPrintable(run.err));
    QVERIFY(!QFile::exists(db.dir.filePath("sjis.csv")));

    const struct {
        QStringList args;
        int code;
    } bad[] = {
        {{"export", db.path}, 2},
        {{"export", db.path, "-o", "x.txt"}, 2},
        {{"export", db.path, "--owner", "a", "--memo", "b", "-o", "x.csv"}, 2},
        {{"export", db.path, "--from", "2003/02/30", "--to", "2003/03/01", "-o", "x.csv"}, 2},
        {{"export", db.path, "--from", "2003/02/01", "-o", "x.csv"}, 2},
        {{"export", "-o", "x.csv"}, 2},
        {{"export", db.dir.filePath("none.sqlite"), "-o", db.dir.filePath("x.csv")}, 1},
    };
    for (const auto& b : bad) {
        run = runTool("tegaro-db", b.args);
        QVERIFY2(run.code == b.code, qPrintable(b.args.join(' ') + " -> " + QString::number(run.code) + run.err));
        QVERIFY(!run.err.isEmpty());
    }
} catch (const tegaro::Exception& e) {
    QFAIL(e.what());
}

QTEST_GUILESS_MAIN(ListsTest)
#include "test_lists.moc"
