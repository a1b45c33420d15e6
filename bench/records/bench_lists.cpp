// Page 一覧 over 300,000 houses (SQLite): the first screen after the page is
// opened, scrolling to the last row, sorting by a column, and 一覧出力 to
// .xlsx and .csv with the memory the export took on top of what was there.
#include "db/Connection.h"
#include "db/DataAccess.h"
#include "db/Schema.h"
#include "records/HouseListModel.h"
#include "records/ListPage.h"
#include "records/list/ListExport.h"
#include "records/list/ListColumns.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QRandomGenerator>
#include <QTableView>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <string>

namespace {

constexpr int kHouses = 300'000;

const char* const kFamily[] = {"佐藤", "鈴木", "高橋", "田中", "伊藤", "渡辺", "山本", "中村", "小林", "加藤",
                               "吉田", "山田", "佐々木", "山口", "松本", "井上", "木村", "林", "清水", "山崎"};
const char* const kGiven[] = {"太郎", "花子", "一郎", "茂", "洋子", "健", "美咲", "大輔", "恵", "隆"};
const char* const kDistricts[] = {"北区", "南区", "中央区", "東区", "西区"};

// The program's peak resident memory in kB, and a way to start it over.
long peakKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}
void resetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

// One database and one page over it for all the benchmarks.
struct Houses {
    QTemporaryDir dir;
    QString path;
    std::unique_ptr<tegaro::DataAccess> data;
    std::unique_ptr<QWidget> window;
    tegaro::ListPage* page = nullptr;

    Houses()
    {
        path = dir.filePath(QStringLiteral("houses.sqlite"));
        {
            tegaro::Connection c;
            c.setTarget(tegaro::sqliteFileTarget(path, true));
            c.open();
            tegaro::createSchema(c);
            QRandomGenerator random(42);
            c.exec(QStringLiteral("BEGIN"));
            for (int i = 0; i < kHouses; ++i) {
                const QString owner = QString::fromUtf8(kFamily[random.bounded(20)]) + u'　' + QString::fromUtf8(kGiven[random.bounded(10)]);
                c.exec(QStringLiteral("INSERT INTO 基本データ (No, 所有者コード, 所有者氏名, 所有者住所, 所在区, 所在地番, 日付, 種類, 構造, 建年, "
                                      "床面積, 評点数, 家屋番号, 登記面積, 備考) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                       {i, QStringLiteral("%1").arg(i, 8, 10, QChar(u'0')), owner, QStringLiteral("青葉%1丁目%2番").arg(i % 9 + 1).arg(i % 40),
                        QString::fromUtf8(kDistricts[i % 5]), QStringLiteral("%1番地").arg(i % 997),
                        QStringLiteral("20%1-%2-%3 16:01:00").arg(10 + i % 15).arg(1 + i % 12, 2, 10, QChar(u'0')).arg(1 + i % 28, 2, 10, QChar(u'0')),
                        QStringLiteral("専住"), QStringLiteral("木ス２"), QString::number(11 + i % 10), 50.0 + (i % 10000) / 100.0,
                        double(60000 + i % 20000), QStringLiteral("%1番").arg(i), 50.0 + (i % 10000) / 100.0,
                        i % 7 == 0 ? QStringLiteral("増築あり, 要確認") : QString()});
            }
            c.exec(QStringLiteral("COMMIT"));
        }
        data = std::make_unique<tegaro::DataAccess>();
        data->ADOConnection1->setTarget(tegaro::sqliteFileTarget(path));
        data->ADOQuery1->open();
        window = std::make_unique<QWidget>();
        window->resize(883, 480);
        auto* pageWidget = new QWidget(window.get());
        pageWidget->resize(871, 453);
        pageWidget->hide();
        page = new tegaro::ListPage(pageWidget, *data);
        window->show();
    }

    // Made once; gone with the application, before the widgets' end.
    static Houses& get()
    {
        static Houses* houses = [] {
            auto* made = new Houses;
            qAddPostRoutine([] { delete houses; });
            return made;
        }();
        return *houses;
    }
};

void paint(QTableView* grid)
{
    grid->viewport()->repaint();
    QApplication::processEvents();
}

// From the page shown to its first screen painted, totals line included.
void BM_ListFirstScreen(benchmark::State& state)
{
    Houses& h = Houses::get();
    QWidget* pageWidget = h.page->grid()->parentWidget();
    for (auto _ : state) {
        state.PauseTiming();
        pageWidget->hide();
        h.data->ADOQuery1->refresh(); // the totals are worked out again
        QApplication::processEvents();
        state.ResumeTiming();
        pageWidget->show();
        paint(h.page->grid());
    }
    state.counters["rows"] = h.page->model()->rowCount();
}
BENCHMARK(BM_ListFirstScreen)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ListScrollToLast(benchmark::State& state)
{
    Houses& h = Houses::get();
    h.page->grid()->parentWidget()->show();
    for (auto _ : state) {
        state.PauseTiming();
        h.page->grid()->scrollToTop();
        paint(h.page->grid());
        state.ResumeTiming();
        h.page->grid()->scrollToBottom();
        paint(h.page->grid());
    }
}
BENCHMARK(BM_ListScrollToLast)->Unit(benchmark::kMillisecond)->Iterations(5);

// A click on a heading: 300,000 rows ordered and the screen painted.
void BM_ListSort(benchmark::State& state)
{
    Houses& h = Houses::get();
    h.page->grid()->parentWidget()->show();
    const int column = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        h.page->model()->sort(-1);
        state.ResumeTiming();
        h.page->grid()->horizontalHeader()->setSortIndicator(column, Qt::AscendingOrder);
        paint(h.page->grid());
    }
    state.SetLabel(tegaro::houseListColumns()[column].header.toStdString());
    h.page->model()->sort(-1);
}
BENCHMARK(BM_ListSort)
    ->Arg(tegaro::listColumnOf(QStringLiteral("所有者氏名")))
    ->Arg(tegaro::listColumnOf(QStringLiteral("床面積")))
    ->Arg(tegaro::listColumnOf(QStringLiteral("日付")))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_ListExport(benchmark::State& state)
{
    Houses& h = Houses::get();
    const auto format = static_cast<tegaro::ExportFormat>(state.range(0));
    const QString out = h.dir.filePath(format == tegaro::ExportFormat::Xlsx ? QStringLiteral("list.xlsx") : QStringLiteral("list.csv"));
    long before = 0, peak = 0;
    QList<int> columns;
    for (int c = 0; c < int(tegaro::houseListColumns().size()); ++c)
        columns << c;
    for (auto _ : state) {
        state.PauseTiming();
        resetPeak();
        before = peakKb();
        state.ResumeTiming();
        // As 一覧出力 does: the shown columns read at once, then written.
        const tegaro::ExportResult r = tegaro::exportList(h.page->model()->table(columns), out, format);
        benchmark::DoNotOptimize(r.rows);
        peak = peakKb();
    }
    state.counters["peak_MB"] = double(peak) / 1024;
    state.counters["added_MB"] = double(peak - before) / 1024;
    state.counters["file_MB"] = double(QFile(out).size()) / (1024 * 1024);
}
// The .xlsx writer packs on a thread of its own: CPU time is the process's.
BENCHMARK(BM_ListExport)
    ->Arg(int(tegaro::ExportFormat::Xlsx))
    ->Arg(int(tegaro::ExportFormat::CsvUtf8))
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

} // namespace
