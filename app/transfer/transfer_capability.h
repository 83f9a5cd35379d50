#pragma once
// Export and import in the main window: the commands "exportovat do CSV…"
// and "importovat z CSV…".
#include "app/platform/catalogue_session.h"
#include "app/transfer/catalogue_import.h"

class TransferCapability : public Capability {
    Q_OBJECT
public:
    TransferCapability(CatalogueSession& session, QObject* parent);

    // The import; it writes through the session.
    CatalogueImport csvimport;
};
