// Loans in the main window: the command that opens the loans window, the
// tree's menu on a title, and the participant that keeps a finished loan.
#include "app/loans/loans_capability.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QWidget>
#include <stdexcept>

#include "app/loans/loan_history_notice.h"
#include "app/loans/loan_history_view.h"
#include "app/loans/loans_window.h"
#include "app/platform/catalogue_session.h"
#include "app/platform/error_box.h"
#include "app/platform/ui_services.h"

namespace {

// The first of the capabilities' commands, right after "otevřít jinou...".
constexpr int kLoansCommandPosition = 10;

bool IsLent(const LoanRow& row) { return !row.komu.empty() || !row.kdy.empty(); }

}  // namespace

LoansCapability::LoansCapability(CatalogueSession& session, QObject* parent)
    : Capability(session, parent), loan_writer_(std::make_unique<LoanWriter>(session)) {
    loan_writer_->historyLost = [this](const std::vector<LoanRow>& rows) {
        TellHistoryNotKept(session_.Ui(), ProgramTitle(), session_.Connection(), rows);
    };
    QAction& command = session_.AddCommand("zapujcky", kLoansCommandPosition, QStringLiteral("&zápůjčky"),
                                           QKeySequence(Qt::CTRL | Qt::Key_L));
    connect(&command, &QAction::triggered, this, [this] { RunGuarded(session_.Ui(), [this] { zapujckyExecute(); }); });
    session_.AddTitleMenuEntries([this](QMenu& menu, const TitleRef& title) { AddTitleEntries(menu, title); });
    AddLoanHistoryTitleEntry(session_, *this);
    // A record's edit that empties or replaces the borrower finishes the loan:
    // it is kept in the book's history in the same transaction.
    session_.AddChangeParticipant([this](const std::vector<int64_t>& rows, const CatalogueSession::Write& write) {
        if (rows.size() != 1) throw std::logic_error("Úprava záznamu mění právě jeden řádek.");
        RowsChange done;
        SaveKeepingLoanHistory(session_.Connection(), rows.front(), session_.Ui(), ProgramTitle(),
                               [&] { done = write(); });
        return done;
    });
}

LoansCapability::~LoansCapability() = default;

void LoansCapability::zapujckyExecute() {
    if (!loans_window_) {
        QWidget& main = session_.Window();
        loans_window_ = new LoansWindow(session_, *loan_writer_, &main);
        session_.PlaceOverWindow(*loans_window_);
        // The window is the connection's context, so nothing of it is reached
        // while it is being destroyed.
        connect(&session_, &CatalogueSession::CatalogueChanged, loans_window_, &LoansWindow::CatalogueChanged);
        connect(&session_, &CatalogueSession::RowsChanged, loans_window_, &LoansWindow::CatalogueChanged);
    }
    loans_window_->Refresh();
    loans_window_->show();
    loans_window_->raise();
    loans_window_->activateWindow();
}

void LoansCapability::AddTitleEntries(QMenu& menu, const TitleRef& title) {
    const std::optional<LoanRow> row = title.row ? ReadLoanRow(session_.Connection(), *title.row) : std::nullopt;
    QAction* lend = menu.addAction(QStringLiteral("půjčit…"));
    QAction* back = menu.addAction(QStringLiteral("vráceno"));
    lend->setEnabled(row && !IsLent(*row));
    back->setEnabled(row && IsLent(*row));
    if (!row) return;
    UiServices& ui = session_.Ui();
    connect(lend, &QAction::triggered, this,
            [this, &ui, row = *row] { RunGuarded(ui, [this, row] { LendTitle(row); }); });
    connect(back, &QAction::triggered, this,
            [this, &ui, row = *row] { RunGuarded(ui, [this, row] { ReturnTitle(row); }); });
}

void LoansCapability::LendTitle(const LoanRow& row) {
    const std::optional<QString> komu = session_.Ui().ItemQuery(
        QStringLiteral("půjčit"), QStringLiteral("Komu je kniha zapůjčena:"), BorrowerNames(session_.Connection()), {});
    if (!komu || komu->trimmed().isEmpty()) return;
    const std::optional<std::vector<LoanRow>> changed = loan_writer_->Lend(row, *komu, QDate::currentDate());
    if (changed && changed->empty()) ReportChangedMeanwhile();
}

void LoansCapability::ReturnTitle(const LoanRow& row) {
    const std::optional<std::vector<LoanRow>> changed = loan_writer_->Return({row});
    if (changed && changed->empty()) ReportChangedMeanwhile();
}

void LoansCapability::ReportChangedMeanwhile() {
    session_.Ui().InformationBox(
        ProgramTitle(),
        QStringLiteral("Záznam se mezitím v katalogu změnil, nic nebylo zapsáno. Strom je načten znovu."));
}
