// tegaro-db: creates embedded databases and the tables on a SQL Server
// (optionally with demo records) and prints the schema scripts.
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
    "       tegaro-db init --server ODBC-STRING [--demo] [--force]\n"
    "         create the tables on a SQL Server, in the string's DATABASE (MUNEYA\n"
    "         when it names none), making the database when it is missing;\n"
    "         --force replaces tables that are there, with their records\n"
    "       tegaro-db schema sqlserver|sqlite\n"
    "         print the schema script\n";

int usage(const char* problem = nullptr)
{
    if (problem)
        std::fprintf(stderr, "tegaro-db: %s\n", problem);
    std::fputs(kUsage, stderr);
    return 2;
}

int report(const QString& where, bool demo, const demo::DemoCounts& counts)
{
    if (demo)
        std::printf("%s: %d house records (%d with a drawing, %d with a detail sheet), %d districts\n", qPrintable(where),
                    counts.houses, counts.drawings, counts.sheets, counts.districts);
    else
        std::printf("%s: empty database created\n", qPrintable(where));
    return 0;
}

int initServer(const QString& connectString, bool demo, bool force)
{
    QString database;
    DatabaseTarget target = odbcStringTarget(connectString, &database);
    if (database.isEmpty())
        database = QStringLiteral("MUNEYA");
    Connection c;
    c.setTarget(target);
    c.open();
    useSqlServerDatabase(c, database);
    if (sqlServerHasTables(c)) {
        if (!force) {
            std::fprintf(stderr, "tegaro-db: %s already holds the house record tables; add --force to replace them\n",
                         qPrintable(database));
            return 1;
        }
        dropSqlServerTables(c);
    }
    createSchema(c);
    demo::DemoCounts counts;
    if (demo)
        counts = demo::fillDemo(c);
    return report(database, demo, counts);
}

int init(const QStringList& args)
{
    QString path, server;
    bool demo = false, force = false, isServer = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == u"--demo")
            demo = true;
        else if (a == u"--force")
            force = true;
        else if (a == u"--server" && !isServer && i + 1 < args.size()) {
            isServer = true;
            server = args[++i];
        } else if (a.startsWith(u'-') || !path.isEmpty())
            return usage(qPrintable(QStringLiteral("unknown argument: ") + a));
        else
            path = a;
    }
    if (isServer && !path.isEmpty())
        return usage("init takes a PATH or --server, not both");
    if (isServer)
        return initServer(server, demo, force);
    if (path.isEmpty())
        return usage("init needs a PATH or --server");
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
    return report(path, demo, counts);
}

int schema(const QStringList& args)
{
    if (args.size() != 1 || (args[0] != u"sqlserver" && args[0] != u"sqlite"))
        return usage("schema takes sqlserver or sqlite");
    const bool server = args[0] == u"sqlserver";
    QString script = schemaScript(server ? SqlDialect::SqlServer : SqlDialect::SQLite);
    if (server)
        script = sqlServerDatabaseScript(QStringLiteral("MUNEYA")) + script;
    QByteArray text = script.toUtf8();
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
