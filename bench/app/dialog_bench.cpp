// The new-record dialog on large catalogues: showing it (the next id and the
// four value lists) and storing a book (the insert and the tree rebuild).
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <benchmark/benchmark.h>

#include "app/window/edit_fields.h"
#include "app/window/tree_node.h"
#include "app/core/codepage.h"
#include "app/window/spin_edit.h"
#include "bench/app/bench_support.h"
#include "ui_edit_dialog.h"
#include "ui_main_window.h"

namespace {

void BM_DialogShow(benchmark::State& state) {
    const int books = static_cast<int>(state.range(0));
    CatalogueStats stats;
    CatalogueOf(books, &stats);
    BenchWindow bench(books);
    Teditf& dialog = bench.dialog();
    Ui::Teditf& f = *dialog.form();
    for (auto _ : state) {
        dialog.show();  // the activation runs inside
        SettleEvents();
        state.PauseTiming();
        // The generated ids run from 1 to `books`; the lists hold every distinct value.
        const bool filled =
            f.idspin->Value() == books + 1 && f.autorcb->count() == stats.authors && f.vydalcb->count() > 0;
        if (FailedRun(state, bench.ui, filled, "the dialog was not filled")) break;
        dialog.hide();
        ClearComboItems(*f.vydalcb);  // refilled by the next showing, or the check fails
        SettleEvents();
        state.ResumeTiming();
    }
}

void BM_DialogStore(benchmark::State& state) {
    const int books = static_cast<int>(state.range(0));
    BenchWindow bench(books);
    TForm1& w = bench.window();
    Teditf& dialog = bench.dialog();
    Ui::Teditf& f = *dialog.form();
    const std::string stored = "select titul from svazkovna where id=" + std::to_string(books + 1);
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        dialog.show();
        SettleEvents();
        f.autorcb->setEditText(QStringLiteral("Nový autor"));
        const QString title = QString("Nová kniha %1").arg(++n);
        f.titulle->setText(title);
        state.ResumeTiming();
        f.ulozitb->click();  // insert, then the rebuild as the dialog closes
        SettleEvents();
        state.PauseTiming();
        QTreeWidget& tree = *w.form()->tv1;
        const QList<QTreeWidgetItem*> shown = tree.findItems("Nový autor", Qt::MatchExactly);
        const bool ok = !dialog.isVisible() && ReadColumn(w, stored) == std::vector<std::string>{ToCodePage(title)} &&
                        shown.size() == 1 && AsTreeNode(*shown[0]).TitleCount() == 1 &&
                        TitleNode(*shown[0], 0)->text(0) == title;
        if (FailedRun(state, bench.ui, ok, "the dialog did not store the book")) break;
        // Taken out again, so every store meets a catalogue of `books` rows and takes
        // the same id; the tree is read anew, so only the next store can show the next one.
        RunChange(w, "delete from svazkovna where id=" + std::to_string(books + 1));
        w.tv1update();
        SettleEvents();
        state.ResumeTiming();
    }
}

}  // namespace

BENCHMARK(BM_DialogShow)->Apply(AtCatalogueSizes);
BENCHMARK(BM_DialogStore)->Apply(AtCatalogueSizes);
