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

// Whether `now` is `before` after `changes` changes through the same connection
// and nothing else, but for at most `historyLines` more: a finished loan kept in
// the `udaj3` of a row the change already touched, which neither the tree nor the
// lists show.
bool Follows(const CatalogueStamp& before, const CatalogueStamp& now, int64_t changes, int64_t historyLines);

// The connection's stamp now; unknown when it is not connected or the engine
// cannot tell (then everything is read anew, as it always used to be).
CatalogueStamp StampOf(TASQLite3DB& db);
