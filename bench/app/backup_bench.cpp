// Backups and the health check on large catalogues: what the first change of
// a run and every opening of a catalogue add to what the user waits for.
#include <benchmark/benchmark.h>

#include "app/safekeeping/catalogue_backup.h"
#include "app/safekeeping/safekeeping_capability.h"
#include "bench/app/bench_support.h"
#include "catalogue/backup_store.h"

namespace {

// The backup before the first change: a consistent copy of the whole
// catalogue, flushed to the disk, and the oldest beyond ten removed.
void BM_BackupBeforeFirstChange(benchmark::State& state) {
    BenchWindow bench(static_cast<int>(state.range(0)));
    TForm1& w = bench.window();
    CatalogueBackup& backups = w.capability<SafekeepingCapability>().backups();
    for (auto _ : state) {
        state.PauseTiming();
        // As after opening the catalogue again: the next change is a first change.
        backups.CheckOpened(true);
        const std::vector<BackupFile> earlier = backups.Backups();
        state.ResumeTiming();
        const bool goOn = w.beforeCatalogueChange();
        state.PauseTiming();
        const std::vector<BackupFile> later = backups.Backups();
        const bool written = goOn && !later.empty() && (earlier.empty() || later[0].path != earlier[0].path);
        if (FailedRun(state, bench.ui, written, "no backup was written")) break;
        state.ResumeTiming();
    }
}

// The quick integrity check that runs whenever a catalogue is opened.
void BM_HealthCheckOnOpening(benchmark::State& state) {
    BenchWindow bench(static_cast<int>(state.range(0)));
    TForm1& w = bench.window();
    for (auto _ : state) {
        const Integrity health = QuickCheck(w.con1);
        if (health.state != Integrity::State::Sound) {
            state.SkipWithError(("the catalogue is not sound: " + health.report).c_str());
            break;
        }
    }
}

}  // namespace

BENCHMARK(BM_BackupBeforeFirstChange)->Apply(AtCatalogueSizes);
BENCHMARK(BM_HealthCheckOnOpening)->Apply(AtCatalogueSizes);
