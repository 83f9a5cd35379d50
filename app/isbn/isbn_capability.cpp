// The command that opens the window "přidat podle ISBN".
#include "app/isbn/isbn_capability.h"

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QScreen>
#include <QKeySequence>
#include <QUrl>
#include <algorithm>
#include <stdexcept>

#include "app/isbn/isbn_complete_dialog.h"
#include "app/isbn/isbn_sources.h"
#include "app/isbn/isbn_window.h"
#include "app/core/codepage.h"
#include "app/platform/ui_services.h"
#include "catalogue/isbn.h"
#include "app/platform/catalogue_session.h"
#include "app/platform/error_box.h"

namespace {

// The last but one of the capabilities' commands, before "statistika".
constexpr int kIsbnCommandPosition = 60;

}  // namespace

IsbnCapability::IsbnCapability(CatalogueSession& session, QObject* parent)
    : Capability(session, parent),
      command_(&session.AddCommand("pridatisbn", kIsbnCommandPosition, QStringLiteral("&přidat podle ISBN…"),
                                   QKeySequence(Qt::CTRL | Qt::Key_I))) {
    connect(command_, &QAction::triggered, this, [this] { RunGuarded(session_.Ui(), [this] { Open(); }); });
    // The window's lists and duplicate check follow the catalogue, another one opened included.
    const auto follow = [this] {
        if (window_) RunGuarded(session_.Ui(), [this] { window_->CatalogueChanged(); });
    };
    connect(&session_, &CatalogueSession::CatalogueChanged, this, follow);
    // A "doplnit" dialog belongs to the catalogue it was opened on.
    connect(&session_, &CatalogueSession::CatalogueChanged, this, [this] {
        if (complete_ && !complete_->OnOpenedCatalogue()) complete_->close();
    });
    connect(&session_, &CatalogueSession::RowsChanged, this, follow);
    session_.Window().installEventFilter(this);
    session_.AddTitleMenuEntries([this](QMenu& menu, const TitleRef& title) {
        menu.addAction(QStringLiteral("doplnit podle ISBN…"), this,
                       [this, title] { RunGuarded(session_.Ui(), [&] { Complete(title); }); });
    });
}

RowsWriter IsbnCapability::Writer() {
    return [this](const std::vector<int64_t>& rows, const std::function<RowsChange()>& write) {
        return session_.Change(rows, write);
    };
}

void IsbnCapability::Complete(const TitleRef& title) {
    const std::optional<StoredBook> stored =
        title.row ? ReadStoredBook(session_.Connection(), *title.row) : std::nullopt;
    if (!stored) throw std::runtime_error("Záznam už v katalogu není.");
    std::optional<std::string> isbn13 = isbn::Normalize(stored->book.udaj1);
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
    complete_ = new IsbnCompleteDialog(session_.Connection(), session_.Ui(), *stored, QString::fromStdString(*isbn13),
                                       sources.sources, Writer(), &session_.Window());
    session_.PlaceOverWindow(*complete_);
    complete_->show();
}

void IsbnCapability::Open() {
    if (!window_) {
        IsbnWindowContext c;
        c.db = &session_.Connection();
        c.ui = &session_.Ui();
        c.lists = &session_.Lists();
        c.settingsPath = session_.SettingsPath();
        c.change = Writer();
        c.showPage = [this](const QUrl& page) { session_.ShowPage(page); };
        window_ = new IsbnWindow(std::move(c), &session_.Window());
        session_.PlaceOverWindow(*window_);
        // Over the main window, but never partly off the screen it was sized for.
        if (const QScreen* screen = window_->screen()) {
            const QRect area = screen->availableGeometry();
            QRect frame(window_->pos(), window_->size());
            frame.moveLeft(std::max(area.left(), std::min(frame.left(), area.right() - frame.width())));
            frame.moveTop(std::max(area.top(), std::min(frame.top(), area.bottom() - frame.height())));
            window_->move(frame.topLeft());
        }
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
}

bool IsbnCapability::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Close && watched == &session_.Window() && window_ && window_->isVisible()) {
        bool close = true;
        RunGuarded(session_.Ui(), [&] { close = window_->MayClose(); });
        if (!close) {
            event->ignore();
            return true;
        }
        window_->CloseAsked();
    }
    return Capability::eventFilter(watched, event);
}

IsbnWindow* IsbnCapability::isbnWindow() const { return window_; }
IsbnCompleteDialog* IsbnCapability::completeDialog() const { return complete_; }
