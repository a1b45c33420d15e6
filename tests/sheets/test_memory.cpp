// Memory blocks, the stream over them, and the engine operations that move
// workbooks through them.
#include "Fixtures.h"
#include "WorkbookSamples.h"

#include "sheets/memory/HandleMemoryStream.h"
#include "sheets/book/SheetBook.h"
#include "sheets/model/SheetErrors.h"
#include "sheets/xls/XlsFile.h"

#include <QRandomGenerator>
#include <QtTest>

#include <map>
#include <utility>

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
    void sheetsKeepTheirOwnCells();
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
    auto* p = static_cast<char*>(GlobalLock(h));
    QVERIFY(p);
    for (int i = 0; i < 100; ++i)
        p[i] = char(i + 1);
    QCOMPARE(GlobalLock(h), static_cast<void*>(p));
    QVERIFY(GlobalUnlock(h));                                   // still locked once
    QCOMPARE(GlobalReAlloc(h, 200, GMEM_MOVEABLE), HGLOBAL(0)); // a locked block stays put
    QVERIFY(!GlobalUnlock(h));                                  // now unlocked
    QCOMPARE(GlobalReAlloc(h, 200, GMEM_MOVEABLE | GMEM_ZEROINIT), h);
    QCOMPARE(GlobalSize(h), size_t(200));
    // the contents move with the block; the room added is zeroed when asked
    const auto* moved = static_cast<const char*>(GlobalLock(h));
    QVERIFY(moved);
    for (int i = 0; i < 100; ++i)
        QCOMPARE(int(moved[i]), i + 1);
    for (int i = 100; i < 200; ++i)
        QCOMPARE(int(moved[i]), 0);
    QCOMPARE(GlobalHandle(moved + 199), h); // the new memory is the block's
    QVERIFY(!GlobalUnlock(h));
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
    QTest::addColumn<QString>("text"); // what the cell shows there
    QTest::newRow("first cell") << 1 << 1 << 1 << true << QStringLiteral("85.50㎡");
    QTest::newRow("last cell") << 1 << 65536 << 256 << true << QStringLiteral("端");
    QTest::newRow("second sheet") << 2 << 1 << 1 << true << QStringLiteral("二枚目");
    QTest::newRow("empty cell") << 1 << 2 << 1 << true << QString();
    QTest::newRow("sheet 0") << 0 << 1 << 1 << false << QString();
    QTest::newRow("sheet beyond") << 3 << 1 << 1 << false << QString();
    QTest::newRow("row 0") << 1 << 0 << 1 << false << QString();
    QTest::newRow("row beyond") << 1 << 65537 << 1 << false << QString();
    QTest::newRow("column 0") << 1 << 1 << 0 << false << QString();
    QTest::newRow("column beyond") << 1 << 1 << 257 << false << QString();
}

void TestMemory::cellTextPlaces()
{
    QFETCH(int, sheet);
    QFETCH(int, row);
    QFETCH(int, col);
    QFETCH(bool, valid);
    QFETCH(QString, text);
    TSheetBook book;
    book.setWorkbook(testing::sampleWorkbook());
    // counted from 1 in the table, from 0 in the engine
    if (valid)
        QCOMPARE(book.cellText(sheet - 1, row - 1, col - 1), text);
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

QObject* makeTestMemory() { return new TestMemory; }

void TestMemory::sheetsKeepTheirOwnCells()
{
    // A sheet's cells live in memory of its own: sheets copied, moved,
    // swapped and assigned while cells come and go each keep exactly theirs.
    constexpr int kSheets = 4;
    QRandomGenerator rng(5);
    std::vector<Sheet> sheets(kSheets);
    std::vector<std::map<quint32, QString>> expected(kSheets);
    // one large enough for the largest blocks
    for (int i = 0; i < 150000; ++i) {
        sheets[0].cellRef(i / 200, i % 200).text = QString::number(i);
        expected[0][Sheet::key(i / 200, i % 200)] = QString::number(i);
    }
    for (int step = 0; step < 40000; ++step) {
        const int a = int(rng.bounded(kSheets)), b = int(rng.bounded(kSheets));
        const int row = int(rng.bounded(400)), col = int(rng.bounded(30));
        const QString text = QString::number(step);
        switch (rng.bounded(9)) {
        case 0:
        case 1:
        case 2:
            sheets[a].cellRef(row, col).text = text;
            expected[a][Sheet::key(row, col)] = text;
            break;
        case 3:
        case 4:
            sheets[a].removeCell(row, col);
            expected[a].erase(Sheet::key(row, col));
            break;
        case 5: // assigned: the copy lands in the target's own memory
            sheets[a] = sheets[b];
            expected[a] = expected[b];
            break;
        case 6: // moved away and back
            if (a != b) {
                sheets[b] = std::move(sheets[a]);
                sheets[a] = Sheet();
                expected[b] = std::exchange(expected[a], {});
            }
            break;
        case 7:
            std::swap(sheets[a], sheets[b]);
            std::swap(expected[a], expected[b]);
            break;
        case 8: { // a copy outlives its source
            Sheet copy(sheets[a]);
            sheets[a] = Sheet();
            sheets[a] = copy;
            break;
        }
        }
    }
    for (int i = 0; i < kSheets; ++i) {
        QCOMPARE(sheets[i].cells().size(), expected[i].size());
        auto want = expected[i].begin();
        for (const auto& [key, cell] : sheets[i].cells()) {
            QCOMPARE(key, want->first);
            QCOMPARE(cell.text, want->second);
            ++want;
        }
    }
}

#include "test_memory.moc"
