#include "catalogue/transaction.h"

#include "storage/connection.h"

void RunInTransaction(TASQLite3DB& db, const std::function<void()>& body) {
    db.StartTransaction();
    try {
        body();
        db.Commit();
    } catch (...) {
        try {
            db.RollBack();
        } catch (...) {
        }
        throw;
    }
}
