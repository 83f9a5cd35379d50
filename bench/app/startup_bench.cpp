// Start-up and switching catalogues on large catalogues: what the user waits
// for between starting the program (or choosing a file) and seeing the tree.
#include <QTreeWidget>
#include <benchmark/benchmark.h>
#include <memory>

#include "bench/app/bench_support.h"
#include "storage/connection.h"
#include "storage/query.h"
#include "ui_main_window.h"

namespace {

// The windows made, connected, probed, filled and shown; the teardown is not timed.
void BM_StartUp(benchmark::State& state) {
    const int books = static_cast<int>(state.range(0));
    BenchFolders folders(books);
    for (auto _ : state) {
        auto bench = std::make_unique<BenchWindow>(folders);
        state.PauseTiming();
        TForm1& w = bench->window();
        const bool opened = w.con1.Database() == "svazkovna.db" && w.query1.RecordCount() == books &&
                            (books == 0 || w.form()->tv1->topLevelItemCount() > 0);
        if (FailedRun(state, bench->ui, opened, "the start did not open the catalogue")) break;
        bench.reset();
        SettleEvents();
        state.ResumeTiming();
    }
}

// "otevřít jinou...": alternately another catalogue of the same size and back.
void BM_SwitchCatalogue(benchmark::State& state) {
    const int books = static_cast<int>(state.range(0));
    BenchFolders folders(books);
    const std::string files[2] = {folders.catalogue, folders.AddCatalogue("jina.db", books, 2)};
    BenchWindow bench(folders);
    TForm1& w = bench.window();
    int turn = 1;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string& file = files[turn];
        turn = 1 - turn;
        bench.ui.fileAnswer = QString::fromStdString(file);
        state.ResumeTiming();
        w.otevritExecute();
        SettleEvents();
        state.PauseTiming();
        const bool switched = w.con1.Database() == file && w.query1.RecordCount() == books &&
                              (books == 0 || w.form()->tv1->topLevelItemCount() > 0);
        if (FailedRun(state, bench.ui, switched, "the switch did not open the other catalogue")) break;
        state.ResumeTiming();
    }
}

// The start-up probe alone, on a connection of its own: the part of every
// start and switch that the probe's statement takes, whatever the window does.
void BM_StartUpProbe(benchmark::State& state) {
    BenchFolders folders(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        TASQLite3DB con("con1");
        TASQLite3Query query("query1");
        query.SetConnection(&con);
        con.SetDatabase(folders.catalogue);
        con.SetConnected(true);
        query.SQL().Add("SELECT * FROM svazkovna order by autor");
        query.Open();
        benchmark::DoNotOptimize(query.RecordCount());
        state.PauseTiming();
        query.Close();
        con.SetConnected(false);
        state.ResumeTiming();
    }
}

}  // namespace

// The empty catalogue's rows are the base the large ones are compared with.
BENCHMARK(BM_StartUp)->Apply(FromEmptyCatalogue);
BENCHMARK(BM_SwitchCatalogue)->Apply(FromEmptyCatalogue);
BENCHMARK(BM_StartUpProbe)->Apply(FromEmptyCatalogue);
