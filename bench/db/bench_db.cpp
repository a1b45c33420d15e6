// Opening the house record query over 20,000 records that each hold a
// 100 KB detail sheet and a 20 KB drawing: time and memory, with the bytes
// left in the file (what the program does) and fetched at open.
#include "db/Connection.h"
#include "db/RecordSet.h"
#include "db/Schema.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <benchmark/benchmark.h>
#include <algorithm>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

using namespace tegaro;

namespace {
constexpr int kRecords = 20000;
constexpr int kSheetBytes = 100 * 1024;
constexpr int kDrawingBytes = 20 * 1024;

QString databasePath()
{
    QString env = qEnvironmentVariable("TEGARO_BENCH_DB");
    return env.isEmpty() ? QStringLiteral(TEGARO_BENCH_DIR "/bench-db-20000.sqlite") : env;
}

double residentMB()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

double peakMB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

QByteArray filler(int size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator r(seed);
    r.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

// Made once and kept: writing 2.4 GB takes a while.
Connection& database()
{
    static Connection connection;
    static bool ready = false;
    if (ready)
        return connection;
    QString path = databasePath();
    if (!QFileInfo::exists(path)) {
        QString temp = path + QStringLiteral(".part");
        QFile::remove(temp);
        {
            Connection make;
            make.setTarget(sqliteFileTarget(temp, true));
            createSchema(make);
            QSqlDatabase db = make.database();
            db.transaction();
            QByteArray sheet = filler(kSheetBytes, 1), drawing = filler(kDrawingBytes, 2);
            for (int i = 0; i < kRecords; ++i) {
                sheet[i % kSheetBytes] = char(i);
                drawing[i % kDrawingBytes] = char(i);
                make.exec(QStringLiteral("INSERT INTO 基本データ (No, 所有者コード, 所有者氏名, 所有者住所, 所在区, 日付, "
                                         "備考, １Ｆ, ２Ｆ, 床面積, 評点数, 構造, excel, zumen) "
                                         "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                          {i, QStringLiteral("%1").arg(i, 8, 10, QChar(u'0')), QStringLiteral("山田　太郎%1").arg(i),
                           QStringLiteral("桜木町%1丁目").arg(i % 9), QStringLiteral("中央区"),
                           QStringLiteral("2004-05-06 16:01:00"), QStringLiteral("メモ"), 52.5, 40.25, 92.75, 81000.0,
                           QStringLiteral("木ス２"), sheet, drawing});
            }
            db.commit();
        }
        QFile::rename(temp, path);
    }
    connection.setTarget(sqliteFileTarget(path));
    connection.open();
    ready = true;
    return connection;
}

void report(benchmark::State& state, int records, double heldMB)
{
    state.counters["records"] = records;
    state.counters["held_MB"] = heldMB;
    state.counters["peak_MB"] = peakMB();
}

// What the program does: sizes at open, bytes on first use.
void BM_OpenLazy(benchmark::State& state)
{
    Connection& c = database();
    RecordSet rs(&c);
    rs.addSql(QStringLiteral("select * from 基本データ"));
    double held = 0;
    for (auto _ : state) {
        double before = residentMB();
        rs.open();
        held = std::max(held, residentMB() - before);
        benchmark::DoNotOptimize(rs.fieldByName(QStringLiteral("excel")).blobSize());
        state.PauseTiming();
        rs.close();
        state.ResumeTiming();
    }
    rs.open();
    report(state, rs.recordCount(), held);
}

// The same columns named one by one: every byte comes at open.
void BM_OpenEager(benchmark::State& state)
{
    Connection& c = database();
    RecordSet rs(&c);
    QStringList names;
    for (const ColumnInfo& col : c.tableColumns(QStringLiteral("基本データ")))
        names << quoteIdent(c.dialect(), col.name);
    rs.addSql(QStringLiteral("select ") + names.join(u',') + QStringLiteral(" from 基本データ"));
    double held = 0;
    int records = 0;
    for (auto _ : state) {
        double before = residentMB();
        rs.open();
        held = std::max(held, residentMB() - before);
        records = rs.recordCount();
        state.PauseTiming();
        rs.close();
        state.ResumeTiming();
    }
    report(state, records, held);
}

// The first use of an attachment after a move.
void BM_FetchSheetAfterMove(benchmark::State& state)
{
    Connection& c = database();
    RecordSet rs(&c);
    rs.addSql(QStringLiteral("select * from 基本データ"));
    rs.open();
    int i = 0;
    for (auto _ : state) {
        rs.moveTo((i += 7919) % rs.recordCount());
        benchmark::DoNotOptimize(rs.fieldByName(QStringLiteral("excel")).asBytes().size());
    }
}

BENCHMARK(BM_OpenLazy)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FetchSheetAfterMove)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenEager)->Unit(benchmark::kMillisecond)->Iterations(1);
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
