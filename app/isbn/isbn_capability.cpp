// The command that opens the window "přidat podle ISBN".
#include "app/isbn/isbn_capability.h"

#include <QAction>
#include <QMenu>
#include <QUrl>
#include <stdexcept>

#include "app/isbn/isbn_complete_dialog.h"
#include "app/isbn/isbn_sources.h"
#include "app/isbn/isbn_window.h"
#include "app/core/codepage.h"
#include "app/platform/ui_services.h"
#include "catalogue/isbn.h"
#include "app/platform/catalogue_session.h"
#include "app/platform/error_box.h"

IsbnCapability::IsbnCapability(CatalogueSession& session, std::function<void(const QUrl&)> showPage,
                               QObject* parent)
    : QObject(parent), session_(session), show_page_(std::move(showPage)) {
    command_ = new QAction(QStringLiteral("&přidat podle ISBN…"), &session_.Window());
    command_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    command_->setShortcutContext(Qt::WindowShortcut);
    session_.AddCommand(*command_);
    connect(command_, &QAction::triggered, this, [this] { RunGuarded(session_.Ui(), [this] { Open(); }); });
    // The window's lists and duplicate check follow the catalogue, another one opened included.
    connect(&session_, &CatalogueSession::CatalogueChanged, this, [this] {
        if (window_) RunGuarded(session_.Ui(), [this] { window_->CatalogueChanged(); });
    });
    session_.AddTitleMenuEntries([this](QMenu& menu, const TitleRef& title) {
        menu.addAction(QStringLiteral("doplnit podle ISBN…"), this,
                       [this, title] { RunGuarded(session_.Ui(), [&] { Complete(title); }); });
    });
}

void IsbnCapability::Complete(const TitleRef& title) {
    const std::vector<StoredBook> rows = ReadTitleBooks(session_.Connection(), title.author, title.title);
    if (title.rank < 0 || title.rank >= static_cast<int>(rows.size()))
        throw std::runtime_error("Záznam už v katalogu není.");
    const StoredBook& stored = rows[static_cast<size_t>(title.rank)];
    std::optional<std::string> isbn13 = isbn::Normalize(stored.book.udaj1);
    if (!isbn13) {
        const std::optional<QString> typed =
            session_.Ui().InputQuery(QStringLiteral("doplnit podle ISBN"), QStringLiteral("ISBN:"), 20);
        if (!typed) return;
        isbn13 = isbn::Normalize(typed->toStdString());
        if (!isbn13) throw std::runtime_error("Neplatné ISBN: " + typed->toStdString());
    }
    const IsbnSourceList sources = ReadIsbnSources(session_.SettingsPath());
    if (sources.sources.empty())
        throw std::runtime_error("Vyhledávání podle ISBN je vypnuto (klíč „zdrojeisbn“ je prázdný).");
    if (complete_) complete_->close();
    complete_ = new IsbnCompleteDialog(
        session_.Connection(), session_.Ui(), stored, QString::fromStdString(*isbn13), sources.sources,
        [this] { return session_.BeforeChange(); },
        [this] {
            if (session_.rebuildTree) session_.rebuildTree();
        },
        &session_.Window());
    complete_->show();
}

void IsbnCapability::Open() {
    if (!window_) {
        IsbnWindowContext c;
        c.db = &session_.Connection();
        c.ui = &session_.Ui();
        c.lists = &session_.Lists();
        c.settingsPath = session_.SettingsPath();
        c.beforeChange = [this] { return session_.BeforeChange(); };
        c.changed = [this] {
            if (session_.rebuildTree) session_.rebuildTree();
        };
        c.showPage = show_page_;
        window_ = new Tisbnf(std::move(c), &session_.Window());
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
}

Tisbnf* IsbnCapability::isbnWindow() const { return window_; }
IsbnCompleteDialog* IsbnCapability::completeDialog() const { return complete_; }
