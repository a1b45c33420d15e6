// tegaro-sheet: the cells of a workbook as text, or a workbook written again.
#include "tools/tegaro-sheet/Commands.h"

#include "core/Errors.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>
#include <QTextStream>

#include <utility>

namespace {

using namespace tegaro::sheettool;

// render and convert to PDF: pictures and pages, which need Qt Gui and fonts.
bool draws(int argc, char** argv)
{
    if (argc < 2)
        return false;
    if (qstrcmp(argv[1], "render") == 0)
        return true;
    if (qstrcmp(argv[1], "convert") != 0)
        return false;
    QStringList files;
    for (int i = 2; i < argc; ++i) {
        if (qstrcmp(argv[i], "--sheet") == 0)
            ++i;
        else
            files << QString::fromLocal8Bit(argv[i]);
    }
    return files.size() == 2 && files[1].endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive);
}

// The drawing commands live in a module beside the program, loaded only for
// them: the other commands start without Qt Gui and its libraries.
int runDrawing(int argc, char** argv)
{
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    const QString dir = QFileInfo(self.isEmpty() ? QString::fromLocal8Bit(argv[0]) : self).absolutePath();
    QLibrary module(dir + QStringLiteral("/tegaro-sheet-draw"));
    using Entry = int (*)(int, char**);
    const auto entry = reinterpret_cast<Entry>(module.resolve("tegaroSheetDraw"));
    if (!entry) {
        QTextStream(stderr) << "tegaro-sheet: cannot draw without its module: " << module.errorString() << "\n";
        return 1;
    }
    return entry(argc, argv);
}

} // namespace

int main(int argc, char** argv)
{
    if (draws(argc, argv))
        return runDrawing(argc, argv);
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage();
    const QString command = args.takeFirst();
    const std::pair<const char*, int (*)(const QStringList&)> commands[] = {
        {"cat", catCommand},
        {"convert", convertCommand},
        {"info", infoCommand},
        {"records", recordsCommand},
        {"set", setCommand},
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
