// Statistics of large catalogues (a tenth of the books lent, varied finished
// loans in their history): the figures alone, the window read anew, a new
// window opened with its charts, the window opened again with nothing read,
// and a panel save while the window is open (it follows the change).
#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QTreeWidget>
#include <benchmark/benchmark.h>
#include <memory>

#include "app/statistics/figures/collection_stats.h"
#include "app/statistics/statistics_window.h"
#include "app/window/tree_node.h"
#include "bench/app/bench_support.h"
#include "bench/app/history_bench.h"
#include "catalogue/loan_history.h"
#include "catalogue/row_sink.h"
#include "storage/connection.h"
#include "storage/query.h"
#include "ui_main_window.h"

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

// The first opening: a new window reads every row, makes its charts and tables
// and is shown, as the command does. With range 1 set to 1 accessibility is on,
// as with a screen reader: every widget made tells of itself.
void BM_StatisticsFirstOpen(benchmark::State& state) {
    HistoryCatalogue catalogue(static_cast<int>(state.range(0)));
    BenchUi ui;
    QAccessible::setActive(state.range(1) != 0);
    long long books = 0;
    for (auto _ : state) {
        auto window = std::make_unique<StatisticsWindow>(
            catalogue.con, ui, [] { return 30; }, nullptr);
        window->Reopen();
        window->show();
        SettleEvents();
        books = window->Stats().books;
        state.PauseTiming();
        window.reset();
        SettleEvents();
        state.ResumeTiming();
    }
    QAccessible::setActive(false);
    if (FailedRun(state, ui, books == state.range(0), "wrong figures")) return;
}

// Closed and opened again with no change made meanwhile but the program's own:
// the kept counts stand, no row is read.
void BM_StatisticsReopen(benchmark::State& state) {
    HistoryCatalogue catalogue(static_cast<int>(state.range(0)));
    BenchUi ui;
    StatisticsWindow window(
        catalogue.con, ui, [] { return 30; }, nullptr);
    window.show();
    window.Refresh();
    for (auto _ : state) {
        window.close();
        window.Reopen();
        window.show();
        SettleEvents();
    }
    if (FailedRun(state, ui, window.WholeReads() == 1, "read whole again")) return;
}

// The floor of a whole read: the nine columns the counts are made of read for
// every row, nothing counted.
void BM_StatisticsColumnsFloor(benchmark::State& state) {
    HistoryCatalogue catalogue(static_cast<int>(state.range(0)));
    long long bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        RowSink sink(
            [&](const std::vector<ColumnValue>& row) {
                for (const ColumnValue& value : row) bytes += static_cast<long long>(value.text.size());
            },
            {0});
        catalogue.con.SQLiteExecute(
            "select rowid as radek, zanr, umisteni, hodnoceni, autor, vydal, zapujcenokomu, zapujcenokdy, udaj3 "
            "from svazkovna",
            &sink);
        benchmark::DoNotOptimize(bytes);
    }
    if (bytes == 0) state.SkipWithError("nothing read");
}

// A note saved in the panel of the main window, with the statistics shown or
// not (range 1: 0 closed, 1 open): the difference is what following the change
// costs. With 2 the statistics are open and each save changes the genre too,
// so the figures and their charts are made anew.
void BM_PanelSaveStatistics(benchmark::State& state) {
    HistoryCatalogue catalogue(static_cast<int>(state.range(0)));
    catalogue.con.SetConnected(false);
    BenchWindow bench(catalogue.folders);
    TForm1& w = bench.window();
    Ui::TForm1& f = *w.form();
    QTreeWidget& tree = *f.tv1;
    QTreeWidgetItem* title = nullptr;
    for (int a = tree.topLevelItemCount() / 2; a < tree.topLevelItemCount() && !title; ++a)
        if (AsTreeNode(*tree.topLevelItem(a)).TitleCount() > 0) title = TitleNode(*tree.topLevelItem(a), 0);
    if (FailedRun(state, bench.ui, title != nullptr, "no title to click")) return;
    if (state.range(1) != 0) {
        auto* command = w.findChild<QAction*>(QStringLiteral("statistika"));
        if (FailedRun(state, bench.ui, command != nullptr, "no statistics command")) return;
        command->trigger();
    }
    tree.setCurrentItem(title);
    w.tv1Click();
    SettleEvents();
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        f.poznamkale->setText(QStringLiteral("upraveno %1").arg(++n));
        if (state.range(1) == 2) f.zanrcb->setEditText(n % 2 ? QStringLiteral("drama") : QStringLiteral("poezie"));
        state.ResumeTiming();
        w.ulozitbClick();
        SettleEvents();
    }
    FailedRun(state, bench.ui, true, "");
}

}  // namespace

BENCHMARK(BM_PanelSaveStatistics)
    ->ArgsProduct({{20000, 100000}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();
BENCHMARK(BM_StatisticsCompute)->Apply(AtCatalogueSizes);
BENCHMARK(BM_StatisticsWindow)->Apply(AtCatalogueSizes);
BENCHMARK(BM_StatisticsFirstOpen)
    ->ArgsProduct({{20000, 100000}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();
BENCHMARK(BM_StatisticsReopen)->Apply(AtCatalogueSizes);
BENCHMARK(BM_StatisticsColumnsFloor)->Apply(AtCatalogueSizes);
