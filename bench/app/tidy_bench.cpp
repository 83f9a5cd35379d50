// Tidying large catalogues: the author groups, the rewrite of 500 rows through
// the session with the tree following, and "hledat všude" keystroke by
// keystroke in the real window (the list filled and laid out), and the first
// search that reads the index.
#include <QCoreApplication>
#include <QLineEdit>
#include <QTreeWidget>
#include <benchmark/benchmark.h>

#include "app/platform/catalogue_session.h"
#include "app/platform/rows_change.h"
#include "app/tidy/search_everywhere_window.h"
#include "bench/app/bench_support.h"
#include "catalogue/author_groups.h"
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

void BM_AuthorGroups(benchmark::State& state) {
    BenchWindow bench(static_cast<int>(state.range(0)));
    size_t groups = 0;
    for (auto _ : state) groups = FindAuthorGroups(bench.window().con1, {}).size();
    FailedRun(state, bench.ui, groups > 0, "no groups");
    state.counters["groups"] = static_cast<double>(groups);
}

// 500 rows of one spelling rewritten to another and back, one change each
// iteration, the tree following the notice.
void BM_AuthorRewrite500(benchmark::State& state) {
    const int books = static_cast<int>(state.range(0));
    BenchWindow bench(books);
    TForm1& window = bench.window();
    RunChange(window,
              "update svazkovna set autor='Tolkien J.R.R.' where rowid % " + std::to_string(books / 500) + " = 0");
    window.RefreshTree();
    SettleEvents();
    std::string from = "Tolkien J.R.R.", to = "J.R.R. Tolkien";
    size_t written = 0;
    for (auto _ : state) {
        const std::vector<AuthorRow> rows = RowsOfAuthors(window.con1, {from});
        std::vector<int64_t> keys;
        for (const AuthorRow& r : rows) keys.push_back(r.key);
        window.session().Change(keys, [&] {
            const AuthorRewrite done = RewriteAuthors(window.con1, rows, to);
            written = done.written.size();
            RowsChange change;
            change.rows = keys;
            change.changed = static_cast<int64_t>(written);
            return change;
        });
        SettleEvents();
        std::swap(from, to);
    }
    FailedRun(state, bench.ui, written == 500, "not 500 rows written");
}

}  // namespace

BENCHMARK(BM_AuthorGroups)->Apply(AtCatalogueSizes);
BENCHMARK(BM_AuthorRewrite500)->Apply(AtCatalogueSizes);
BENCHMARK(BM_SearchKeystroke)->Apply(AtCatalogueSizes);
BENCHMARK(BM_SearchFirstKeystroke)->Apply(AtCatalogueSizes);
