// Tidying large catalogues moved in from elsewhere: the author groups, the
// duplicate books, the rewrite of 500 rows through the session with the tree
// following, "hledat všude" keystroke by keystroke in the real window (the
// list filled and laid out), the first search that reads the index, and the
// plain read of the same rows as the floor they are measured against.
#include <QCoreApplication>
#include <QLineEdit>
#include <QTreeWidget>
#include <benchmark/benchmark.h>
#include <algorithm>
#include <filesystem>

#include "app/platform/catalogue_session.h"
#include "app/platform/rows_change.h"
#include "app/tidy/search_everywhere_window.h"
#include "bench/app/bench_support.h"
#include "bench/app/messy_catalogue.h"
#include "catalogue/author_groups.h"
#include "catalogue/book_duplicates.h"
#include "catalogue/row_sink.h"
#include "storage/connection.h"
#include "ui_search_everywhere_window.h"

namespace {

struct MessyFolders : BenchFolders {
    explicit MessyFolders(int books) : BenchFolders(books) {
        std::filesystem::copy_file(MessyCatalogueOf(books), catalogue,
                                   std::filesystem::copy_options::overwrite_existing);
    }
};

// The main window on a messy catalogue of `books` rows.
struct MessyWindow {
    explicit MessyWindow(int books) : folders(books), bench(folders) {}
    MessyFolders folders;
    BenchWindow bench;
};

SearchEverywhereWindow* OpenSearch(BenchWindow& bench) {
    bench.window().findChild<QAction*>("hledatvsude")->trigger();
    return bench.window().findChild<SearchEverywhereWindow*>();
}

// What a user types, a key at a time: a lone letter matches nearly every book.
const char* const kKeystrokes[] = {"c",        "ca",        "cap",        "cape",      "capek", "capek z",
                                   "capek zi", "capek zim", "capek zima", "s",         "st",    "sti",
                                   "stin",     "stiny",     "stiny sk",   "stiny skl", "sklep", "n"};

void BM_SearchKeystroke(benchmark::State& state) {
    MessyWindow messy(static_cast<int>(state.range(0)));
    BenchWindow& bench = messy.bench;
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
    MessyWindow messy(static_cast<int>(state.range(0)));
    BenchWindow& bench = messy.bench;
    SearchEverywhereWindow* search = OpenSearch(bench);
    QLineEdit& box = *search->form().hledej;
    for (auto _ : state) {
        search->CatalogueChanged();  // forgets the index
        box.setText(box.text() == "capek" ? "hrabal" : "capek");
        SettleEvents();
    }
    FailedRun(state, bench.ui, search->Index().Rows() == static_cast<size_t>(state.range(0)), "rows missing");
}

// The floor: one plain pass over what the duplicate search reads (the author
// groups read a part of it), through the same connection.
void BM_TidyOnePassFloor(benchmark::State& state) {
    MessyWindow messy(static_cast<int>(state.range(0)));
    size_t rows = 0;
    for (auto _ : state) {
        rows = 0;
        RowSink sink([&](const std::vector<ColumnValue>& row) { rows += row.size() == 4; });
        messy.bench.window().con1.SQLiteExecute(
            "select cast(rowid as text) as radek, autor, titul, udaj1 from svazkovna", &sink);
    }
    FailedRun(state, messy.bench.ui, rows == static_cast<size_t>(state.range(0)), "rows missing");
}

// Groups found on the messy catalogue each iteration, counted with those of
// one kind (`kind` true): the run fails unless both kinds are found.
template <class Group, class Find, class Kind>
void MeasureGroups(benchmark::State& state, Find find, Kind kind, const char* kindName) {
    MessyWindow messy(static_cast<int>(state.range(0)));
    size_t groups = 0, ofKind = 0;
    for (auto _ : state) {
        const std::vector<Group> found = find(messy.bench.window().con1, {});
        groups = found.size();
        ofKind = static_cast<size_t>(std::count_if(found.begin(), found.end(), kind));
    }
    FailedRun(state, messy.bench.ui, groups > ofKind && ofKind > 0, "not both kinds of groups found");
    state.counters["groups"] = static_cast<double>(groups);
    state.counters[kindName] = static_cast<double>(ofKind);
}

void BM_AuthorGroups(benchmark::State& state) {
    MeasureGroups<AuthorGroup>(
        state, FindAuthorGroups, [](const AuthorGroup& g) { return g.maybe; }, "maybe");
}

void BM_DuplicateGroups(benchmark::State& state) {
    MeasureGroups<DuplicateGroup>(
        state, FindDuplicates, [](const DuplicateGroup& g) { return g.byIsbn; }, "byIsbn");
}

// 500 rows of one spelling rewritten to another and back, one change each
// iteration, the tree following the notice. The backup the session makes
// before its first change (a copy of the whole file, once per session) is
// made before the timed part.
void BM_AuthorRewrite500(benchmark::State& state) {
    const int books = static_cast<int>(state.range(0));
    MessyWindow messy(books);
    BenchWindow& bench = messy.bench;
    TForm1& window = bench.window();
    RunChange(window,
              "update svazkovna set autor='Tolkien J.R.R.' where rowid % " + std::to_string(books / 500) + " = 0");
    window.RefreshTree();
    SettleEvents();
    if (!window.session().BeforeChange()) {
        state.SkipWithError("the backup was declined");
        return;
    }
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

BENCHMARK(BM_TidyOnePassFloor)->Apply(AtCatalogueSizes);
BENCHMARK(BM_AuthorGroups)->Apply(AtCatalogueSizes);
BENCHMARK(BM_DuplicateGroups)->Apply(AtCatalogueSizes);
BENCHMARK(BM_AuthorRewrite500)->Apply(AtCatalogueSizes);
BENCHMARK(BM_SearchKeystroke)->Apply(AtCatalogueSizes);
BENCHMARK(BM_SearchFirstKeystroke)->Apply(AtCatalogueSizes);
