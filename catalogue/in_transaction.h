#pragma once
// Work on the catalogue that happens whole or not at all.
#include "storage/connection.h"
#include "storage/errors.h"

// Runs `work` inside one transaction and commits; a failure of the work or
// of the commit rolls everything back and is raised again, so the
// transaction is never left open.
template <class Work>
void InTransaction(TASQLite3DB& db, Work&& work) {
    db.StartTransaction();
    try {
        work();
        db.Commit();
    } catch (...) {
        try {
            db.RollBack();
        } catch (const Exception&) {}
        throw;
    }
}
