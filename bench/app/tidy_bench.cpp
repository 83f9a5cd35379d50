// Tidying large catalogues: "hledat všude" keystroke by keystroke in the real
// window (the list filled and laid out), and the first search that reads the index.
#include <QCoreApplication>
#include <QLineEdit>
#include <QTreeWidget>
#include <benchmark/benchmark.h>

#include "app/tidy/search_everywhere_window.h"
#include "bench/app/bench_support.h"
#include "ui_search_everywhere_window.h"

namespace {

SearchEverywhereWindow* OpenSearch(BenchWindow& bench) {
    bench.window().findChild<QAction*>("hledatvsude")->trigger();
    return bench.window().findChild<SearchEverywhereWindow*>();
}

// What a user types, a key at a time: a lone letter matches nearly every book.
const char* const kKeystrokes[] = {"c",        "ca",        "cap",        "cape",      "capek", "capek z",
                                   "capek zi", "capek zim", "capek zima", "s",         "st",    "sti",
                                   "stin",     "stiny",     "stiny sk",   "stiny skl", "sklep", "n"};

void BM_SearchKeystroke(benchmark::State& state) {
    BenchWindow bench(static_cast<int>(state.range(0)));
    SearchEverywhereWindow* search = OpenSearch(bench);
    QLineEdit& box = *search->form().hledej;
    box.setText("n");  // the index is read by the first search, not measured here
    SettleEvents();
    size_t next = 0;
    for (auto _ : state) {
        box.setText(QString::fromUtf8(kKeystrokes[next++ % std::size(kKeystrokes)]));
        SettleEvents();
    }
    box.setText("capek zima");
    FailedRun(state, bench.ui, search->form().vysledky->topLevelItemCount() > 0, "nothing found");
}

void BM_SearchFirstKeystroke(benchmark::State& state) {
    BenchWindow bench(static_cast<int>(state.range(0)));
    SearchEverywhereWindow* search = OpenSearch(bench);
    QLineEdit& box = *search->form().hledej;
    for (auto _ : state) {
        search->CatalogueChanged();  // forgets the index
        box.setText(box.text() == "capek" ? "hrabal" : "capek");
        SettleEvents();
    }
    FailedRun(state, bench.ui, search->Index().Rows() == static_cast<size_t>(state.range(0)), "rows missing");
}

}  // namespace

BENCHMARK(BM_SearchKeystroke)->Apply(AtCatalogueSizes);
BENCHMARK(BM_SearchFirstKeystroke)->Apply(AtCatalogueSizes);
