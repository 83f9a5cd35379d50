#pragma once
// The "historie" view of the loans: every finished loan kept in the books'
// `udaj3`, with borrower, the loan's date as typed, the return day and the
// days out; filtered by typing, sorted by any column, grouped by borrower or
// by book, exported to CSV and PDF as shown. Shown for the whole catalogue
// from the loans window, or for one book from the tree's menu.
#include <QDate>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "app/platform/rows_change.h"

class CatalogueSession;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;
class LoanHistoryModel;
class TASQLite3DB;
class UiServices;
class LoanHistoryView;

// Opens the history (of the book `rowKey` when > 0) as a window of `owner`,
// or brings the one already open to the front with its contents read anew.
// An open view is read anew after every change of the catalogue.
LoanHistoryView& ShowLoanHistory(CatalogueSession& session, QWidget& owner, long long rowKey = 0);

// Adds "historie výpůjček…" to the tree's menu on a title: that book's history.
void AddLoanHistoryTitleEntry(CatalogueSession& session, QObject& context);

class LoanHistoryView : public QWidget {
    Q_OBJECT
public:
    enum Column { Komu, Od, Vraceno, Dni, Autor, Titul, ColumnCount };
    enum Grouping { NoGroups, ByBorrower, ByBook };

    // `rowKey` > 0 shows that book's history alone.
    LoanHistoryView(TASQLite3DB& db, UiServices& ui, QWidget* parent, long long rowKey = 0);
    ~LoanHistoryView() override;

    // Reads the history anew; the filter, the grouping and the sort stay.
    void Refresh();
    // The day "dní" of loans still counted to; today unless a test fixes it.
    void SetToday(const QDate& today) { today_ = today; }
    void SetGrouping(Grouping grouping);

    long long RowKey() const { return rowKey_; }
    QTreeView* List() const { return list_; }
    LoanHistoryModel& Model() const { return *model_; }
    QLineEdit* Filter() const { return filter_; }
    QComboBox* GroupBox() const { return grouping_; }
    static QStringList ColumnTitles();
    // The loans' texts as shown: filtered, in the order shown.
    std::vector<QStringList> ShownRows() const;

    // How a mended line is written: through the session's change, so the
    // backup comes first and every view follows. Without one, lines stay as read.
    void SetWriter(RowsWriter writer);
    // The session the borrower's card opens through.
    void SetCardSession(CatalogueSession& session) { session_ = &session; }

    // Handlers; they throw, the buttons run them guarded.
    void csvbClick();
    void pdfbClick();
    // The current line: its borrower and dates corrected, or the line removed after a question.
    void opravitbClick();
    void smazatbClick();
    // The card of the current line's borrower (or of the borrower's group).
    void kartabClick();

private:
    void SpanGroupLabels();
    void EditCurrent(bool remove);

    TASQLite3DB& db_;
    UiServices& services_;
    long long rowKey_;
    QDate today_;
    LoanHistoryModel* model_;
    QLineEdit* filter_;
    QComboBox* grouping_;
    QTreeView* list_;
    QLabel* summary_;
    QPushButton* edit_;
    QPushButton* remove_;
    RowsWriter writer_;
    CatalogueSession* session_ = nullptr;  // set when opened through the session: the card needs it
};
