#include "app/tidy/tidy_capability.h"

#include <QAction>
#include <QKeySequence>
#include <QLineEdit>

#include "app/platform/error_box.h"
#include "app/tidy/author_groups_window.h"
#include "app/tidy/duplicates_window.h"
#include "app/tidy/search_everywhere_window.h"
#include "ui_search_everywhere_window.h"

namespace {

// After the other capabilities' commands, right above "konec".
constexpr int kAuthorsCommandPosition = 80;
constexpr int kDuplicatesCommandPosition = 82;
constexpr int kSearchCommandPosition = 84;

}  // namespace

TidyCapability::TidyCapability(CatalogueSession& session, QObject* parent) : Capability(session, parent) {
    QAction& authors =
        session_.AddCommand("sjednotitautory", kAuthorsCommandPosition, QString::fromUtf8("sjednotit &autory…"));
    connect(&authors, &QAction::triggered, this,
            [this] { RunGuarded(session_.Ui(), [this] { sjednotitautoryExecute(); }); });
    QAction& duplicates =
        session_.AddCommand("najitduplicity", kDuplicatesCommandPosition, QString::fromUtf8("najít &duplicity…"));
    connect(&duplicates, &QAction::triggered, this,
            [this] { RunGuarded(session_.Ui(), [this] { najitduplicityExecute(); }); });
    QAction& search = session_.AddCommand("hledatvsude", kSearchCommandPosition, QString::fromUtf8("&hledat všude…"),
                                          QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    connect(&search, &QAction::triggered, this,
            [this] { RunGuarded(session_.Ui(), [this] { hledatvsudeExecute(); }); });
}

void TidyCapability::sjednotitautoryExecute() {
    if (!authors_window_) {
        authors_window_ = new AuthorGroupsWindow(session_, &session_.Window());
        session_.PlaceOverWindow(*authors_window_);
        connect(&session_, &CatalogueSession::RowsChanged, authors_window_, &AuthorGroupsWindow::CatalogueChanged);
        connect(&session_, &CatalogueSession::CatalogueChanged, authors_window_, &AuthorGroupsWindow::CatalogueChanged);
    }
    authors_window_->Refresh();
    authors_window_->show();
    authors_window_->raise();
    authors_window_->activateWindow();
}

void TidyCapability::najitduplicityExecute() {
    if (!duplicates_window_) {
        duplicates_window_ = new DuplicatesWindow(session_, &session_.Window());
        session_.PlaceOverWindow(*duplicates_window_);
        connect(&session_, &CatalogueSession::RowsChanged, duplicates_window_, &DuplicatesWindow::CatalogueChanged);
        connect(&session_, &CatalogueSession::CatalogueChanged, duplicates_window_,
                &DuplicatesWindow::CatalogueChanged);
    }
    duplicates_window_->Refresh();
    duplicates_window_->show();
    duplicates_window_->raise();
    duplicates_window_->activateWindow();
}

void TidyCapability::hledatvsudeExecute() {
    if (!search_window_) {
        search_window_ = new SearchEverywhereWindow(session_, &session_.Window());
        session_.PlaceOverWindow(*search_window_);
        connect(&session_, &CatalogueSession::RowsChanged, search_window_, &SearchEverywhereWindow::Follow);
        connect(&session_, &CatalogueSession::CatalogueChanged, search_window_,
                &SearchEverywhereWindow::CatalogueChanged);
    }
    search_window_->show();
    search_window_->raise();
    search_window_->activateWindow();
    search_window_->form().hledej->setFocus();
    search_window_->form().hledej->selectAll();
}
