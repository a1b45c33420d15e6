// Memory blocks, the stream over them, and the engine operations that move
// workbooks through them; the command-line tool on top.
#include "Fixtures.h"
#include "WorkbookSamples.h"

#include "sheets/memory/HandleMemoryStream.h"
#include "sheets/book/SheetBook.h"
#include "sheets/model/SheetErrors.h"
#include "sheets/xls/XlsFile.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace tegaro;
using namespace tegaro::sheets;
using tegaro::sheets::testing::fixture;

namespace {

HGLOBAL freedHandle()
{
    const HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 16);
    GlobalFree(h);
    return h;
}

} // namespace

class TestMemory : public QObject {
    Q_OBJECT
private slots:
    void saveToMemoryHandleHandsOverXlsBytes();
    void loadFromMemoryHandleTakesBothForms();
    void badHandles_data();
    void badHandles();
    void handleStreamIsReadOnly();
    void blockBookkeeping();
    void cellTextPlaces_data();
    void cellTextPlaces();
    void standardViewAndClear();
    void entries_data();
    void entries();
    void editBarTexts();
    void toolPrintsCells();
};

void TestMemory::saveToMemoryHandleHandsOverXlsBytes()
{
    const int before = GlobalBlockCount();
    TSheetBook book;
    book.setWorkbook(testing::sampleWorkbook());
    HGLOBAL h = 0;
    book.SaveToMemoryHandle(h, 0);
    QVERIFY(h != 0);
    QByteArray bytes;
    {
        THandleMemoryStream s(h);
        QCOMPARE(s.Size(), qint64(GlobalSize(h)));
        QCOMPARE(s.Position(), 0);
        bytes = s.ReadAll();
    }
    QCOMPARE(GlobalLock(h), nullptr); // unlocked and freed with the stream
    QCOMPARE(GlobalBlockCount(), before);
    QVERIFY(readXls(bytes) == testing::sampleWorkbook());
}

void TestMemory::loadFromMemoryHandleTakesBothForms()
{
    // a file's bytes in a growable stream whose block is longer than the data
    const QByteArray file = fixture("meisai.xls");
    TGlobalMemoryStream stored;
    stored.Write(file.constData(), file.size());
    QVERIFY(GlobalSize(stored.Handle()) > size_t(file.size()));
    QCOMPARE(GlobalHandle(stored.Memory()), stored.Handle());
    QCOMPARE(GlobalHandle(static_cast<const char*>(stored.Memory()) + 100), stored.Handle());
    TSheetBook book;
    int changes = 0;
    book.onChanged = [&](const BookChange&) { ++changes; };
    book.LoadFromMemoryHandle(GlobalHandle(stored.Memory()), 0);
    QCOMPARE(book.cellText(0, 0, 0), QStringLiteral("家屋評価明細書"));
    QCOMPARE(changes, 1);
    QVERIFY(GlobalLock(stored.Handle()) != nullptr); // still the caller's block
    GlobalUnlock(stored.Handle());

    // what SaveToMemoryHandle wrote, copied with spare bytes after it
    HGLOBAL saved = 0;
    book.SaveToMemoryHandle(saved);
    THandleMemoryStream image(saved);
    TGlobalMemoryStream copy;
    const QByteArray bytes = image.ReadAll() + QByteArray(777, '\x01');
    copy.Write(bytes.constData(), bytes.size());
    TSheetBook other;
    other.LoadFromMemoryHandle(copy.Handle());
    QVERIFY(other.workbook() == book.workbook());
}

void TestMemory::badHandles_data()
{
    QTest::addColumn<quint32>("handle");
    QTest::newRow("zero") << quint32(0);
    QTest::newRow("never given") << quint32(0xDEADBEEF);
    QTest::newRow("freed") << freedHandle();
}

void TestMemory::badHandles()
{
    QFETCH(quint32, handle);
    QCOMPARE(GlobalLock(handle), nullptr);
    QCOMPARE(GlobalSize(handle), size_t(0));
    QVERIFY(!GlobalUnlock(handle));
    QCOMPARE(GlobalFree(handle), handle);
    try {
        THandleMemoryStream s(handle);
        QFAIL("a stream over a bad handle");
    } catch (const EHandleMemoryStream& e) {
        QCOMPARE(e.message(), QStringLiteral("Invalid Memory Handle"));
    }
    TSheetBook book;
    QVERIFY_THROWS_EXCEPTION(EHandleMemoryStream, book.LoadFromMemoryHandle(handle));
}

void TestMemory::handleStreamIsReadOnly()
{
    const HGLOBAL h = GlobalAlloc(GMEM_ZEROINIT, 10);
    THandleMemoryStream s(h);
    char c = 'x';
    QVERIFY_THROWS_EXCEPTION(EAbstractError, s.Write(&c, 1));
    QCOMPARE(s.Seek(-3, SeekOrigin::End), 7);
    char buf[8];
    QCOMPARE(s.Read(buf, 8), 3);
    QCOMPARE(s.Read(buf, 8), 0);

    // bytes that are no workbook fail with the reader's error, block intact
    const HGLOBAL junk = GlobalAlloc(GMEM_ZEROINIT, 4096);
    TSheetBook book;
    QVERIFY_THROWS_EXCEPTION(ESheetError, book.LoadFromMemoryHandle(junk));
    QCOMPARE(GlobalFree(junk), HGLOBAL(0));
}

void TestMemory::blockBookkeeping()
{
    const HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 100);
    void* p = GlobalLock(h);
    QVERIFY(p);
    QCOMPARE(GlobalLock(h), p);
    QVERIFY(GlobalUnlock(h));                                   // still locked once
    QCOMPARE(GlobalReAlloc(h, 200, GMEM_MOVEABLE), HGLOBAL(0)); // a locked block stays put
    QVERIFY(!GlobalUnlock(h));                                  // now unlocked
    std::memset(p, 0, 0);
    QCOMPARE(GlobalReAlloc(h, 200, GMEM_MOVEABLE), h);
    QCOMPARE(GlobalSize(h), size_t(200));
    int outside = 0;
    QCOMPARE(GlobalHandle(&outside), HGLOBAL(0));
    const HGLOBAL again = GlobalAlloc(GMEM_MOVEABLE, 100);
    QVERIFY(again != h);
    QCOMPARE(GlobalFree(h), HGLOBAL(0));
    QCOMPARE(GlobalFree(h), h); // a second free is refused
    QCOMPARE(GlobalFree(again), HGLOBAL(0));
}

void TestMemory::cellTextPlaces_data()
{
    QTest::addColumn<int>("sheet");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("col");
    QTest::addColumn<bool>("valid");
    QTest::newRow("first cell") << 1 << 1 << 1 << true;
    QTest::newRow("last cell") << 1 << 65536 << 256 << true;
    QTest::newRow("second sheet") << 2 << 1 << 1 << true;
    QTest::newRow("sheet 0") << 0 << 1 << 1 << false;
    QTest::newRow("sheet beyond") << 3 << 1 << 1 << false;
    QTest::newRow("row 0") << 1 << 0 << 1 << false;
    QTest::newRow("column beyond") << 1 << 1 << 257 << false;
}

void TestMemory::cellTextPlaces()
{
    QFETCH(int, sheet);
    QFETCH(int, row);
    QFETCH(int, col);
    QFETCH(bool, valid);
    TSheetBook book;
    book.setWorkbook(testing::sampleWorkbook());
    // counted from 1 in the table, from 0 in the engine
    if (valid)
        book.cellText(sheet - 1, row - 1, col - 1);
    else
        QVERIFY_THROWS_EXCEPTION(ESheetError, book.cellText(sheet - 1, row - 1, col - 1));
}

void TestMemory::standardViewAndClear()
{
    TSheetBook book;
    book.setWorkbook(testing::sampleWorkbook());
    book.setActiveSheet(0);
    book.setZoom(95);
    QCOMPARE(readXls(writeXls(book.workbook())).sheets[0].view.zoom, 95);
    book.SetEntry(0, 20, 0, QStringLiteral("x"));
    QVERIFY(book.canUndo());
    book.ClearWorkbook();
    QCOMPARE(book.workbook().sheets.size(), 1);
    QCOMPARE(book.workbook().sheets[0].cellCount(), 0);
    QCOMPARE(book.cellText(0, 5, 6), QString()); // G6 of an empty workbook is empty
    QVERIFY(!book.canUndo());                    // a new workbook has no steps to take back
}

void TestMemory::entries_data()
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

void TestMemory::entries()
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

void TestMemory::editBarTexts()
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

void TestMemory::toolPrintsCells()
{
    const QString tool = QStringLiteral(TEGARO_BIN_DIR "/tegaro-sheet");
    if (!QFile::exists(tool))
        QSKIP("tegaro-sheet is not built");
    QProcess p;
    p.start(tool, {QStringLiteral("cat"), QStringLiteral(TEGARO_FIXTURES "/sheets/meisai.xls")});
    QVERIFY(p.waitForFinished());
    QCOMPARE(p.exitCode(), 0);
    const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.value(0), QStringLiteral("A1\t家屋評価明細書"));
    QVERIFY(lines.contains(QStringLiteral("B4\t1,234,567")));
    QCOMPARE(lines.size(), 16);

    p.start(tool, {QStringLiteral("cat"), QStringLiteral(TEGARO_FIXTURES "/sheets/meisai.xls"), QStringLiteral("--sheet"), QStringLiteral("2")});
    QVERIFY(p.waitForFinished());
    QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()), QStringLiteral("A1\t二枚目\nB1\t171\n"));

    p.start(tool, {QStringLiteral("cat"), QStringLiteral(TEGARO_FIXTURES "/sheets/meisai.xls"), QStringLiteral("--sheet"), QStringLiteral("9")});
    QVERIFY(p.waitForFinished());
    QVERIFY(p.exitCode() != 0);

    p.start(tool, {QStringLiteral("cat"), QStringLiteral(TEGARO_FIXTURES "/sheets/../../core/test_core.cpp")});
    QVERIFY(p.waitForFinished());
    QCOMPARE(p.exitCode(), 1);
    QVERIFY(QString::fromUtf8(p.readAllStandardError()).contains(QStringLiteral("Excel のブックではありません")));
    QCOMPARE(p.readAllStandardOutput(), QByteArray());

    // convert writes a workbook that shows the same cells
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("again.xls"));
    p.start(tool, {QStringLiteral("convert"), QStringLiteral(TEGARO_FIXTURES "/sheets/meisai.xls"), out});
    QVERIFY(p.waitForFinished());
    QCOMPARE(p.exitCode(), 0);
    p.start(tool, {QStringLiteral("cat"), out});
    QVERIFY(p.waitForFinished());
    QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts), lines);
    p.start(tool, {QStringLiteral("convert"), QStringLiteral(TEGARO_FIXTURES "/sheets/meisai.xls"), dir.filePath(QStringLiteral("no/such/dir/x.xls"))});
    QVERIFY(p.waitForFinished());
    QCOMPARE(p.exitCode(), 1);
}

QObject* makeTestMemory() { return new TestMemory; }

#include "test_memory.moc"
