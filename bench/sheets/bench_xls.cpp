// Reading and writing a workbook of 100,000 cells: numbers, texts and formulas.
#include "sheets/biff/ByteWriter.h"
#include "sheets/xls/XlsFile.h"

#include <benchmark/benchmark.h>

using namespace tegaro::sheets;

namespace {

// 10,000 rows of ten cells: four numbers, three texts, three formulas.
Workbook bigWorkbook()
{
    Workbook book;
    Sheet& s = book.sheets[0];
    const int areaXf = book.addFormat([&] {
        CellFormat f;
        f.numberFormat = 2;
        return f;
    }());
    for (int r = 0; r < 10000; ++r) {
        for (int c = 0; c < 4; ++c) {
            Cell& cell = s.cellRef(r, c);
            cell.kind = CellKind::Number;
            cell.number = r * 1.25 + c;
            cell.xf = quint16(areaXf);
        }
        for (int c = 4; c < 7; ++c) {
            Cell& cell = s.cellRef(r, c);
            cell.kind = CellKind::Text;
            cell.text = QStringLiteral("家屋%1-%2").arg(r % 500).arg(c);
        }
        for (int c = 7; c < 10; ++c) {
            ByteWriter t;
            t.u8(0x24).u16(quint16(r)).u16(0xC000 | (c - 7)); // the number to the left
            t.u8(0x1E).u16(2).u8(0x05);                       // * 2
            auto f = std::make_shared<Formula>();
            f->tokens = t.data;
            Cell& cell = s.cellRef(r, c);
            cell.kind = CellKind::Formula;
            cell.result = CellKind::Number;
            cell.number = (r * 1.25 + c - 7) * 2;
            cell.formula = f;
        }
    }
    return book;
}

void BM_WriteXls(benchmark::State& state)
{
    const Workbook book = bigWorkbook();
    qsizetype bytes = 0;
    for (auto _ : state) {
        const QByteArray out = writeXls(book);
        bytes = out.size();
        benchmark::DoNotOptimize(out.constData());
    }
    state.counters["file_bytes"] = double(bytes);
    state.counters["cells"] = double(book.sheets[0].cellCount());
}
BENCHMARK(BM_WriteXls)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_ReadXls(benchmark::State& state)
{
    const QByteArray file = writeXls(bigWorkbook());
    for (auto _ : state) {
        const Workbook book = readXls(file);
        benchmark::DoNotOptimize(book.sheets.size());
    }
}
BENCHMARK(BM_ReadXls)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_CellTexts(benchmark::State& state)
{
    const Workbook book = bigWorkbook();
    for (auto _ : state) {
        qsizetype total = 0;
        for (const auto& [key, cell] : book.sheets[0].cells())
            total += book.cellText(0, Sheet::rowOf(key), Sheet::colOf(key)).size();
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_CellTexts)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
