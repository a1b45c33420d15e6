// render: a picture of a sheet's cells as the control shows them.
#include "tools/tegaro-sheet/Commands.h"

#include "core/Errors.h"
#include "sheets/xls/XlsFile.h"
#include "sheets/render/SheetImage.h"

#include <QTextStream>

using namespace tegaro::sheets;

namespace tegaro::sheettool {

namespace {

int fail(const QString& text)
{
    QTextStream(stderr) << "tegaro-sheet: " << text << "\n";
    return 2;
}

} // namespace

int renderCommand(const QStringList& args)
{
    QString in, out;
    RenderRequest request;
    bool sheetGiven = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        bool ok = true;
        if (a == QLatin1String("-o") && hasValue) {
            out = args[++i];
        } else if (a == QLatin1String("--sheet") && hasValue) {
            request.sheet = args[++i].toInt(&ok) - 1;
            if (!ok || request.sheet < 0)
                return fail(QStringLiteral("--sheet needs a sheet number from 1"));
            sheetGiven = true;
        } else if (a == QLatin1String("--zoom") && hasValue) {
            request.zoom = args[++i].toInt(&ok);
            if (!ok || request.zoom < 10 || request.zoom > 400)
                return fail(QStringLiteral("--zoom needs a percentage from 10 to 400"));
        } else if (a == QLatin1String("--cells") && hasValue) {
            request.cells = parseRange(args[++i]);
            if (!request.cells)
                return fail(QStringLiteral("--cells needs a range such as A1:L40"));
        } else if (a == QLatin1String("--headings")) {
            request.headings = true;
        } else if (in.isEmpty() && !a.startsWith(u'-')) {
            in = a;
        } else {
            return usage();
        }
    }
    if (in.isEmpty() || out.isEmpty())
        return usage();
    const Workbook book = readBook(in);
    if (!sheetGiven)
        request.sheet = book.activeSheet; // the sheet the control opens on
    const QImage image = renderSheet(book, request);
    if (!image.save(out, "PNG"))
        throw EInOutError(QStringLiteral("ファイル %1 に書き込めません。").arg(out));
    return 0;
}

} // namespace tegaro::sheettool
