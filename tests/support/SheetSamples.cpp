#include "support/SheetSamples.h"

#include "sheets/xls/XlsFile.h"

#include <algorithm>

namespace tegaro::testing {

QByteArray largeSheetBytes(qint64 bytes)
{
    using namespace tegaro::sheets;
    Workbook book;
    // About 330 bytes a row: estimate the rows, then add sheets until it is enough.
    const qint64 rowBytes = 330, rowsPerSheet = 60000;
    qint64 estimate = 0;
    for (int sheet = 0;; ++sheet) {
        Sheet& s = sheet == 0 ? book.sheets[0] : book.addSheet(QStringLiteral("Sheet%1").arg(sheet + 1));
        const qint64 rows = std::clamp<qint64>((bytes - estimate) / rowBytes + 1, 1, rowsPerSheet);
        estimate += rows * rowBytes;
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < 8; ++c) {
                Cell& cell = s.cellRef(r, c);
                cell.kind = CellKind::Text;
                cell.text = QStringLiteral("家屋%1-%2-%3").arg(sheet).arg(r).arg(c);
            }
            for (int c = 8; c < 12; ++c) {
                Cell& cell = s.cellRef(r, c);
                cell.kind = CellKind::Number;
                cell.number = r * 1.5 + c;
            }
        }
        QByteArray out = writeXls(book);
        if (out.size() >= bytes)
            return out;
    }
}

} // namespace tegaro::testing

namespace tegaro::testing {

QByteArray assessmentSheetBytes(const QString& owner, const QString& g6, const QStringList& i6ToL6, const QString& e6)
{
    using namespace tegaro::sheets;
    Workbook book;
    Sheet& s = book.sheets[0];
    auto text = [&](int row, int col, const QString& t) {
        if (t.isNull())
            return;
        Cell& c = s.cellRef(row - 1, col - 1);
        c.kind = CellKind::Text;
        c.text = t;
    };
    text(4, 4, owner);
    text(6, 5, e6);
    text(6, 7, g6);
    for (int i = 0; i < i6ToL6.size(); ++i)
        text(6, 9 + i, i6ToL6[i]);
    return writeXls(book);
}

} // namespace tegaro::testing
