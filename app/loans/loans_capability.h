#pragma once
// Loans in the main window: the command "zápůjčky" that opens the loans
// window, the tree's menu on a title ("půjčit…", "vráceno", "historie
// výpůjček…"), and the loan a record's edit finishes, kept in its history.
#include <memory>

#include "app/loans/loans.h"
#include "app/platform/catalogue_session.h"

class QMenu;
class LoansWindow;

class LoansCapability : public Capability {
    Q_OBJECT
public:
    LoansCapability(CatalogueSession& session, QObject* parent);
    ~LoansCapability() override;

    // Opens the loans window (non-modal), or brings it to the front.
    void zapujckyExecute();
    LoansWindow* loansWindow() const { return loans_window_; }
    // Lends and returns through the session.
    LoanWriter& loanWriter() const { return *loan_writer_; }

private:
    void AddTitleEntries(QMenu& menu, const TitleRef& title);
    void LendTitle(const LoanRow& row);
    void ReturnTitle(const LoanRow& row);
    void ReportChangedMeanwhile();

    std::unique_ptr<LoanWriter> loan_writer_;
    LoansWindow* loans_window_ = nullptr;  // a child of the main window once made
};
