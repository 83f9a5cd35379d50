// Statistics of large catalogues (a tenth of the books lent, varied finished
// loans in their history): the figures alone, and the window read anew with
// its charts.
#include <benchmark/benchmark.h>

#include "app/statistics/figures/collection_stats.h"
#include "app/statistics/statistics_window.h"
#include "bench/app/bench_support.h"
#include "bench/app/history_bench.h"
#include "catalogue/loan_history.h"
#include "storage/connection.h"
#include "storage/query.h"

namespace {

using HistoryCatalogue = VariedHistoryCatalogue;

void BM_StatisticsCompute(benchmark::State& state) {
    HistoryCatalogue catalogue(static_cast<int>(state.range(0)));
    const QDate today(2026, 12, 8);
    CollectionStats stats;
    for (auto _ : state) {
        stats = ComputeStats(catalogue.con, today, 30);
        benchmark::DoNotOptimize(stats.books);
    }
    if (stats.books != state.range(0) || stats.finishedLoans == 0) state.SkipWithError("wrong figures");
    state.counters["loans"] = static_cast<double>(stats.finishedLoans + stats.lentNow);
}

void BM_StatisticsWindow(benchmark::State& state) {
    HistoryCatalogue catalogue(static_cast<int>(state.range(0)));
    BenchUi ui;
    StatisticsWindow window(
        catalogue.con, ui, [] { return 30; }, nullptr);
    window.show();
    for (auto _ : state) {
        window.Refresh();
        SettleEvents();
    }
    if (FailedRun(state, ui, window.Stats().books == state.range(0), "wrong figures")) return;
}

}  // namespace

BENCHMARK(BM_StatisticsCompute)->Apply(AtCatalogueSizes);
BENCHMARK(BM_StatisticsWindow)->Apply(AtCatalogueSizes);
