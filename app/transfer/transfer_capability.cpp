// Export and import in the main window.
#include "app/transfer/transfer_capability.h"

#include <QAction>

#include "app/platform/error_box.h"
#include "app/transfer/catalogue_export.h"

namespace {

// After "obnovit ze zálohy…", before "zálohovat nyní".
constexpr int kExportCommandPosition = 30;
constexpr int kImportCommandPosition = 40;

}  // namespace

TransferCapability::TransferCapability(CatalogueSession& session, QObject* parent) : Capability(session, parent) {
    QAction& exportCommand =
        session_.AddCommand("exportovat", kExportCommandPosition, QStringLiteral("&exportovat do CSV…"));
    QAction& importCommand =
        session_.AddCommand("importovat", kImportCommandPosition, QStringLiteral("&importovat z CSV…"));
    connect(&exportCommand, &QAction::triggered, this,
            [this] { RunGuarded(session_.Ui(), [this] { ExportCatalogueCommand(session_); }); });
    connect(&importCommand, &QAction::triggered, this,
            [this] { RunGuarded(session_.Ui(), [this] { csvimport.Run(session_); }); });
}
