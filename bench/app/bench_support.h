#pragma once
// Measuring the real main window offscreen: a catalogue of a given size made
// once per run, and a window opened on it with answering dialogs and a browser
// that only records.
#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "app/window/edit_dialog.h"
#include "app/window/main_window.h"
#include "app/platform/ui_services.h"
#include "app/platform/web_browser.h"
#include "bench/app/catalogue_gen.h"

// Dialogs that answer at once: queued answers first, then the standing ones.
class BenchUi : public UiServices {
public:
    void ErrorBox(const QString&, const QString& text) override { errors.push_back(text); }
    // Plain and information boxes are how a refused save or a failed connect shows.
    void PlainBox(const QString&, const QString& text) override { errors.push_back(text); }
    void InformationBox(const QString&, const QString& text) override { errors.push_back(text); }
    std::optional<QString> InputQuery(const QString&, const QString&, int) override;
    std::optional<QString> OpenFileName(const QString&) override { return fileAnswer; }
    // Shows the dialog, runs `dialogScript` when set, then closes it.
    void ExecModal(QDialog& dialog) override;
    // Benchmarks confirm every question and pick no file unless told.
    bool Question(const QString&, const QString&) override { return true; }
    std::optional<QString> ItemQuery(const QString&, const QString&, const QStringList&,
                                     const QString& initial) override {
        return itemAnswer ? itemAnswer : std::optional<QString>(initial);
    }
    std::optional<QString> ChooseOpenFile(const QString&, const QString&, const QString&) override {
        return fileAnswer;
    }
    std::optional<QString> ChooseSaveFile(const QString&, const QString&, const QString&) override {
        return fileAnswer;
    }
    bool OpenUrl(const QUrl&) override { return true; }
    // A choice is a question no benchmark expects: it is shown as an error.
    std::optional<int> Choice(const QString&, const QString& text, const QStringList&) override {
        errors.push_back(text);
        return std::nullopt;
    }

    std::optional<QString> searchText = QString("nov");
    std::deque<std::optional<QString>> inputs;
    std::function<void(QDialog&)> dialogScript;
    std::optional<QString> fileAnswer;
    std::optional<QString> itemAnswer;  // a choice from a list, else its initial entry
    std::vector<QString> errors;        // every box shown, in order
};

class BenchBrowser : public WebBrowser {
public:
    BenchBrowser();
    ~BenchBrowser() override;
    QWidget* Widget() override { return widget_; }
    void Navigate(const QString& url) override { urls.push_back(url); }
    std::vector<QString> urls;

private:
    QWidget* widget_;  // owned by the window once docked
};

// The path of a generated catalogue with `books` rows (made on first use, kept
// for the run); another seed gives another catalogue of the same size.
const std::string& CatalogueOf(int books, CatalogueStats* stats = nullptr, uint32_t seed = 1);

// An empty program directory (no settings file) and a start directory holding
// a copy of a generated catalogue as "svazkovna.db"; removed with the object.
class BenchFolders {
public:
    explicit BenchFolders(int books);
    ~BenchFolders();
    BenchFolders(const BenchFolders&) = delete;
    BenchFolders& operator=(const BenchFolders&) = delete;
    // Copies the generated catalogue of `books` rows and `seed` into the start directory as `name`.
    std::string AddCatalogue(const std::string& name, int books, uint32_t seed);
    const std::string exeDir, startDir, catalogue;
};

// A shown main window (with its new-record dialog), started as the program
// starts: on the start directory's "svazkovna.db".
class BenchWindow {
public:
    explicit BenchWindow(int books);
    // On folders owned by the caller, which must outlive the window.
    explicit BenchWindow(const BenchFolders& folders);
    ~BenchWindow();
    TForm1& window() { return *window_; }
    Teditf& dialog() { return *editf_; }
    BenchUi ui;
    BenchBrowser* browser = nullptr;

private:
    void Start();
    std::unique_ptr<BenchFolders> ownFolders_;
    const BenchFolders* folders_;
    std::unique_ptr<TForm1> window_;
    Teditf* editf_ = nullptr;  // owned by the window
};

// Lets the window lay out and paint what the last step changed.
void SettleEvents();

// Column 0 of every row of `sql`, read through the window's connection but not
// its queries, so that checking leaves the window's state alone.
std::vector<std::string> ReadColumn(TForm1& window, const std::string& sql);
// Runs a change through the window's connection, again beside its queries.
void RunChange(TForm1& window, const std::string& sql);

// The sizes measured (20,000 and 100,000 books), in milliseconds of real time,
// as medians of five runs: `BENCHMARK(BM_X)->Apply(AtCatalogueSizes);`.
void AtCatalogueSizes(benchmark::internal::Benchmark* b);
// The same with an empty catalogue first, for what is compared against it.
void FromEmptyCatalogue(benchmark::internal::Benchmark* b);

// True, after marking the run failed, when a box was shown or `ok` is false.
bool FailedRun(benchmark::State& state, const BenchUi& ui, bool ok, const char* what);
