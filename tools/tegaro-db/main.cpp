// tegaro-db: creates embedded databases (optionally with demo records) and
// prints the schema scripts.
#include "DemoData.h"
#include "core/Errors.h"
#include "db/Connection.h"
#include "db/Schema.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>

using namespace tegaro;

namespace {
const char* kUsage =
    "usage: tegaro-db init PATH [--demo] [--force]\n"
    "         create an embedded database; --demo adds about 200 house records,\n"
    "         --force replaces an existing file\n"
    "       tegaro-db schema sqlserver|sqlite\n"
    "         print the schema script\n";

int usage(const char* problem = nullptr)
{
    if (problem)
        std::fprintf(stderr, "tegaro-db: %s\n", problem);
    std::fputs(kUsage, stderr);
    return 2;
}

int init(const QStringList& args)
{
    QString path;
    bool demo = false, force = false;
    for (const QString& a : args) {
        if (a == u"--demo")
            demo = true;
        else if (a == u"--force")
            force = true;
        else if (a.startsWith(u'-') || !path.isEmpty())
            return usage(qPrintable(QStringLiteral("unknown argument: ") + a));
        else
            path = a;
    }
    if (path.isEmpty())
        return usage("init needs a PATH");
    QFileInfo info(path);
    if (info.exists() && !force) {
        std::fprintf(stderr, "tegaro-db: %s exists; add --force to replace it\n", qPrintable(path));
        return 1;
    }
    if (info.isDir()) {
        std::fprintf(stderr, "tegaro-db: %s is a folder\n", qPrintable(path));
        return 1;
    }
    // Build beside the target and move it in only when complete.
    QString temp = path + QStringLiteral(".part");
    QFile::remove(temp);
    demo::DemoCounts counts;
    {
        Connection c;
        c.setTarget(sqliteFileTarget(temp, true));
        try {
            createSchema(c);
            if (demo)
                counts = demo::fillDemo(c);
        } catch (...) {
            c.close();
            QFile::remove(temp);
            throw;
        }
    }
    if (info.exists() && !QFile::remove(path)) {
        QFile::remove(temp);
        std::fprintf(stderr, "tegaro-db: cannot replace %s\n", qPrintable(path));
        return 1;
    }
    if (!QFile::rename(temp, path)) {
        QFile::remove(temp);
        std::fprintf(stderr, "tegaro-db: cannot write %s\n", qPrintable(path));
        return 1;
    }
    if (demo)
        std::printf("%s: %d house records (%d with a drawing, %d with a detail sheet), %d districts\n", qPrintable(path),
                    counts.houses, counts.drawings, counts.sheets, counts.districts);
    else
        std::printf("%s: empty database created\n", qPrintable(path));
    return 0;
}

int schema(const QStringList& args)
{
    if (args.size() != 1 || (args[0] != u"sqlserver" && args[0] != u"sqlite"))
        return usage("schema takes sqlserver or sqlite");
    QByteArray text = schemaScript(args[0] == u"sqlserver" ? SqlDialect::SqlServer : SqlDialect::SQLite).toUtf8();
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty() || args[0] == u"--help" || args[0] == u"-h")
        return args.isEmpty() ? usage() : (std::fputs(kUsage, stdout), 0);
    QString command = args.takeFirst();
    try {
        if (command == u"init")
            return init(args);
        if (command == u"schema")
            return schema(args);
    } catch (const tegaro::Exception& e) {
        std::fprintf(stderr, "tegaro-db: %s\n", e.what());
        return 1;
    }
    return usage(qPrintable(QStringLiteral("unknown command: ") + command));
}
