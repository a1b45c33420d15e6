// tegaro-sheet: the cells of a workbook as text, or a workbook written again.
#include "tools/tegaro-sheet/Commands.h"

#include "core/Errors.h"
#include "sheets/WorkbookFile.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>

#include <memory>
#include <utility>

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

sheets::Workbook readBook(const QString& path)
{
    sheets::Workbook book = sheets::readWorkbookFile(path);
    if (!book.leftOut.isEmpty()) {
        QTextStream err(stderr);
        err.setEncoding(QStringConverter::Utf8);
        err << "tegaro-sheet: " << sheets::leftOutMessage(book) << "\n";
    }
    return book;
}

} // namespace tegaro::sheettool

int main(int argc, char** argv)
{
    using namespace tegaro::sheettool;
    // Pictures and pages need fonts, hence a GUI application; on a machine
    // without a display it draws off screen.
    const bool drawing = argc > 1 && (qstrcmp(argv[1], "render") == 0 || qstrcmp(argv[1], "convert") == 0);
    if (drawing && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app(drawing ? new QGuiApplication(argc, argv) : new QCoreApplication(argc, argv));
    QStringList args = app->arguments().mid(1);
    if (args.isEmpty())
        return usage();
    const QString command = args.takeFirst();
    const std::pair<const char*, int (*)(const QStringList&)> commands[] = {
        {"cat", catCommand},
        {"convert", convertCommand},
        {"info", infoCommand},
        {"records", recordsCommand},
        {"set", setCommand},
        {"render", renderCommand},
    };
    try {
        for (const auto& [name, run] : commands)
            if (command == QLatin1String(name))
                return run(args);
    } catch (const tegaro::Exception& e) {
        QTextStream(stderr) << "tegaro-sheet: " << e.message() << "\n";
        return 1;
    }
    return usage();
}
