// Loans in the main window: the command that opens the loans window, the
// tree's menu on a title ("půjčit…", "vráceno"), and what a change of a loan
// tells the window.
#include "app/loans/loans_capability.h"

#include <QAction>
#include <QMenu>
#include <QWidget>
#include <cstdlib>

#include "app/loans/loan_history_notice.h"
#include "app/loans/loan_history_view.h"
#include "app/loans/loans_window.h"
#include "app/platform/catalogue_session.h"
#include "app/platform/error_box.h"
#include "app/platform/ui_services.h"

namespace {

bool IsLent(const LoanRow& row) { return !row.komu.empty() || !row.kdy.empty(); }

}  // namespace

LoansCapability::LoansCapability(CatalogueSession& session, QAction& command, QObject* parent)
    : QObject(parent), session_(session), loan_writer_(std::make_unique<LoanWriter>(session.Connection())) {
    // A lend or return is a change like any other: the catalogue is backed up first.
    loan_writer_->beforeChange = [this] { return session_.BeforeChange(); };
    loan_writer_->historyLost = [this](const std::vector<LoanRow>& rows) {
        TellHistoryNotKept(session_.Ui(), ProgramTitle(), session_.Connection(), rows);
    };
    connect(&command, &QAction::triggered, this,
            [this] { RunGuarded(session_.Ui(), [this] { zapujckyExecute(); }); });
    session_.AddTitleMenuEntries([this](QMenu& menu, const TitleRef& title) { AddTitleEntries(menu, title); });
    AddLoanHistoryTitleEntry(session_, *this);
}

LoansCapability::~LoansCapability() = default;

void LoansCapability::zapujckyExecute() {
    if (!loans_window_) {
        QWidget& main = session_.Window();
        loans_window_ = new Tzapujckyf(session_, *loan_writer_, &main);
        session_.PlaceOverWindow(*loans_window_);
        // The window is the connection's context, so nothing of it is reached
        // while it is being destroyed.
        connect(&session_, &CatalogueSession::CatalogueChanged, loans_window_, &Tzapujckyf::CatalogueChanged);
    }
    loans_window_->Refresh();
    loans_window_->show();
    loans_window_->raise();
    loans_window_->activateWindow();
}

void LoansCapability::AddTitleEntries(QMenu& menu, const TitleRef& title) {
    // The node's row as a title click finds it: its rank among the author's
    // titles of the same text picks among the rows of that author and title.
    const std::vector<LoanRow> rows = ReadTitleRows(session_.Connection(), title.author, title.title);
    const bool found = title.rank < static_cast<int>(rows.size());
    const LoanRow row = found ? rows[static_cast<size_t>(title.rank)] : LoanRow{};

    QAction* lend = menu.addAction(QStringLiteral("půjčit…"));
    QAction* back = menu.addAction(QStringLiteral("vráceno"));
    lend->setEnabled(found && !IsLent(row));
    back->setEnabled(found && IsLent(row));
    UiServices& ui = session_.Ui();
    connect(lend, &QAction::triggered, this, [this, &ui, row] { RunGuarded(ui, [this, row] { LendTitle(row); }); });
    connect(back, &QAction::triggered, this, [this, &ui, row] { RunGuarded(ui, [this, row] { ReturnTitle(row); }); });
}

void LoansCapability::LendTitle(const LoanRow& row) {
    const std::optional<QString> komu = session_.Ui().ItemQuery(
        QStringLiteral("půjčit"), QStringLiteral("Komu je kniha zapůjčena:"), BorrowerNames(session_.Connection()), {});
    if (!komu || komu->trimmed().isEmpty()) return;
    const QDate today = QDate::currentDate();
    if (session_.beforeLoanChange) session_.beforeLoanChange({std::strtoll(row.rowid.c_str(), nullptr, 10)});
    const std::optional<std::vector<LoanRow>> changed = loan_writer_->Lend(row, *komu, today);
    if (!changed) return;
    emit session_.LoanFieldsChanged(*changed, komu->trimmed(), LoanDateText(today));
    if (session_.afterLoanChange)
        session_.afterLoanChange(static_cast<int64_t>(changed->size()));
    else
        session_.rebuildTree();
    if (changed->empty()) ReportChangedMeanwhile();
}

void LoansCapability::ReturnTitle(const LoanRow& row) {
    if (session_.beforeLoanChange) session_.beforeLoanChange({std::strtoll(row.rowid.c_str(), nullptr, 10)});
    const std::optional<std::vector<LoanRow>> changed = loan_writer_->Return({row});
    if (!changed) return;
    emit session_.LoanFieldsChanged(*changed, QString(), QString());
    if (session_.afterLoanChange)
        session_.afterLoanChange(static_cast<int64_t>(changed->size()));
    else
        session_.rebuildTree();
    if (changed->empty()) ReportChangedMeanwhile();
}

void LoansCapability::ReportChangedMeanwhile() {
    session_.Ui().InformationBox(
        ProgramTitle(),
        QStringLiteral("Záznam se mezitím v katalogu změnil, nic nebylo zapsáno. Strom je načten znovu."));
}
