#pragma once
// The open catalogue as the window's capabilities reach it: its connection,
// the dialogs, the rule that runs before every change (the backup gate) and
// the check of every opened file, and the notices the window and the
// capabilities give each other. The window owns it; a capability never
// needs the window's own types.
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "catalogue/loans_store.h"

class QAction;
class QMenu;
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

// A title node of the tree, by what it shows: the author's and the title's
// bytes, and its rank among the author's titles of the same text.
struct TitleRef {
    std::string author;
    std::string title;
    int rank = 0;
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
    CatalogueSession(TASQLite3DB& con, UiServices& ui, QWidget& window,
                     std::function<QString()> settingsPath, QObject* parent = nullptr);
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

    void SetGuard(CatalogueGuard* guard) { guard_ = guard; }
    bool BeforeChange() { return guard_ ? guard_->BeforeChange() : true; }
    bool CheckOpened(bool lastResort) { return !guard_ || guard_->CheckOpened(lastResort); }
    void CheckAside() {
        if (guard_) guard_->CheckAside();
    }
    bool ReadingOnly() const { return guard_ && guard_->ReadingOnly(); }

    // What the window does when asked (set by the window). They throw; the
    // capability's handler that asks runs guarded.
    std::function<void()> rebuildTree;      // the catalogue's rows changed
    std::function<void()> reopenCatalogue;  // the file under the connection was replaced
    // Around a change of only the loan fields of the rows with these engine
    // keys, which changed `changed` rows: the tree shows no loan fields, so it
    // needs no rebuild when nothing else changed the catalogue meanwhile (a
    // return may also have kept each finished loan in the row's `udaj3`).
    std::function<void(const std::vector<int64_t>& rows)> beforeLoanChange;
    std::function<void(int64_t changed)> afterLoanChange;

    // A new command of a capability: it goes into the "databáze" menu above
    // "konec" (the window names the menu and the place), after those added before.
    void SetCommandPlace(QMenu& menu, QAction& before) {
        command_menu_ = &menu;
        command_before_ = &before;
    }
    void AddCommand(QAction& command);

    // The tree's menu on a title: each capability adds its entries.
    using TitleMenuEntries = std::function<void(QMenu& menu, const TitleRef& title)>;
    void AddTitleMenuEntries(TitleMenuEntries entries) { title_menu_.push_back(std::move(entries)); }
    void FillTitleMenu(QMenu& menu, const TitleRef& title) const {
        for (const TitleMenuEntries& entries : title_menu_) entries(menu, title);
    }

signals:
    // The tree was read anew: the catalogue's rows may have changed, or
    // another catalogue was opened.
    void CatalogueChanged();
    // The loan fields of `rows` were written: a panel showing one of them
    // takes the new values, so that a later save does not write the old ones back.
    void LoanFieldsChanged(const std::vector<LoanRow>& rows, const QString& komu, const QString& kdy);

private:
    TASQLite3DB& con_;
    UiServices& ui_;
    QWidget& window_;
    std::function<QString()> settings_path_;
    CatalogueGuard* guard_ = nullptr;
    QMenu* command_menu_ = nullptr;
    QAction* command_before_ = nullptr;
    std::vector<TitleMenuEntries> title_menu_;
    std::unique_ptr<ValueLists> lists_;
};
