#pragma once
// The command "importovat z CSV…": a file of any format the readers know
// (our own CSV, Goodreads, LibraryThing, Calibre, Tellico) is read and checked
// whole, shown in the preview, and its chosen rows go in with fresh ids in
// one transaction, after one backup.
#include <functional>

#include "app/transfer/readers/import_reader.h"

class CatalogueSession;

// The command "importovat z CSV…".
class CatalogueImport {
public:
    // Asked before anything is written (the backup); false means do nothing.
    std::function<bool()> beforeChange = [] { return true; };

    void Run(CatalogueSession& session);
};
