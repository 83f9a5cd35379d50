#include "storage/engine_api.h"

const char* const kEngineEntryPoints[kEngineEntryPointCount] = {
    "sqlite3_open",          "sqlite3_close",
    "sqlite3_exec",          "sqlite3_libversion",
    "sqlite3_errmsg",        "sqlite3_get_table",
    "sqlite3_free_table",    "sqlite3_free",
    "sqlite3_complete",      "sqlite3_last_insert_rowid",
    "sqlite3_interrupt",     "sqlite3_busy_timeout",
    "sqlite3_busy_handler",  "sqlite3_changes",
    "sqlite3_prepare",       "sqlite3_finalize",
    "sqlite3_reset",         "sqlite3_step",
    "sqlite3_column_blob",   "sqlite3_column_bytes",
    "sqlite3_column_count",  "sqlite3_column_decltype",
    "sqlite3_column_double", "sqlite3_column_int",
    "sqlite3_column_int64",  "sqlite3_column_name",
    "sqlite3_column_text",   "sqlite3_column_type",
    "sqlite3_bind_blob",
};

// The member order of EngineApi and the name order above must agree.
static_assert(sizeof(EngineApi) == kEngineEntryPointCount * sizeof(void (*)()), "one entry point per name");
