// convert: read a workbook and write it again as .xls. Converting to PDF is
// a drawing command (DrawCommands.cpp).
#include "tools/tegaro-sheet/Commands.h"

#include "sheets/xls/XlsFile.h"

namespace tegaro::sheettool {

int convertCommand(const QStringList& args)
{
    QStringList files;
    QList<int> sheets;
    if (const int bad = parseConvert(args, files, sheets))
        return bad;
    if (!sheets.isEmpty())
        return usage(); // a workbook is written whole
    sheets::writeXlsFile(readBook(files[0]), files[1]);
    return 0;
}

} // namespace tegaro::sheettool
