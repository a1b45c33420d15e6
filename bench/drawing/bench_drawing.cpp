// Redraw of a busy floor and reading a large current-format file.
#include "drawing/DrawingReaders.h"
#include "drawing/DrawingRenderer.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace tegaro;

namespace {

// A floor plan spread over the drawing area the canvas shows at zoom 0.5:
// mostly walls along the axes, some slanted lines, rooms as boxes.
DrawingModel busyFloor(int segments, int boxes)
{
    QRandomGenerator rng(2005);
    DrawingModel m;
    auto coord = [&](int limit) { return qint32(rng.bounded(limit)); };
    for (int i = 0; i < segments; ++i) {
        const qint32 x = coord(1180), y = coord(820), len = 10 + coord(190);
        TLine l{x, y, x, y, qint32(rng.bounded(0x1000000)), 0, {}};
        switch (i % 5) {
        case 0:
        case 1: l.X2 += len; break;
        case 2:
        case 3: l.Y2 += len; break;
        default:
            l.X2 += len;
            l.Y2 += coord(200) - 100;
            break;
        }
        m.LinesF1 << l;
    }
    for (int i = 0; i < boxes; ++i) {
        const qint32 x = coord(1180), y = coord(820);
        m.BoxesF1 << TBox{{x, y, x + 20 + coord(80), y + 20 + coord(80)}, 0};
    }
    return m;
}

void BM_Redraw(benchmark::State& state)
{
    DrawingModel start;
    DrawingRenderer renderer;
    renderer.InitCanvas(start, QString());
    DrawingModel m = busyFloor(5000, 500);
    m.Zoom = double(state.range(0)) / 10.0;
    for (auto _ : state) {
        renderer.Redraw(m);
        benchmark::DoNotOptimize(renderer.offscreen().constBits());
    }
}
BENCHMARK(BM_Redraw)->Arg(5)->Arg(20)->Unit(benchmark::kMillisecond);

QByteArray currentFile(int segments)
{
    QByteArray text = "$headerpas\r\n10\r\n10\r\n10\r\n10\r\n10\r\n10\r\n45\r\n45\r\nmemo\r\n"
                      "12.5\r\n20.25\r\n0\r\n1.82\r\n[1F]\r\n";
    text += QByteArray::number(segments - 1) + "\r\n";
    QRandomGenerator rng(1);
    for (int i = 0; i < segments; ++i) {
        for (int v = 0; v < 4; ++v)
            text += QByteArray::number(rng.bounded(2000)) + "\r\n";
        text += "255\r\n0\r\n\x95\xC7\r\n"; // colour, tag, a Japanese text
    }
    for (int list = 0; list < 6; ++list)
        text += "[next]\r\n-1\r\n";
    text += "[end]\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n";
    return text;
}

void BM_ReadCurrentFile(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("large.hbd");
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(currentFile(int(state.range(0)))) < 0) {
        state.SkipWithError("cannot write the drawing file");
        return;
    }
    f.close();
    DrawingModel m;
    for (auto _ : state) {
        ReadDrawingFile(m, path);
        benchmark::DoNotOptimize(m.LinesF1.size());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReadCurrentFile)->Arg(20000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
