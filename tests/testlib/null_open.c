/* Stands in for the engine library with every entry point the connection
   binds, whose open hands back no connection (as the engine does when it
   cannot even allocate one). Only open, close and libversion are ever called. */
#include <stddef.h>

struct sqlite3;

int sqlite3_open(const char* path, struct sqlite3** db) {
    (void)path;
    *db = NULL;
    return 7;
}
int sqlite3_close(struct sqlite3* db) {
    (void)db;
    return 0;
}
const char* sqlite3_libversion(void) { return "0.0.0-null-open"; }

#include "stub_entry_points.h"
STUB(sqlite3_bind_blob)
