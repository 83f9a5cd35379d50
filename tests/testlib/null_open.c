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

#define STUB(name) int name(void) { return 1; }
STUB(sqlite3_exec)
STUB(sqlite3_errmsg)
STUB(sqlite3_get_table)
STUB(sqlite3_free_table)
STUB(sqlite3_free)
STUB(sqlite3_complete)
STUB(sqlite3_last_insert_rowid)
STUB(sqlite3_interrupt)
STUB(sqlite3_busy_timeout)
STUB(sqlite3_busy_handler)
STUB(sqlite3_changes)
STUB(sqlite3_prepare)
STUB(sqlite3_finalize)
STUB(sqlite3_reset)
STUB(sqlite3_step)
STUB(sqlite3_column_blob)
STUB(sqlite3_column_bytes)
STUB(sqlite3_column_count)
STUB(sqlite3_column_decltype)
STUB(sqlite3_column_double)
STUB(sqlite3_column_int)
STUB(sqlite3_column_int64)
STUB(sqlite3_column_name)
STUB(sqlite3_column_text)
STUB(sqlite3_column_type)
STUB(sqlite3_bind_blob)
