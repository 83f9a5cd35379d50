#pragma once
// Measuring the real main window offscreen: a catalogue of a given size made
// once per run, and a window opened on it with answering dialogs and a browser
// that only records.
#include <QString>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/ui_services.h"
#include "app/web_browser.h"
#include "bench/catalogue_gen.h"

// Dialogs that answer at once: queued answers first, then the standing ones.
class BenchUi : public UiServices {
public:
    void ErrorBox(const QString&, const QString& text) override { errors.push_back(text); }
    void PlainBox(const QString&, const QString&) override {}
    void InformationBox(const QString&, const QString&) override {}
    std::optional<QString> InputQuery(const QString&, const QString&, int) override;
    std::optional<QString> OpenFileName(const QString&) override { return std::nullopt; }
    // Shows the dialog, runs `dialogScript` when set, then closes it.
    void ExecModal(QDialog& dialog) override;

    std::optional<QString> searchText = QString("nov");
    std::deque<std::optional<QString>> inputs;
    std::function<void(QDialog&)> dialogScript;
    std::vector<QString> errors;
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

// The path of a generated catalogue with `books` rows (made on first use, kept for the run).
const std::string& CatalogueOf(int books, CatalogueStats* stats = nullptr);

// A shown main window (with its new-record dialog) on a copy of a generated catalogue.
class BenchWindow {
public:
    explicit BenchWindow(int books);
    ~BenchWindow();
    TForm1& window() { return *window_; }
    BenchUi ui;
    BenchBrowser* browser = nullptr;

private:
    std::string exeDir_, startDir_;
    std::unique_ptr<TForm1> window_;
};

// Lets the window lay out and paint what the last step changed.
void SettleEvents();
