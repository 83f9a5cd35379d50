// The open catalogue as the window's capabilities reach it.
#include "app/platform/catalogue_session.h"

CatalogueSession::CatalogueSession(TASQLite3DB& con, UiServices& ui, QWidget& window,
                                   std::function<QString()> settingsPath, QObject* parent)
    : QObject(parent), con_(con), ui_(ui), window_(window), settings_path_(std::move(settingsPath)) {}
