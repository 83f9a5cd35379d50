#pragma once
// A generated catalogue given histories as real ones are: many borrowers, many
// distinct loan dates typed many ways, 0–20 finished loans per book (most
// books none or few), open on a connection.
#include <string>

#include "bench/app/bench_support.h"
#include "storage/connection.h"

struct VariedHistoryCatalogue {
    explicit VariedHistoryCatalogue(int books);
    BenchFolders folders;
    TASQLite3DB con{"historycon"};
    long long lines = 0;          // finished loans written
    long long distinctDates = 0;  // distinct loan date texts among them
};
