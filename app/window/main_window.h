#pragma once
// The main window: menu of commands, the catalogue tab (tree of authors and
// titles beside the record panel), the settings tab, the embedded browser at
// the bottom and the status bar. Its methods are spread over source files by
// topic: main_window.cpp (layout, small commands, the capabilities wired in),
// main_window_tree.cpp (rebuild, search, the tree's menu), main_window_startup.cpp
// (start-up, settings, switching catalogues), main_window_panel.cpp (record panel).
#include <QMainWindow>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/window/catalogue_stamp.h"
#include "app/platform/settings_location.h"
#include "app/platform/rows_change.h"
#include "storage/connection.h"
#include "storage/query.h"
#include "storage/update_sql.h"

namespace Ui {
class TForm1;
}
class CatalogueSession;
class QCloseEvent;
class QComboBox;
class QMenu;
class QShowEvent;
class QTreeWidgetItem;
class Teditf;
class TreeNode;
class UiServices;
class ValueLists;
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

    // Handlers. They throw; the signal connections run them through RunGuarded.
    void FormCreate();
    // Returns false when closing was called off.
    bool FormClose();
    void otevritExecute();
    void konecExecute();
    void novyzaznamExecute();
    void vyhledatExecute();
    void informaceExecute();
    void legielClick();
    void googlelClick();
    void tv1update();
    void tv1Click();
    void ulozitbClick();
    void smazatbClick();
    void vymazokna();

    // --- the program's own changes (main_window_tree_update.cpp) ---
    // Called around every change through the session (its two notices), of the
    // rows with these engine keys. When nothing else changed the catalogue
    // since the tree and the drop-down lists were read, they follow the rows
    // in place; the tree then looks as after a rebuild. Else it is rebuilt.
    void BeforeOwnChange(const std::vector<int64_t>& rows);
    void AfterOwnChange(const RowsChange& change);
    // The tree as after a rebuild: in place when nothing changed since it was read, else rebuilt.
    void RefreshTree();
    // The drop-down lists of distinct values, shared with the new-record dialog.
    ValueLists& valueLists() const { return *value_lists_; }

    // The open catalogue as the capabilities reach it (catalogue_session.h).
    CatalogueSession& session() const { return *session_; }
    // The backup gate every change through the session passes first (the
    // safe-keeping guard backs the catalogue up). False when the change must not happen.
    bool beforeCatalogueChange();
    // A capability the window made, for the tests and benchmarks that drive it.
    template <class Capability>
    Capability& capability() const {
        return *capabilities_->findChild<Capability*>(QString(), Qt::FindDirectChildrenOnly);
    }

    // The tree's menu on a title, with the capabilities' entries (main_window_menu.cpp).
    std::unique_ptr<QMenu> TitleMenu(QTreeWidgetItem& node);

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
    std::unique_ptr<CatalogueSession> session_;
    // The capabilities' owner. They reach the session in their destructors,
    // so they go before it does (as the window's children they would go after).
    std::unique_ptr<QObject> capabilities_;
    // Creates the capabilities, each with its menu commands (main_window.cpp).
    void SetUpCapabilities();
    // The tree's right-click menu on a title (main_window_menu.cpp).
    void SetUpTitleMenu();
    // The remembered catalogue, found damaged at start and not restored: it
    // stays remembered until another catalogue is opened on purpose.
    std::string damaged_remembered_;

    // --- record panel state (main_window_panel.cpp) ---
    // Called by vymazokna: the panel no longer shows a record read from the catalogue.
    void ForgetShownRecord();
    // After a change through the session: the panel takes the stored loan
    // fields anew when it shows one of the changed records, so that a later
    // save does not write the old ones back.
    void PanelFollows(const RowsChange& change);
    // Set while the panel's own save runs: what it wrote is what it shows.
    bool panel_saving_ = false;
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
    // The catalogue the tree was read from (unknown while it is not), and the
    // author a rebuild selects: the one the engine orders last.
    CatalogueStamp tree_stamp_;
    TreeNode* tree_top_ = nullptr;
    // For a title node of a tree read from the catalogue as it is now: the key
    // of the row a click shows (none when no row has its author and title);
    // nothing when the tree may be out of date.
    std::optional<std::optional<int64_t>> KnownRow(QTreeWidgetItem& node);
    // The key of the row a click on this title node shows, also where the tree
    // may be out of date (then found by its author, title and rank); none when no row.
    std::optional<int64_t> TitleRow(QTreeWidgetItem& node);
    // Noted by BeforeOwnChange.
    struct NotedRow {
        int64_t key;
        bool existed;
        bool wholeAuthor;
        bool gone;  // the change is to delete it
    };
    CatalogueStamp noted_stamp_;
    std::vector<NotedRow> noted_rows_;
    bool tree_follows_ = false;
    TreeNode* FindTitleNode(int64_t key) const;
    bool UpdateTreeRow(const NotedRow& before);
    void ShowTreeAsRebuilt();
    std::unique_ptr<ValueLists> value_lists_;
    // --- start-up state (main_window_startup.cpp) ---
    // Where the settings are read and written, found once at start.
    SettingsLocation settings_;
    // The name to connect to for a remembered catalogue that exists (relative
    // names against start_dir_), or none.
    std::optional<std::string> RememberedCatalogue(const std::string& name) const;
    // The probe that tells a catalogue from any other file, on query1.
    void ProbeCatalogue();
    // The health check of the catalogue just connected, and the probe.
    void CheckAndProbe(bool lastResort);
    // Connects to "svazkovna.db" in start_dir_, writing the template when it
    // is missing, checks it and, when asked, probes it.
    void ConnectDefaultCatalogue(bool probe);
    // The file under the connection was replaced (a restore): opened again as any catalogue.
    void ReopenCatalogue();
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
