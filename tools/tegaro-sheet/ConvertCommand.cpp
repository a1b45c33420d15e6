// convert: read a workbook and write it again.
#include "tools/tegaro-sheet/Commands.h"

#include "sheets/XlsFile.h"

namespace tegaro::sheettool {

int convertCommand(const QStringList& args)
{
    if (args.size() != 2)
        return usage();
    sheets::writeXlsFile(readBook(args[0]), args[1]);
    return 0;
}

} // namespace tegaro::sheettool
