// A city's houses in the window: connect to the first record painted (the
// wall and processor time to it, and the wall time until the count is
// known as well), the memory held then, moving to the last record and back, and a refresh, on
// generated databases of 300,000 and 1,000,000 houses (SQLite) and 300,000
// on the SQL Server of TEGARO_TEST_MSSQL.
//
// The SQLite files are made on first use and kept in TEGARO_BENCH_CACHE
// (/tmp/tegaro-bench unless set); the server's houses are kept in a
// database of their own, TEGARO_BENCH, so the tests' MUNEYA is left alone.
// Making 1,000,000 houses takes a few minutes.
//
// Memory is the resident size of the whole program (the window included).
#include "app/Application.h"
#include "app/TForm1.h"
#include "db/Connection.h"
#include "db/DataAccess.h"
#include "db/Schema.h"
#include "db/login/ConnectCommand.h"
#include "db/login/TSQLLogin.h"
#include "support/ScriptedSeam.h"
#include "widgets/NavigatorPanel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QToolButton>

#include <benchmark/benchmark.h>
#include <fstream>
#include <ctime>
#include <memory>
#include <unistd.h>

using namespace tegaro;

namespace {

enum Server {
    kSqlite = 0,
    kSqlServer = 1
};

const char* const kFamily[] = {"佐藤", "鈴木", "高橋", "田中", "伊藤", "渡辺", "山本", "中村", "小林", "加藤",
                               "吉田", "山田", "佐々木", "山口", "松本", "井上", "木村", "林", "清水", "山崎"};
const char* const kGiven[] = {"太郎", "花子", "一郎", "茂", "洋子", "健", "美咲", "大輔", "恵", "隆"};
const char* const kDistricts[] = {"北区", "南区", "東区", "西区", "中央区", "青葉区", "若葉区", "緑区", "桜区", "港区", "泉区", "宮城野区"};
const char* const kKinds[] = {"専住", "共住", "事務所", "店舗"};
const char* const kStructures[] = {"木ス２", "木瓦２", "木セ２", "木ス平", "木瓦平", "LGﾌﾟﾚｽ２", "RCﾌﾟﾚ陸２"};
const char* const kShares[] = {"1/2", "1/3", "1/4", "2/3", "3/4"};

double residentMB()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

const QStringList kColumns{
    "No", "所有者コード", "所有者氏名", "所有者住所", "所在区", "所在地番", "日付", "備考", "１Ｆ", "２Ｆ", "床面積", "評点数",
    "新増改築", "除外", "新築軽減", "建年", "種類", "構造", "家屋番号", "登記１Ｆ", "登記２Ｆ", "登記面積", "持分１", "持分２",
    "持分３", "登記種類", "有効開始", "登記日", "zumen", "excel"};

// House i, the same on every run: every column filled as an office fills
// it, a drawing in one house of five and a detail sheet in one of twenty.
QVariantList house(int i, QRandomGenerator& r)
{
    auto pick = [&](const auto& list) { return QString::fromUtf8(list[r.bounded(int(std::size(list)))]); };
    auto day = [&](int fromYear, int years, QTime time) {
        return QDateTime(QDate(fromYear, 1, 1).addDays(r.bounded(365 * years)), time);
    };
    const double f1 = 40 + r.bounded(8000) / 100.0, f2 = r.bounded(2) ? 20 + r.bounded(5000) / 100.0 : 0.0;
    QVariant zumen, excel;
    if (r.bounded(5) == 0) {
        QByteArray bytes = QByteArray("$headerpas\r\n").repeated(180);
        bytes.append(QByteArray::number(i));
        zumen = bytes;
    }
    if (r.bounded(20) == 0) {
        QByteArray bytes(16 * 1024, Qt::Uninitialized);
        r.fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
        excel = bytes;
    }
    return {i + 1,
            QStringLiteral("%1").arg(i + 10000000, 8, 10, QChar(u'0')),
            pick(kFamily) + u'　' + pick(kGiven),
            QStringLiteral("青葉%1丁目%2番%3号").arg(r.bounded(9) + 1).arg(r.bounded(30) + 1).arg(r.bounded(20) + 1),
            pick(kDistricts),
            QStringLiteral("%1-%2").arg(r.bounded(2000) + 1).arg(r.bounded(9) + 1),
            day(1995, 10, QTime(16, 1)),
            r.bounded(3) == 0 ? QVariant(QStringLiteral("増築予定あり。%1年調査").arg(1995 + r.bounded(10))) : QVariant(QMetaType::fromType<QString>()),
            f1, f2, f1 + f2, double(50000 + r.bounded(60000)),
            QString::fromUtf8(r.bounded(3) == 0 ? "増" : "新"), QStringLiteral("0"), QString(),
            QString::number(11 + r.bounded(10)), pick(kKinds), pick(kStructures),
            QStringLiteral("%1番%2").arg(r.bounded(5000) + 1).arg(r.bounded(5) + 1),
            f1, f2, f1 + f2, pick(kShares), QString(), QString(), QStringLiteral("居宅"),
            day(1995, 10, QTime(16, 8, 6)), day(1990, 15, QTime(16, 9, 13)),
            zumen.isValid() ? zumen : QVariant(QMetaType::fromType<QByteArray>()),
            excel.isValid() ? excel : QVariant(QMetaType::fromType<QByteArray>())};
}

QString cacheDir()
{
    const QString dir = qEnvironmentVariable("TEGARO_BENCH_CACHE", QStringLiteral("/tmp/tegaro-bench"));
    QDir().mkpath(dir);
    return dir;
}

QString sqliteDatabase(int houses)
{
    const QString path = QDir(cacheDir()).filePath(QStringLiteral("houses-%1.sqlite").arg(houses));
    if (QFileInfo::exists(path))
        return path;
    const QString part = path + QStringLiteral(".part");
    QFile::remove(part);
    {
        Connection c;
        c.setTarget(sqliteFileTarget(part, true));
        createSchema(c);
        for (const char* d : kDistricts)
            c.exec(QStringLiteral("INSERT INTO 行政区 (所在区) VALUES (?)"), {QString::fromUtf8(d)});
        QStringList marks(kColumns.size(), QStringLiteral("?"));
        QSqlQuery insert(c.database());
        insert.prepare(QStringLiteral("INSERT INTO 基本データ (%1) VALUES (%2)").arg(kColumns.join(u','), marks.join(u',')));
        QRandomGenerator r(26);
        c.exec(QStringLiteral("BEGIN"));
        for (int i = 0; i < houses; ++i) {
            const QVariantList values = house(i, r);
            for (int v = 0; v < values.size(); ++v)
                insert.bindValue(v, toDbValue(SqlDialect::SQLite, values[v]));
            if (!insert.exec())
                qFatal("cannot make the bench database: %s", qPrintable(insert.lastError().text()));
        }
        c.exec(QStringLiteral("COMMIT"));
    }
    QFile::rename(part, path);
    return path;
}

QString sqlLiteral(const QVariant& v)
{
    if (v.isNull())
        return QStringLiteral("NULL");
    switch (v.metaType().id()) {
    case QMetaType::Int: return QString::number(v.toInt());
    case QMetaType::Double: return QString::number(v.toDouble(), 'f', 2);
    case QMetaType::QDateTime: return u'\'' + v.toDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + u'\'';
    case QMetaType::QByteArray: return QStringLiteral("0x") + QString::fromLatin1(v.toByteArray().toHex());
    default: return QStringLiteral("N'") + v.toString().replace(u'\'', QStringLiteral("''")) + u'\'';
    }
}

DatabaseTarget serverTarget()
{
    QString database;
    return odbcStringTarget(qEnvironmentVariable("TEGARO_TEST_MSSQL"), &database);
}

// The window's connection to the bench houses: the database named in the
// login and the packet size of the connection text, as the connect command
// does it for MUNEYA.
DatabaseTarget benchTarget()
{
    QString database;
    DatabaseTarget target = odbcStringTarget(qEnvironmentVariable("TEGARO_TEST_MSSQL"), &database);
    target.databaseName += QStringLiteral("DATABASE=TEGARO_BENCH;");
    target.options += QStringLiteral(";SQL_ATTR_PACKET_SIZE=4096");
    return target;
}

// The houses on the server, in TEGARO_BENCH; made when the count differs.
void serverDatabase(int houses)
{
    Connection c;
    c.setTarget(serverTarget());
    useSqlServerDatabase(c, QStringLiteral("TEGARO_BENCH"));
    if (sqlServerHasTables(c)) {
        QSqlQuery q = c.exec(QStringLiteral("SELECT COUNT(*) FROM 基本データ"));
        if (q.next() && q.value(0).toInt() == houses)
            return;
        dropSqlServerTables(c);
    }
    createSchema(c);
    for (const char* d : kDistricts)
        c.exec(QStringLiteral("INSERT INTO 行政区 (所在区) VALUES (?)"), {QString::fromUtf8(d)});
    QStringList names;
    for (const QString& n : kColumns)
        names << quoteIdent(SqlDialect::SqlServer, n);
    QRandomGenerator r(26);
    for (int at = 0; at < houses; at += 500) {
        QStringList rows;
        for (int i = at; i < qMin(houses, at + 500); ++i) {
            QStringList values;
            for (const QVariant& v : house(i, r))
                values << sqlLiteral(v);
            rows << u'(' + values.join(u',') + u')';
        }
        c.exec(QStringLiteral("INSERT INTO 基本データ (%1) VALUES ").arg(names.join(u',')) + rows.join(u','));
    }
}

double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// The times of one connect, in milliseconds from the command.
struct Connected {
    double painted = -1; // the owner's name painted
    double paintedCpu = -1;
    double counted = -1; // the keys read too, from the event loop
};

// The window, connected to the houses as a user connects it.
class Window : public QObject {
public:
    Window(Server server, int houses) : server_(server)
    {
        if (server == kSqlite)
            path_ = sqliteDatabase(houses);
        else
            serverDatabase(houses);
        form_.show();
        QApplication::processEvents();
        owner_ = form_.findChild<QLineEdit*>(QStringLiteral("DBEdit10"));
        owner_->installEventFilter(this);
        nav_ = form_.findChild<NavigatorPanel*>(QStringLiteral("DBInspectorBar1"));
        form_.connectCommand()->showDialog = [this](TSQLLogin& d) {
            d.FormShow();
            d.SQLname->setText(path_);
            d.Button1Click();
        };
    }

    // サーバー接続 to the first record painted. The command names MUNEYA
    // for a server; the server's houses are elsewhere, so there its steps
    // run on a connection that logs in to them.
    Connected connect()
    {
        DataAccess& data = *form_.data();
        times_ = {};
        clock_.start();
        cpuAtStart_ = cpuMs();
        if (server_ == kSqlite) {
            form_.ToolbarButton976Click();
        } else {
            data.ADOConnection1->open();
            data.ADOQuery1->open();
            data.ADOTable2->open();
            data.ADOQuery1->first();
            data.ADOTable2->first();
        }
        while (times_.painted < 0 && clock_.elapsed() < 20000)
            QApplication::processEvents();
        while (!query().recordCountKnown() && clock_.elapsed() < 20000)
            QApplication::processEvents();
        times_.counted = double(clock_.nsecsElapsed()) / 1e6;
        return times_;
    }
    void disconnect()
    {
        form_.data()->ADOConnection1->close();
        if (server_ == kSqlServer)
            form_.data()->ADOConnection1->setTarget(benchTarget());
        QApplication::processEvents();
    }
    void click(NavigatorPanel::Action button)
    {
        nav_->button(button)->click();
        QApplication::processEvents();
    }
    QString owner() const { return owner_->text(); }
    RecordSet& query() { return *form_.data()->ADOQuery1; }
    bool quiet() const { return seam_.messages().isEmpty(); }
    QString told() const { return seam_.messages().join(u'\n'); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == owner_ && event->type() == QEvent::Paint && clock_.isValid() && times_.painted < 0
            && !owner_->text().isEmpty()) {
            times_.painted = double(clock_.nsecsElapsed()) / 1e6;
            times_.paintedCpu = cpuMs() - cpuAtStart_;
        }
        return false;
    }

private:
    Connected times_;
    QElapsedTimer clock_;
    double cpuAtStart_ = 0;
    Server server_;
    QString path_;
    ScriptedSeam seam_;
    TForm1 form_;
    QLineEdit* owner_ = nullptr;
    NavigatorPanel* nav_ = nullptr;
};

bool unavailable(benchmark::State& state, Server server)
{
    if (server == kSqlServer && qEnvironmentVariableIsEmpty("TEGARO_TEST_MSSQL")) {
        state.SkipWithError("TEGARO_TEST_MSSQL holds no SQL Server connection string");
        return true;
    }
    return false;
}

std::unique_ptr<Window> connectedWindow(benchmark::State& state)
{
    auto w = std::make_unique<Window>(Server(state.range(0)), int(state.range(1)));
    w->disconnect();
    w->connect();
    if (!w->quiet() || w->owner().isEmpty()) {
        state.SkipWithError(qPrintable(QStringLiteral("no first record: ") + w->told()));
        return nullptr;
    }
    return w;
}

void BM_ConnectToFirstRecord(benchmark::State& state)
{
    if (unavailable(state, Server(state.range(0))))
        return;
    auto w = connectedWindow(state); // the first one warms the caches
    if (!w)
        return;
    double cpu = 0, counted = 0;
    for (auto _ : state) {
        state.PauseTiming();
        w->disconnect();
        state.ResumeTiming();
        const Connected t = w->connect();
        if (t.painted < 0) {
            state.SkipWithError("the first record was not painted");
            return;
        }
        state.SetIterationTime(t.painted / 1e3);
        cpu += t.paintedCpu;
        counted += t.counted;
    }
    state.counters["cpu_to_paint_ms"] = benchmark::Counter(cpu, benchmark::Counter::kAvgIterations);
    state.counters["counted_ms"] = benchmark::Counter(counted, benchmark::Counter::kAvgIterations);
    state.counters["houses"] = w->query().recordCount();
    state.counters["rss_MB"] = residentMB();
    if (w->owner().isEmpty())
        state.SkipWithError("no record shown");
}

void BM_LastAndFirst(benchmark::State& state)
{
    if (unavailable(state, Server(state.range(0))))
        return;
    auto w = connectedWindow(state);
    if (!w)
        return;
    const QString first = w->owner();
    QString last;
    for (auto _ : state) {
        w->click(NavigatorPanel::Last);
        last = w->owner();
        w->click(NavigatorPanel::First);
    }
    if (w->query().recNo() != 1 || w->owner() != first || last.isEmpty())
        state.SkipWithError("the moves did not show the last and the first record");
}

void BM_Refresh(benchmark::State& state)
{
    if (unavailable(state, Server(state.range(0))))
        return;
    auto w = connectedWindow(state);
    if (!w)
        return;
    const double connected = residentMB();
    for (auto _ : state)
        w->click(NavigatorPanel::Refresh);
    state.counters["rss_connect_MB"] = connected;
    state.counters["rss_refresh_MB"] = residentMB();
    if (!w->quiet())
        state.SkipWithError(qPrintable(w->told()));
}

void sizes(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"server", "houses"});
    b->Args({kSqlite, 300000})->Args({kSqlite, 1000000})->Args({kSqlServer, 300000});
    b->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_ConnectToFirstRecord)->Apply(sizes)->UseManualTime()->Iterations(10)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(BM_LastAndFirst)->Apply(sizes)->UseRealTime()->Iterations(20)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(BM_Refresh)->Apply(sizes)->UseRealTime()->Iterations(10)->Repetitions(3)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    setupApplication();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
