// tegaro-sheet: the cells of a workbook as text, or a workbook written again.
#include "core/Errors.h"
#include "sheets/BiffRecords.h"
#include "sheets/OleFile.h"
#include "sheets/Workbook.h"
#include "sheets/XlsFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <QTextStream>

#include <cstdio>

using namespace tegaro::sheets;

namespace {

int usage()
{
    QTextStream(stderr) << "usage: tegaro-sheet cat FILE.xls [--sheet N]\n"
                           "       tegaro-sheet convert IN.xls OUT.xls\n"
                           "       tegaro-sheet info FILE.xls\n"
                           "       tegaro-sheet records FILE.xls\n";
    return 2;
}

int catSheet(const QStringList& args)
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
    const Workbook book = readXlsFile(path);
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

QString rangeText(const Range& r)
{
    return cellName(r.firstRow, r.firstCol) + u':' + cellName(r.lastRow, r.lastCol);
}

// Sheets with their layout and page setup.
int info(const QString& path)
{
    const Workbook book = readXlsFile(path);
    QTextStream out(stdout);
    out << "format BIFF" << book.biffVersion << ", code page " << book.codePage
        << (book.date1904 ? ", 1904 dates" : ", 1900 dates") << ", " << book.fonts.size() << " fonts, "
        << book.formats.size() << " formats, active sheet " << book.activeSheet + 1 << '\n';
    for (const Sheet& s : book.sheets) {
        out << "sheet " << s.name << ": " << s.cellCount() << " cells, zoom " << s.view.zoom << "%";
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
            << (p.hCenter ? ", centred across" : "") << (p.vCenter ? ", centred down" : "")
            << ", header \"" << p.header << "\", footer \"" << p.footer << '"';
        for (const Range& a : p.printArea)
            out << ", print area " << rangeText(a);
        out << '\n';
    }
    return 0;
}

// One line a record: offset, type, size and the first bytes, for looking into files.
int listRecords(const QString& path)
{
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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage();
    const QString command = args.takeFirst();
    try {
        if (command == QLatin1String("cat"))
            return catSheet(args);
        if (command == QLatin1String("info") && args.size() == 1)
            return info(args[0]);
        if (command == QLatin1String("records") && args.size() == 1)
            return listRecords(args[0]);
        if (command == QLatin1String("convert")) {
            if (args.size() != 2)
                return usage();
            writeXlsFile(readXlsFile(args[0]), args[1]);
            return 0;
        }
    } catch (const tegaro::Exception& e) {
        QTextStream(stderr) << "tegaro-sheet: " << e.message() << "\n";
        return 1;
    }
    return usage();
}
