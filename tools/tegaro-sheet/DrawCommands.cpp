// The commands that draw, in a module of their own: render, and convert to
// PDF. The program loads it only for them (see main.cpp).
#include "tools/tegaro-sheet/Commands.h"

#include "core/Errors.h"
#include "sheets/render/FontFamilies.h"
#include "sheets/render/PrintLayout.h"

#include <QGuiApplication>
#include <QTextStream>

namespace tegaro::sheettool {

namespace {

int pdfCommand(const QStringList& args)
{
    QStringList files;
    QList<int> sheets; // every visible sheet when none is given
    if (const int bad = parseConvert(args, files, sheets))
        return bad;
    const sheets::Workbook book = readBook(files[0]);
    for (int s : sheets) {
        if (!checkSheet(book, files[0], s + 1))
            return 1;
    }
    sheets::printToPdf(book, sheets, files[1], files[0]);
    return 0;
}

} // namespace

} // namespace tegaro::sheettool

extern "C" Q_DECL_EXPORT int tegaroSheetDraw(int argc, char** argv)
{
    using namespace tegaro::sheettool;
    // Pictures and pages need fonts, hence a GUI application; on a machine
    // without a display it draws off screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    tegaro::sheets::installDigitMeasure();
    QStringList args = app.arguments().mid(1);
    const QString command = args.takeFirst();
    try {
        return command == QLatin1String("render") ? renderCommand(args) : pdfCommand(args);
    } catch (const tegaro::Exception& e) {
        QTextStream(stderr) << "tegaro-sheet: " << e.message() << "\n";
        return 1;
    }
}
