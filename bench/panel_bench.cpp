// The record panel on large catalogues: a click on a title (its select and the
// five value-list refills) and a save (the update and the tree rebuild).
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QWidget>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "app/main_window.h"
#include "app/ui_services.h"
#include "app/web_browser.h"
#include "ui_main_window.h"

namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "svazkovna_bench";
    static char* argv[] = {name, nullptr};
    static std::unique_ptr<QApplication> app;
    if (QApplication::instance() == nullptr) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QApplication>(argc, argv);
    }
    return *static_cast<QApplication*>(QApplication::instance());
}

// Boxes become failures of the benchmark; nothing waits for a user.
class SilentUi : public UiServices {
public:
    void ErrorBox(const QString&, const QString& text) override { last_error = text; }
    void PlainBox(const QString&, const QString& text) override { last_error = text; }
    void InformationBox(const QString&, const QString& text) override { last_error = text; }
    std::optional<QString> InputQuery(const QString&, const QString&, int) override { return {}; }
    std::optional<QString> OpenFileName(const QString&) override { return {}; }
    void ExecModal(QDialog&) override {}
    QString last_error;
};

class NullBrowser : public WebBrowser {
public:
    NullBrowser() : widget_(new QWidget) {}
    ~NullBrowser() override { delete widget_.data(); }  // unless the window already did
    QWidget* Widget() override { return widget_; }
    void Navigate(const QString&) override {}

private:
    QPointer<QWidget> widget_;
};

void Check(sqlite3* db, int rc) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db));
}

// A catalogue of `books` rows: about eight books per author, a few dozen
// genres, publishers and places, some loans; Czech letters in the texts.
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
                                 "insert into svazkovna values(?,?,?,?,?,?,?,?,?,?,?,'','','')",
                                 -1, &st, nullptr));
    const int authors = books / 8 + 1;
    for (int i = 1; i <= books; ++i) {
        const std::string texts[] = {
            "\x8Ei\x9Ekovsk\xFD " + std::to_string(i % authors),  // "Žižkovský n"
            "Kniha \xE8\xEDslo " + std::to_string(i),
            "\x9E\xE1nr " + std::to_string(i % 40),
            "Nakladatel " + std::to_string(i % 120),
            i % 5 == 0 ? "S\xE9rie " + std::to_string(i % 300) : std::string(),
            "Police " + std::to_string(i % 60),
            i % 7 == 0 ? "P\xF8\xEDtel " + std::to_string(i % 250) : std::string(),
            i % 7 == 0 ? "b\xF8" "ezen 2024" : std::string(),
        };
        sqlite3_bind_int(st, 1, i);
        for (int c = 0; c < 8; ++c)
            sqlite3_bind_text(st, c + 2, texts[c].data(), static_cast<int>(texts[c].size()),
                              SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 10, i % 6);
        const std::string note = "pozn\xE1mka ke knize " + std::to_string(i);
        sqlite3_bind_text(st, 11, note.data(), static_cast<int>(note.size()), SQLITE_TRANSIENT);
        Check(db, sqlite3_step(st));
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    Check(db, sqlite3_exec(db, "commit", nullptr, nullptr, nullptr));
    sqlite3_close(db);
}

// One catalogue per size for the whole run, copied fresh for each window.
const std::string& Catalogue(int books) {
    static QTemporaryDir dir;
    static std::map<int, std::string> made;
    auto found = made.find(books);
    if (found == made.end()) {
        const std::string path = dir.filePath(QString("panel%1.db").arg(books)).toStdString();
        WriteCatalogue(path, books);
        found = made.emplace(books, path).first;
    }
    return found->second;
}

// A main window on a copy of the catalogue, showing one title in the middle.
struct Window {
    explicit Window(int books) {
        App();
        QFile::copy(QString::fromStdString(Catalogue(books)), dir.filePath("svazkovna.db"));
        auto browser = std::make_unique<NullBrowser>();
        form = std::make_unique<TForm1>(ui, std::move(browser), dir.path(), dir.path());
        QTreeWidget& tree = *form->form()->tv1;
        QTreeWidgetItem* author = tree.topLevelItem(tree.topLevelItemCount() / 2);
        if (author == nullptr || author->childCount() == 0) throw std::runtime_error("empty tree");
        title = author->child(author->childCount() / 2);
        tree.setCurrentItem(title);
    }
    QTemporaryDir dir;
    SilentUi ui;
    std::unique_ptr<TForm1> form;
    QTreeWidgetItem* title = nullptr;
};

void BM_PanelClickTitle(benchmark::State& state) {
    Window w(static_cast<int>(state.range(0)));
    for (auto _ : state) w.form->tv1Click();
    if (w.form->form()->titulle->text().isEmpty()) state.SkipWithError("no record shown");
    if (!w.ui.last_error.isEmpty()) state.SkipWithError(w.ui.last_error.toStdString().c_str());
}

void BM_PanelSave(benchmark::State& state) {
    Window w(static_cast<int>(state.range(0)));
    w.form->tv1Click();
    int n = 0;
    for (auto _ : state) {
        // A changed note each time, so every save really writes.
        w.form->form()->poznamkale->setText(QString("upraveno %1").arg(++n));
        w.form->ulozitbClick();
    }
    if (!w.ui.last_error.isEmpty()) state.SkipWithError(w.ui.last_error.toStdString().c_str());
}

}  // namespace

BENCHMARK(BM_PanelClickTitle)->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond)
    ->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_PanelSave)->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond)
    ->Repetitions(5)->ReportAggregatesOnly(true);
