// tegaro-drawing: look at house drawing files from the command line.
//   info FILE
//   render FILE -o OUT.png [--floor N] [--zoom Z] [--background BMP]
#include "core/Errors.h"
#include "drawing/DrawingReaders.h"
#include "drawing/DrawingRenderer.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

#include <cmath>
#include <cstdio>

using namespace tegaro;

namespace {

QTextStream& out()
{
    static QTextStream s(stdout);
    return s;
}

int fail(const QString& text, int code = 1)
{
    QTextStream err(stderr);
    err << "tegaro-drawing: " << text << Qt::endl;
    return code;
}

int usage(const QString& problem)
{
    return fail(problem + QStringLiteral("\nusage: tegaro-drawing info FILE\n"
                                         "       tegaro-drawing render FILE -o OUT.png [--floor N] [--zoom Z] "
                                         "[--background BMP]"),
                2);
}

// Reads the file; false (with the message printed) when it cannot be shown.
bool load(DrawingModel& model, const QString& path, DrawingReport& report)
{
    if (!QFileInfo(path).isFile()) {
        fail(path + QStringLiteral(": no such file"));
        return false;
    }
    try {
        report = ReadDrawingFile(model, path);
    } catch (const Exception& e) {
        fail(path + QStringLiteral(": ") + e.message());
        return false;
    }
    if (report.format == DrawingFormat::Unrecognised) {
        fail(path + QStringLiteral(": ") + report.messages.value(0));
        return false;
    }
    return true;
}

int info(const QString& path)
{
    DrawingModel m;
    DrawingReport loaded;
    if (!load(m, path, loaded))
        return 1;
    const bool current = loaded.format == DrawingFormat::Current;
    QTextStream& o = out();
    o << "format: " << (current ? "current (.hbd)" : "old (.had)") << "\n";
    if (current)
        o << "header: " << m.HeaderOriginX << " " << m.HeaderOriginY << " " << m.HeaderValue3 << " "
          << m.HeaderValue4 << " " << m.HeaderValue5 << " " << m.HeaderValue6 << "\n";
    else
        o << "header: none in this format\n";
    o << "grid origin: " << loaded.gridOrigin.x() << " " << loaded.gridOrigin.y() << "\n";
    o << "grid step x: " << m.GridStepX << "\n";
    o << "grid step y: " << m.GridStepY << "\n";
    const char* boxes[] = {nullptr, "area F1", "area F2", "area F3", "ken length", "area total"};
    for (int box = 1; box <= 5; ++box)
        o << boxes[box] << ":" << m.AreaTexts[box] << "\n";
    o << "LinesF1: " << m.LinesF1.size() << "\nLinesF2: " << m.LinesF2.size() << "\nLinesF3: " << m.LinesF3.size()
      << "\nExtraLines: " << m.ExtraLines.size() << "\nBoxesF1: " << m.BoxesF1.size()
      << "\nBoxesF2: " << m.BoxesF2.size() << "\nBoxesF3: " << m.BoxesF3.size() << "\n";
    o.flush();
    return 0;
}

int render(const QStringList& args)
{
    QString file, output, background;
    int floor = 1;
    double zoom = 0.5;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "-o" || a == "--floor" || a == "--zoom" || a == "--background") {
            if (!hasValue)
                return usage(a + QStringLiteral(" needs a value"));
            const QString v = args[++i];
            bool ok = true;
            if (a == "-o") {
                output = v;
            } else if (a == "--background") {
                background = v;
            } else if (a == "--floor") {
                floor = v.toInt(&ok);
                ok = ok && floor >= 1 && floor <= 3;
            } else {
                zoom = v.toDouble(&ok);
                ok = ok && std::isfinite(zoom) && zoom > 0 && zoom <= 1000;
            }
            if (!ok)
                return usage(QStringLiteral("bad value for %1: %2").arg(a, v));
        } else if (a.startsWith('-') || !file.isEmpty()) {
            return usage(QStringLiteral("unexpected argument: ") + a);
        } else {
            file = a;
        }
    }
    if (file.isEmpty() || output.isEmpty())
        return usage(QStringLiteral("render needs FILE and -o OUT.png"));
    if (!background.isEmpty() && !QFileInfo(background).isFile())
        return fail(background + QStringLiteral(": no such file"));

    DrawingModel m;
    DrawingRenderer renderer;
    try {
        renderer.InitCanvas(m, background);
    } catch (const Exception& e) {
        return fail(e.message());
    }
    m.CurrentFloor = floor;
    m.Zoom = zoom;
    DrawingReport loaded;
    if (!load(m, file, loaded))
        return 1;
    renderer.Redraw(m);
    if (!renderer.offscreen().save(output, "PNG"))
        return fail(output + QStringLiteral(": cannot write the picture"));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage(QStringLiteral("no command"));
    if (args[0] == "info") {
        if (args.size() != 2)
            return usage(QStringLiteral("info needs exactly one FILE"));
        return info(args[1]);
    }
    if (args[0] == "render")
        return render(args.mid(1));
    return usage(QStringLiteral("unknown command: ") + args[0]);
}
