// What several commands share: the sheet option and reports of a recalculation.
#include "tools/tegaro-sheet/Commands.h"

#include <QTextStream>

using namespace tegaro::sheets;

namespace tegaro::sheettool {

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
