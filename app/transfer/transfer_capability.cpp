// Export and import in the main window.
#include "app/transfer/transfer_capability.h"

#include <QAction>

#include "app/platform/catalogue_session.h"
#include "app/platform/error_box.h"
#include "app/transfer/catalogue_export.h"

TransferCapability::TransferCapability(CatalogueSession& session, QAction& exportCommand,
                                       QAction& importCommand, QObject* parent)
    : QObject(parent), session_(session) {
    // An import writes the catalogue, so it is backed up first like any change.
    csvimport.beforeChange = [this] { return session_.BeforeChange(); };
    connect(&exportCommand, &QAction::triggered, this,
            [this] { RunGuarded(session_.Ui(), [this] { ExportCatalogueCommand(session_); }); });
    connect(&importCommand, &QAction::triggered, this,
            [this] { RunGuarded(session_.Ui(), [this] { csvimport.Run(session_); }); });
}
