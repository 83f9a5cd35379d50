/* Stands in for the engine library with every entry point the connection
   binds except the last, sqlite3_bind_blob, so binding must fail on it. The
   functions are never called: binding stops before anything runs. */
#include "stub_entry_points.h"
STUB(sqlite3_open)
STUB(sqlite3_close)
STUB(sqlite3_libversion)
