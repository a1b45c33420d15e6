// info and records: a look into a workbook's layout and its BIFF records.
#include "tools/tegaro-sheet/Commands.h"

#include "core/Errors.h"
#include "sheets/biff/BiffRecords.h"
#include "sheets/container/OleFile.h"
#include "sheets/model/Workbook.h"
#include "sheets/xls/XlsFile.h"

#include <QFile>
#include <QTextStream>

using namespace tegaro::sheets;

namespace tegaro::sheettool {

namespace {

QString rangeText(const Range& r)
{
    return cellName(r.firstRow, r.firstCol) + u':' + cellName(r.lastRow, r.lastCol);
}

} // namespace

// Sheets with their layout and page setup.
int infoCommand(const QStringList& args)
{
    if (args.size() != 1)
        return usage();
    const QString& path = args[0];
    const Workbook book = readBook(path);
    QTextStream out(stdout);
    out << "format BIFF" << book.biffVersion << ", code page " << book.codePage
        << (book.date1904 ? ", 1904 dates" : ", 1900 dates") << ", " << book.fonts.size() << " fonts, "
        << book.formats.size() << " formats, active sheet " << book.activeSheet + 1 << '\n';
    for (const Sheet& s : book.sheets) {
        const SheetView& v = s.view;
        out << "sheet " << s.name << ": " << s.cellCount() << " cells, zoom " << v.zoom << "%"
            << (v.gridlines() ? "" : ", no gridlines") << ", top left " << cellName(v.topRow, v.leftCol)
            << ", active cell " << cellName(v.activeRow, v.activeCol);
        if (v.frozen())
            out << ", frozen " << v.frozenRows() << " rows " << v.frozenCols() << " columns, scrolled to "
                << cellName(v.scrollRow(), v.scrollCol());
        for (const Range& m : s.merged)
            out << ", merged " << rangeText(m);
        for (const ColumnInfo& c : s.columns)
            out << ", columns " << c.first + 1 << "-" << c.last + 1 << " width " << c.width << (c.hidden() ? " hidden" : "");
        for (const auto& [row, r] : s.rows)
            if (r.hidden())
                out << ", row " << row + 1 << " hidden";
        const PageSetup& p = s.page;
        out << "\n  page: " << (p.landscape() ? "landscape" : "portrait") << ", scale " << p.scale
            << ", paper " << p.paperSize << ", margins " << p.leftMargin.value_or(-1) << ' '
            << p.rightMargin.value_or(-1) << ' ' << p.topMargin.value_or(-1) << ' ' << p.bottomMargin.value_or(-1)
            << ", header and footer margins " << p.headerMargin << ' ' << p.footerMargin
            << (p.fitToPage ? QStringLiteral(", fit to %1 x %2 pages").arg(p.fitWidth).arg(p.fitHeight) : QString())
            << (p.overThenDown() ? ", over then down" : "") << (p.printerData() ? "" : ", no printer data")
            << (p.printGridlines ? ", gridlines" : "") << (p.printHeadings ? ", headings" : "")
            << (p.hCenter ? ", centred across" : "") << (p.vCenter ? ", centred down" : "")
            << ", header \"" << p.header << "\", footer \"" << p.footer << '"';
        for (const Range& a : p.printArea)
            out << ", print area " << rangeText(a);
        out << '\n';
    }
    return 0;
}

// One line a record: offset, type, size and the first bytes, for looking into files.
int recordsCommand(const QStringList& args)
{
    if (args.size() != 1)
        return usage();
    const QString& path = args[0];
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw EInOutError(QStringLiteral("ファイル %1 を開けません。").arg(path));
    const QByteArray stream = readWorkbookStream(f.readAll());
    RecordStream records(stream);
    QTextStream out(stdout);
    while (!records.atEnd()) {
        const BiffRecord r = records.next();
        out << QString::asprintf("%8lld %04X %6lld ", qlonglong(r.offset), r.type, qlonglong(r.data.size()))
            << r.data.left(32).toHex(' ') << '\n';
    }
    return 0;
}

} // namespace tegaro::sheettool
