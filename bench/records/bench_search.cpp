// Owner-name prefix search over 100,000 house records: from Enter in the
// name box to the first record shown in the form.
#include "app/TForm1.h"
#include "support/ScriptedSeam.h"
#include "db/login/ConnectCommand.h"
#include "db/Connection.h"
#include "db/DataAccess.h"
#include "db/Schema.h"
#include "db/login/TSQLLogin.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

const char* const kFamily[] = {"佐藤", "鈴木", "高橋", "田中", "伊藤", "渡辺", "山本", "中村", "小林", "加藤",
                               "吉田", "山田", "佐々木", "山口", "松本", "井上", "木村", "林", "清水", "山崎"};
const char* const kGiven[] = {"太郎", "花子", "一郎", "茂", "洋子", "健", "美咲", "大輔", "恵", "隆"};

QString makeDatabase(const QTemporaryDir& dir, int houses)
{
    const QString path = dir.filePath(QStringLiteral("bench.sqlite"));
    tegaro::Connection c;
    c.setTarget(tegaro::sqliteFileTarget(path, true));
    c.open();
    tegaro::createSchema(c);
    QRandomGenerator random(42);
    c.exec(QStringLiteral("BEGIN"));
    for (int i = 0; i < houses; ++i) {
        const QString owner = QString::fromUtf8(kFamily[random.bounded(20)]) + u'　' + QString::fromUtf8(kGiven[random.bounded(10)]);
        c.exec(QStringLiteral("INSERT INTO 基本データ (No, 所有者氏名, 所有者住所, １Ｆ, 評点数) VALUES (?, ?, ?, ?, ?)"),
               {i, owner, QStringLiteral("青葉%1丁目").arg(i % 9 + 1), 50.0 + i % 100, 70000});
    }
    c.exec(QStringLiteral("COMMIT"));
    return path;
}

void BM_OwnerNamePrefixSearch(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = makeDatabase(dir, 100'000);
    tegaro::ScriptedSeam seam;
    tegaro::TForm1 form;
    form.connectCommand()->showDialog = [&](tegaro::TSQLLogin& d) {
        d.SQLname->setText(path);
        d.Button1Click();
    };
    form.ToolbarButton976Click();
    auto* edit = form.findChild<QLineEdit*>(QStringLiteral("Edit1"));
    auto* owner = form.findChild<QLineEdit*>(QStringLiteral("DBEdit10"));
    edit->setText(QStringLiteral("山田"));
    for (auto _ : state) {
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(edit, &enter);
        benchmark::DoNotOptimize(owner->text());
    }
    state.counters["matches"] = form.data()->ADOQuery1->recordCount();
    if (!owner->text().startsWith(QStringLiteral("山田")))
        state.SkipWithError("the search showed no match");
}
BENCHMARK(BM_OwnerNamePrefixSearch)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace
