#pragma once
// What one change of the catalogue through the session did to its rows: the
// one notice that the tree, the record panel, the drop-down lists and every
// open capability window follow.
#include <cstdint>
#include <functional>
#include <vector>

struct RowsChange {
    // The rows the change was meant to touch, by the engine's row key, as
    // noted before it ran.
    std::vector<int64_t> rows;
    // How many rows it changed; 0 when nothing was written (the rows changed
    // meanwhile elsewhere, say).
    int64_t changed = 0;
    // The keys of the rows it inserted.
    std::vector<int64_t> added;
    // False when no author or title changed: the tree keeps its shape.
    bool treeShape = true;
    // The noted rows were deleted (else they are still there).
    bool deleted = false;
    // How many finished loans it may also have kept in `udaj3`.
    int64_t historyLines = 0;
    // It inserted rows it does not name (a bulk insert): the views read the
    // catalogue anew instead of following the rows.
    bool readAnew = false;
};

// Runs a write of these rows as one change of the catalogue (the session's
// Change); false when it was declined and nothing was written.
using RowsWriter = std::function<bool(const std::vector<int64_t>& rows, const std::function<RowsChange()>& write)>;
