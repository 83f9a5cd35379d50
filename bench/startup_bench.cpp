// Start-up and switching catalogues on large catalogues: what the user waits
// for between starting the program (or choosing a file) and seeing the tree.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QWidget>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "app/main_window.h"
#include "app/ui_services.h"
#include "app/web_browser.h"
#include "ui_main_window.h"

namespace {

void EnsureApp() {
    static int argc = 1;
    static char name[] = "svazkovna_bench";
    static char* argv[] = {name, nullptr};
    static std::unique_ptr<QApplication> app;
    if (QApplication::instance() == nullptr) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QApplication>(argc, argv);
    }
}

// Answers the file dialog with a fixed path; any box is remembered as a failure.
class StartupUi : public UiServices {
public:
    void ErrorBox(const QString&, const QString& text) override { failure = text; }
    void PlainBox(const QString&, const QString& text) override { failure = text; }
    void InformationBox(const QString&, const QString&) override {}
    std::optional<QString> InputQuery(const QString&, const QString&, int) override { return {}; }
    std::optional<QString> OpenFileName(const QString&) override { return next_file; }
    void ExecModal(QDialog&) override {}
    QString next_file;
    QString failure;
};

class NoBrowser : public WebBrowser {
public:
    NoBrowser() : widget_(new QWidget) {}
    ~NoBrowser() override { delete widget_.data(); }
    QWidget* Widget() override { return widget_; }
    void Navigate(const QString&) override {}

private:
    QPointer<QWidget> widget_;
};

void Check(sqlite3* db, int rc) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db));
}

// `books` rows, eight titles per author.
void WriteCatalogue(const std::string& path, int books) {
    sqlite3* db = nullptr;
    Check(db, sqlite3_open(path.c_str(), &db));
    Check(db, sqlite3_exec(db,
                           "create table svazkovna(id integer, autor text, titul text, zanr text, "
                           "vydal text, serie text, umisteni text, zapujcenokomu text, "
                           "zapujcenokdy text, hodnoceni integer, poznamka text, udaj1 text, "
                           "udaj2 text, udaj3 text); begin",
                           nullptr, nullptr, nullptr));
    sqlite3_stmt* st = nullptr;
    Check(db, sqlite3_prepare_v2(db,
                                 "insert into svazkovna values(?,?,?,'roman','Odeon','',"
                                 "'pokoj','','',3,'','','','')",
                                 -1, &st, nullptr));
    for (int i = 0; i < books; ++i) {
        const std::string author = "Autor \xE8\xEDslo " + std::to_string(i / 8);
        const std::string title = "Titul " + std::to_string(i);
        sqlite3_bind_int(st, 1, i + 1);
        sqlite3_bind_text(st, 2, author.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, title.c_str(), -1, SQLITE_TRANSIENT);
        Check(db, sqlite3_step(st));
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    Check(db, sqlite3_exec(db, "commit", nullptr, nullptr, nullptr));
    sqlite3_close(db);
}

struct Folders {
    QTemporaryDir exe;
    QTemporaryDir start;
};

// Window creation: settings read, connect, probe, tree rebuild.
void BM_StartUp(benchmark::State& state) {
    EnsureApp();
    Folders dirs;
    WriteCatalogue(QFile::encodeName(dirs.start.filePath("svazkovna.db")).toStdString(),
                   static_cast<int>(state.range(0)));
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dirs.start.path());
    StartupUi ui;
    for (auto _ : state) {
        TForm1 window(ui, std::make_unique<NoBrowser>(), dirs.exe.path(), dirs.start.path());
        benchmark::DoNotOptimize(window.form()->tv1->topLevelItemCount());
        state.PauseTiming();
        if (!ui.failure.isEmpty()) state.SkipWithError(ui.failure.toStdString().c_str());
        state.ResumeTiming();
    }
    QDir::setCurrent(previous);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_StartUp)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// "otevřít jinou...": alternately to another catalogue and back to the first.
void BM_SwitchCatalogue(benchmark::State& state) {
    EnsureApp();
    Folders dirs;
    const QString files[2] = {dirs.start.filePath("svazkovna.db"), dirs.start.filePath("jina.db")};
    for (const QString& f : files)
        WriteCatalogue(QFile::encodeName(f).toStdString(), static_cast<int>(state.range(0)));
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dirs.start.path());
    StartupUi ui;
    TForm1 window(ui, std::make_unique<NoBrowser>(), dirs.exe.path(), dirs.start.path());
    int next = 1;
    for (auto _ : state) {
        ui.next_file = files[next];
        next = 1 - next;
        window.otevritExecute();
        if (!ui.failure.isEmpty()) state.SkipWithError(ui.failure.toStdString().c_str());
    }
    QDir::setCurrent(previous);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SwitchCatalogue)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
