#pragma once
// The loans window ("zápůjčky"): every lent book with its borrower, the date
// as typed and as understood, and how long it has been out; grouped by
// borrower or sorted by any column, filtered by typing. Returns, reminders by
// e-mail, and export of the list as shown to PDF and CSV. Non-modal; it reads
// the catalogue anew whenever the main window rebuilds its tree.
#include <QDate>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <vector>

#include "app/loans/loans.h"

namespace Ui {
class LoansWindow;
}
class QTreeWidgetItem;
class CatalogueSession;
class QCollatorSortKey;
struct ExportedLoan;

class LoansWindow : public QWidget {
    Q_OBJECT
public:
    enum Column { Komu, Kdy, Datum, Dni, Stav, Autor, Titul, Umisteni, ColumnCount };

    LoansWindow(CatalogueSession& session, LoanWriter& writer, QWidget* parent);
    ~LoansWindow() override;

    Ui::LoansWindow* form() const { return ui_.get(); }

    // Reads the loans anew; the filter, the grouping and the sort stay.
    void Refresh();
    // The catalogue changed: the list is read anew once the running handler
    // is done, when it is shown and was not read since.
    void CatalogueChanged();
    // The day the loans are counted to; today unless a test fixes it.
    void SetToday(const QDate& today) { fixed_today_ = today; }
    QDate Today() const;
    int Period() const;

    // Handlers; they throw, the buttons run them guarded.
    void vracenobClick();
    void pripomenoutbClick();
    // The card of the current row's borrower.
    void kartabClick();
    void pdfbClick();
    void csvbClick();

    const std::vector<Loan>& Loans() const { return loans_; }
    // The loans shown (filtered), in the order shown.
    std::vector<const Loan*> ShownLoans() const;
    QStringList ColumnTitles() const;
    // The texts of a loan's row as the columns show them.
    QStringList RowTexts(const Loan& loan) const;
    // The mailto: address of a reminder to the borrower of these loans, to
    // `address` when one is known.
    static QString ReminderUrl(const std::vector<const Loan*>& loans, const QString& address = {});

    // What the list's rows show of loan number `loan`, and their order.
    QString CellText(int loan, int column) const;
    bool Overdue(int loan) const;
    bool LessThan(const QTreeWidgetItem& a, const QTreeWidgetItem& b) const;

private:
    struct Keys;
    struct Made;
    // The one place the loans change. The list's rows read the loans by
    // number while they exist (painting, sorting, a screen reader asking after
    // a deselected row), so they are removed first, while what they read is
    // still there, and made anew only for the new loans.
    void ReplaceLoans(std::vector<Loan> loans, std::vector<Made> made);
    const Loan& LoanAt(int loan) const;
    void Rebuild();
    // Drops rows that were just returned from the list.
    void Forget(const std::vector<LoanRow>& rows);
    // Widens the borrower column to show the widest label whole, up to a limit.
    void FitBorrowers(int widestLabel);
    // The loan's texts that do not change with the day or the period, folded for the filter.
    const QString& SearchText(int loan) const;
    void ApplyFilter();
    void ShowOverdue();
    void PeriodChanged(int days);
    std::vector<const Loan*> SelectedLoans() const;
    // The borrower of the current row or group, trimmed; empty when none is shown.
    QString CurrentBorrower() const;
    // The rows shown, as the exports write them.
    std::vector<ExportedLoan> Exported() const;
    const QCollatorSortKey& SortKey(int loan, int column) const;

    std::unique_ptr<Ui::LoansWindow> ui_;
    CatalogueSession& session_;
    LoanWriter& writer_;
    std::vector<Loan> loans_;
    QDate fixed_today_;
    QDate today_;
    bool period_write_failed_ = false;
    int refreshes_ = 0;
    bool refresh_pending_ = false;
    bool grouped_ = true;
    std::unique_ptr<Keys> keys_;
};
