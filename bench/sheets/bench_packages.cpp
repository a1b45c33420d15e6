// Reading a workbook of 100,000 cells from .xlsx and .ods files: numbers,
// texts and formulas with their results, as Excel and LibreOffice write them.
#include "BigPackages.h"

#include "sheets/PackageSamples.h"
#include "sheets/book/WorkbookFile.h"

#include <benchmark/benchmark.h>

using namespace tegaro::sheets;
using namespace tegaro::sheets::testing;

namespace {

void readPackageBench(benchmark::State& state, const QByteArray& file)
{
    int cells = 0;
    for (auto _ : state) {
        const Workbook book = readWorkbook(file);
        cells = book.sheets[0].cellCount();
        benchmark::DoNotOptimize(book.sheets.size());
    }
    state.counters["file_bytes"] = double(file.size());
    state.counters["cells"] = double(cells);
}

void BM_ReadXlsx(benchmark::State& state) { readPackageBench(state, bigXlsx()); }
BENCHMARK(BM_ReadXlsx)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_ReadOds(benchmark::State& state) { readPackageBench(state, bigOds()); }
BENCHMARK(BM_ReadOds)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace
