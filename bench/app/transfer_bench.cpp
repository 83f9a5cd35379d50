// CSV export of the whole catalogue, and import of a 10,000-row file into a
// large catalogue, duplicate check against every stored row included.
#include <QFile>

#include <filesystem>
#include <functional>

#include "app/transfer/catalogue_export.h"
#include "app/transfer/catalogue_import.h"
#include "app/transfer/import_dialog.h"
#include "app/platform/progress.h"
#include "bench/app/bench_support.h"
#include "catalogue/catalogue_transfer.h"
#include "catalogue/csv.h"
#include "storage/connection.h"
#include "ui_import_dialog.h"

namespace {

void Connect(TASQLite3DB& con, const std::string& path) {
    con.SetDatabase(path);
    con.SetConnected(true);
}

std::string TempFile(const char* name) { return (std::filesystem::temp_directory_path() / name).string(); }

void BM_ExportCsv(benchmark::State& state) {
    const int books = static_cast<int>(state.range(0));
    TASQLite3DB con;
    Connect(con, CatalogueOf(books));
    const QString csv = QString::fromStdString(TempFile("svazkovna_bench_export.csv"));
    SilentProgress progress;
    for (auto _ : state) {
        if (ExportCatalogueCsv(con, csv, progress) != books) state.SkipWithError("rows missing");
    }
    state.counters["MB"] = static_cast<double>(QFile(csv).size()) / 1e6;
    QFile::remove(csv);
}
BENCHMARK(BM_ExportCsv)->Apply(AtCatalogueSizes);

// A file of 10,000 rows (another catalogue's export), read, checked and stored
// into a copy of a catalogue of the measured size.
// Reads the file `source` gives, checks it against the catalogue and stores
// its rows into a fresh copy of a catalogue of the measured size, per iteration.
void TimeImport(benchmark::State& state, const std::function<QByteArray()>& source) {
    const std::string target = TempFile("svazkovna_bench_import.db");
    size_t stored = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(target);
        std::filesystem::copy_file(CatalogueOf(static_cast<int>(state.range(0))), target);
        TASQLite3DB con;
        Connect(con, target);
        state.ResumeTiming();

        const QByteArray bytes = source();
        ImportPlan plan = ParseImport(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
        AdoptStoredAuthors(plan, StoredAuthorForms(con));
        MarkStored(plan, StoredAuthorTitleKeys(con), StoredUdaj1Texts(con), NextCatalogueId(con));
        // The preview is built as the user sees it; its ticks decide.
        const ImportDialog preview(plan, QStringLiteral("bench.csv"));
        const auto rows = plan.RowsToStore(preview.Chosen());
        if (!AppendCatalogueRows(con, rows, [](size_t) { return true; })) state.SkipWithError("import cancelled");
        stored = rows.size();
    }
    state.counters["rows"] = static_cast<double>(stored);
    std::filesystem::remove(target);
}

void BM_ImportCsv(benchmark::State& state) {
    const std::string csv = TempFile("svazkovna_bench_import.csv");
    {
        TASQLite3DB source;
        Connect(source, CatalogueOf(10000, nullptr, 2));
        SilentProgress progress;
        ExportCatalogueCsv(source, QString::fromStdString(csv), progress);
    }
    TimeImport(state, [&] {
        QFile file(QString::fromStdString(csv));
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    });
    std::filesystem::remove(csv);
}
BENCHMARK(BM_ImportCsv)->Apply(AtCatalogueSizes);

// A Goodreads export of 10,000 books as Goodreads writes it (Owned Copies 0,
// a quarter on to-read, series in titles, reviews with line breaks, shelves,
// co-authors, ISBNs), read, checked against the catalogue (author and title,
// ISBN), previewed and stored.
std::string Isbn13(int i) {
    const std::string n = std::to_string(i);
    std::string isbn = "978" + std::string(9 - n.size(), '0') + n;
    int sum = 0;
    for (size_t k = 0; k < 12; ++k) sum += (isbn[k] - '0') * (k % 2 ? 3 : 1);
    return isbn + static_cast<char>('0' + (10 - sum % 10) % 10);
}

std::string GoodreadsExport(int books, bool allWishes = false) {
    std::string csv =
        "Book Id,Title,Author,Author l-f,Additional Authors,ISBN,ISBN13,My Rating,Average Rating,"
        "Publisher,Binding,Number of Pages,Year Published,Original Publication Year,Date Read,"
        "Date Added,Bookshelves,Bookshelves with positions,Exclusive Shelf,My Review,Spoiler,"
        "Private Notes,Read Count,Owned Copies\n";
    for (int i = 0; i < books; ++i) {
        const std::string n = std::to_string(i);
        const std::string shelf = allWishes || i % 4 == 0 ? "to-read" : "read";
        csv += n + ",\"Kniha č. " + n + " (Řada " + std::to_string(i % 7) + ", #" + std::to_string(i % 12) +
               ")\",Jan Novák" + n + ",\"Novák" + n + ", Jan\",Josef Lada,=\"\",=\"" + Isbn13(i) + "\"," +
               std::to_string(i % 6) + ",3.9,Odeon,Hardcover,300,1990,1921,,2024/01/15,\"klasika, " + shelf + "\",,\"" +
               shelf + "\",\"Dobrá kniha.<br/>\nDruhý řádek \"\"citát\"\"\",,,1,0\n";
    }
    return csv;
}

void BM_ImportGoodreads(benchmark::State& state) {
    const QByteArray csv = QByteArray::fromStdString(GoodreadsExport(10000));
    TimeImport(state, [&] { return csv; });
}
BENCHMARK(BM_ImportGoodreads)->Apply(AtCatalogueSizes);

// The floor for the above: one pass of the CSV reader over the same bytes.
void BM_ImportGoodreadsFloor(benchmark::State& state) {
    const std::string csv = GoodreadsExport(10000);
    for (auto _ : state) benchmark::DoNotOptimize(ReadCsv(csv, ',').size());
}
BENCHMARK(BM_ImportGoodreadsFloor)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// 10,000 wishes in the preview's list, all ticked and all unticked by turns.
void BM_PreviewTickAll(benchmark::State& state) {
    const std::string csv = GoodreadsExport(10000, true);
    const ImportPlan plan = ParseImport(csv);
    ImportDialog preview(plan, QStringLiteral("bench.csv"));
    bool all = true;
    for (auto _ : state) {
        (all ? preview.form()->vybratvsepb : preview.form()->zrusitvyberpb)->click();
        all = !all;
    }
    if (preview.Chosen().size() != 10000u) state.SkipWithError("rows missing");
}
BENCHMARK(BM_PreviewTickAll)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true)->UseRealTime();

}  // namespace
