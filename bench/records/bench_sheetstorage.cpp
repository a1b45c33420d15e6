// A 20 MB detail sheet kept in a house record: 明細表示 and 明細登録
// through the window, with the longest time the window went without
// handling its events (counter max_stall_ms).
#include "app/TForm1.h"
#include "db/Connection.h"
#include "db/DataAccess.h"
#include "db/Schema.h"
#include "db/login/ConnectCommand.h"
#include "db/login/TSQLLogin.h"
#include "sheets/page/SheetPage.h"
#include "support/ScriptedSeam.h"
#include "support/SheetSamples.h"
#include "widgets/SideMenu.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <benchmark/benchmark.h>

namespace {

// Runs an action and measures the longest pause between 10 ms ticks.
qint64 longestStall(const std::function<void()>& action)
{
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        longest = std::max(longest, clock.elapsed() - last);
        last = clock.elapsed();
    });
    clock.start();
    ticks.start(10);
    action();
    return std::max(longest, clock.elapsed() - last);
}

void BM_LargeStoredSheet(benchmark::State& state)
{
    const bool registering = state.range(0) == 1;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.sqlite"));
    {
        tegaro::Connection c;
        c.setTarget(tegaro::sqliteFileTarget(path, true));
        c.open();
        tegaro::createSchema(c);
        c.exec(QStringLiteral("INSERT INTO 基本データ (所有者氏名, excel) VALUES (?, ?)"),
               {QStringLiteral("青木"), tegaro::testing::largeSheetBytes(20LL * 1024 * 1024)});
    }
    tegaro::ScriptedSeam seam;
    tegaro::TForm1 form;
    form.connectCommand()->showDialog = [&](tegaro::TSQLLogin& d) {
        d.SQLname->setText(path);
        d.Button1Click();
    };
    form.ToolbarButton976Click();
    tegaro::SideMenu* menu = form.sheetPage()->sideMenu();
    menu->itemButton(0, 0)->click(); // shown once, for 明細登録 to store
    qint64 stall = 0;
    for (auto _ : state) {
        seam.confirmAnswers << true;
        stall = std::max(stall, longestStall([&] { menu->itemButton(0, registering ? 2 : 0)->click(); }));
    }
    state.counters["max_stall_ms"] = double(stall);
    if (!seam.messages().isEmpty())
        state.SkipWithError(qPrintable(seam.messages().first()));
}
BENCHMARK(BM_LargeStoredSheet)->Arg(0)->Arg(1)->ArgNames({"register"})->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
