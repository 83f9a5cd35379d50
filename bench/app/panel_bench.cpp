// The record panel on large catalogues: a click on a title (its select and the
// five value-list refills) and a save (the update and the tree rebuild).
#include <QLineEdit>
#include <QTreeWidget>
#include <benchmark/benchmark.h>

#include "app/window/edit_fields.h"
#include "app/window/tree_node.h"
#include "app/core/codepage.h"
#include "app/window/spin_edit.h"
#include "bench/app/bench_support.h"
#include "ui_main_window.h"

namespace {

// A title with a text, of the first such author from `share` of the tree on.
QTreeWidgetItem* TitleAt(TForm1& window, double share) {
    QTreeWidget& tree = *window.form()->tv1;
    for (int a = static_cast<int>(tree.topLevelItemCount() * share); a < tree.topLevelItemCount(); ++a) {
        QTreeWidgetItem* author = tree.topLevelItem(a);
        if (author->text(0).isEmpty() || AsTreeNode(*author).TitleCount() == 0) continue;
        QTreeWidgetItem* title = TitleNode(*author, AsTreeNode(*author).TitleCount() / 2);
        if (!title->text(0).isEmpty()) return title;
    }
    return nullptr;
}

void BM_PanelClickTitle(benchmark::State& state) {
    const int books = static_cast<int>(state.range(0));
    CatalogueStats stats;
    CatalogueOf(books, &stats);
    BenchWindow bench(books);
    TForm1& w = bench.window();
    Ui::TForm1& f = *w.form();
    // Two titles of different authors, clicked in turn as a user browsing would,
    // so that every click replaces a filled panel and full lists.
    QTreeWidgetItem* titles[2] = {TitleAt(w, 0.25), TitleAt(w, 0.75)};
    if (FailedRun(state, bench.ui, titles[0] && titles[1] && titles[0]->text(0) != titles[1]->text(0),
                  "no two titles to click"))
        return;
    int turn = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QTreeWidgetItem* title = titles[turn];
        turn = 1 - turn;
        w.form()->tv1->setCurrentItem(title);
        // Emptied here, refilled by the click: the proof that it ran to its last list.
        ClearComboItems(*f.vydalcb);
        state.ResumeTiming();
        w.tv1Click();
        SettleEvents();
        state.PauseTiming();
        // The record shown, and the author list holding every distinct author
        // (NULL as an empty item).
        const bool filled = f.titulle->text() == title->text(0) && f.idspin->Value() > 0 &&
                            f.autorcb->count() == stats.authors && f.vydalcb->count() > 0;
        if (FailedRun(state, bench.ui, filled, "the click did not fill the panel")) break;
        state.ResumeTiming();
    }
    state.counters["authors"] = stats.authors;
}

void BM_PanelSave(benchmark::State& state) {
    const int books = static_cast<int>(state.range(0));
    BenchWindow bench(books);
    TForm1& w = bench.window();
    Ui::TForm1& f = *w.form();
    QTreeWidgetItem* title = TitleAt(w, 0.5);
    if (FailedRun(state, bench.ui, title != nullptr, "no title to click")) return;
    w.form()->tv1->setCurrentItem(title);
    w.tv1Click();
    const std::string check = "select poznamka from svazkovna where id=" + std::to_string(f.idspin->Value());
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // A new note each time, so that every save really writes.
        const QString note = QString("upraveno %1").arg(++n);
        f.poznamkale->setText(note);
        state.ResumeTiming();
        w.ulozitbClick();
        SettleEvents();
        state.PauseTiming();
        const bool saved = ReadColumn(w, check) == std::vector<std::string>{ToCodePage(note)} &&
                           w.form()->tv1->topLevelItemCount() > 0;
        if (FailedRun(state, bench.ui, saved, "the save did not change the row")) break;
        state.ResumeTiming();
    }
}

}  // namespace

BENCHMARK(BM_PanelClickTitle)->Apply(AtCatalogueSizes);
BENCHMARK(BM_PanelSave)->Apply(AtCatalogueSizes);
