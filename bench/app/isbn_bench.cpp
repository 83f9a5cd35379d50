// Adding books by ISBN on large catalogues: the window's own time for queueing
// a scanned ISBN and showing the record found for it (the network aside), and
// storing a batch of 50 books in one transaction.
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <benchmark/benchmark.h>

#include "app/isbn/isbn_capability.h"
#include "app/isbn/isbn_window.h"
#include "app/core/profile_file.h"
#include "bench/app/bench_support.h"
#include "catalogue/isbn_store.h"
#include "ui_isbn_window.h"

namespace {

FoundRecord Found(int n) {
    FoundRecord r;
    r.autor = QStringLiteral("Čapek Karel");
    r.titul = QStringLiteral("Krakatit %1").arg(n);
    r.vydal = QStringLiteral("Československý spisovatel");
    r.rok = QStringLiteral("1982");
    r.source = QStringLiteral("aleph.nkp.cz");
    return r;
}

void BM_IsbnQueueAndShow(benchmark::State& state) {
    const int books = static_cast<int>(state.range(0));
    BenchWindow bench(books);
    // No source: the answer is handed to the window by the benchmark, as the look-up would.
    ProfileFile(bench.window().SettingsPath()).WriteString("nastaveni", "zdrojeisbn", "");
    IsbnCapability& isbn = bench.window().capability<IsbnCapability>();
    isbn.Open();
    IsbnWindow& w = *isbn.isbnWindow();
    int ticket = 0;
    auto scanAndShow = [&] {
        // Keys as a scanner types them: the digits, then Enter.
        for (const QChar c : QStringLiteral("9788071061311")) {
            QKeyEvent key(QEvent::KeyPress, Qt::Key_0 + c.digitValue(), Qt::NoModifier, QString(c));
            QCoreApplication::sendEvent(w.form()->isbnle, &key);
        }
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        QCoreApplication::sendEvent(w.form()->isbnle, &enter);
        ++ticket;
        w.Lookup().Cancel(ticket);  // the switched-off look-up's own answer is not wanted
        emit w.Lookup().Finished(ticket, LookupResult{LookupResult::State::Found, {Found(ticket)}, {}});
        SettleEvents();
    };
    scanAndShow();  // the first found record reads the catalogue's ISBNs and titles once
    for (auto _ : state) {
        scanAndShow();
        state.PauseTiming();
        const bool ok = w.RowCount() == ticket && w.StateText(ticket - 1) == QStringLiteral("nalezeno");
        const bool failed = FailedRun(state, bench.ui, ok, "the found record was not shown");
        state.ResumeTiming();
        if (failed) break;
    }
    w.close();
}

void BM_IsbnStore50(benchmark::State& state) {
    const int books = static_cast<int>(state.range(0));
    BenchWindow bench(books);
    TForm1& window = bench.window();
    std::vector<NewBook> batch(50);
    for (size_t i = 0; i < batch.size(); ++i) {
        batch[i].autor =
            "\xC8"
            "apek Karel";
        batch[i].titul = "Krakatit " + std::to_string(i);
        batch[i].umisteni = "Reg\xE1l 3";
        batch[i].udaj1 = "9788071061311";
    }
    for (auto _ : state) {
        const std::vector<int32_t> ids = StoreNewBooks(window.con1, batch);
        state.PauseTiming();
        const bool ok = ids.size() == 50 && ids.front() == books + 1 &&
                        ReadColumn(window, "select count(*) from svazkovna")[0] == std::to_string(books + 50);
        RunChange(window, "delete from svazkovna where id>" + std::to_string(books));
        const bool failed = FailedRun(state, bench.ui, ok, "the batch was not stored");
        state.ResumeTiming();
        if (failed) break;
    }
}

}  // namespace

BENCHMARK(BM_IsbnQueueAndShow)->Apply(AtCatalogueSizes);
BENCHMARK(BM_IsbnStore50)->Apply(AtCatalogueSizes);
