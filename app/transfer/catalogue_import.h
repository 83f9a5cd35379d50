#pragma once
// The command "importovat z CSV…": a file of any format the readers know
// (our own CSV, Goodreads, LibraryThing, Calibre, Tellico) is read and checked
// whole, shown in the preview, and its chosen rows go in with fresh ids in
// one transaction, as one change through the session (after one backup).
#include "app/transfer/readers/import_reader.h"

class CatalogueSession;

// The command "importovat z CSV…".
class CatalogueImport {
public:
    void Run(CatalogueSession& session);
};
