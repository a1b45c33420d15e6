// Reading and writing .xls files: round trips, files made by another
// program, Excel 95 files, and damaged input.
#include "Biff5Builder.h"
#include "Fixtures.h"
#include "WorkbookSamples.h"

#include "sheets/xls/BiffReader.h"
#include "sheets/biff/BiffRecords.h"
#include "sheets/xls/BiffWriter.h"
#include "sheets/biff/ByteWriter.h"
#include "sheets/container/OleFile.h"
#include "sheets/model/SheetErrors.h"
#include "sheets/xls/XlsFile.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

using namespace tegaro::sheets;
using namespace tegaro::sheets::testing;

namespace {

// A bare record stream: globals with the given records, one sheet with others.
QByteArray rawStream(const std::function<void(RecordWriter&)>& globals,
                     const std::function<void(RecordWriter&)>& sheet)
{
    RecordWriter g;
    g.add(0x0809, ByteWriter().u16(0x0600).u16(0x0005).u32(0).u32(0).u32(0));
    globals(g);
    const qsizetype patch = g.size() + 4;
    g.add(0x0085, ByteWriter().u32(0).u8(0).u8(0).string(QStringLiteral("S"), 1));
    g.add(0x000A, QByteArray());
    qToLittleEndian<quint32>(quint32(g.size()), g.out.data() + patch);
    g.add(0x0809, ByteWriter().u16(0x0600).u16(0x0010).u32(0).u32(0).u32(0));
    sheet(g);
    g.add(0x000A, QByteArray());
    return g.out;
}

// A compound file of 512-byte sectors holding `stream` as "Workbook": in the
// mini stream when it is small, else in sectors laid out in the order given
// (order[i] is where the i-th piece of the stream goes; none: one after the
// other). Made by hand, so that the layouts other writers use can be tried.
struct Compound {
    QByteArray bytes;
    qsizetype fatAt = 0;   // where the sector table starts in bytes
    qsizetype entryAt = 0; // where the Workbook directory entry starts
    quint32 firstData = 0; // the first sector of stream data
};

Compound compoundFile(const QByteArray& stream, QList<int> order = {})
{
    constexpr quint32 kEnd = 0xFFFFFFFE, kFatSector = 0xFFFFFFFD, kFree = 0xFFFFFFFF;
    const bool mini = stream.size() < 4096;
    const QByteArray body = mini ? stream.leftJustified((stream.size() + 63) / 64 * 64, '\0') : stream;
    const int pieces = int((body.size() + 511) / 512);
    if (order.isEmpty())
        for (int i = 0; i < pieces; ++i)
            order << i;
    const int extra = mini ? 2 : 1; // directory (and the mini table)
    int fatSectors = 1;
    while (fatSectors * 128 < fatSectors + extra + pieces)
        ++fatSectors;
    const quint32 dir = quint32(fatSectors), miniFat = dir + 1, data = dir + quint32(extra);
    QList<quint32> fat(fatSectors * 128, kFree);
    for (int i = 0; i < fatSectors; ++i)
        fat[i] = kFatSector;
    fat[dir] = kEnd;
    if (mini)
        fat[miniFat] = kEnd;
    for (int i = 0; i < pieces; ++i)
        fat[data + quint32(order[i])] = i + 1 < pieces ? data + quint32(order[i + 1]) : kEnd;

    QByteArray out(512 * (1 + fatSectors + extra + pieces), '\0');
    auto put32 = [&](qsizetype at, quint32 v) { qToLittleEndian(v, out.data() + at); };
    auto put16 = [&](qsizetype at, quint16 v) { qToLittleEndian(v, out.data() + at); };
    out.replace(0, 8, QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));
    put16(0x18, 0x3E);
    put16(0x1A, 3);
    put16(0x1C, 0xFFFE);
    put16(0x1E, 9);
    put16(0x20, 6);
    put32(0x2C, quint32(fatSectors));
    put32(0x30, dir);
    put32(0x38, 4096);
    put32(0x3C, mini ? miniFat : kEnd);
    put32(0x40, mini ? 1 : 0);
    put32(0x44, kEnd);
    for (int i = 0; i < 109; ++i)
        put32(0x4C + 4 * i, i < fatSectors ? quint32(i) : kFree);
    auto sector = [](quint32 n) { return 512 + qsizetype(n) * 512; };
    for (int i = 0; i < fat.size(); ++i)
        put32(sector(0) + 4 * i, fat[i]);
    auto entry = [&](int index, const QString& name, quint8 type, quint32 child, quint32 start, quint32 size) {
        const qsizetype at = sector(dir) + 128 * index;
        for (int k = 0; k < name.size(); ++k)
            put16(at + 2 * k, name[k].unicode());
        put16(at + 0x40, quint16(2 * name.size() + 2));
        out[at + 0x42] = char(type);
        put32(at + 0x44, kFree);
        put32(at + 0x48, kFree);
        put32(at + 0x4C, child);
        put32(at + 0x74, start);
        put32(at + 0x78, size);
    };
    for (int i = 2; i < 4; ++i)
        entry(i, QString(), 0, kFree, 0, 0);
    entry(0, QStringLiteral("Root Entry"), 5, 1, mini ? data + quint32(order[0]) : kEnd, mini ? quint32(body.size()) : 0);
    entry(1, QStringLiteral("Workbook"), 2, kFree, mini ? 0 : data + quint32(order[0]), quint32(stream.size()));
    if (mini)
        for (int i = 0; i < body.size() / 64; ++i)
            put32(sector(miniFat) + 4 * i, i + 1 < body.size() / 64 ? quint32(i + 1) : kEnd);
    for (int k = mini ? body.size() / 64 : 0; mini && k < 128; ++k)
        put32(sector(miniFat) + 4 * k, kFree);
    for (int i = 0; i < pieces; ++i)
        out.replace(sector(data + quint32(order[i])), 512, body.mid(512 * i, 512).leftJustified(512, '\0'));
    return {out, sector(0), sector(dir) + 128, data};
}

QByteArray patternBytes(qsizetype n)
{
    QByteArray b(n, Qt::Uninitialized);
    for (qsizetype i = 0; i < n; ++i)
        b[i] = char((i * 7 + i / 251) & 0xFF);
    return b;
}

} // namespace

class TestXls : public QObject {
    Q_OBJECT
private slots:
    void roundTripKeepsTheModel();
    void cellTextsOfWrittenWorkbook_data();
    void cellTextsOfWrittenWorkbook();
    void otherProgramsFile_data();
    void otherProgramsFile();
    void otherProgramsLayout();
    void otherProgramsFileRoundTrip_data();
    void otherProgramsFileRoundTrip();
    void sharedStringsSpanContinueRecords();
    void continueSwitchesCharacterWidth();
    void excel95Workbook();
    void excel95CodePages_data();
    void excel95CodePages();
    void officeOpensWhatWeWrite();
    void officeReadsKeptRecords();
    void trailingBytesAreIgnored();
    void compoundFileLayouts_data();
    void compoundFileLayouts();
    void damagedCompoundFiles_data();
    void damagedCompoundFiles();
    void damagedInput_data();
    void damagedInput();
    void everyTruncationFailsCleanly();
};

void TestXls::roundTripKeepsTheModel()
{
    const Workbook book = sampleWorkbook();
    const Workbook back = readXls(writeXls(book));
    QCOMPARE(back.sheets.size(), 2);
    QVERIFY(back.sheets[0] == book.sheets[0]);
    QVERIFY(back.sheets[1] == book.sheets[1]);
    QVERIFY(back == book);
    QCOMPARE(back.sheets[0].page.printArea, book.sheets[0].page.printArea);
    QVERIFY(back.sheets[0].page.landscape());
    // what was read writes the very same records again
    QCOMPARE(writeBiffStream(back), writeBiffStream(book));
}

void TestXls::cellTextsOfWrittenWorkbook_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("col");
    QTest::addColumn<QString>("text");
    QTest::newRow("area") << 0 << 0 << "85.50㎡";
    QTest::newRow("formula result") << 0 << 2 << "127.63㎡";
    QTest::newRow("text result") << 0 << 3 << "計算済み";
    QTest::newRow("name") << 3 << 3 << "山田　太郎①㈱～";
    QTest::newRow("score") << 5 << 4 << "1,234,567";
    QTest::newRow("blank text") << 5 << 6 << " ";
    QTest::newRow("era") << 6 << 0 << "令和1年5月1日";
    QTest::newRow("boolean") << 6 << 1 << "TRUE";
    QTest::newRow("error") << 6 << 2 << "#DIV/0!";
    QTest::newRow("formatted blank") << 6 << 3 << "";
    QTest::newRow("no cell") << 6 << 9 << "";
    QTest::newRow("hundredths") << 7 << 0 << "-0.5";
    QTest::newRow("huge") << 7 << 1 << "1E+300";
    QTest::newRow("last cell") << 65535 << 255 << "端";
}

void TestXls::cellTextsOfWrittenWorkbook()
{
    QFETCH(int, row);
    QFETCH(int, col);
    QFETCH(QString, text);
    static const Workbook back = readXls(writeXls(sampleWorkbook()));
    QCOMPARE(back.cellText(0, row, col), text);
}

void TestXls::otherProgramsFile_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("text");
    QTest::newRow("title") << "A1"
                           << "家屋評価明細書";
    QTest::newRow("owner") << "B2"
                           << "山田　太郎①";
    QTest::newRow("area") << "B3"
                          << "85.50";
    QTest::newRow("area rounded") << "C3"
                                  << "42.13";
    QTest::newRow("sum") << "D3"
                         << "127.63";
    QTest::newRow("score") << "B4"
                           << "1,234,567";
    QTest::newRow("score formula") << "C4"
                                   << "1,358,024";
    QTest::newRow("date") << "B5"
                          << "2019年5月1日";
    QTest::newRow("percent") << "C5"
                             << "12.5%";
    QTest::newRow("boolean") << "D5"
                             << "TRUE";
}

void TestXls::otherProgramsFile()
{
    QFETCH(QString, cell);
    QFETCH(QString, text);
    static const Workbook book = readXls(fixture("meisai.xls"));
    QString shown;
    for (const auto& [key, c] : book.sheets[0].cells())
        if (cellName(Sheet::rowOf(key), Sheet::colOf(key)) == cell)
            shown = book.cellText(0, Sheet::rowOf(key), Sheet::colOf(key));
    QCOMPARE(shown, text);
    QCOMPARE(book.sheets[0].name, QStringLiteral("明細"));
    QCOMPARE(book.sheets[0].merged, QList<Range>({Range{0, 0, 0, 2}}));
}

void TestXls::otherProgramsLayout()
{
    const Workbook book = readXls(fixture("layout.xls"));
    const Sheet& s = book.sheets[0];
    QVERIFY(s.page.landscape());
    QCOMPARE(s.page.scale, 80);
    QCOMPARE(s.page.printArea, QList<Range>({Range{0, 5, 0, 3}}));
    QCOMPARE(s.page.header, QStringLiteral("&C家屋明細"));
    QCOMPARE(s.page.footer, QStringLiteral("&R評価課"));
    QVERIFY(s.page.hCenter);
    QVERIFY(qAbs(*s.page.leftMargin - 2 / 2.54) < 0.01);
    QVERIFY(s.columnHidden(1));
    QVERIFY(!s.columnHidden(0));
    QVERIFY(s.rowHidden(1));
    QVERIFY(s.columnWidth(0) > s.columnWidth(2));
    QCOMPARE(book.cellText(0, 2, 0), QStringLiteral("-1234.5"));
    QCOMPARE(book.cellText(0, 2, 2), QStringLiteral("0.000123"));
}

void TestXls::otherProgramsFileRoundTrip_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("meisai") << "meisai.xls";
    QTest::newRow("layout") << "layout.xls";
}

void TestXls::otherProgramsFileRoundTrip()
{
    QFETCH(QString, name);
    const Workbook book = readXls(fixture(name.toLatin1().constData()));
    const Workbook back = readXls(writeXls(book));
    QVERIFY(back == book);
    int formulas = 0;
    for (const auto& [key, c] : book.sheets[0].cells()) {
        if (c.kind != CellKind::Formula)
            continue;
        ++formulas;
        const Cell* again = back.sheets[0].cell(Sheet::rowOf(key), Sheet::colOf(key));
        QVERIFY(again && again->formula);
        QCOMPARE(again->formula->tokens, c.formula->tokens);
        QVERIFY(!c.formula->tokens.isEmpty());
    }
    QCOMPARE(formulas, name == u"meisai.xls" ? 3 : 0);
}

void TestXls::sharedStringsSpanContinueRecords()
{
    Workbook book;
    Sheet& s = book.sheets[0];
    const QString wide = QString(9000, QChar(u'家')) + QStringLiteral("終");
    const QString narrow = QString(9001, u'a');
    for (int i = 0; i < 3000; ++i) {
        s.cellRef(i, 0).kind = CellKind::Text;
        s.cellRef(i, 0).text = QStringLiteral("家屋%1").arg(i);
    }
    s.cellRef(0, 1).kind = CellKind::Text;
    s.cellRef(0, 1).text = wide;
    s.cellRef(1, 1).kind = CellKind::Text;
    s.cellRef(1, 1).text = narrow;
    s.cellRef(2, 1).kind = CellKind::Text;
    s.cellRef(2, 1).text = QStringLiteral("家屋1"); // shared with A2
    const QByteArray stream = writeBiffStream(book);

    RecordStream records(stream);
    int continues = 0;
    bool inSst = false;
    while (!records.atEnd()) {
        const BiffRecord r = records.next();
        if (r.type == 0x00FC) {
            inSst = true;
            continues = int(r.pieces.size());
        }
    }
    QVERIFY(inSst);
    QVERIFY2(continues >= 3, "the strings need several CONTINUE records");

    const Workbook back = readBiffStream(stream);
    QCOMPARE(back.sheets[0].cell(0, 1)->text, wide);
    QCOMPARE(back.sheets[0].cell(1, 1)->text, narrow);
    QCOMPARE(back.sheets[0].cell(2, 1)->text, QStringLiteral("家屋1"));
    for (int i = 0; i < 3000; i += 97)
        QCOMPARE(back.sheets[0].cell(i, 0)->text, QStringLiteral("家屋%1").arg(i));
}

void TestXls::continueSwitchesCharacterWidth()
{
    // Excel may store the start of a string in 8 bits and go on in 16 bits
    // after a CONTINUE, and split the rich-text runs from their string.
    const QByteArray stream = rawStream(
        [](RecordWriter& g) {
            ByteWriter sst;
            sst.u32(2).u32(2);
            sst.u16(5).u8(0x08).u16(1).chars(QStringLiteral("ab"), false); // 2 of 5 characters, 1 run
            g.add(0x00FC, sst);
            ByteWriter more;
            more.u8(0x01).chars(QStringLiteral("家屋評"), true); // the rest, wide
            more.u16(2).u16(0);                                  // the run
            more.u16(2).u8(0x00).chars(QStringLiteral("ok"), false);
            g.add(0x003C, more);
        },
        [](RecordWriter& s) {
            s.add(0x00FD, ByteWriter().u16(0).u16(0).u16(15).u32(0));
            s.add(0x00FD, ByteWriter().u16(1).u16(0).u16(15).u32(1));
        });
    const Workbook book = readBiffStream(stream);
    QCOMPARE(book.sheets[0].cell(0, 0)->text, QStringLiteral("ab家屋評"));
    QCOMPARE(book.sheets[0].cell(0, 0)->runs, QList<RichRun>({RichRun{2, 0}}));
    QCOMPARE(book.sheets[0].cell(1, 0)->text, QStringLiteral("ok"));
}

void TestXls::excel95Workbook()
{
    Biff5Builder b;
    b.addFormat(164, QStringLiteral("0.00\"㎡\""));
    const int areaXf = b.addCellXf(164);
    b.beginSheet(QStringLiteral("明細"));
    b.label(0, 0, QStringLiteral("家屋評価①㈱"));
    b.number(1, 0, 85.5, areaXf);
    b.formula(2, 0, QByteArray::fromHex("1e02001e030003"), 5); // =2+3
    // =IF(A2>0,"正","負"): a reference, strings and the jumps of IF
    b.formula(3, 0, QByteArray::fromHex("4401c000"
                                        "1e0000"
                                        "0d"
                                        "19020800"
                                        "170290b3"
                                        "19080b00"
                                        "17029589"
                                        "19080300"
                                        "42030100"),
              0);
    b.formula(4, 0, QByteArray::fromHex("23010000000000000000000000"), 7); // a name: not carried over
    b.header(QStringLiteral("&C家屋"));
    const QByteArray file = b.file();

    const Workbook book = readXls(file);
    QCOMPARE(book.biffVersion, 5);
    QCOMPARE(book.codePage, 932);
    QCOMPARE(book.sheets[0].name, QStringLiteral("明細"));
    QCOMPARE(book.cellText(0, 0, 0), QStringLiteral("家屋評価①㈱"));
    QCOMPARE(book.cellText(0, 1, 0), QStringLiteral("85.50㎡"));
    QCOMPARE(book.cellText(0, 2, 0), QStringLiteral("5"));
    QCOMPARE(book.sheets[0].page.header, QStringLiteral("&C家屋"));
    QCOMPARE(book.fonts[0].name, QStringLiteral("ＭＳ Ｐゴシック"));

    // written as Excel 97 the texts stay; the old formula keeps its value
    const Workbook again = readXls(writeXls(book));
    QCOMPARE(again.biffVersion, 8);
    QCOMPARE(again.cellText(0, 0, 0), QStringLiteral("家屋評価①㈱"));
    QCOMPARE(again.cellText(0, 1, 0), QStringLiteral("85.50㎡"));
    QCOMPARE(again.cellText(0, 2, 0), QStringLiteral("5"));
    QCOMPARE(again.sheets[0].cell(2, 0)->formula->tokens, QByteArray::fromHex("1e02001e030003"));
    QCOMPARE(again.sheets[0].cell(3, 0)->formula->tokens,
             QByteArray::fromHex("440100"
                                 "00c0"
                                 "1e0000"
                                 "0d"
                                 "19020900"
                                 "170101636b"
                                 "19080c00"
                                 "170101a08c"
                                 "19080300"
                                 "42030100"));
    QCOMPARE(again.sheets[0].cell(4, 0)->kind, CellKind::Number);
    QCOMPARE(again.cellText(0, 4, 0), QStringLiteral("7"));

    const QString soffice = office();
    if (soffice.isEmpty())
        QSKIP("soffice/libreoffice is not on PATH: the Excel 95 file is not checked against another reader");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("old95.xls"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(file);
    f.close();
    const QStringList csv = officeCsv(path, dir.path());
    QVERIFY2(csv.size() >= 4, qPrintable(csv.join(u'|')));
    // the other program shows the same texts, the format included
    QCOMPARE(csv[0], QStringLiteral("家屋評価①㈱"));
    QCOMPARE(csv[1], QStringLiteral("85.50㎡"));
    QCOMPARE(csv[2], QStringLiteral("5"));
    QCOMPARE(csv[3], QStringLiteral("正"));
    // and so does the same workbook once we wrote it in the newer format
    writeXlsFile(again, path);
    const QStringList newer = officeCsv(path, dir.path());
    QCOMPARE(newer.mid(0, 4), csv.mid(0, 4));
}

void TestXls::excel95CodePages_data()
{
    QTest::addColumn<int>("codePage");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("japanese") << 932 << QByteArray("\x89\xC6\x87\x40") << "家①";
    QTest::newRow("western") << 1252 << QByteArray("caf\xE9 \x80") << "café €";
    QTest::newRow("mac") << 0x8000 << QByteArray("caf\x8E") << "café";
}

void TestXls::excel95CodePages()
{
    QFETCH(int, codePage);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    Biff5Builder b;
    b.setCodePage(quint16(codePage));
    b.beginSheet(QStringLiteral("S"));
    b.labelBytes(0, 0, bytes);
    b.labelBytes(1, 0, bytes); // the decoder serves every string alike
    const Workbook book = readXls(b.stream());
    QCOMPARE(book.cellText(0, 0, 0), text);
    QCOMPARE(book.cellText(0, 1, 0), text);
}

void TestXls::officeOpensWhatWeWrite()
{
    const QString soffice = office();
    if (soffice.isEmpty())
        QSKIP("soffice/libreoffice is not on PATH: written files are not checked against another reader");
    Workbook book = sampleWorkbook();
    book.activeSheet = 0; // the sheet the converter takes
    book.sheets[0].removeCell(65535, 255);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ours.xls"));
    writeXlsFile(book, path);
    const QStringList csv = officeCsv(path, dir.path());
    QVERIFY2(csv.size() >= 8, qPrintable(csv.join(u'|')));
    // formulas are worked out again there: =A1+B1 and ="ab"
    QCOMPARE(csv[0].section(u',', 0, 3), QStringLiteral("85.50㎡,42.13㎡,127.63㎡,ab"));
    QCOMPARE(csv[3].section(u',', 3, 4), QStringLiteral("山田　太郎①㈱～,家屋評価"));
    QVERIFY(csv[5].startsWith(QStringLiteral(",,,,\"1,234,567\",, ")));
    QCOMPARE(csv[6].section(u',', 1, 2), QStringLiteral("1,#DIV/0!"));
    QCOMPARE(csv[7].section(u',', 0, 2), QStringLiteral("-0.5,1E+300,123456789"));
}

void TestXls::officeReadsKeptRecords()
{
    // page breaks, protection and conditional formats of another program's
    // file survive our writing, as that program reads them back
    const Workbook original = readXls(fixture("meisai.xls"));
    QCOMPARE(original.sheets[0].page.rowBreaks, QList<int>({4}));
    QVERIFY(!original.sheets[0].protection.isEmpty());
    QVERIFY(!original.sheets[0].rules.isEmpty());
    const QString soffice = office();
    if (soffice.isEmpty())
        QSKIP("soffice/libreoffice is not on PATH: kept records are not checked against another reader");
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("back")));
    const QString path = dir.filePath(QStringLiteral("kept.xls"));
    writeXlsFile(original, path);
    const QString converted = officeConvert(path, QStringLiteral("xls:MS Excel 97"), dir.filePath(QStringLiteral("back")),
                                            QStringLiteral("xls"));
    QVERIFY(!converted.isEmpty());
    const Workbook back = readXlsFile(converted);
    QCOMPARE(back.sheets[0].page.rowBreaks, QList<int>({4}));
    QVERIFY(!back.sheets[0].protection.isEmpty());
    QVERIFY(!back.sheets[0].rules.isEmpty());
    QCOMPARE(back.cellText(0, 3, 1), QStringLiteral("1,234,567"));
}

void TestXls::trailingBytesAreIgnored()
{
    const QByteArray junk = QByteArray(3000, '\x5A') + QByteArray(100, '\0');
    const QByteArray file = fixture("meisai.xls");
    QVERIFY(readXls(file + junk) == readXls(file));
    const QByteArray stream = writeBiffStream(sampleWorkbook());
    QVERIFY(readXls(stream + junk) == readXls(stream)); // a bare record stream
    const QByteArray ours = writeXls(sampleWorkbook());
    QVERIFY(readXls(ours + junk) == sampleWorkbook());
}

void TestXls::compoundFileLayouts_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<bool>("shared");
    const QByteArray big = patternBytes(40 * 512 + 100);
    QList<int> reversed, interleaved, twoRuns;
    for (int i = 0; i < 41; ++i) {
        reversed << 40 - i;
        interleaved << (i % 2 ? 21 + i / 2 : i / 2);
        twoRuns << (i < 30 ? 11 + i : i - 30); // the last pieces stored first
    }
    auto row = [](const char* name, const QByteArray& stream, const QList<int>& order, bool shared) {
        QTest::newRow(name) << compoundFile(stream, order).bytes << stream << shared;
    };
    row("one piece", big, {}, true);
    row("sectors in reverse", big, reversed, false);
    row("sectors interleaved", big, interleaved, false);
    row("two runs", big, twoRuns, false);
    row("exactly whole sectors", patternBytes(16 * 512), {}, true);
    row("mini stream", patternBytes(3000), {}, false);
    row("mini stream of one piece", patternBytes(40), {}, false);
    // 8 MB need more sector tables than the header has room to list
    const QByteArray huge = patternBytes(8 << 20);
    QTest::newRow("tables listed in a chain") << writeWorkbookFile(huge) << huge << true;
}

void TestXls::compoundFileLayouts()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, stream);
    QFETCH(bool, shared);
    QCOMPARE(readWorkbookStream(file), stream);
    LargeBuffer room;
    const QByteArray view = workbookStreamView(file, room);
    QCOMPARE(view, stream);
    // a stream in one piece is read where it lies, not copied
    const bool inFile = view.constData() >= file.constData() && view.constData() < file.constData() + file.size();
    QCOMPARE(inFile, shared);
    QVERIFY(readWorkbookStream(file).constData() != file.constData() + 512); // the plain reading owns its bytes
}

void TestXls::damagedCompoundFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray stream = patternBytes(20 * 512);
    QList<int> order;
    for (int i = 0; i < 20; ++i)
        order << (i * 7) % 20;
    const Compound good = compoundFile(stream, order);
    auto patched = [&](std::initializer_list<std::pair<qsizetype, quint32>> changes) {
        QByteArray b = good.bytes;
        for (const auto& [at, v] : changes)
            qToLittleEndian(v, b.data() + at);
        return b;
    };
    auto link = [&](int piece) { return good.fatAt + 4 * (good.firstData + quint32(order[piece])); };
    auto sectorOf = [&](int piece) { return good.firstData + quint32(order[piece]); };
    const qsizetype root = good.entryAt - 128, spare = good.entryAt + 128;
    QTest::newRow("chain loops") << patched({{link(9), sectorOf(2)}});
    QTest::newRow("chain loops onto itself") << patched({{link(4), sectorOf(4)}});
    QTest::newRow("chain leaves the file") << patched({{link(19), 0x00FFFFFF}});
    QTest::newRow("chain ends early") << patched({{link(3), 0xFFFFFFFE}});
    QTest::newRow("chain runs into the table") << patched({{link(3), 0}});
    QTest::newRow("stream larger than the file") << patched({{good.entryAt + 0x78, 0x7FFFFFFF}});
    QTest::newRow("directory sector beyond the file") << patched({{0x30, 5000}});
    QTest::newRow("sector table beyond the file") << patched({{0x4C, 5000}});
    QTest::newRow("more table sectors than listed") << patched({{0x2C, 300}});
    QTest::newRow("more table sectors than the file has") << patched({{0x2C, 0x7FFFFFFF}, {0x44, 0}});
    QTest::newRow("entries link in a loop") << patched({{root + 0x4C, 2}, {spare + 0x44, 2}});
    QTest::newRow("entry links beyond the directory") << patched({{root + 0x4C, 2}, {spare + 0x48, 999}});
    QTest::newRow("sector size") << patched({{0x1C, 0xFFFE | (15u << 16)}});
    QTest::newRow("cut in the stream") << good.bytes.left(good.bytes.size() - 700);
    QTest::newRow("cut in the directory") << good.bytes.left(good.entryAt);
}

void TestXls::damagedCompoundFiles()
{
    // Either the stream comes back whole or an error says the file is bad;
    // never other bytes, never a hang.
    QFETCH(QByteArray, bytes);
    const QByteArray stream = patternBytes(20 * 512);
    for (bool view : {false, true}) {
        try {
            LargeBuffer room;
            const QByteArray got = view ? workbookStreamView(bytes, room) : readWorkbookStream(bytes);
            QCOMPARE(got, stream);
        } catch (const ESheetError& e) {
            QVERIFY(!e.message().isEmpty());
        }
    }
}

void TestXls::damagedInput_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("kind");
    const QByteArray file = fixture("meisai.xls");
    const QByteArray stream = readWorkbookStream(file);
    auto noSheet = [](RecordWriter&) {};
    QTest::newRow("empty") << QByteArray() << "not";
    QTest::newRow("text") << QByteArray("家屋,面積\n1,2\n") << "not";
    QTest::newRow("compound file header only") << file.left(512) << "corrupt";
    QTest::newRow("compound file cut") << file.left(file.size() / 2) << "corrupt";
    QTest::newRow("compound file without workbook") << writeWorkbookFile("abc", "Other") << "not";
    QTest::newRow("stream cut") << stream.left(stream.size() - 7) << "corrupt";
    QTest::newRow("record runs past end") << QByteArray::fromHex("090810000006050000000000") << "corrupt";
    QTest::newRow("excel 4") << QByteArray::fromHex("090406000000100000000000") << "not";
    QTest::newRow("sheet bof only") << QByteArray::fromHex("0908100000061000000000000000000000000000") << "not";
    QTest::newRow("encrypted") << rawStream([](RecordWriter& g) { g.add(0x002F, ByteWriter().u16(1).zeros(52)); }, noSheet)
                               << "encrypted";
    QTest::newRow("encrypted in container")
        << writeWorkbookFile(rawStream([](RecordWriter& g) { g.add(0x002F, ByteWriter().u16(0)); }, noSheet))
        << "encrypted";
    QTest::newRow("shared string out of range")
        << rawStream([](RecordWriter&) {}, [](RecordWriter& s) { s.add(0x00FD, ByteWriter().u16(0).u16(0).u16(15).u32(7)); })
        << "corrupt";
    QTest::newRow("string longer than record")
        << rawStream([](RecordWriter&) {}, [](RecordWriter& s) { s.add(0x0204, ByteWriter().u16(0).u16(0).u16(15).u16(900).u8(0)); })
        << "corrupt";
    QTest::newRow("huge shared string count")
        << rawStream([](RecordWriter& g) { g.add(0x00FC, ByteWriter().u32(0xFFFFFFFF).u32(0xFFFFFFFF).u16(0x7FFF).u8(0)); }, noSheet)
        << "corrupt";
    QByteArray badPosition = rawStream([](RecordWriter&) {}, noSheet);
    qToLittleEndian<quint32>(0x7FFFFFFF, badPosition.data() + 24);
    QTest::newRow("sheet position outside") << badPosition << "corrupt";
}

void TestXls::damagedInput()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, kind);
    QString caught;
    try {
        readXls(bytes);
        caught = QStringLiteral("read");
    } catch (const EEncryptedWorkbook&) {
        caught = QStringLiteral("encrypted");
    } catch (const ENotAWorkbook&) {
        caught = QStringLiteral("not");
    } catch (const ECorruptWorkbook&) {
        caught = QStringLiteral("corrupt");
    }
    QCOMPARE(caught, kind);
}

void TestXls::everyTruncationFailsCleanly()
{
    // Cut anywhere, a workbook either still reads or fails with our error.
    const QByteArray stream = writeBiffStream(sampleWorkbook());
    int failures = 0;
    for (qsizetype cut = 0; cut < stream.size(); cut += 1 + cut / 50) {
        try {
            readBiffStream(stream.left(cut));
        } catch (const ESheetError&) {
            ++failures;
        }
    }
    QVERIFY(failures > 0);
    try {
        readBiffStream(stream.left(stream.size() - 1));
        QFAIL("a stream without its last byte reads");
    } catch (const ECorruptWorkbook&) {
    }
}

QObject* makeTestXls() { return new TestXls; }

#include "test_xls.moc"
