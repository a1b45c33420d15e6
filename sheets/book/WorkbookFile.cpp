#include "sheets/book/WorkbookFile.h"

#include "sheets/package/PackageCheck.h"
#include "sheets/package/PackageReader.h"
#include "sheets/model/SheetErrors.h"
#include "sheets/xls/XlsFile.h"

#include <QFile>

namespace tegaro::sheets {

Workbook readWorkbook(const QByteArray& bytes)
{
    // ZIP packages are today's formats; everything else is tried as .xls,
    // whose reader knows the compound file and bare record streams. Whatever
    // a reader throws is the file's error, so that the caller's handling of
    // a workbook it cannot read takes it too.
    try {
        return looksLikeZip(bytes) ? readPackage(bytes) : readXls(bytes);
    } catch (...) {
        rethrowAsWorkbookError();
    }
}

Workbook readWorkbookFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw EInOutError(QStringLiteral("ファイル %1 を開けません。").arg(path));
    return readWorkbook(f.readAll());
}

QString leftOutMessage(const Workbook& book)
{
    if (book.leftOut.isEmpty())
        return {};
    return QStringLiteral("このブックの次の内容は、読み込めないか .xls 形式で扱えないため、省くか置き換えて読み込みました。\n・")
        + book.leftOut.join(QStringLiteral("\n・"));
}

} // namespace tegaro::sheets
