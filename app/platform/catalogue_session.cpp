// The open catalogue as the window's capabilities reach it.
#include "app/platform/catalogue_session.h"

#include <QMenu>
#include <QWidget>

#include "app/platform/value_lists.h"

CatalogueSession::CatalogueSession(TASQLite3DB& con, UiServices& ui, QWidget& window,
                                   std::function<QString()> settingsPath, QObject* parent)
    : QObject(parent), con_(con), ui_(ui), window_(window), settings_path_(std::move(settingsPath)),
      lists_(std::make_unique<ValueLists>(con)) {}

CatalogueSession::~CatalogueSession() = default;

void CatalogueSession::AddCommand(QAction& command) {
    if (command_menu_) command_menu_->insertAction(command_before_, &command);
}

void CatalogueSession::PlaceOverWindow(QWidget& window) const {
    QRect frame(QPoint(0, 0), window.size());
    frame.moveCenter(window_.frameGeometry().center());
    window.move(frame.topLeft());
}
