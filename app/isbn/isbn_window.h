#pragma once
// The window "přidat podle ISBN": ISBNs typed or scanned into a queue, looked
// up in library catalogues while the user goes on scanning, reviewed and
// edited in the queue, and the checked rows stored in one transaction.
// Non-modal; closing it cancels the look-ups and stores nothing: the unstored
// rows are kept beside the catalogue and offered when it opens again.
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/isbn/isbn_lookup.h"
#include "app/isbn/kept_queue.h"
#include "app/platform/rows_change.h"
#include "catalogue/isbn_store.h"

namespace Ui {
class IsbnWindow;
}
class CatalogueKeysReader;
class QAbstractItemModel;
class QComboBox;
class QRect;
class QTableWidgetItem;
class QTimer;
class QUrl;
class TASQLite3DB;
class UiServices;
class ValueLists;

// What the window needs of the program around it.
struct IsbnWindowContext {
    TASQLite3DB* db = nullptr;
    UiServices* ui = nullptr;
    ValueLists* lists = nullptr;                // the session's drop-down lists
    QString settingsPath;                       // for "zdrojeisbn"
    RowsWriter change;                          // stores through the session; false: nothing stored
    std::function<void(const QUrl&)> showPage;  // the embedded browser; may be empty
};

class IsbnWindow : public QWidget {
    Q_OBJECT
public:
    enum Column { Isbn, Stav, Autor, Titul, Vydal, Rok, Serie, Zdroj, Umisteni, Zanr, ColumnCount };

    IsbnWindow(IsbnWindowContext context, QWidget* parent = nullptr);
    ~IsbnWindow() override;

    Ui::IsbnWindow* form() const { return ui_.get(); }
    IsbnLookup& Lookup() { return *lookup_; }

    // Enter in the ISBN field: validate, queue, clear. False when refused.
    bool QueueTyped();
    // "uložit vybrané"; throws on a failed store (the button runs it guarded).
    void ulozitbClick();
    // Re-reads the catalogue's ISBNs, authors and titles (off this thread)
    // and the drop-downs; another catalogue opened checks the queue again.
    void CatalogueChanged();

    int RowCount() const;
    QString StateText(int row) const;
    // The catalogue's keys are being read (the duplicate check waits for them).
    bool Checking() const;

    // Sizes the window for a screen's available area: wide enough for the
    // queue's columns where the area allows, never larger than the area.
    void FitTo(const QRect& available);

    // With unstored rows, asks whether to go back to them; true when the
    // window may close (the rows stay kept beside the catalogue).
    bool MayClose();
    // Closes without asking again, after MayClose said yes.
    void CloseAsked();
    // Rows kept from before, offered until loaded or dropped.
    int Offered() const { return static_cast<int>(offered_.size()); }
    // "načíst uschovanou frontu", "zahodit ji", "zkusit znovu".
    void LoadKept();
    void DropKept();
    void RetryFailed();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Why a row is not to be stored as it stands.
    enum class Mark { None, InQueue, SameIsbn, SameAuthorTitle };
    struct Row {
        QString isbn;  // stored form
        int ticket = 0;
        QString state;  // of the look-up
        QString note;
        QString details;  // a server's own words, behind "Podrobnosti" in the tooltip
        std::vector<FoundRecord> candidates;
        bool stored = false;
        Mark mark = Mark::None;
        bool userTicked = false;  // the tick is the user's from then on
        std::set<int> edited;     // columns the user typed into; no answer overwrites them
        QString stran;            // pages and edition of the record shown, kept with the year
        QString vydani;
    };

    // A new row for `isbn` (stored form) at the end of the queue.
    int AddRow(const QString& isbn);
    void Finished(int ticket, const LookupResult& result);
    void ShowCandidate(int row, const FoundRecord& record, bool chosen);
    // Compares the row with the queue before it and with the catalogue's keys.
    void Recheck(int row);
    void RecheckAll();
    // The drop-downs from the session's lists; under another program's lock, a moment later.
    void FillLists();
    void KeysRead(const std::string& path, std::optional<CatalogueKeys> keys, const QString& failure);
    void SetState(int row, const QString& state, const QString& note = {});
    void ShowState(int row);
    void SetTick(int row, bool ticked);
    void ItemChanged(QTableWidgetItem* item);
    void RowClicked(int row);
    QString Cell(int row, Column column) const;
    std::string CataloguePath() const;
    // Rows a store would take or the user may still want.
    bool Unstored(int row) const;
    // Writes the unstored rows (and those still offered) beside the catalogue:
    // soon, once for a burst of changes, or now.
    void Keep();
    void KeepNow();
    // The kept queue follows the open catalogue: the one left keeps its offer.
    void FollowCatalogue();
    // Runs a read or write of the kept queue; its failure is told in the window. False when it failed.
    bool TellKeptQueue(const std::function<void()>& work);
    void ShowOffer();
    // The queue's look and the keyboard's and screen reader's way to the found
    // records (isbn_window_view.cpp).
    void SetUpView();
    void ViewEvent(QObject* watched, QEvent* event);
    void FitColumnsSoon();
    void FitColumns();
    // A row's choice among several found records, told to a screen reader and
    // mirrored in the list below the queue.
    void DescribeChoice(int row, QComboBox& choice);
    void ShowChoices(int row);
    void ChoiceFocused();
    void PickChoice(int index);

    IsbnWindowContext context_;
    std::unique_ptr<Ui::IsbnWindow> ui_;
    IsbnLookup* lookup_ = nullptr;
    std::vector<Row> rows_;
    // The catalogue's ISBNs (stored form) and author+title pairs, read once
    // per catalogue state so a found record is checked without a query.
    std::optional<CatalogueKeys> keys_;
    std::string keysPath_;  // the catalogue they were read from
    QString keysFailure_;   // why they could not be read, while a retry is due
    CatalogueKeysReader* reader_ = nullptr;
    bool filling_ = false;          // the window itself is writing cells
    std::string keptFor_;           // the catalogue whose kept queue this window writes
    std::vector<KeptRow> offered_;  // kept from before, not loaded yet
    bool closeAsked_ = false;
    QTimer* keepTimer_ = nullptr;
    bool storing_ = false;   // the window's own store runs: its keys follow it already
    bool listsDue_ = false;  // the drop-downs are read again after a lock
    bool fitDue_ = false;
    bool fitting_ = false;     // the window itself sizes the columns
    std::set<int> userSized_;  // columns the user sized: left as they are
    int choiceRow_ = -1;       // the row whose found records the list shows
    QAbstractItemModel* noChoices_ = nullptr;
};
