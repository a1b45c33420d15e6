// cat: every non-empty cell of one sheet as "A1<TAB>cell text".
#include "tools/tegaro-sheet/Commands.h"

#include "sheets/Workbook.h"
#include "sheets/XlsFile.h"

#include <QTextStream>

using namespace tegaro::sheets;

namespace tegaro::sheettool {

int catCommand(const QStringList& args)
{
    QString path;
    int sheet = 1;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--sheet")) {
            bool ok = false;
            sheet = i + 1 < args.size() ? args[++i].toInt(&ok) : 0;
            if (!ok || sheet < 1) {
                QTextStream(stderr) << "tegaro-sheet: --sheet needs a sheet number from 1\n";
                return 2;
            }
        } else if (path.isEmpty()) {
            path = args[i];
        } else {
            return usage();
        }
    }
    if (path.isEmpty())
        return usage();
    const Workbook book = readBook(path);
    if (sheet > book.sheets.size()) {
        QTextStream(stderr) << "tegaro-sheet: " << path << " has " << book.sheets.size() << " sheet(s), not "
                            << sheet << "\n";
        return 1;
    }
    QTextStream out(stdout);
    out.setEncoding(QStringConverter::Utf8);
    for (const auto& [key, cell] : book.sheets[sheet - 1].cells()) {
        const int row = Sheet::rowOf(key), col = Sheet::colOf(key);
        const QString text = book.cellText(sheet - 1, row, col);
        if (text.isEmpty())
            continue;
        out << cellName(row, col) << '\t' << QString(text).replace(u'\n', u' ') << '\n';
    }
    return 0;
}

} // namespace tegaro::sheettool
