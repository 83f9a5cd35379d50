// The remaining actions on large catalogues (deleting the shown record, lending
// and returning from the tree's menu), and the floor they are measured against:
// one pass of the engine over the rows.
#include <QAction>
#include <QMenu>
#include <QTreeWidget>
#include <benchmark/benchmark.h>

#include "app/window/tree_node.h"
#include "app/window/spin_edit.h"
#include "bench/app/bench_support.h"
#include "storage/engine_api.h"
#include "ui_main_window.h"

namespace {

constexpr int kStepDone = 101;  // the engine's "no more rows"

// The least any action that looks at every row can cost: the engine reads id,
// author and title of all rows, with nothing made of them.
void BM_OnePassFloor(benchmark::State& state) {
    BenchWindow bench(static_cast<int>(state.range(0)));
    TASQLite3DB& db = bench.window().con1;
    const EngineApi& api = db.Api();
    int64_t seen = 0;
    for (auto _ : state) {
        sqlite3_stmt* st = nullptr;
        if (api.prepare(db.Handle(), "select id, autor, titul from svazkovna", -1, &st, nullptr) != 0) break;
        int step = 0;
        while ((step = api.step(st)) != kStepDone) {
            seen += api.column_int64(st, 0);
            benchmark::DoNotOptimize(api.column_text(st, 1));
            benchmark::DoNotOptimize(api.column_text(st, 2));
            seen += api.column_bytes(st, 1) + api.column_bytes(st, 2);
        }
        api.finalize(st);
    }
    FailedRun(state, bench.ui, seen > 0, "no rows read");
}

// A title of the author at `share` of the tree, or further on, for which `fits` holds.
struct Place {
    int author = -1;
    int title = -1;
};

template <typename Fits>
Place FindTitle(TForm1& window, double share, Fits fits) {
    QTreeWidget& tree = *window.form()->tv1;
    for (int a = static_cast<int>(tree.topLevelItemCount() * share); a < tree.topLevelItemCount(); ++a) {
        QTreeWidgetItem* author = tree.topLevelItem(a);
        if (author->text(0).isEmpty()) continue;
        for (int t = 0; t < AsTreeNode(*author).TitleCount(); ++t)
            if (!TitleNode(*author, t)->text(0).isEmpty() && fits(*TitleNode(*author, t))) return {a, t};
    }
    return {};
}

QTreeWidgetItem* NodeAt(TForm1& window, Place place) {
    QTreeWidgetItem* author = window.form()->tv1->topLevelItem(place.author);
    return author ? TitleNode(*author, place.title) : nullptr;
}

// Whether the tree's menu on `node` has the entry `caption` enabled; runs it when asked.
bool MenuEntry(TForm1& window, QTreeWidgetItem& node, const QString& caption, bool run) {
    std::unique_ptr<QMenu> menu = window.TitleMenu(node);
    if (!menu) return false;
    for (QAction* action : menu->actions()) {
        if (action->text() != caption || !action->isEnabled()) continue;
        if (run) action->trigger();
        return true;
    }
    return false;
}

// The id of the record a click on the node at `place` shows (generated ids are unique).
int ClickedId(TForm1& window, Place place) {
    window.form()->tv1->setCurrentItem(NodeAt(window, place));
    window.tv1Click();
    return window.form()->idspin->Value();
}

// "smazat" on a clicked record: the delete and the tree brought up to date.
// The row then goes back under its old key, and the tree is rebuilt untimed.
void BM_PanelDelete(benchmark::State& state) {
    BenchWindow bench(static_cast<int>(state.range(0)));
    TForm1& w = bench.window();
    const Place place = FindTitle(w, 0.5, [](QTreeWidgetItem&) { return true; });
    if (FailedRun(state, bench.ui, place.author >= 0, "no title to delete")) return;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string id = std::to_string(ClickedId(w, place));
        const std::vector<std::string> copy =
            ReadColumn(w,
                       "select rowid||','||quote(id)||','||quote(autor)||','||quote(titul)||','||quote(zanr)||','||"
                       "quote(vydal)||','||quote(serie)||','||quote(umisteni)||','||quote(zapujcenokomu)||','||"
                       "quote(zapujcenokdy)||','||quote(hodnoceni)||','||quote(poznamka)||','||quote(udaj1)||','||"
                       "quote(udaj2)||','||quote(udaj3) from svazkovna where id=" +
                           id);
        state.ResumeTiming();
        w.smazatbClick();
        SettleEvents();
        state.PauseTiming();
        const bool gone = copy.size() == 1 && ReadColumn(w, "select id from svazkovna where id=" + id).empty();
        if (FailedRun(state, bench.ui, gone, "the delete did not remove the row")) break;
        RunChange(w,
                  "insert into svazkovna(rowid,id,autor,titul,zanr,vydal,serie,umisteni,zapujcenokomu,"
                  "zapujcenokdy,hodnoceni,poznamka,udaj1,udaj2,udaj3) values(" +
                      copy.front() + ")");
        w.tv1update();
        SettleEvents();
        state.ResumeTiming();
    }
}

// "půjčit…" from the tree's menu on a title not lent: the menu, the change and
// the tree brought up to date. The loan is taken back untimed.
void BM_TitleLend(benchmark::State& state) {
    BenchWindow bench(static_cast<int>(state.range(0)));
    TForm1& w = bench.window();
    bench.ui.itemAnswer = QStringLiteral("Měřič");
    const QString lend = QStringLiteral("půjčit…");
    const Place place = FindTitle(w, 0.5, [&](QTreeWidgetItem& n) { return MenuEntry(w, n, lend, false); });
    if (FailedRun(state, bench.ui, place.author >= 0, "no title to lend")) return;
    const std::string id = std::to_string(ClickedId(w, place));
    const std::string check = "select zapujcenokomu from svazkovna where id=" + id;
    for (auto _ : state) {
        QTreeWidgetItem* node = NodeAt(w, place);
        const bool lent = node && MenuEntry(w, *node, lend, true);
        SettleEvents();
        state.PauseTiming();
        const bool ok = lent && ReadColumn(w, check) == std::vector<std::string>{"M\xec\xf8i\xe8"};
        if (FailedRun(state, bench.ui, ok, "the book was not lent")) break;
        RunChange(w, "update svazkovna set zapujcenokomu='',zapujcenokdy='' where id=" + id);
        w.tv1update();  // the tree read anew after a change behind the window's back
        SettleEvents();
        state.ResumeTiming();
    }
}

// "vráceno" from the tree's menu on a lent title; the loan is written back untimed.
void BM_TitleReturn(benchmark::State& state) {
    BenchWindow bench(static_cast<int>(state.range(0)));
    TForm1& w = bench.window();
    const QString back = QStringLiteral("vráceno");
    const Place place = FindTitle(w, 0.5, [&](QTreeWidgetItem& n) { return MenuEntry(w, n, back, false); });
    if (FailedRun(state, bench.ui, place.author >= 0, "no title to return")) return;
    const std::string id = std::to_string(ClickedId(w, place));
    const std::string restore = "update svazkovna set zapujcenokomu='Bench',zapujcenokdy='1.3.2009' where id=" + id;
    for (auto _ : state) {
        QTreeWidgetItem* node = NodeAt(w, place);
        const bool returned = node && MenuEntry(w, *node, back, true);
        SettleEvents();
        state.PauseTiming();
        const bool ok = returned && ReadColumn(w, "select zapujcenokomu from svazkovna where id=" + id) ==
                                        std::vector<std::string>{""};
        if (FailedRun(state, bench.ui, ok, "the book was not returned")) break;
        RunChange(w, restore);
        w.tv1update();
        SettleEvents();
        state.ResumeTiming();
    }
}

}  // namespace

BENCHMARK(BM_OnePassFloor)->Apply(AtCatalogueSizes);
BENCHMARK(BM_PanelDelete)->Apply(AtCatalogueSizes);
BENCHMARK(BM_TitleLend)->Apply(AtCatalogueSizes);
BENCHMARK(BM_TitleReturn)->Apply(AtCatalogueSizes);
