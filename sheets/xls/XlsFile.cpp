#include "sheets/xls/XlsFile.h"

#include "sheets/xls/BiffReader.h"
#include "sheets/xls/BiffWriter.h"
#include "sheets/container/OleFile.h"
#include "sheets/model/SheetErrors.h"

#include <QFile>
#include <QSaveFile>

namespace tegaro::sheets {

Workbook readXls(const QByteArray& bytes)
{
    return readBiffStream(readWorkbookStream(bytes));
}

Workbook readXlsFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw EInOutError(QStringLiteral("ファイル %1 を開けません。").arg(path));
    return readXls(f.readAll());
}

Workbook readXlsFileCells(const QString& path, int sheet, const CellSink& sink)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw EInOutError(QStringLiteral("ファイル %1 を開けません。").arg(path));
    // mapped, not copied: only the workbook stream is taken out of it
    const qint64 size = f.size();
    if (uchar* mapped = size > 0 ? f.map(0, size) : nullptr) {
        const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(mapped), qsizetype(size));
        // the stream is read while the file stays mapped
        LargeBuffer room;
        return readBiffCells(workbookStreamView(bytes, room), sheet, sink);
    }
    return readBiffCells(readWorkbookStream(f.readAll()), sheet, sink);
}

QByteArray writeXls(const Workbook& book)
{
    if (book.sheets.isEmpty()) {
        Workbook copy = book;
        copy.addSheet(QStringLiteral("Sheet1"));
        return writeWorkbookFile(writeBiffStream(copy));
    }
    return writeWorkbookFile(writeBiffStream(book));
}

void writeXlsFile(const Workbook& book, const QString& path)
{
    const QByteArray bytes = writeXls(book);
    // Written beside and renamed, so a failure never leaves half a file.
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
        throw EInOutError(QStringLiteral("ファイル %1 に書き込めません。").arg(path));
}

} // namespace tegaro::sheets
