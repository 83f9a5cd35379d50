// The ISBN window's queue beyond one sitting: kept beside the catalogue,
// offered again, asked about before closing, and failed look-ups retried.
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <exception>

#include "app/isbn/isbn_window.h"
#include "app/isbn/queue_states.h"
#include "app/platform/ui_services.h"
#include "storage/connection.h"
#include "ui_isbn_window.h"

namespace {

// A burst of scans and answers is written once.
constexpr int kKeepDelayMs = 300;

}  // namespace

bool IsbnWindow::Unstored(int row) const {
    const Row& r = rows_[row];
    // A repeat or a book already there is not kept unless the user ticked it.
    return !r.stored && (r.mark == Mark::None || ui_->frontatw->item(row, Isbn)->checkState() == Qt::Checked);
}

bool IsbnWindow::MayClose() {
    int left = 0;
    for (int row = 0; row < RowCount(); ++row) left += Unstored(row) ? 1 : 0;
    if (left == 0) return true;
    return !context_.ui->Question(windowTitle(),
                                  QStringLiteral("Ve frontě zůstává neuložených knih: %1. Uschovají se u katalogu "
                                                 "a nabídnou se, až toto okno otevřete znovu.\n\nVrátit se k frontě?")
                                      .arg(left));
}

void IsbnWindow::CloseAsked() {
    closeAsked_ = true;
    close();
}

void IsbnWindow::Keep() {
    if (!keepTimer_) {
        keepTimer_ = new QTimer(this);
        keepTimer_->setSingleShot(true);
        keepTimer_->setInterval(kKeepDelayMs);
        connect(keepTimer_, &QTimer::timeout, this, [this] { KeepNow(); });
    }
    if (!keepTimer_->isActive()) keepTimer_->start();
}

void IsbnWindow::KeepNow() {
    if (keepTimer_) keepTimer_->stop();
    if (keptFor_.empty()) return;
    std::vector<KeptRow> kept;
    for (int row = 0; row < RowCount(); ++row) {
        if (!Unstored(row)) continue;
        const Row& r = rows_[row];
        KeptRow k;
        k.isbn = r.isbn;
        for (int c = 0; c < ColumnCount; ++c) k.cells.append(Cell(row, static_cast<Column>(c)));
        k.found = r.state == QString::fromUtf8(kNalezeno);
        k.ticked = ui_->frontatw->item(row, Isbn)->checkState() == Qt::Checked;
        k.userTicked = r.userTicked;
        k.edited = r.edited;
        k.stran = r.stran;
        k.vydani = r.vydani;
        kept.push_back(std::move(k));
    }
    kept.insert(kept.end(), offered_.begin(), offered_.end());
    TellKeptQueue([&] { WriteKeptQueue(KeptQueuePath(keptFor_), kept); });
}

bool IsbnWindow::TellKeptQueue(const std::function<void()>& work) {
    try {
        work();
        return true;
    } catch (const KeptQueueError& e) {
        // Told in the window, never by a box: scanning goes on.
        ui_->poznamkal->setText(QString::fromUtf8(e.what()));
        return false;
    }
}

void IsbnWindow::FollowCatalogue() {
    const std::string path = context_.db->Database().empty() ? std::string() : CataloguePath();
    if (path == keptFor_) return;
    if (!keptFor_.empty()) {
        // The catalogue left keeps what it offered; the queue goes with the window.
        TellKeptQueue([&] { WriteKeptQueue(KeptQueuePath(keptFor_), offered_); });
    }
    keptFor_ = path;
    offered_.clear();
    // A damaged file is left as it is, so nothing in it is lost by writing over it.
    if (!path.empty() && !TellKeptQueue([&] { offered_ = ReadKeptQueue(KeptQueuePath(path)); })) keptFor_.clear();
    ShowOffer();
    KeepNow();
}

void IsbnWindow::ShowOffer() {
    ui_->nacistb->setText(QStringLiteral("nač&íst uschovanou frontu (%1)").arg(offered_.size()));
    ui_->nacistb->setVisible(!offered_.empty());
    ui_->zahoditb->setVisible(!offered_.empty());
}

void IsbnWindow::LoadKept() {
    const std::vector<KeptRow> kept = std::exchange(offered_, {});
    ShowOffer();
    QTableWidget* t = ui_->frontatw;
    for (const KeptRow& k : kept) {
        const int row = AddRow(k.isbn);
        Row& r = rows_[static_cast<size_t>(row)];
        filling_ = true;
        for (int c = Autor; c < ColumnCount && c < k.cells.size(); ++c)
            if (c != Stav) t->item(row, c)->setText(k.cells[c]);
        t->item(row, Isbn)->setCheckState(k.ticked ? Qt::Checked : Qt::Unchecked);
        filling_ = false;
        r.userTicked = k.userTicked;
        r.edited = k.edited;
        r.stran = k.stran;
        r.vydani = k.vydani;
        if (k.found) {
            SetState(row, QString::fromUtf8(kNalezeno));
        } else {
            // Asked again: the answer fills only what the user has not typed.
            SetState(row, QString::fromUtf8(kHledam));
            r.ticket = lookup_->Start(r.isbn);
        }
        Recheck(row);
    }
    KeepNow();
    ui_->isbnle->setFocus(Qt::OtherFocusReason);
}

void IsbnWindow::DropKept() {
    offered_.clear();
    ShowOffer();
    KeepNow();
    ui_->isbnle->setFocus(Qt::OtherFocusReason);
}

void IsbnWindow::RetryFailed() {
    lookup_->WakeSources();
    for (int row = 0; row < RowCount(); ++row) {
        Row& r = rows_[static_cast<size_t>(row)];
        if (r.stored || r.ticket || (r.state != QString::fromUtf8(kChybaSite) && r.state != QString::fromUtf8(kChyba)))
            continue;
        r.details.clear();
        SetState(row, QString::fromUtf8(kHledam));
        r.ticket = lookup_->Start(r.isbn);
    }
    ui_->isbnle->setFocus(Qt::OtherFocusReason);
}
