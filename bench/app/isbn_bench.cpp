// Adding books by ISBN on large catalogues: the window's own time for queueing
// a scanned ISBN and showing the record found for it (the network aside), and
// storing a batch of 50 books in one transaction.
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QThread>
#include <benchmark/benchmark.h>

#include "app/isbn/isbn_capability.h"
#include "app/isbn/isbn_window.h"
#include "app/core/profile_file.h"
#include "bench/app/bench_support.h"
#include "catalogue/isbn.h"
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

// A valid ISBN-13 of its own for every `n`: a repeat would be marked, not shown as found.
QString IsbnOf(int n) {
    std::string twelve = "978" + std::to_string(100000000 + n).substr(0, 9);
    for (char d = '0'; d <= '9'; ++d)
        if (isbn::Check(twelve + d) == isbn::Fault::None) return QString::fromStdString(twelve + d);
    return {};
}

// Types `isbn` into the scan field as a scanner does (digits, then Enter) and
// hands the window the look-up's answer, as the network would.
void ScanAndShow(IsbnWindow& w, const QString& isbn, int ticket) {
    for (const QChar c : isbn) {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_0 + c.digitValue(), Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(w.form()->isbnle, &key);
    }
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QCoreApplication::sendEvent(w.form()->isbnle, &enter);
    w.Lookup().Cancel(ticket);  // the switched-off look-up's own answer is not wanted
    emit w.Lookup().Finished(ticket, LookupResult{LookupResult::State::Found, {Found(ticket)}, {}, {}});
    SettleEvents();
}

void WaitForKeys(IsbnWindow& w) {
    while (w.Checking()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    SettleEvents();
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
    ScanAndShow(w, IsbnOf(ticket), ticket + 1);
    ++ticket;
    WaitForKeys(w);  // the catalogue's ISBNs and titles are read once, off the window's thread
    for (auto _ : state) {
        ScanAndShow(w, IsbnOf(ticket), ticket + 1);
        ++ticket;
        state.PauseTiming();
        const bool ok = w.RowCount() == ticket && w.StateText(ticket - 1) == QStringLiteral("nalezeno");
        const bool failed = FailedRun(state, bench.ui, ok, "the found record was not shown");
        state.ResumeTiming();
        if (failed) break;
    }
    w.close();
}

// "uložit vybrané" on 50 found rows: the check against the catalogue, the
// insert in one transaction and the tree's update, as the user waits for them.
void BM_IsbnStore50(benchmark::State& state) {
    const int books = static_cast<int>(state.range(0));
    BenchWindow bench(books);
    TForm1& window = bench.window();
    ProfileFile(window.SettingsPath()).WriteString("nastaveni", "zdrojeisbn", "");
    IsbnCapability& isbn = window.capability<IsbnCapability>();
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        isbn.Open();
        IsbnWindow& w = *isbn.isbnWindow();
        for (int i = 0; i < 50; ++i) ScanAndShow(w, IsbnOf(1000 * round + i), i + 1);
        WaitForKeys(w);
        ++round;
        state.ResumeTiming();
        w.ulozitbClick();
        SettleEvents();
        state.PauseTiming();
        const bool ok = w.StateText(49) == QStringLiteral("uloženo") &&
                        ReadColumn(window, "select count(*) from svazkovna")[0] == std::to_string(books + 50);
        w.close();
        SettleEvents();
        RunChange(window, "delete from svazkovna where id>" + std::to_string(books));
        // The tree as the user has it before storing: read from the catalogue as it is.
        window.RefreshTree();
        const bool failed = FailedRun(state, bench.ui, ok, "the batch was not stored");
        state.ResumeTiming();
        if (failed) break;
    }
}

}  // namespace

BENCHMARK(BM_IsbnQueueAndShow)->Apply(AtCatalogueSizes);
BENCHMARK(BM_IsbnStore50)->Apply(AtCatalogueSizes);
