#pragma once
// What tells the window that the catalogue is still the one its tree was read
// from: the engine connection, the engine's count of other connections' commits
// and the rows changed through this connection. Equal stamps mean nothing was
// changed in between; the window then trusts the row keys its tree holds.
#include <cstdint>

class TASQLite3DB;

struct CatalogueStamp {
    const void* connection = nullptr;
    int64_t othersCommits = -1;
    int64_t ownChanges = -1;

    bool Known() const { return connection != nullptr && othersCommits >= 0 && ownChanges >= 0; }
    // Unknown stamps equal nothing, themselves included.
    bool Same(const CatalogueStamp& other) const {
        return Known() && connection == other.connection && othersCommits == other.othersCommits &&
               ownChanges == other.ownChanges;
    }
};

// The connection's stamp now; unknown when it is not connected or the engine
// cannot tell (then everything is read anew, as it always used to be).
CatalogueStamp StampOf(TASQLite3DB& db);
