// Formulas of a big detail sheet: 30,000 formulas over 40,000 numbers, as
// chains, ranges and lookups. Full recalculation, an edit that dirties 50
// formulas, and building the dependency index.
#include "sheets/calc/Calculator.h"
#include "sheets/formula/Formulas.h"

#include <benchmark/benchmark.h>

#include <optional>

using namespace tegaro::sheets;

namespace {

constexpr int kRows = 10000;
constexpr int kTable = 100;

void put(Workbook& book, int row, int col, const QString& formula)
{
    Cell& c = book.sheets[0].cellRef(row, col);
    c.kind = CellKind::Formula;
    c.formula = compileFormula(book, 0, formula);
}

// A:D numbers, H:I a rate table; E a product per row, F a running total
// (a chain through all rows), G a lookup of each row's code in the table.
Workbook bigWorkbook()
{
    Workbook book;
    Sheet& s = book.sheets[0];
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < 4; ++c) {
            Cell& cell = s.cellRef(r, c);
            cell.kind = CellKind::Number;
            cell.number = c == 3 ? (r * 37) % (kTable * 10) : r * 0.25 + c;
        }
    }
    for (int r = 0; r < kTable; ++r) {
        s.cellRef(r, 7).kind = CellKind::Number;
        s.cellRef(r, 7).number = r * 10;
        s.cellRef(r, 8).kind = CellKind::Number;
        s.cellRef(r, 8).number = 1 + r / 100.0;
    }
    for (int r = 0; r < kRows; ++r) {
        const QString n = QString::number(r + 1);
        put(book, r, 4, QStringLiteral("=A%1*B%1+C%1").arg(n));
        put(book, r, 5, r == 0 ? QStringLiteral("=SUM(A1:D1)") : QStringLiteral("=F%1+E%2").arg(r).arg(n));
        put(book, r, 6, QStringLiteral("=VLOOKUP(D%1,$H$1:$I$%2,2)*E%1").arg(n).arg(kTable));
    }
    Calculator(book).recalculateAll();
    return book;
}

const Workbook& sample()
{
    static const Workbook book = bigWorkbook();
    return book;
}

void BM_RecalculateAll(benchmark::State& state)
{
    Workbook book = sample();
    Calculator calc(book);
    for (auto _ : state) {
        const Recalculation r = calc.recalculateAll();
        benchmark::DoNotOptimize(r.changed.size());
    }
    state.counters["formulas"] = calc.formulaCount();
}
BENCHMARK(BM_RecalculateAll)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_EditDirtying50(benchmark::State& state)
{
    Workbook book = sample();
    Calculator calc(book);
    // A9952 feeds E9952 and the running total from F9952 to F10000
    const int row = kRows - 49;
    Cell& input = book.sheets[0].cellRef(row, 0);
    int recalculated = 0;
    for (auto _ : state) {
        input.number += 1;
        const Recalculation r = calc.cellsChanged({{0, row, 0}});
        recalculated = int(r.changed.size());
        benchmark::DoNotOptimize(recalculated);
    }
    state.counters["changed"] = recalculated;
}
BENCHMARK(BM_EditDirtying50)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// What opening a workbook waits for: the index built. Taking it down again
// happens when the next workbook replaces this one, and is timed apart.
void BM_BuildIndex(benchmark::State& state)
{
    Workbook book = sample();
    for (auto _ : state) {
        std::optional<Calculator> calc(std::in_place, book);
        benchmark::DoNotOptimize(calc->formulaCount());
        state.PauseTiming();
        calc.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BuildIndex)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_DropIndex(benchmark::State& state)
{
    Workbook book = sample();
    for (auto _ : state) {
        state.PauseTiming();
        std::optional<Calculator> calc(std::in_place, book);
        state.ResumeTiming();
        calc.reset();
    }
}
BENCHMARK(BM_DropIndex)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
