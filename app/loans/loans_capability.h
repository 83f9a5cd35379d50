#pragma once
// Loans in the main window: the command that opens the loans window, and the
// tree's menu on a title ("půjčit…", "vráceno").
#include <QObject>
#include <memory>

#include "app/loans/loans.h"

class CatalogueSession;
class QAction;
class QMenu;
class Tzapujckyf;
struct TitleRef;

class LoansCapability : public QObject {
    Q_OBJECT
public:
    // `command` is the menu command "zápůjčky"; the window owns it and this.
    LoansCapability(CatalogueSession& session, QAction& command, QObject* parent);
    ~LoansCapability() override;

    // Opens the loans window (non-modal), or brings it to the front.
    void zapujckyExecute();
    Tzapujckyf* loansWindow() const { return loans_window_; }
    // Lends and returns; its beforeChange hook runs before every change.
    LoanWriter& loanWriter() const { return *loan_writer_; }

private:
    void AddTitleEntries(QMenu& menu, const TitleRef& title);
    void LendTitle(const LoanRow& row);
    void ReturnTitle(const LoanRow& row);
    void ReportChangedMeanwhile();

    CatalogueSession& session_;
    std::unique_ptr<LoanWriter> loan_writer_;
    Tzapujckyf* loans_window_ = nullptr;  // a child of the main window once made
};
