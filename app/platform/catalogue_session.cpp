// The open catalogue as the window's capabilities reach it.
#include "app/platform/catalogue_session.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QUrl>
#include <QWidget>

#include "app/platform/value_lists.h"

CatalogueSession::CatalogueSession(TASQLite3DB& con, UiServices& ui, QWidget& window,
                                   std::function<QString()> settingsPath, QObject* parent)
    : QObject(parent), con_(con), ui_(ui), window_(window), settings_path_(std::move(settingsPath)),
      lists_(std::make_unique<ValueLists>(con)) {}

CatalogueSession::~CatalogueSession() = default;

bool CatalogueSession::BeforeChange() {
    if (!guard_) throw std::logic_error("Katalog nemá nastavené zálohování, změna nebyla provedena.");
    return guard_->BeforeChange();
}

bool CatalogueSession::Change(const std::vector<int64_t>& rows, const Write& write, Edit edit) {
    if (!BeforeChange()) return false;
    emit RowsAboutToChange(rows);
    // Each participant wraps the write, the first registered outermost.
    Write run = write;
    if (edit == Edit::Record)
        for (auto p = participants_.rbegin(); p != participants_.rend(); ++p)
            run = [&rows, &participant = *p, inner = std::move(run)] { return participant(rows, inner); };
    // A write that throws changed nothing: no notice, so the tree and the panel
    // stay as the user left them and only the error box tells.
    RowsChange done = run();
    done.rows = rows;
    emit RowsChanged(done);
    return true;
}

void CatalogueSession::ShowPage(const QUrl& page) const {
    if (showPage) showPage(page);
}

QAction& CatalogueSession::AddCommand(const char* id, int position, const QString& caption) {
    auto* command = new QAction(caption, &window_);
    command->setObjectName(QString::fromLatin1(id));
    const auto next = commands_.upper_bound(position);
    QAction* before = next == commands_.end() ? command_last_ : next->second;
    if (command_menu_) command_menu_->insertAction(before, command);
    commands_[position] = command;
    return *command;
}

QAction& CatalogueSession::AddCommand(const char* id, int position, const QString& caption,
                                      const QKeySequence& shortcut) {
    QAction& command = AddCommand(id, position, caption);
    command.setShortcut(shortcut);
    command.setShortcutContext(Qt::WindowShortcut);
    return command;
}

void CatalogueSession::PlaceOverWindow(QWidget& window) const {
    QRect frame(QPoint(0, 0), window.size());
    frame.moveCenter(window_.frameGeometry().center());
    window.move(frame.topLeft());
}
