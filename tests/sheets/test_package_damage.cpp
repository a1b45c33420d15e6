// Damaged and hostile packages: each ends in a clear error of ours, or in a
// workbook that writes as .xls and reads back.
#include "Fixtures.h"
#include "PackageChecks.h"
#include "PackageSamples.h"

#include "sheets/book/WorkbookFile.h"
#include "sheets/container/OleFile.h"
#include "sheets/container/ZipWriter.h"
#include "sheets/model/CellReference.h"
#include "sheets/model/SheetErrors.h"
#include "sheets/package/PackageCheck.h"
#include "sheets/xls/XlsFile.h"

#include <QRandomGenerator>
#include <QtEndian>
#include <QtTest>

#include <new>
#include <stdexcept>

using namespace tegaro;
using namespace tegaro::sheets;
using namespace tegaro::sheets::testing;

namespace {

// Package bytes with one field of the n-th file of the ZIP directory changed.
QByteArray patchDirectory(QByteArray zip, int file, int offset, quint32 value)
{
    qsizetype at = -1;
    for (int i = 0; i <= file; ++i) {
        at = zip.indexOf("PK\x01\x02", at + 1);
        const qsizetype nameLength = qFromLittleEndian<quint16>(zip.constData() + at + 28);
        if (zip.at(at + 46 + nameLength - 1) == '/')
            --i; // a folder
    }
    qToLittleEndian<quint32>(value, zip.data() + at + offset);
    return zip;
}

// The directory entry, or with `local` the local header, of the part named.
qsizetype entryAt(const QByteArray& zip, const QByteArray& name, bool local = false)
{
    const QByteArray magic = local ? "PK\x03\x04" : "PK\x01\x02";
    const int nameAt = local ? 26 : 28;
    for (qsizetype at = zip.indexOf(magic); at >= 0; at = zip.indexOf(magic, at + 1)) {
        const qsizetype length = qFromLittleEndian<quint16>(zip.constData() + at + nameAt);
        if (zip.mid(at + (local ? 30 : 46), length) == name)
            return at;
    }
    return -1;
}

QByteArray patchEntry(QByteArray zip, const QByteArray& name, int offset, quint16 value)
{
    qToLittleEndian<quint16>(value, zip.data() + entryAt(zip, name) + offset);
    return zip;
}

} // namespace

class TestDamagedPackages : public QObject {
    Q_OBJECT
private slots:
    void damagedPackages_data();
    void damagedPackages();
    void everyTruncationFailsCleanly_data();
    void everyTruncationFailsCleanly();
    void whatReadersThrowIsTheFilesError_data();
    void whatReadersThrowIsTheFilesError();
};

void TestDamagedPackages::damagedPackages_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("notAWorkbook"); // else damaged
    QTest::addColumn<QString>("says");

    const QByteArray good = simpleXlsx("<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row></sheetData>", true);
    QTest::newRow("empty ZIP") << QByteArray("PK\x05\x06", 4) + QByteArray(18, 0) << false << "壊れています";
    QTest::newRow("ZIP head and junk") << QByteArray("PK\x03\x04") + QByteArray(100, 'x') << false << "目次がありません";
    QTest::newRow("other kind of package")
        << writeZip({{"mimetype", "application/vnd.oasis.opendocument.text"}, {"content.xml", "<a/>"}}) << true << "ではありません";
    QTest::newRow("package without sheets")
        << xlsxPackage({workbookPart({})}) << true << "ワークシートがありません";
    // a control character before the content: our checks passed it over, and
    // the reader went on to crash on a style of no known family
    QTest::newRow("content that is not XML")
        << odsPackage("  \x02" + odsContent("<table:table table:name=\"S\"/>", "<style:style style:name=\"ro1\" x:family=\"table-row\">"
                                                                               "<style:table-row-properties style:row-height=\"0.2in\"/></style:style>"))
        << false << "XML ではありません";
    // saved with a password: an .xlsx becomes a compound file of the
    // encrypted package, an .ods keeps its parts encrypted and says so
    QTest::newRow("xlsx with a password")
        << writeWorkbookFile(QByteArray(4096, '\x5A'), "EncryptedPackage") << false << "パスワードで保護されたブックは読めません。";
    QTest::newRow("ods with a password")
        << writeZip({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                     {"content.xml", QByteArray("\x8B\x1F\x00\x93garbled", 11)},
                     {"META-INF/manifest.xml",
                      "<?xml version=\"1.0\"?><manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:"
                      "manifest:1.0\"><manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\">"
                      "<manifest:encryption-data manifest:checksum-type=\"SHA1/1K\"/></manifest:file-entry>"
                      "</manifest:manifest>"}})
        << false << "パスワードで保護されたブックは読めません。";
    // the sheet names a relationship that is not there: its cells have no sheet
    QTest::newRow("cells of no sheet")
        << xlsxPackage({workbookPart({QStringLiteral("S")}).replace("rId1", "rId9"),
                        worksheetPart("<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row></sheetData>")})
        << false << "セルを読み取れませんでした";
    // what the reading parser would pass over in a part it reads
    const QByteArray sheet = "<sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>X</t></is></c></row></sheetData>";
    QTest::newRow("sheet not UTF-8") << simpleXlsx(QByteArray(sheet).replace("X", "\xFF\xFE")) << false << "文字コード";
    QTest::newRow("control character") << simpleXlsx(QByteArray(sheet).replace("X", "\x05")) << false << "制御文字";
    QTest::newRow("\"<\" in an attribute") << simpleXlsx(QByteArray(sheet).replace("A1", "A<1")) << false << "属性の値";
    QTest::newRow("prefix never declared") << simpleXlsx("<x:sheetPr/>" + sheet) << false << "接頭辞";
    // the workbook's relationships cut short: what they would have led to is not left out without a word
    QByteArray cut = xlsxPackage({workbookPart({QStringLiteral("S")}), worksheetPart(sheet)});
    cut.replace("</Relationships>", "                ");
    QTest::newRow("relationships cut short") << cut << false << "途中で切れています";
    QTest::newRow("part larger than the file") << patchDirectory(good, 0, 20, 0x7FFFFFF0) << false << "大きさ";
    QTest::newRow("part said to unpack to 4 GB") << patchDirectory(good, 0, 24, 0xFFFFFFF0) << false << "大きすぎる";
    QByteArray three = patchDirectory(good, 2, 24, quint32(kMaxPartSize));
    three = patchDirectory(patchDirectory(three, 3, 24, quint32(kMaxPartSize)), 4, 24, quint32(kMaxPartSize));
    QTest::newRow("parts that unpack to too much together") << three << false << "展開後の大きさ";
    QTest::newRow("deep nesting")
        << simpleXlsx("<sheetData>" + QByteArray("<x>").repeated(kMaxXmlDepth) + QByteArray("</x>").repeated(kMaxXmlDepth)
                      + "</sheetData>")
        << false << "入れ子の深さ";
    // entities that expand a thousandfold at each step
    QByteArray laughs = "<?xml version=\"1.0\"?><!DOCTYPE w [<!ENTITY a \"aaaaaaaaaa\">";
    for (char c = 'b'; c <= 'j'; ++c)
        laughs += QByteArray("<!ENTITY ") + c + " \"" + QByteArray("&").append(char(c - 1)).append(';').repeated(10) + "\">";
    laughs += "]><worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData><row "
              "r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>&j;</t></is></c></row></sheetData></worksheet>";
    QTest::newRow("entity expansion")
        << xlsxPackage({workbookPart({QStringLiteral("S")}), laughs}) << false << "壊れています";
    QTest::newRow("character past Unicode")
        << simpleXlsx("<sheetData><row r=\"1\"><c r=\"A1\" t=\"str\"><v>&#x110000;</v></c></row></sheetData>") << false << "壊れています";
    QTest::newRow("comment cut short") << simpleXlsx("<sheetData/><!--ab") << false << "壊れています";
    // the reader's parser takes these quietly, or ends the program on them
    const QByteArray book = workbookPart({QStringLiteral("S")});
    QTest::newRow("part cut short")
        << xlsxPackage({book, worksheetPart("<sheetData/>").chopped(12)}) << false << "途中で切れています";
    QTest::newRow("attribute name at the end") << xlsxPackage({book, "<worksheet a"}) << false << "壊れています";
    // the parser steps past the end after such a value and reads on
    QTest::newRow("attribute with a reference at the end")
        << xlsxPackage({book, "<worksheet a=\"&amp;x"}) << false << "壊れています";
    QTest::newRow("ods attribute with a reference at the end")
        << odsPackage("<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
                      "office:version=\"&gt;1")
        << false << "壊れています";
    // and past the end of text that ends in one, failing its own assertion
    QTest::newRow("text with a reference at the end")
        << xlsxPackage({book, "<worksheet>&amp;"}) << false << "途中で切れています";
    QTest::newRow("ods text with a reference at the end")
        << odsPackage("<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\">&amp;")
        << false << "途中で切れています";
    QTest::newRow("second root")
        << xlsxPackage({book, worksheetPart("<sheetData/>") + "<worksheet/>"}) << false << "ルート要素の後";
    QTest::newRow("text after the root")
        << xlsxPackage({book, worksheetPart("<sheetData/>") + "<!-- end -->junk"}) << false << "ルート要素の後";
    QTest::newRow("reference with a sign")
        << simpleXlsx("<sheetData><row r=\"1\"><c r=\"A1\" t=\"str\"><v>&#-5;</v></c></row></sheetData>") << false
        << "文字参照";
    QTest::newRow("reference past Unicode in an attribute")
        << simpleXlsx("<sheetData><row r=\"1\" spans=\"&#1114112;\"/></sheetData>") << false << "文字参照";
    QTest::newRow("reference without digits")
        << simpleXlsx("<sheetData><row r=\"1\"><c r=\"A1\" t=\"str\"><v>&#x;</v></c></row></sheetData>") << false
        << "文字参照";
    QTest::newRow("column past the grid")
        << simpleXlsx("<cols><col min=\"1\" max=\"2000000000\" width=\"9\"/></cols><sheetData/>") << false << "列の範囲";
    QTest::newRow("many column settings")
        << simpleXlsx("<cols>" + QByteArray("<col min=\"1\" max=\"16384\" width=\"9\"/>").repeated(100) + "</cols><sheetData/>")
        << false << "列の設定";
    QTest::newRow("array formula over the whole grid")
        << simpleXlsx("<sheetData><row r=\"1\"><c r=\"A1\"><f t=\"array\" ref=\"A1:XFD1048576\">1</f><v>1</v></c></row></sheetData>")
        << false << "配列数式";
    QTest::newRow("cell reference past the grid")
        << simpleXlsx("<sheetData><row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row></sheetData>") << false << "壊れています";
    QTest::newRow("ods cells repeated past the grid")
        << simpleOds("<table:table-row><table:table-cell table:number-columns-repeated=\"2000000000\"/></table:table-row>")
        << false << "セルの繰り返し";
    QTest::newRow("ods cells repeated too often")
        << simpleOds(("<table:table-row>" + QByteArray("<table:table-cell table:number-columns-repeated=\"16384\"/>").repeated(200)
                      + "</table:table-row>")
                         .repeated(100))
        << false << "セル数";
    QTest::newRow("ods rows repeated past the grid")
        << simpleOds("<table:table-row table:number-rows-repeated=\"99999999999\"><table:table-cell/></table:table-row>")
        << false << "行の繰り返し";
    QTest::newRow("ods column properties in a cell style")
        << simpleOds("", "<style:style style:name=\"ce1\" style:family=\"table-cell\"><style:table-column-properties "
                         "style:column-width=\"1in\"/></style:style>")
        << false << "スタイルの種類";
    QTest::newRow("ods column properties in the default cell style")
        << simpleOds("", "<style:default-style style:family=\"table-cell\"><style:table-column-properties "
                         "style:column-width=\"1in\"/></style:default-style>")
        << false << "スタイルの種類";
    // the part's data does not unpack to what its directory entry says
    const QByteArray ods = odsPackage(
        odsContent("<table:table table:name=\"S\">"
                   + QByteArray("<table:table-row><table:table-cell office:value-type=\"float\" office:value=\"1\"/>"
                                "</table:table-row>")
                         .repeated(40)
                   + "</table:table>"),
        {}, true);
    const qsizetype size = qFromLittleEndian<quint32>(ods.constData() + entryAt(ods, "content.xml") + 24);
    QTest::newRow("ods part unpacking to less than it says")
        << patchEntry(ods, "content.xml", 24, quint16(size + 10)) << false << "ZIP の部品が読めません";
    QTest::newRow("ods part unpacking to more than it says")
        << patchEntry(ods, "content.xml", 24, quint16(size - 10)) << false << "ZIP の部品が読めません";
    QTest::newRow("ods part packed in an unknown way")
        << patchEntry(ods, "content.xml", 10, 99) << false << "ZIP の部品が読めません";
    QByteArray garbled = ods;
    const qsizetype local = entryAt(ods, "content.xml", true);
    const qsizetype data = local + 30 + qFromLittleEndian<quint16>(ods.constData() + local + 26)
        + qFromLittleEndian<quint16>(ods.constData() + local + 28);
    for (qsizetype i = data + 2; i < data + 40; ++i)
        garbled[i] = char(garbled[i] ^ 0x5A);
    QTest::newRow("ods part with bad packed data") << garbled << false << "壊れています";
    QByteArray moved = ods;
    qToLittleEndian<quint32>(quint32(ods.size()), moved.data() + entryAt(ods, "content.xml") + 42);
    QTest::newRow("ods part whose header lies past the end") << moved << false << "ZIP の部品が読めません";
    QTest::newRow("ods column of a cell style")
        << simpleOds("<table:table-column table:style-name=\"co1\"/>",
                     "<style:style style:name=\"co1\" style:family=\"table-cell\"/>"
                     "<style:style style:name=\"co1\" style:family=\"table-column\"/>")
        << false << "列のスタイル";
}

void TestDamagedPackages::damagedPackages()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, notAWorkbook);
    QFETCH(QString, says);
    try {
        readWorkbook(bytes);
        QFAIL("read without an error");
    } catch (const ENotAWorkbook& e) {
        QVERIFY2(notAWorkbook, qPrintable(e.message()));
        QVERIFY2(e.message().contains(says), qPrintable(e.message()));
    } catch (const ESheetError& e) {
        QVERIFY2(!notAWorkbook, qPrintable(e.message()));
        QVERIFY2(e.message().contains(says), qPrintable(e.message()));
    }
}

void TestDamagedPackages::everyTruncationFailsCleanly_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("xlsx") << "detail.xlsx";
    QTest::newRow("ods") << "detail.ods";
}

void TestDamagedPackages::everyTruncationFailsCleanly()
{
    // cut short, or with bytes changed, a package fails with an error of
    // ours, or reads as a workbook that writes as .xls and reads back
    QFETCH(QString, name);
    const QByteArray file = fixture(name.toLatin1().constData());
    int read = 0, refused = 0;
    auto attempt = [&](const QByteArray& bytes, const QString& what) {
        Workbook book;
        try {
            book = readWorkbook(bytes);
        } catch (const ESheetError& e) {
            QVERIFY2(!e.message().isEmpty(), qPrintable(what));
            ++refused;
            return;
        }
        ++read;
        QVERIFY2(!book.sheets.isEmpty(), qPrintable(what));
        Workbook back;
        try {
            back = readXls(writeXls(book));
        } catch (const ESheetError& e) {
            QFAIL(qPrintable(what + QStringLiteral(": read, but not written and read back: ") + e.message()));
        }
        QVERIFY2(back.sheets.size() == book.sheets.size(), qPrintable(what));
        for (int s = 0; s < book.sheets.size(); ++s)
            for (const auto& [key, cell] : book.sheets[s].cells()) {
                const int row = Sheet::rowOf(key), col = Sheet::colOf(key);
                QVERIFY2(back.cellText(s, row, col) == book.cellText(s, row, col),
                         qPrintable(what + QStringLiteral(" at ") + cellName(row, col)));
            }
    };
    for (qsizetype n = 4; n < file.size(); n += 11) {
        attempt(file.left(n), QStringLiteral("first %1 bytes").arg(n));
        if (QTest::currentTestFailed())
            return;
    }
    QRandomGenerator random(1234);
    for (int i = 0; i < 300; ++i) {
        QByteArray damaged = file;
        for (int j = 0; j < 4; ++j)
            damaged[random.bounded(int(damaged.size()))] = char(random.bounded(256));
        attempt(damaged, QStringLiteral("damaged copy %1").arg(i));
        if (QTest::currentTestFailed())
            return;
    }
    // both answers come up: most damage is refused, some lands where it does no harm
    QVERIFY(refused > 0);
    QVERIFY(read > 0);
}

void TestDamagedPackages::whatReadersThrowIsTheFilesError_data()
{
    QTest::addColumn<int>("thrown");
    QTest::addColumn<bool>("corrupt"); // else passed on as it was
    QTest::addColumn<QString>("says");
    QTest::newRow("ours passes") << 0 << false << "ours";
    QTest::newRow("no memory") << 1 << true << "ブックが大きすぎるため読み込めません。(メモリ不足)";
    QTest::newRow("library's error") << 2 << true << "ブックのファイルが壊れています。(parse failed)";
    QTest::newRow("anything else") << 3 << true << "ブックのファイルが壊れています。";
}

void TestDamagedPackages::whatReadersThrowIsTheFilesError()
{
    QFETCH(int, thrown);
    QFETCH(bool, corrupt);
    QFETCH(QString, says);
    try {
        try {
            switch (thrown) {
            case 0: throw ENotAWorkbook(QStringLiteral("ours"));
            case 1: throw std::bad_alloc();
            case 2: throw std::runtime_error("parse failed");
            default: throw 42;
            }
        } catch (...) {
            rethrowAsWorkbookError();
        }
    } catch (const ECorruptWorkbook& e) {
        QVERIFY(corrupt);
        QCOMPARE(e.message(), says);
        return;
    } catch (const ENotAWorkbook& e) {
        QVERIFY(!corrupt);
        QCOMPARE(e.message(), says);
        return;
    }
    QFAIL("nothing thrown");
}

QObject* makeTestDamagedPackages() { return new TestDamagedPackages; }

#include "test_package_damage.moc"
