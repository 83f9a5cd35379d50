#pragma once
// The main window: menu of commands, the catalogue tab (tree of authors and
// titles beside the record panel), the settings tab, the embedded browser at
// the bottom and the status bar. Its methods are spread over source files by
// topic: main_window.cpp (layout, small commands, the capabilities wired in),
// main_window_tree.cpp (rebuild, search), main_window_menu.cpp (the tree's menu),
// main_window_startup.cpp (start-up, settings, switching catalogues),
// main_window_panel.cpp (record panel). It owns the rules it wires:
// catalogue_opening.h (which file is opened) and catalogue_tree.h.
#include <QMainWindow>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/row_guard.h"
#include "storage/connection.h"
#include "storage/query.h"
#include "storage/update_sql.h"

namespace Ui {
class TForm1;
}
class CatalogueOpening;
class CatalogueSession;
class CatalogueTree;
class QCloseEvent;
class QMenu;
class QShowEvent;
class QTreeWidgetItem;
class Teditf;
class UiServices;
class WebBrowser;
struct RowsChange;

// The record panel's text fields, in the order the save writes them.
inline constexpr int kPanelTexts = 9;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // `executableDir` holds "nastav.ini" (where it cannot be written, the file
    // the user's own settings start from); `startDir` is the directory that was
    // current when the program started, against which "svazkovna.db" is resolved.
    TForm1(UiServices& ui, std::unique_ptr<WebBrowser> browser, QString executableDir, QString startDir,
           QWidget* parent = nullptr);
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
    bool FormClose();  // false when closing was called off
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

    // Around the program's own change of the rows with these engine keys: the
    // tree and the drop-down lists follow it (catalogue_tree.h).
    void BeforeOwnChange(const std::vector<int64_t>& rows);
    void AfterOwnChange(const RowsChange& change);
    void RefreshTree();  // as after a rebuild: in place when nothing changed, else rebuilt

    // The open catalogue as the capabilities reach it (catalogue_session.h).
    CatalogueSession& session() const { return *session_; }
    // The session's backup gate alone; false when the change must not happen.
    bool beforeCatalogueChange();
    // A capability the window made, for the tests and benchmarks that drive it.
    template <class Capability>
    Capability& capability() const {
        return *capabilities_->findChild<Capability*>(QString(), Qt::FindDirectChildrenOnly);
    }

    // The tree's menu on a title, with the capabilities' entries (main_window_menu.cpp).
    std::unique_ptr<QMenu> TitleMenu(QTreeWidgetItem& node);
    // The settings file: beside the executable, or the user's own (catalogue_opening.h).
    QString SettingsPath() const;

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
    std::unique_ptr<CatalogueSession> session_;
    // Which catalogue is opened at start and after a choice, and the settings file.
    std::unique_ptr<CatalogueOpening> opening_;
    std::unique_ptr<CatalogueTree> tree_;  // the tree's bookkeeping; follows the own changes
    // The capabilities' owner. They reach the session in their destructors,
    // so they go before it does (as the window's children they would go after).
    std::unique_ptr<QObject> capabilities_;
    // Creates the capabilities, each with its menu commands (main_window.cpp).
    void SetUpCapabilities();
    // The tree's right-click menu on a title (main_window_menu.cpp).
    void SetUpTitleMenu();
    // The file under the connection was replaced (a restore): opened again as any catalogue.
    void ReopenCatalogue();

    // --- record panel state (main_window_panel.cpp) ---
    void ForgetShownRecord();  // by vymazokna: the panel shows no record read from the catalogue
    // After a change through the session: the panel takes the stored loan fields
    // anew when it shows a changed record, so that a later save does not write the old ones back.
    void PanelFollows(const RowsChange& change);
    bool panel_saving_ = false;  // while the panel's own save runs: what it wrote is what it shows
    bool record_shown_ = false;  // whether it shows a record read by a title click
    int64_t shown_row_key_ = 0;  // the engine's row key of that record: its id need not tell it apart
    // Runs a change on query1; a failed one is taken out, so only the user's next click runs it again.
    void RunChange(const std::string& sql);
    // Fills the panel with the row of this key (nothing shown when none) (main_window_panel.cpp).
    void ShowRecord(std::optional<int64_t> rowKey);
    // The shown row as stored when the panel was filled: a save or a delete
    // writes only while the row still holds it (catalogue/row_guard.h).
    std::optional<rowguard::StoredRow> shown_stored_;
    // The panel's texts (by save slot) and rating as shown, to tell what the user edited.
    QString shown_texts_[kPanelTexts];
    int shown_rating_ = 0;
    // --- a save or a delete of a row changed meanwhile elsewhere (main_window_conflict.cpp) ---
    // The panel's values as typed: texts by save slot with their Windows-1250
    // bytes (a shown cut text left untouched: the whole stored one), the rating.
    struct TypedRecord {
        QString texts[kPanelTexts];
        std::string bytes[kPanelTexts];
        int rating = 0;
    };
    // With `convert`, every text gets its bytes; one the code page cannot hold throws.
    TypedRecord Typed(bool convert) const;
    // The fields the user edited since the panel was filled (save slots; the rating is kPanelTexts).
    std::vector<int> EditedFields(const TypedRecord& typed) const;
    // The save's "column=value" list of these fields.
    std::string Assignments(const TypedRecord& typed, const std::vector<int>& fields) const;
    // The condition that picks the shown row by its key.
    std::string ShownKeyCondition();
    enum class ShownRowChange { Done, Declined, NothingWritten };
    // Runs the panel's save or delete statement through the session; a statement
    // that changed no row wrote nothing and sends no notice.
    ShownRowChange RunShownRowChange(const std::string& sql, bool deleting);
    // The shown row anew as stored, with the tree as the catalogue stands.
    void ShowStoredAnew();
    // The saved row is gone: says so and offers to store the panel's values as a new book.
    void OfferToStoreAnew(const TypedRecord& typed);
    // Per text field: the text shown when it was exactly the 255 bytes the queries
    // deliver (maybe cut), else null; such a field, left unchanged, keeps its stored value.
    QString cut_texts_[kPanelTexts];
    bool splitters_sized_ = false;  // the initial splitter positions are set at first show
    // The row a click on this title shows, also from a tree that may be out of date; none when no row.
    std::optional<int64_t> TitleRow(QTreeWidgetItem& node);
};

// The one main window of the program (set by the program entry).
extern TForm1* Form1;
