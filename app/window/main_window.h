#pragma once
// The main window: menu of commands, the catalogue tab (tree of authors and
// titles beside the record panel), the settings tab, the embedded browser at
// the bottom and the status bar. Its methods are spread over source files by
// topic: main_window.cpp (layout and small commands), main_window_tree.cpp
// (rebuild and search), main_window_startup.cpp (start-up, settings, switching
// catalogues), main_window_panel.cpp (record panel).
#include <QMainWindow>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/transfer/catalogue_import.h"
#include "app/platform/settings_location.h"
#include "storage/connection.h"
#include "catalogue/loans_store.h"
#include "storage/query.h"
#include "storage/update_sql.h"

namespace Ui {
class TForm1;
}
class CatalogueBackup;
class LoanWriter;
class QCloseEvent;
class QComboBox;
class QMenu;
class QShowEvent;
class QTreeWidgetItem;
class Teditf;
class Tzapujckyf;
class UiServices;
class WebBrowser;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // `executableDir` holds "nastav.ini" (where it cannot be written, the file
    // the user's own settings start from); `startDir` is the directory that was
    // current when the program started, against which "svazkovna.db" is resolved.
    TForm1(UiServices& ui, std::unique_ptr<WebBrowser> browser, QString executableDir,
           QString startDir, QWidget* parent = nullptr);
    ~TForm1() override;

    // The components the window owns; every query reaches the engine through con1.
    TASQLite3DB con1{"con1"};
    TASQLite3Query query1{"query1"};
    TASQLite3Query autoriq{"autoriq"};
    TASQLite3Query nodesq{"nodesq"};
    TASQLite3UpdateSQL usql1{"usql1"};

    // The new-record dialog, created by the program entry right after this window.
    Teditf* editf = nullptr;

    Ui::TForm1* form() const { return ui_.get(); }
    WebBrowser& browser() const { return *browser_; }
    UiServices& uiServices() const { return ui_services_; }

    // The CSV import command; its beforeChange hook runs before it writes.
    CsvImport csvimport;

    // Handlers. They throw; the signal connections run them through RunGuarded.
    void FormCreate();
    // Returns false when closing was called off.
    bool FormClose();
    void otevritExecute();
    void konecExecute();
    void novyzaznamExecute();
    void vyhledatExecute();
    void informaceExecute();
    void exportovatExecute();
    void importovatExecute();
    void legielClick();
    void googlelClick();
    void tv1update();
    void tv1Click();
    void ulozitbClick();
    void smazatbClick();
    void vymazokna();
    void obnovitExecute();

    // Runs before every change the program makes to the catalogue: the first
    // change to a catalogue in a run backs it up. False when the change must
    // not happen (main_window_backup.cpp).
    bool beforeCatalogueChange();
    CatalogueBackup& backups() const { return *backups_; }

    // --- loans (main_window_loans.cpp) ---
    // Opens the loans window (non-modal), or brings it to the front.
    void zapujckyExecute();
    Tzapujckyf* loansWindow() const { return loans_window_; }
    // Lends and returns; its beforeChange hook runs before every change.
    LoanWriter& loanWriter() const { return *loan_writer_; }
    // The tree's menu on a title: "půjčit…" and "vráceno".
    std::unique_ptr<QMenu> TitleMenu(QTreeWidgetItem& node);
    // After rows' loan fields were written: the panel takes the new values
    // when it shows one of those records, so that a later save does not write
    // the old ones back. The tree shows no loan fields; lending from it
    // rebuilds it all the same, as a save does.
    void LoansChanged(const std::vector<LoanRow>& rows, const QString& komu, const QString& kdy);

    // The settings file: beside the executable, or the user's own (settings_location.h).
    QString SettingsPath() const;
    // The default catalogue, resolved against the start directory.
    QString DefaultCatalogue() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ConnectSignals();
    void SetUpComponents();
    void Guarded(const std::function<void()>& handler);

    std::unique_ptr<Ui::TForm1> ui_;
    UiServices& ui_services_;
    std::unique_ptr<WebBrowser> browser_;
    QString executable_dir_;
    QString start_dir_;
    // Backups, restoring and the health check of every opened catalogue.
    std::unique_ptr<CatalogueBackup> backups_;
    // The remembered catalogue, found damaged at start and not restored: it
    // stays remembered until another catalogue is opened on purpose.
    std::string damaged_remembered_;

    // --- record panel state (main_window_panel.cpp) ---
    // Called by vymazokna: the panel no longer shows a record read from the catalogue.
    void ForgetShownRecord();
    // Whether the panel shows a record read by a title click (cleared by vymazokna).
    bool record_shown_ = false;
    // The engine's row key of the shown record: its id need not tell it apart.
    int64_t shown_row_key_ = 0;
    // Runs a change on query1. A failed change is taken out of query1, so that
    // nothing but the user's next click can run it again.
    void RunChange(const std::string& sql);
    // Per text field, in the order the save writes them: the text shown by the
    // last fill when it was exactly the 255 bytes the queries deliver (so maybe
    // cut), else a null string. Such a field, left unchanged, keeps its stored value.
    QString cut_texts_[9];
    // --- tree and search state (main_window_tree.cpp) ---
    // The one selected node, or none (the tree allows a single selection).
    QTreeWidgetItem* SelectedNode() const;
    void SelectNode(QTreeWidgetItem* node);
    bool splitters_sized_ = false;  // the initial splitter positions are set at first show
    // --- start-up state (main_window_startup.cpp) ---
    // Where the settings are read and written, found once at start.
    SettingsLocation settings_;
    // The name to connect to for a remembered catalogue that exists (relative
    // names against start_dir_), or none.
    std::optional<std::string> RememberedCatalogue(const std::string& name) const;
    // The probe that tells a catalogue from any other file, on query1.
    void ProbeCatalogue();
    // Connects to "svazkovna.db" in start_dir_, writing the template when it is missing.
    void ConnectDefaultCatalogue();
    // --- loans state (main_window_loans.cpp) ---
    void SetUpLoans();
    void LendTitle(const LoanRow& row);
    void ReturnTitle(const LoanRow& row);
    void ReportChangedMeanwhile();
    std::unique_ptr<LoanWriter> loan_writer_;
    Tzapujckyf* loans_window_ = nullptr;  // owned by this window once made
};

// The one main window of the program (set by the program entry).
extern TForm1* Form1;

// Book-database and search-engine presets for the web lookup.
extern const char* const kBookDatabaseHost;
extern const char* const kSearchEngineHost;

// Empties a drop-down's list but keeps the text typed in its edit field
// (QComboBox::clear() would empty both).
void ClearComboItems(QComboBox& box);

// The bytes a tree node stands for; its shown text is their code-page reading.
std::string NodeBytes(const QTreeWidgetItem& node);
