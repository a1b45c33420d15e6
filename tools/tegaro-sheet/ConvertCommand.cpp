// convert: read a workbook and write it again, or print it to a PDF file.
#include "tools/tegaro-sheet/Commands.h"

#include "sheets/XlsFile.h"
#include "sheets/render/PrintLayout.h"

#include <QTextStream>

namespace tegaro::sheettool {

int convertCommand(const QStringList& args)
{
    QStringList files;
    QList<int> sheets; // every visible sheet when none is given
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--sheet")) {
            bool ok = false;
            const int sheet = i + 1 < args.size() ? args[++i].toInt(&ok) : 0;
            if (!ok || sheet < 1) {
                QTextStream(stderr) << "tegaro-sheet: --sheet needs a sheet number from 1\n";
                return 2;
            }
            sheets << sheet - 1;
        } else {
            files << args[i];
        }
    }
    if (files.size() != 2)
        return usage();
    const sheets::Workbook book = readBook(files[0]);
    if (!files[1].endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) {
        if (!sheets.isEmpty())
            return usage(); // a workbook is written whole
        sheets::writeXlsFile(book, files[1]);
        return 0;
    }
    for (int s : sheets) {
        if (s >= book.sheets.size()) {
            QTextStream(stderr) << "tegaro-sheet: " << files[0] << " has " << book.sheets.size() << " sheet(s), not "
                                << s + 1 << "\n";
            return 1;
        }
    }
    sheets::printToPdf(book, sheets, files[1], files[0]);
    return 0;
}

} // namespace tegaro::sheettool
