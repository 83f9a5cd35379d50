#pragma once
// The open catalogue as the window's capabilities reach it: its connection,
// the dialogs, the one way to change it (the backup gate first, then one
// notice of what changed), the check of every opened file, the commands and
// the tree's menu entries the capabilities add. The window owns it; a
// capability never needs the window's own types.
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/platform/rows_change.h"

class QAction;
class QKeySequence;
class QMenu;
class QUrl;
class QWidget;
class TASQLite3DB;
class UiServices;
class ValueLists;

// A damaged catalogue that the user chose not to restore: it was left as it
// is and is not open for changes. The message has been shown already.
class CatalogueDamaged : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A title node of the tree: the row a click on it shows, by the engine's row
// key (none when no row has its author and title), and the author's and the
// title's bytes it shows.
struct TitleRef {
    std::optional<int64_t> row;
    std::string author;
    std::string title;
};

// Guards the open catalogue: the safe-keeping capability is one.
class CatalogueGuard {
public:
    virtual ~CatalogueGuard() = default;
    // Before a change; false when the change must not happen.
    virtual bool BeforeChange() = 0;
    // Right after a catalogue was opened; throws CatalogueDamaged when a
    // damaged one was declined and `lastResort` is false. True when the
    // catalogue was sound as it was opened.
    virtual bool CheckOpened(bool lastResort) = 0;
    // Lets that check start reading aside while the opener reads too.
    virtual void CheckAside() {}
    // Whether the open catalogue is kept open for reading only.
    virtual bool ReadingOnly() const = 0;
};

class CatalogueSession : public QObject {
    Q_OBJECT
public:
    CatalogueSession(TASQLite3DB& con, UiServices& ui, QWidget& window, std::function<QString()> settingsPath,
                     QObject* parent = nullptr);
    ~CatalogueSession() override;

    TASQLite3DB& Connection() const { return con_; }
    UiServices& Ui() const { return ui_; }
    // The window dialogs and other windows of the capabilities stand over.
    QWidget& Window() const { return window_; }
    // Puts a capability's new window over the main window, not in a screen corner.
    void PlaceOverWindow(QWidget& window) const;
    // The settings file (nastav.ini) as it is read and written.
    QString SettingsPath() const { return settings_path_(); }
    // The drop-down lists of distinct values: one copy for the panel, the
    // new-record dialog and every capability window that offers them.
    ValueLists& Lists() const { return *lists_; }

    // The guard must be set before anything changes the catalogue: a change
    // without one is refused loudly rather than made without its backup.
    void SetGuard(CatalogueGuard* guard) { guard_ = guard; }
    // The gate alone (Change() passes it first); throws without a guard.
    bool BeforeChange();
    bool CheckOpened(bool lastResort) { return !guard_ || guard_->CheckOpened(lastResort); }
    void CheckAside() {
        if (guard_) guard_->CheckAside();
    }
    bool ReadingOnly() const { return guard_ && guard_->ReadingOnly(); }

    // --- changing the catalogue ---
    // A write of the rows it was asked for; returns what it did.
    using Write = std::function<RowsChange()>;
    // How a change edits the rows: `Record` writes a record's fields as the
    // user typed them, so the participants (below) wrap it.
    enum class Edit { Fields, Record };
    // Every change of the catalogue's rows goes here: false when the backup
    // gate declined it (nothing ran). Else RowsAboutToChange(rows), the write,
    // then RowsChanged with what it did. A write that throws changed nothing
    // and sends no RowsChanged; the exception goes on to the caller.
    bool Change(const std::vector<int64_t>& rows, const Write& write, Edit edit = Edit::Fields);
    // Wraps a record write of `rows` (all in the caller's transaction, which
    // the participant opens): the loans keep a loan that an edit finishes.
    using Participant = std::function<RowsChange(const std::vector<int64_t>& rows, const Write& write)>;
    void AddChangeParticipant(Participant participant) { participants_.push_back(std::move(participant)); }

    // The file under the connection was replaced (a restore): the window opens
    // it again (set by the window; it throws, the asking handler runs guarded).
    std::function<void()> reopenCatalogue;
    // Shows a page in the embedded browser (set by the window).
    std::function<void(const QUrl& page)> showPage;
    void ShowPage(const QUrl& page) const;
    // Selects the title of the row with this engine key in the tree and shows
    // that row in the record panel, as a click on it does (set by the window);
    // false when no title of the tree stands for that row.
    std::function<bool(int64_t row)> showRow;
    bool ShowRow(int64_t row) const { return showRow && showRow(row); }

    // --- commands and menus ---
    // The "databáze" menu and the command that stays last in it (set by the window).
    void SetCommandPlace(QMenu& menu, QAction& last) {
        command_menu_ = &menu;
        command_last_ = &last;
    }
    // A capability's command in the "databáze" menu: named `id` (its
    // objectName), shown among the others by `position` (lower first), before
    // the last command. The window owns it.
    QAction& AddCommand(const char* id, int position, const QString& caption, const QKeySequence& shortcut);
    QAction& AddCommand(const char* id, int position, const QString& caption);

    // The tree's menu on a title: each capability adds its entries.
    using TitleMenuEntries = std::function<void(QMenu& menu, const TitleRef& title)>;
    void AddTitleMenuEntries(TitleMenuEntries entries) { title_menu_.push_back(std::move(entries)); }
    void FillTitleMenu(QMenu& menu, const TitleRef& title) const {
        for (const TitleMenuEntries& entries : title_menu_) entries(menu, title);
    }

signals:
    // The tree was read anew: another catalogue was opened, or the rows may
    // have changed in ways no notice told.
    void CatalogueChanged();
    // Around every change through Change(): the rows it is meant to touch,
    // then what it did.
    void RowsAboutToChange(const std::vector<int64_t>& rows);
    void RowsChanged(const RowsChange& change);

private:
    TASQLite3DB& con_;
    UiServices& ui_;
    QWidget& window_;
    std::function<QString()> settings_path_;
    CatalogueGuard* guard_ = nullptr;
    QMenu* command_menu_ = nullptr;
    QAction* command_last_ = nullptr;
    std::map<int, QAction*> commands_;
    std::vector<TitleMenuEntries> title_menu_;
    std::unique_ptr<ValueLists> lists_;
    std::vector<Participant> participants_;
};

// A capability of the main window: it is made with the session and the
// window's object that owns the capabilities, and adds its commands, its
// entries in the tree's menu and its followers of the notices itself.
class Capability : public QObject {
    Q_OBJECT
public:
    Capability(CatalogueSession& session, QObject* parent) : QObject(parent), session_(session) {}

protected:
    CatalogueSession& session_;
};
