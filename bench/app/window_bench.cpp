// The tree's rebuild and search on large catalogues, through the real window.
#include <QTreeWidget>
#include <benchmark/benchmark.h>

#include "bench/app/bench_support.h"
#include "ui_main_window.h"

namespace {

void SetCounters(benchmark::State& state, TForm1& window) {
    CatalogueStats stats;
    CatalogueOf(static_cast<int>(state.range(0)), &stats);
    state.counters["authors"] = stats.authors;
    state.counters["nodes_shown"] = window.form()->tv1->topLevelItemCount();
}

void BM_TreeRebuild(benchmark::State& state) {
    BenchWindow bench(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        bench.window().tv1update();
        SettleEvents();
    }
    SetCounters(state, bench.window());
}

void BM_TreeSearch(benchmark::State& state) {
    BenchWindow bench(static_cast<int>(state.range(0)));
    bench.ui.searchText = QString("NOV");  // a common piece of author names, case-folded
    for (auto _ : state) {
        bench.window().vyhledatExecute();
        SettleEvents();
    }
    SetCounters(state, bench.window());
}

}  // namespace

BENCHMARK(BM_TreeRebuild)->Apply(AtCatalogueSizes);
BENCHMARK(BM_TreeSearch)->Apply(AtCatalogueSizes);
