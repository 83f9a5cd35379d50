#include "bench/app/bench_support.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QWidget>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>

#include "app/window/edit_dialog.h"
#include "app/platform/qt_hooks.h"

namespace {

std::string MakeTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "svazkovna-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    return pattern;
}

struct Generated {
    std::string dir;
    std::string path;
    CatalogueStats stats;
    ~Generated() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

}  // namespace

std::optional<QString> BenchUi::InputQuery(const QString&, const QString&, int) {
    if (inputs.empty()) return searchText;
    const bool given = inputs.front().has_value();
    const QString text = inputs.front().value_or(QString());
    inputs.pop_front();
    if (!given) return std::nullopt;
    return text;
}

void BenchUi::ExecModal(QDialog& dialog) {
    dialog.show();
    QCoreApplication::processEvents();
    if (dialogScript) dialogScript(dialog);
    if (dialog.isVisible()) dialog.close();
    QCoreApplication::processEvents();
}

BenchBrowser::BenchBrowser() : widget_(new QWidget) {}
BenchBrowser::~BenchBrowser() = default;

const std::string& CatalogueOf(int books, CatalogueStats* stats, uint32_t seed) {
    static std::map<std::pair<int, uint32_t>, std::unique_ptr<Generated>> made;
    auto& g = made[{books, seed}];
    if (!g) {
        g = std::make_unique<Generated>();
        g->dir = MakeTempDir();
        g->path = g->dir + "/svazkovna.db";
        g->stats = GenerateCatalogue(g->path, books, seed);
    }
    if (stats) *stats = g->stats;
    return g->path;
}

BenchFolders::BenchFolders(int books)
    : exeDir(MakeTempDir()), startDir(MakeTempDir()), catalogue(startDir + "/svazkovna.db") {
    std::filesystem::copy_file(CatalogueOf(books), catalogue);
}

BenchFolders::~BenchFolders() {
    std::error_code ec;
    std::filesystem::remove_all(exeDir, ec);
    std::filesystem::remove_all(startDir, ec);
}

std::string BenchFolders::AddCatalogue(const std::string& name, int books, uint32_t seed) {
    const std::string path = startDir + "/" + name;
    std::filesystem::copy_file(CatalogueOf(books, nullptr, seed), path);
    return path;
}

BenchWindow::BenchWindow(int books) : ownFolders_(std::make_unique<BenchFolders>(books)), folders_(ownFolders_.get()) {
    Start();
}

BenchWindow::BenchWindow(const BenchFolders& folders) : folders_(&folders) { Start(); }

// As the program entry does it: window, hidden dialog, show.
void BenchWindow::Start() {
    auto fake = std::make_unique<BenchBrowser>();
    browser = fake.get();
    window_ = std::make_unique<TForm1>(ui, std::move(fake), QString::fromStdString(folders_->exeDir),
                                       QString::fromStdString(folders_->startDir));
    Form1 = window_.get();
    editf_ = new Teditf(*window_, ui, window_.get());
    editf_->hide();
    editf = editf_;
    window_->editf = editf_;
    window_->show();
    SettleEvents();
    // With no settings file the start must have chosen the default catalogue.
    if (!ui.errors.empty()) throw std::runtime_error("start-up showed: " + ui.errors.front().toStdString());
}

BenchWindow::~BenchWindow() {
    window_.reset();
    editf = nullptr;
    Form1 = nullptr;
}

void SettleEvents() { QCoreApplication::processEvents(); }

std::vector<std::string> ReadColumn(TForm1& window, const std::string& sql) {
    TASQLite3Query check("benchcheck");
    check.SetConnection(&window.con1);
    check.SQL().Add(sql);
    check.Open();
    std::vector<std::string> values;
    check.First();
    for (int i = 0, n = check.RecordCount(); i < n; ++i) {
        values.push_back(check.Fields(0).AsString());
        check.Next();
    }
    return values;
}

void RunChange(TForm1& window, const std::string& sql) {
    TASQLite3Query change("benchchange");
    change.SetConnection(&window.con1);
    change.SQL().Add(sql);
    change.ExecSQL();
}

void AtCatalogueSizes(benchmark::internal::Benchmark* b) {
    b->Arg(20000)
        ->Arg(100000)
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(5)
        ->ReportAggregatesOnly(true)
        ->UseRealTime();
}

void FromEmptyCatalogue(benchmark::internal::Benchmark* b) {
    b->Arg(0);
    AtCatalogueSizes(b);
}

bool FailedRun(benchmark::State& state, const BenchUi& ui, bool ok, const char* what) {
    if (!ui.errors.empty()) {
        state.SkipWithError(("a box was shown: " + ui.errors.front().toStdString()).c_str());
        return true;
    }
    if (!ok) {
        state.SkipWithError(what);
        return true;
    }
    return false;
}

int main(int argc, char** argv) {
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Every window loads the engine and says so; that would bury the figures.
    if (qgetenv("QT_LOGGING_RULES").isEmpty()) qputenv("QT_LOGGING_RULES", "svazkovna.storage.debug=false");
    PrepareApplicationProcess();
    QApplication app(argc, argv);
    // The program's own font and cursor hooks, so that the window costs what it costs there.
    SetUpApplication();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
