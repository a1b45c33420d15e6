// set: cells entered as a user types them, the workbook worked out and written.
#include "tools/tegaro-sheet/Commands.h"

#include "core/Errors.h"
#include "sheets/book/SheetBook.h"

#include <QRegularExpression>
#include <QTextStream>

using namespace tegaro::sheets;

namespace tegaro::sheettool {

namespace {

struct Entry {
    int row = 0, col = 0;
    QString cell, text;
};

// "B4=12.5", "E6==ROUND(SUM(I6:K6),0)"; nothing for anything else.
std::optional<Entry> parseEntry(const QString& arg)
{
    static const QRegularExpression cell(QStringLiteral("^([A-Za-z]{1,3})([0-9]{1,5})=(.*)$"),
                                         QRegularExpression::DotMatchesEverythingOption);
    const auto m = cell.match(arg);
    if (!m.hasMatch())
        return std::nullopt;
    Entry e;
    for (QChar c : m.captured(1).toUpper())
        e.col = e.col * 26 + (c.unicode() - u'A' + 1);
    e.col -= 1;
    e.row = m.captured(2).toInt() - 1;
    if (e.col >= kMaxColumns || e.row < 0 || e.row >= kMaxRows)
        return std::nullopt;
    e.cell = m.captured(1).toUpper() + m.captured(2);
    e.text = m.captured(3);
    return e;
}

} // namespace

int setCommand(const QStringList& args)
{
    QStringList files;
    QList<Entry> entries;
    int sheet = 1;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--sheet")) {
            if (!parseSheet(args, i, sheet))
                return 2;
        } else if (files.size() < 2) {
            files << args[i];
        } else if (const auto e = parseEntry(args[i])) {
            entries << *e;
        } else {
            QTextStream(stderr) << "tegaro-sheet: not a cell entry (like B4=12.5 or E6==SUM(A1:A3)): " << args[i] << "\n";
            return 2;
        }
    }
    if (files.size() < 2 || entries.isEmpty())
        return usage();
    TSheetBook book;
    book.LoadWorkbook(files[0]);
    if (!checkSheet(book.workbook(), files[0], sheet))
        return 1;
    Recalculation all;
    for (const Entry& e : entries) {
        try {
            book.SetEntry(sheet - 1, e.row, e.col, e.text);
        } catch (const tegaro::Exception& ex) {
            QTextStream(stderr) << "tegaro-sheet: " << e.cell << ": " << ex.message() << "\n";
            return 1; // nothing written
        }
        const Recalculation& r = book.lastRecalculation();
        for (const CellAddress& a : r.circular)
            if (!all.circular.contains(a))
                all.circular << a;
        all.notCalculated = std::max(all.notCalculated, r.notCalculated);
    }
    reportRecalculation(book.workbook(), all);
    book.SaveWorkbook(files[1]);
    return 0;
}

} // namespace tegaro::sheettool
