// tegaro-db: creates embedded databases and the tables on a SQL Server
// (optionally with demo records), prints the schema scripts and writes the
// house list of a search to .xlsx or .csv.
#include "DemoData.h"
#include "core/Errors.h"
#include "db/Connection.h"
#include "db/RecordSet.h"
#include "db/Schema.h"
#include "records/list/HouseSearch.h"
#include "records/list/ListExport.h"

#include <QCoreApplication>
#include <QDateTime>
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
    "         print the schema script\n"
    "       tegaro-db export PATH|--server ODBC-STRING [SEARCH] -o OUT.xlsx|OUT.csv [--shift-jis]\n"
    "         write the house list of a search, as the 一覧 page does; SEARCH is one of\n"
    "         --owner PREFIX, --district PREFIX, --memo PREFIX,\n"
    "         --from DATE --to DATE (YYYY/MM/DD [HH:MM:SS]; whole days without a time),\n"
    "         none for every house; --shift-jis writes CSV in CP932 instead of UTF-8\n";

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
// "YYYY/MM/DD" or "YYYY/MM/DD HH:MM:SS"; a day alone is its first or last second.
QDateTime parseBound(const QString& text, bool end)
{
    QDateTime t = QDateTime::fromString(text, QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    if (t.isValid())
        return t;
    const QDate day = QDate::fromString(text, QStringLiteral("yyyy/MM/dd"));
    if (!day.isValid())
        return {};
    return QDateTime(day, end ? QTime(23, 59, 59) : QTime(0, 0));
}

int exportCommand(const QStringList& args)
{
    QString path, server, out, from, to;
    bool isServer = false, shiftJis = false;
    HouseSearch search;
    int searches = 0;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == u"--shift-jis")
            shiftJis = true;
        else if (a == u"--server" && hasValue && !isServer) {
            isServer = true;
            server = args[++i];
        } else if (a == u"-o" && hasValue && out.isEmpty())
            out = args[++i];
        else if ((a == u"--owner" || a == u"--district" || a == u"--memo") && hasValue) {
            const PrefixSearch kind = a == u"--owner" ? PrefixSearch::OwnerName
                : a == u"--district"                  ? PrefixSearch::District
                                                      : PrefixSearch::Memo;
            search = HouseSearch::prefix(kind, args[++i]);
            ++searches;
        } else if (a == u"--from" && hasValue && from.isEmpty())
            from = args[++i];
        else if (a == u"--to" && hasValue && to.isEmpty())
            to = args[++i];
        else if (a.startsWith(u'-') || !path.isEmpty())
            return usage(qPrintable(QStringLiteral("unknown argument: ") + a));
        else
            path = a;
    }
    if (!from.isEmpty() || !to.isEmpty()) {
        if (from.isEmpty() || to.isEmpty())
            return usage("--from and --to go together");
        const QDateTime start = parseBound(from, false), end = parseBound(to, true);
        if (!start.isValid() || !end.isValid())
            return usage("dates are YYYY/MM/DD or YYYY/MM/DD HH:MM:SS");
        search = HouseSearch::dates(start, end);
        ++searches;
    }
    if (searches > 1)
        return usage("export takes one search");
    if (isServer == !path.isEmpty())
        return usage("export takes a PATH or --server");
    if (out.isEmpty())
        return usage("export needs -o OUT.xlsx or -o OUT.csv");
    ExportFormat format;
    if (out.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive)) {
        if (shiftJis)
            return usage("--shift-jis is for CSV");
        format = ExportFormat::Xlsx;
    } else if (out.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive)) {
        format = shiftJis ? ExportFormat::CsvCp932 : ExportFormat::CsvUtf8;
    } else {
        return usage("the output name ends in .xlsx or .csv");
    }

    Connection c;
    if (isServer) {
        QString database;
        c.setTarget(odbcStringTarget(server, &database));
        c.open();
        useSqlServerDatabase(c, database.isEmpty() ? QStringLiteral("MUNEYA") : database);
    } else {
        c.setTarget(sqliteFileTarget(path));
    }
    RecordSet query(&c);
    applySearch(query, search);
    query.open();
    QList<int> columns;
    for (int c = 0; c < houseListColumns().size(); ++c)
        columns << c;
    const ListTable rows(query, columns);
    const ExportResult result = tegaro::exportList(rows, out, format);
    if (result.outcome != ExportResult::Written) {
        std::fprintf(stderr, "tegaro-db: %s\n", qPrintable(result.message));
        return 1;
    }
    if (!result.message.isEmpty())
        std::fprintf(stderr, "tegaro-db: %s\n", qPrintable(result.message));
    std::printf("%s: %d houses\n", qPrintable(out), result.rows);
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
        if (command == u"export")
            return exportCommand(args);
    } catch (const tegaro::Exception& e) {
        std::fprintf(stderr, "tegaro-db: %s\n", e.what());
        return 1;
    }
    return usage(qPrintable(QStringLiteral("unknown command: ") + command));
}
