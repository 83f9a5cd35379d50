// The new-record dialog on large catalogues: showing it (the next id and the
// four value lists) and storing a book (the insert and the tree rebuild).
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "app/edit_dialog.h"
#include "app/main_window.h"
#include "app/spin_edit.h"
#include "app/ui_services.h"
#include "app/web_browser.h"
#include "ui_edit_dialog.h"
#include "ui_main_window.h"

namespace {

QApplication& DialogApp() {
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

// Boxes are remembered and turn the run into an error; nothing waits for a user.
class QuietUi : public UiServices {
public:
    void ErrorBox(const QString&, const QString& text) override { last_error = text; }
    void PlainBox(const QString&, const QString& text) override { last_error = text; }
    void InformationBox(const QString&, const QString& text) override { last_error = text; }
    std::optional<QString> InputQuery(const QString&, const QString&, int) override { return {}; }
    std::optional<QString> OpenFileName(const QString&) override { return {}; }
    void ExecModal(QDialog&) override {}
    QString last_error;
};

class NoBrowser : public WebBrowser {
public:
    NoBrowser() : widget_(new QWidget) {}
    ~NoBrowser() override { delete widget_.data(); }  // unless the window already did
    QWidget* Widget() override { return widget_; }
    void Navigate(const QString&) override {}

private:
    QPointer<QWidget> widget_;
};

void Ok(sqlite3* db, int rc) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db));
}

// About eight books per author; a few dozen genres, publishers and places;
// Windows-1250 letters in the texts.
void WriteBooks(const std::string& path, int books) {
    sqlite3* db = nullptr;
    Ok(db, sqlite3_open(path.c_str(), &db));
    Ok(db, sqlite3_exec(db,
                        "create table svazkovna(id integer, autor text, titul text, zanr text, "
                        "vydal text, serie text, umisteni text, zapujcenokomu text, "
                        "zapujcenokdy text, hodnoceni integer, poznamka text, udaj1 text, "
                        "udaj2 text, udaj3 text); begin",
                        nullptr, nullptr, nullptr));
    sqlite3_stmt* st = nullptr;
    Ok(db, sqlite3_prepare_v2(db, "insert into svazkovna values(?,?,?,?,?,?,?,'','',?,?,'','','')",
                              -1, &st, nullptr));
    const int authors = books / 8 + 1;
    for (int i = 1; i <= books; ++i) {
        const std::string texts[] = {
            "\x8Ei\x9Ekovsk\xFD " + std::to_string(i % authors),
            "Kniha \xE8\xEDslo " + std::to_string(i),
            "\x9E\xE1nr " + std::to_string(i % 40),
            "Nakladatel " + std::to_string(i % 120),
            i % 5 == 0 ? "S\xE9rie " + std::to_string(i % 300) : std::string(),
            "Police " + std::to_string(i % 60),
        };
        sqlite3_bind_int(st, 1, i);
        for (int c = 0; c < 6; ++c)
            sqlite3_bind_text(st, c + 2, texts[c].data(), static_cast<int>(texts[c].size()),
                              SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 8, i % 5 + 1);
        sqlite3_bind_text(st, 9, "pozn\xE1mka", -1, SQLITE_STATIC);
        Ok(db, sqlite3_step(st));
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    Ok(db, sqlite3_exec(db, "commit", nullptr, nullptr, nullptr));
    sqlite3_close(db);
}

const std::string& BooksFile(int books) {
    static QTemporaryDir dir;
    static std::map<int, std::string> made;
    auto found = made.find(books);
    if (found == made.end()) {
        const std::string path = dir.filePath(QString("dialog%1.db").arg(books)).toStdString();
        WriteBooks(path, books);
        found = made.emplace(books, path).first;
    }
    return found->second;
}

// The main window on a fresh copy of the catalogue, with its dialog.
struct DialogWindow {
    explicit DialogWindow(int books) {
        DialogApp();
        QFile::copy(QString::fromStdString(BooksFile(books)), dir.filePath("svazkovna.db"));
        form = std::make_unique<TForm1>(ui, std::make_unique<NoBrowser>(), dir.path(), dir.path());
        dialog = new Teditf(*form, ui, form.get());
        form->editf = dialog;
    }
    QTemporaryDir dir;
    QuietUi ui;
    std::unique_ptr<TForm1> form;
    Teditf* dialog = nullptr;  // owned by the window
};

void BM_DialogShow(benchmark::State& state) {
    DialogWindow w(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        w.dialog->show();  // the activation runs inside
        w.dialog->hide();
    }
    if (w.dialog->form()->autorcb->count() < state.range(0) / 8)
        state.SkipWithError("author list not filled");
    if (!w.ui.last_error.isEmpty()) state.SkipWithError(w.ui.last_error.toStdString().c_str());
}

void BM_DialogStore(benchmark::State& state) {
    DialogWindow w(static_cast<int>(state.range(0)));
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        w.dialog->show();
        auto f = w.dialog->form();
        f->autorcb->setEditText(QStringLiteral("Nový autor"));
        f->titulle->setText(QString("Nová kniha %1").arg(++n));
        state.ResumeTiming();
        f->ulozitb->click();  // insert, then the rebuild as the dialog closes
    }
    if (w.dialog->isVisible()) state.SkipWithError("the dialog did not close");
    if (!w.ui.last_error.isEmpty()) state.SkipWithError(w.ui.last_error.toStdString().c_str());
}

}  // namespace

BENCHMARK(BM_DialogShow)->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond)
    ->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_DialogStore)->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond)
    ->Repetitions(5)->ReportAggregatesOnly(true);
