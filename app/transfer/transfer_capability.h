#pragma once
// Export and import in the main window: the commands "exportovat do CSV…"
// and "importovat z CSV…".
#include <QObject>

#include "app/transfer/catalogue_import.h"

class CatalogueSession;
class QAction;

class TransferCapability : public QObject {
    Q_OBJECT
public:
    // The window owns the commands and this.
    TransferCapability(CatalogueSession& session, QAction& exportCommand, QAction& importCommand,
                       QObject* parent);

    // The import; its beforeChange hook runs before it writes.
    CatalogueImport csvimport;

private:
    CatalogueSession& session_;
};
