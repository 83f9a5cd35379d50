// Loans from the main window: the command that opens the loans window, the
// tree's menu on a title ("půjčit…", "vráceno"), and what a change of a loan
// does to the panel and the tree.
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QTreeWidget>
#include <QTreeWidgetItem>

#include "app/platform/codepage.h"
#include "app/platform/error_box.h"
#include "app/loans/loan_history_notice.h"
#include "app/loans/loans.h"
#include "app/loans/loans_window.h"
#include "app/window/main_window.h"
#include "app/window/spin_edit.h"
#include "app/platform/ui_services.h"
#include "ui_main_window.h"

namespace {

// The panel's save slots of the two loan fields (see cut_texts_).
constexpr int kKomuSlot = 6;
constexpr int kKdySlot = 7;

bool IsLent(const LoanRow& row) { return !row.komu.empty() || !row.kdy.empty(); }

}  // namespace

void TForm1::SetUpLoans() {
    loan_writer_ = std::make_unique<LoanWriter>(con1);
    // A lend or return is a change like any other: the catalogue is backed up first.
    loan_writer_->beforeChange = [this] { return beforeCatalogueChange(); };
    loan_writer_->historyLost = [this](const std::vector<LoanRow>& rows) {
        TellHistoryNotKept(uiServices(), ProgramTitle(), con1, rows);
    };

    QTreeWidget* tree = form()->tv1;
    tree->setContextMenuPolicy(Qt::CustomContextMenu);
    // A right click opens the menu only: the title click (and its web lookup)
    // belongs to the left button.
    connect(tree, &QWidget::customContextMenuRequested, this, [this, tree](const QPoint& pos) {
        QTreeWidgetItem* node = tree->itemAt(pos);
        if (!node || !node->parent()) return;
        std::unique_ptr<QMenu> menu;
        Guarded([&] { menu = TitleMenu(*node); });
        if (menu) menu->exec(tree->viewport()->mapToGlobal(pos));
    });
}

void TForm1::zapujckyExecute() {
    if (!loans_window_) {
        loans_window_ = new Tzapujckyf(*this, this);
        // First shown over the main window, not in a screen corner.
        QRect frame(QPoint(0, 0), loans_window_->size());
        frame.moveCenter(frameGeometry().center());
        loans_window_->move(frame.topLeft());
        // Every change of the catalogue ends in a rebuild of the tree, which
        // starts by emptying it. The window is the connection's context, so
        // nothing of this window is reached while it is being destroyed.
        connect(form()->tv1->model(), &QAbstractItemModel::modelReset, loans_window_,
                &Tzapujckyf::CatalogueChanged);
    }
    loans_window_->Refresh();
    loans_window_->show();
    loans_window_->raise();
    loans_window_->activateWindow();
}

std::unique_ptr<QMenu> TForm1::TitleMenu(QTreeWidgetItem& node) {
    QTreeWidgetItem* author = node.parent();
    if (!author) return nullptr;
    // The node's row as a title click finds it: its rank among the author's
    // titles of the same text picks among the rows of that author and title.
    const std::string title = NodeBytes(node);
    int rank = 0;
    for (int i = 0, at = author->indexOfChild(&node); i < at; ++i)
        if (NodeBytes(*author->child(i)) == title) ++rank;
    const std::vector<LoanRow> rows = ReadTitleRows(con1, NodeBytes(*author), title);
    const bool found = rank < static_cast<int>(rows.size());
    const LoanRow row = found ? rows[static_cast<size_t>(rank)] : LoanRow{};

    auto menu = std::make_unique<QMenu>(this);
    QAction* lend = menu->addAction(QStringLiteral("půjčit…"));
    QAction* back = menu->addAction(QStringLiteral("vráceno"));
    lend->setEnabled(found && !IsLent(row));
    back->setEnabled(found && IsLent(row));
    connect(lend, &QAction::triggered, this, [this, row] { Guarded([this, row] { LendTitle(row); }); });
    connect(back, &QAction::triggered, this, [this, row] { Guarded([this, row] { ReturnTitle(row); }); });
    return menu;
}

void TForm1::LendTitle(const LoanRow& row) {
    QStringList known;
    for (const std::string& name : ReadBorrowers(con1)) known << FromCodePage(name);
    const std::optional<QString> komu =
        uiServices().ItemQuery(QStringLiteral("půjčit"), QStringLiteral("Komu je kniha zapůjčena:"), known, {});
    if (!komu || komu->trimmed().isEmpty()) return;
    const QDate today = QDate::currentDate();
    const std::optional<std::vector<LoanRow>> changed = loan_writer_->Lend(row, *komu, today);
    if (!changed) return;
    LoansChanged(*changed, *komu, LoanDateText(today));
    tv1update();
    if (changed->empty()) ReportChangedMeanwhile();
}

void TForm1::ReturnTitle(const LoanRow& row) {
    const std::optional<std::vector<LoanRow>> changed = loan_writer_->Return({row});
    if (!changed) return;
    LoansChanged(*changed, QString(), QString());
    tv1update();
    if (changed->empty()) ReportChangedMeanwhile();
}

void TForm1::ReportChangedMeanwhile() {
    uiServices().InformationBox(
        ProgramTitle(),
        QStringLiteral("Záznam se mezitím v katalogu změnil, nic nebylo zapsáno. Strom je načten znovu."));
}

void TForm1::LoansChanged(const std::vector<LoanRow>& rows, const QString& komu, const QString& kdy) {
    Ui::TForm1& f = *form();
    // A save writes the panel's texts to every row with the panel's id.
    const std::string shownId = std::to_string(f.idspin->Value());
    for (const LoanRow& row : rows) {
        if (!record_shown_ || row.id != shownId) continue;
        f.zapujcenokomucb->setEditText(komu);
        f.zapujcenokdyle->setText(kdy);
        cut_texts_[kKomuSlot] = QString();
        cut_texts_[kKdySlot] = QString();
        break;
    }
}
