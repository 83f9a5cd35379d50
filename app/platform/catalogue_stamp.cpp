#include "app/platform/catalogue_stamp.h"

#include "storage/connection.h"
#include "storage/engine_api.h"

namespace {

constexpr int kRow = 100;  // the engine's "a row is ready"

}  // namespace

bool Follows(const CatalogueStamp& before, const CatalogueStamp& now, int64_t changes, int64_t historyLines) {
    if (!before.Known() || !now.Known() || before.connection != now.connection ||
        before.othersCommits != now.othersCommits)
        return false;
    const int64_t made = now.ownChanges - before.ownChanges;
    return made >= changes && made <= changes + historyLines;
}

CatalogueStamp StampOf(TASQLite3DB& db) {
    CatalogueStamp stamp;
    sqlite3* handle = db.Connected() ? db.Handle() : nullptr;
    if (!handle || !db.OptionalApi().total_changes) return stamp;
    const EngineApi& api = db.Api();
    sqlite3_stmt* st = nullptr;
    if (api.prepare(handle, "PRAGMA data_version", -1, &st, nullptr) != 0 || !st) return stamp;
    // Busy or failing, the stamp stays unknown.
    if (api.step(st) == kRow) stamp.othersCommits = api.column_int64(st, 0);
    api.finalize(st);
    stamp.ownChanges = db.OptionalApi().total_changes(handle);
    stamp.connection = handle;
    return stamp;
}
