// CSV export of the whole catalogue, and import of a 10,000-row file into a
// large catalogue, duplicate check against every stored row included.
#include <QFile>

#include <filesystem>

#include "app/transfer/catalogue_export.h"
#include "app/transfer/catalogue_import.h"
#include "app/platform/progress.h"
#include "bench/app/bench_support.h"
#include "catalogue/catalogue_transfer.h"
#include "storage/connection.h"

namespace {

void Connect(TASQLite3DB& con, const std::string& path) {
    con.SetDatabase(path);
    con.SetConnected(true);
}

std::string TempFile(const char* name) {
    return (std::filesystem::temp_directory_path() / name).string();
}

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
void BM_ImportCsv(benchmark::State& state) {
    const int books = static_cast<int>(state.range(0));
    const std::string csv = TempFile("svazkovna_bench_import.csv");
    {
        TASQLite3DB source;
        Connect(source, CatalogueOf(10000, nullptr, 2));
        SilentProgress progress;
        ExportCatalogueCsv(source, QString::fromStdString(csv), progress);
    }
    const std::string target = TempFile("svazkovna_bench_import.db");
    size_t stored = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(target);
        std::filesystem::copy_file(CatalogueOf(books), target);
        TASQLite3DB con;
        Connect(con, target);
        state.ResumeTiming();

        QFile file(QString::fromStdString(csv));
        file.open(QIODevice::ReadOnly);
        const QByteArray bytes = file.readAll();
        ImportPlan plan = ParseImport(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
        MarkStored(plan, StoredAuthorTitleKeys(con), NextCatalogueId(con));
        const auto rows = plan.RowsToStore(false);
        if (!AppendCatalogueRows(con, rows, [](size_t) { return true; }))
            state.SkipWithError("import cancelled");
        stored = rows.size();
    }
    state.counters["rows"] = static_cast<double>(stored);
    std::filesystem::remove(target);
    std::filesystem::remove(csv);
}
BENCHMARK(BM_ImportCsv)->Apply(AtCatalogueSizes);

}  // namespace
