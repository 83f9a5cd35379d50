// The loan history of large catalogues with varied histories: the one-pass
// floor (every `udaj3` read and decoded once), the history view opened,
// filtered by a keystroke, sorted and regrouped.
#include "bench/app/history_bench.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTreeWidget>
#include <functional>
#include <random>
#include <set>

#include "app/loans/loan_history_view.h"
#include "catalogue/loan_history.h"
#include "catalogue/row_sink.h"
#include "storage/query.h"

namespace {

const char* const kGiven[] = {"Jan",   "Eva",   "Petr", "Jana",       "Tom\xE1\x9A", "Lenka", "Ji\xF8\xED",
                              "Marie", "Pavel", "Hana", "Old\xF8ich", "\x8A\xE1rka", "Ota",   "Iva"};
const char* const kFamily[] = {"Nov\xE1k", "Dvo\xF8\xE1k", "\x8Atastn\xFD", "\xC8\x61pek", "Svoboda",
                               "Kr\xE1l",  "Pokorn\xFD",   "Marek",         "\x8E\xE1k",   "Hor\xE1k"};
const char* const kMonths[] = {"leden",
                               "\xFAnor",
                               "b\xF8"
                               "ezen",
                               "duben",
                               "kv\xECten",
                               "\xE8"
                               "erven",
                               "\xE8"
                               "ervenec",
                               "srpen",
                               "z\xE1\xF8\xED",
                               "\xF8\xEDjen",
                               "listopad",
                               "prosinec"};

std::string NumberName(std::mt19937& random) {
    // About 3,000 borrowers, some typed with a trailing blank.
    const unsigned n = random() % 3000;
    std::string name = std::string(kGiven[n % 14]) + " " + kFamily[(n / 14) % 10];
    if (n >= 140) name += " " + std::to_string(n / 140);
    if (random() % 25 == 0) name += " ";
    return name;
}

std::string LoanDateText(std::mt19937& random, int& year, int& month, int& day) {
    year = 2015 + static_cast<int>(random() % 12);
    month = 1 + static_cast<int>(random() % 12);
    day = 1 + static_cast<int>(random() % 28);
    switch (random() % 8) {
    case 0: return std::to_string(day) + ". " + std::to_string(month) + ". " + std::to_string(year);
    case 1: return std::string(kMonths[month - 1]) + " " + std::to_string(year);
    case 2:
        return std::to_string(year) + "-" + (month < 10 ? "0" : "") + std::to_string(month) + "-" +
               (day < 10 ? "0" : "") + std::to_string(day);
    case 3: return random() % 4 == 0 ? "jaro " + std::to_string(year) : "";
    default: return std::to_string(day) + "." + std::to_string(month) + "." + std::to_string(year);
    }
}

}  // namespace

VariedHistoryCatalogue::VariedHistoryCatalogue(int books) : folders(books) {
    con.SetDatabase(folders.catalogue);
    con.SetConnected(true);
    std::mt19937 random(7);
    std::set<std::string> dates;
    std::string sql = "begin;";
    for (int row = 1; row <= books; ++row) {
        // Most books were never lent; the rest 1–20 times, fewer more often.
        const unsigned draw = random() % 100;
        const int count = draw < 78 ? 0 : draw < 90 ? 1 : draw < 96 ? 2 : static_cast<int>(3 + random() % 18);
        if (count == 0) continue;
        std::string history;
        for (int i = 0; i < count; ++i) {
            int year = 0, month = 0, day = 0;
            const std::string kdy = LoanDateText(random, year, month, day);
            dates.insert(kdy);
            const int back = std::min(28, day + 1 + static_cast<int>(random() % 27));
            history += EncodeLoanLine({NumberName(random), kdy, ReturnDateText(year, month, back)});
            ++lines;
        }
        sql +=
            "update svazkovna set udaj3='" + QuoteLiteralBody(history) + "' where rowid=" + std::to_string(row) + ";";
    }
    con.ExecStatements(sql + "commit;");
    distinctDates = static_cast<long long>(dates.size());
}

namespace {

void Counters(benchmark::State& state, const VariedHistoryCatalogue& catalogue) {
    state.counters["lines"] = static_cast<double>(catalogue.lines);
    state.counters["dates"] = static_cast<double>(catalogue.distinctDates);
}

// The floor: every row's `udaj3` read and decoded once, nothing shown.
void BM_HistoryFloor(benchmark::State& state) {
    VariedHistoryCatalogue catalogue(static_cast<int>(state.range(0)));
    long long lines = 0;
    for (auto _ : state) {
        lines = 0;
        RowSink sink([&](const std::vector<ColumnValue>& row) {
            if (const auto loans = DecodeLoanHistory(row[0].text)) lines += static_cast<long long>(loans->size());
        });
        catalogue.con.SQLiteExecute("select udaj3 from svazkovna where ifnull(udaj3,'')<>''", &sink);
        benchmark::DoNotOptimize(lines);
    }
    if (lines != catalogue.lines) state.SkipWithError("wrong count");
    Counters(state, catalogue);
}

void BM_HistoryOpen(benchmark::State& state) {
    VariedHistoryCatalogue catalogue(static_cast<int>(state.range(0)));
    BenchUi ui;
    LoanHistoryView view(catalogue.con, ui, nullptr);
    view.show();
    for (auto _ : state) {
        view.Refresh();
        SettleEvents();
    }
    if (FailedRun(state, ui, static_cast<long long>(view.ShownRows().size()) == catalogue.lines, "wrong rows")) return;
    Counters(state, catalogue);
}

// One keystroke more of a borrower's name, then back.
// A shown view of the whole history, read once; `step` is what each iteration times.
void TimeViewStep(benchmark::State& state, const std::function<void(LoanHistoryView&)>& prepare,
                  const std::function<void(LoanHistoryView&, int turn)>& step) {
    VariedHistoryCatalogue catalogue(static_cast<int>(state.range(0)));
    BenchUi ui;
    LoanHistoryView view(catalogue.con, ui, nullptr);
    view.show();
    view.Refresh();
    prepare(view);
    SettleEvents();
    int turn = 0;
    for (auto _ : state) {
        step(view, turn++);
        SettleEvents();
    }
    if (FailedRun(state, ui, !view.ShownRows().empty(), "nothing shown")) return;
    Counters(state, catalogue);
}

// One keystroke more of a borrower's name, then back.
void BM_HistoryFilterKeystroke(benchmark::State& state) {
    TimeViewStep(
        state, [](LoanHistoryView& view) { view.Filter()->setText("nova"); },
        [](LoanHistoryView& view, int turn) { view.Filter()->setText(turn % 2 ? "nova" : "novak"); });
}

// Borrower, loan date, title, each way in turn.
void BM_HistorySort(benchmark::State& state) {
    TimeViewStep(
        state, [](LoanHistoryView&) {},
        [](LoanHistoryView& view, int turn) {
            static const int columns[] = {LoanHistoryView::Komu, LoanHistoryView::Od, LoanHistoryView::Titul};
            view.List()->sortByColumn(columns[turn % 3], turn % 2 ? Qt::DescendingOrder : Qt::AscendingOrder);
        });
}

void BM_HistoryRegroup(benchmark::State& state) {
    TimeViewStep(
        state, [](LoanHistoryView&) {},
        [](LoanHistoryView& view, int turn) {
            view.SetGrouping(static_cast<LoanHistoryView::Grouping>((turn + 1) % 3));
        });
}

}  // namespace

BENCHMARK(BM_HistoryFloor)->Apply(AtCatalogueSizes);
BENCHMARK(BM_HistoryOpen)->Apply(AtCatalogueSizes);
BENCHMARK(BM_HistoryFilterKeystroke)->Apply(AtCatalogueSizes);
BENCHMARK(BM_HistorySort)->Apply(AtCatalogueSizes);
BENCHMARK(BM_HistoryRegroup)->Apply(AtCatalogueSizes);
