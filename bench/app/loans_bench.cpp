// The loans window on large catalogues (a tenth of the books lent): opening
// it, regrouping it, and returning a hundred books at once.
#include <QCheckBox>
#include <QTreeWidget>
#include <benchmark/benchmark.h>

#include "app/loans/loans_capability.h"
#include "app/loans/loans_window.h"
#include "bench/app/bench_support.h"
#include "storage/query.h"
#include "ui_loans_window.h"
#include "ui_main_window.h"

namespace {

void SetCounters(benchmark::State& state, LoansWindow& loans) {
    state.counters["loans"] = static_cast<double>(loans.Loans().size());
}

void BM_LoansOpen(benchmark::State& state) {
    BenchWindow bench(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        bench.window().capability<LoansCapability>().zapujckyExecute();
        SettleEvents();
        state.PauseTiming();
        bench.window().capability<LoansCapability>().loansWindow()->hide();
        SettleEvents();
        state.ResumeTiming();
    }
    if (FailedRun(state, bench.ui, bench.window().capability<LoansCapability>().loansWindow()->Loans().size() > 0,
                  "no loans"))
        return;
    SetCounters(state, *bench.window().capability<LoansCapability>().loansWindow());
}

void BM_LoansRegroup(benchmark::State& state) {
    BenchWindow bench(static_cast<int>(state.range(0)));
    bench.window().capability<LoansCapability>().zapujckyExecute();
    SettleEvents();
    QCheckBox& grouped = *bench.window().capability<LoansCapability>().loansWindow()->form()->seskupitchb;
    for (auto _ : state) {
        grouped.toggle();
        SettleEvents();
    }
    if (FailedRun(state, bench.ui, true, "")) return;
    SetCounters(state, *bench.window().capability<LoansCapability>().loansWindow());
}

// "vráceno" on 100 selected rows: the confirmation, the change, the tree's
// rebuild and the list read anew.
void BM_LoansReturn100(benchmark::State& state) {
    BenchWindow bench(static_cast<int>(state.range(0)));
    TForm1& window = bench.window();
    window.capability<LoansCapability>().zapujckyExecute();
    SettleEvents();
    LoansWindow& loans = *window.capability<LoansCapability>().loansWindow();
    loans.form()->seskupitchb->setChecked(false);
    std::vector<LoanRow> chosen;
    for (size_t i = 0; i < 100 && i < loans.Loans().size(); ++i) chosen.push_back(loans.Loans()[i].row);
    std::string restore = "begin;";
    for (const LoanRow& row : chosen)
        restore += "update svazkovna set zapujcenokomu='" + QuoteLiteralBody(row.komu) + "',zapujcenokdy='" +
                   QuoteLiteralBody(row.kdy) + "' where rowid=" + std::to_string(row.rowid) + ";";
    restore += "commit;";
    bool ok = chosen.size() == 100;
    for (auto _ : state) {
        state.PauseTiming();
        window.con1.ExecStatements(restore);
        loans.Refresh();
        QTreeWidget& list = *loans.form()->zapujckytw;
        list.clearSelection();
        for (int i = 0; i < list.topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = list.topLevelItem(i);
            const int64_t rowid = loans.Loans()[static_cast<size_t>(item->data(0, Qt::UserRole).toInt())].row.rowid;
            for (const LoanRow& row : chosen)
                if (row.rowid == rowid) item->setSelected(true);
        }
        const size_t before = loans.Loans().size();
        SettleEvents();
        state.ResumeTiming();
        loans.vracenobClick();
        SettleEvents();
        ok = ok && loans.Loans().size() + 100 == before;
    }
    if (FailedRun(state, bench.ui, ok, "the hundred books were not all returned")) return;
    SetCounters(state, loans);
}

}  // namespace

BENCHMARK(BM_LoansOpen)->Apply(AtCatalogueSizes);
BENCHMARK(BM_LoansRegroup)->Apply(AtCatalogueSizes);
BENCHMARK(BM_LoansReturn100)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();
