// What several commands share: usage, reading a book, the sheet option and
// reports of a recalculation.
#include "tools/tegaro-sheet/Commands.h"

#include "sheets/book/WorkbookFile.h"

#include <QTextStream>

using namespace tegaro::sheets;

namespace tegaro::sheettool {

int usage()
{
    QTextStream(stderr) << "usage: tegaro-sheet cat FILE [--sheet N] [--formulas] [--recalc]\n"
                           "       tegaro-sheet set IN OUT.xls [--sheet N] CELL=ENTRY...\n"
                           "       tegaro-sheet convert IN OUT.xls\n"
                           "       tegaro-sheet convert IN OUT.pdf [--sheet N]\n"
                           "       tegaro-sheet render IN -o OUT.png [--sheet N] [--zoom PERCENT]\n"
                           "                           [--cells A1:L40] [--headings]\n"
                           "       tegaro-sheet info FILE\n"
                           "       tegaro-sheet records FILE.xls\n"
                           "FILE and IN are .xls, .xlsx or .ods workbooks.\n";
    return 2;
}

Workbook readBook(const QString& path)
{
    Workbook book = readWorkbookFile(path);
    if (!book.leftOut.isEmpty()) {
        QTextStream err(stderr);
        err.setEncoding(QStringConverter::Utf8);
        err << "tegaro-sheet: " << leftOutMessage(book) << "\n";
    }
    return book;
}

bool parseSheet(const QStringList& args, int& i, int& sheet)
{
    bool ok = false;
    sheet = i + 1 < args.size() ? args[++i].toInt(&ok) : 0;
    if (!ok || sheet < 1) {
        QTextStream(stderr) << "tegaro-sheet: --sheet needs a sheet number from 1\n";
        return false;
    }
    return true;
}

int parseConvert(const QStringList& args, QStringList& files, QList<int>& sheets)
{
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--sheet")) {
            int sheet = 0;
            if (!parseSheet(args, i, sheet))
                return 2;
            sheets << sheet - 1;
        } else {
            files << args[i];
        }
    }
    return files.size() == 2 ? 0 : usage();
}

bool checkSheet(const Workbook& book, const QString& path, int sheet)
{
    if (sheet <= book.sheets.size())
        return true;
    QTextStream(stderr) << "tegaro-sheet: " << path << " has " << book.sheets.size() << " sheet(s), not " << sheet << "\n";
    return false;
}

void reportRecalculation(const Workbook& book, const Recalculation& r)
{
    QTextStream err(stderr);
    if (!r.circular.isEmpty())
        err << "tegaro-sheet: " << Calculator::circularMessage(book, r.circular) << "\n";
    if (r.notCalculated > 0)
        err << "tegaro-sheet: " << r.notCalculated
            << " formula(s) use functions this program does not calculate; they keep their stored results\n";
}

} // namespace tegaro::sheettool
