#pragma once
// Several statements as one change: either all of them land or none.
#include <functional>

class TASQLite3DB;

// Runs `body` inside a transaction and commits it; when `body` or the commit
// throws, the transaction is rolled back (the first failure is the one
// rethrown) so that the connection is never left inside it.
void RunInTransaction(TASQLite3DB& db, const std::function<void()>& body);
