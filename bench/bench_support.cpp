#include "bench/bench_support.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QWidget>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <unistd.h>

#include "app/edit_dialog.h"

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

const std::string& CatalogueOf(int books, CatalogueStats* stats) {
    static std::map<int, std::unique_ptr<Generated>> made;
    auto& g = made[books];
    if (!g) {
        g = std::make_unique<Generated>();
        g->dir = MakeTempDir();
        g->path = g->dir + "/svazkovna.db";
        g->stats = GenerateCatalogue(g->path, books);
    }
    if (stats) *stats = g->stats;
    return g->path;
}

BenchWindow::BenchWindow(int books) : exeDir_(MakeTempDir()), startDir_(MakeTempDir()) {
    const std::string catalogue = startDir_ + "/svazkovna.db";
    std::filesystem::copy_file(CatalogueOf(books), catalogue);
    auto fake = std::make_unique<BenchBrowser>();
    browser = fake.get();
    window_ = std::make_unique<TForm1>(ui, std::move(fake), QString::fromStdString(exeDir_),
                                       QString::fromStdString(startDir_));
    Form1 = window_.get();
    editf = new Teditf(*window_, ui, window_.get());
    window_->editf = editf;
    // Whatever start-up chose, measure on this catalogue.
    window_->con1.SetConnected(false);
    window_->con1.SetDatabase(catalogue);
    window_->con1.SetConnected(true);
    window_->tv1update();
    window_->show();
    SettleEvents();
}

BenchWindow::~BenchWindow() {
    window_.reset();
    editf = nullptr;
    Form1 = nullptr;
    std::error_code ec;
    std::filesystem::remove_all(exeDir_, ec);
    std::filesystem::remove_all(startDir_, ec);
}

void SettleEvents() { QCoreApplication::processEvents(); }

int main(int argc, char** argv) {
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
